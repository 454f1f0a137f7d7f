#include "ui/GameDlg.h"

#include <utility>

#include "config/SettingsCheck.h"
#include "framework/DataExchange.h"
#include "framework/MessageBox.h"
#include "monitor/ColorRule.h"
#include "platform/Text.h"
#include "res/DialogTemplates.h"
#include "res/Languages.h"
#include "res/Resource.h"
#include "res/StringTable.h"
#include "ui/ColorDlg.h"
#include "ui/QuickInfoCheck.h"
#include "ui/SettingsPages.h"

namespace ui {

namespace {

// The Settings page's colour edits, locked while monitoring runs.
constexpr int kColorEdits[] = {
    res::IDC_COLOR_ALLIED_KILL, res::IDC_COLOR_AXIS_KILL, res::IDC_COLOR_KEY,
    res::IDC_COLOR_VALUE,       res::IDC_COLOR_STATUS,    res::IDC_COLOR_ALLIED_FLAG,
    res::IDC_COLOR_AXIS_FLAG,
};
constexpr int kFilterBoxes[] = {res::IDC_SHOW_KILL, res::IDC_SHOW_TK, res::IDC_SHOW_FLAG,
                                res::IDC_SHOW_TICKET};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The game log's own colour rule: 0x03 and a digit lose three characters
// (the colour's two digits, whatever the second is), any other 0x03 only
// itself. A line is one line of the log, so line breaks and NUL go too.
std::string LogText(std::string_view strText) {
    std::string str;
    str.reserve(strText.size());
    for (size_t i = 0; i < strText.size();) {
        const char c = strText[i];
        if (c == '\x03') {
            i += (i + 1 < strText.size() && IsDigit(strText[i + 1])) ? 3 : 1;
            continue;
        }
        if (c != '\r' && c != '\n' && c != '\0') str += c;
        ++i;
    }
    return str;
}

// Two digits each, so a digit after the code is never read as part of it.
monitor::CColorScheme TwoDigitColors(monitor::CColorScheme scheme) {
    for (std::string* pColor :
         {&scheme.m_strAlliedKillColor, &scheme.m_strAlliedFlagColor, &scheme.m_strAxisKillColor,
          &scheme.m_strAxisFlagColor, &scheme.m_strStatusColor, &scheme.m_strKeyColor,
          &scheme.m_strValueColor})
        *pColor = monitor::TwoDigitColor(*pColor);
    return scheme;
}

}  // namespace

CGameDlg::CGameDlg(bridge::CGameShared& game, platform::CClock& clock)
    : CPage(res::FindDialogTemplate(res::IDD_GAME)),
      m_clock(clock),
      m_runner(*this, game, clock),
      m_quickInfo(clock) {
    SetMessageTitle(res::LoadResString(res::IDS_APPNAME));
    MapClick(res::IDC_GAME_CONNECT, [this] { OnConnect(); });
    MapClick(res::IDC_GAME_PAUSE, [this] { OnPause(); });
    MapClick(res::IDC_GAME_CHECK, [this] { OnCheck(); });
}

CGameDlg::~CGameDlg() {
    StopThreads();
}

void CGameDlg::StopThreads() {
    // The monitor ends at its next safe point, also when held by Pause; a
    // quick-info check that the server keeps waiting is told to end.
    m_quickInfo.Stop();
    m_runner.Shutdown();
}

void CGameDlg::DoDataExchange(framework::CDataExchange& dx) {
    dx.Control(res::IDC_GAME_LOG, m_log);
    dx.Text(res::IDC_GAME_SERVER, m_strServer);
    dx.Int(res::IDC_GAME_PORT, m_nQueryPort);
    dx.Text(res::IDC_QI_GAMEPORT, m_strQiGamePort);
    dx.Text(res::IDC_QI_HOSTNAME, m_strQiHostname);
    dx.Text(res::IDC_QI_MAP, m_strQiMap);
    dx.Text(res::IDC_QI_MOD, m_strQiMod);
    dx.Text(res::IDC_QI_PLAYERS, m_strQiPlayers);
    dx.Text(res::IDC_QI_VERSION, m_strQiVersion);
    dx.Text(res::IDC_QI_STATUS, m_strQiStatus);
    dx.ListIndex(res::IDC_GAME_LANGUAGE, m_nLanguage);
}

CGameDlg::CServerChoice CGameDlg::ServerChoice() const {
    const auto lock = LockFields();
    return {m_strServer, m_nQueryPort, m_nLanguage};
}

void CGameDlg::SetServerChoice(const CServerChoice& choice) {
    const auto lock = LockFields();
    m_strServer = choice.m_strServer;
    m_nQueryPort = choice.m_nQueryPort;
    m_nLanguage = choice.m_nLanguage;
}

ui::CQuickInfoResult CGameDlg::QuickInfoShown() const {
    const auto lock = LockFields();
    return {m_strQiGamePort, m_strQiHostname, m_strQiMap,   m_strQiMod,
            m_strQiPlayers,  m_strQiVersion,  m_strQiStatus};
}

bool CGameDlg::OnInitDialog() {
    CPage::OnInitDialog();
    m_nTrafficBytes = 0;
    m_bBroadcast = false;
    m_runner.Reset();
    m_log.SetReadOnly(true);
    SetItemText(res::IDC_GAME_CONNECT, LoadResString(res::IDS_CONNECT));
    SetItemText(res::IDC_GAME_PAUSE, LoadResString(res::IDS_PAUSE));
    SetItemText(res::IDC_GAME_CHECK, LoadResString(res::IDS_CHECK));
    return true;
}

void CGameDlg::AppendLog(std::string strText) {
    if (strText.empty()) return;
    m_log.AppendLine(LogText(strText));
    m_log.ScrollToEnd();
}

std::string CGameDlg::LoadResString(int nId) const {
    return res::LoadResString(nId);
}

bool CGameDlg::StartQuickInfo() {
    if (m_quickInfo.IsRunning()) return false;
    std::string strServer;
    int32_t nPort = 0;
    {
        const auto lock = LockFields();
        m_strQiStatus = ui::kQuickInfoReceiving;
        RefreshQuickInfoPanel();
        strServer = m_strServer;
        nPort = m_nQueryPort;
    }
    return m_quickInfo.Start(std::move(strServer), nPort,
                             {[this](const ui::CQuickInfoResult& result) { ShowQuickInfo(result); },
                              [this] { EnableQuickInfoInputs(); }});
}

void CGameDlg::RefreshQuickInfoPanel() {
    // Only the panel: a whole-page transfer would also put back the stored
    // language and undo a choice the operator has made during the check.
    SetItemText(res::IDC_QI_GAMEPORT, m_strQiGamePort);
    SetItemText(res::IDC_QI_HOSTNAME, m_strQiHostname);
    SetItemText(res::IDC_QI_MAP, m_strQiMap);
    SetItemText(res::IDC_QI_MOD, m_strQiMod);
    SetItemText(res::IDC_QI_PLAYERS, m_strQiPlayers);
    SetItemText(res::IDC_QI_VERSION, m_strQiVersion);
    SetItemText(res::IDC_QI_STATUS, m_strQiStatus);
}

void CGameDlg::ShowQuickInfo(const ui::CQuickInfoResult& result) {
    {
        const auto lock = LockFields();
        m_strQiGamePort = result.m_strGamePort;
        m_strQiHostname = result.m_strHostname;
        m_strQiMap = result.m_strMap;
        m_strQiMod = result.m_strMod;
        m_strQiPlayers = result.m_strPlayers;
        m_strQiVersion = result.m_strVersion;
        m_strQiStatus = std::string(ui::kQuickInfoBlankLength, ' ');
        RefreshQuickInfoPanel();
    }
    const auto lock = LockFields();
    m_strQiStatus = result.m_strStatus;
    RefreshQuickInfoPanel();
}

void CGameDlg::EnableQuickInfoInputs() {
    // Monitoring started during the check keeps its inputs locked.
    if (RunState() != bridge::EGameState::Idle) return;
    EnableItem(res::IDC_GAME_CHECK, true);
    SetReadOnly(res::IDC_GAME_SERVER, false);
    SetReadOnly(res::IDC_GAME_PORT, false);
}

monitor::CEventFilters CGameDlg::EventFilters() const {
    const auto lock = LockFields();
    monitor::CEventFilters filters;
    filters.m_bShowKill = m_scheme.m_bShowKill;
    filters.m_bShowTk = m_scheme.m_bShowTk;
    filters.m_bShowFlag = m_scheme.m_bShowFlag;
    return filters;
}

bool CGameDlg::IsTicketShown() const {
    const auto lock = LockFields();
    return m_scheme.m_bShowTicket;
}

monitor::CColorScheme CGameDlg::ColorScheme() const {
    const auto lock = LockFields();
    return m_scheme;
}

monitor::CAnnounceSettings CGameDlg::AnnounceSettings() const {
    monitor::CAnnounceSettings s;
    const auto lock = LockFields();
    static_cast<monitor::CColorScheme&>(s) = m_scheme;
    s.m_nLangBase = m_nLangBase.load();
    s.m_strServer = m_strServer;
    s.m_nQueryPort = m_nQueryPort;
    return s;
}

void CGameDlg::OnConnect() {
    if (RunState() != bridge::EGameState::Idle) {
        StopRun();
        return;
    }
    StartMonitoring();
}

void CGameDlg::StopMonitoring() {
    StopRun();
}

void CGameDlg::StartMonitoring() {
    if (RunState() != bridge::EGameState::Idle) return;
    // Never two monitors on one page: a previous one still ending (an
    // announcement in progress) gets a few seconds; past that, no start.
    if (!m_runner.WaitForPrevious(kMonitorEndWaitMs)) {
        AppendLog("The previous run is still ending; press Connect again.");
        return;
    }
    // A refused transfer has shown its own message; the fields it did not
    // reach keep their values and are validated as they are.
    if (m_pColorDlg != nullptr) m_pColorDlg->UpdateData(true);
    UpdateData(true);
    if (!StartInputsValid()) {
        MessageBox(LoadResString(res::IDS_FILL_OUT), LoadResString(res::IDS_ERROR),
                   framework::EIcon::Error);
        return;
    }
    SetSettingsInputsLocked(true);
    CopyColorsAndFilters();
    {
        const auto lock = LockFields();
        m_nLangBase = res::PhraseBase(m_nLanguage);
    }
    m_runner.Start();
}

void CGameDlg::ShowRunning() {
    SetItemText(res::IDC_GAME_CONNECT, LoadResString(res::IDS_DISCONNECT));
    EnableItem(res::IDC_GAME_CONNECT, false);  // the monitor enables it once set up
    SetItemText(res::IDC_GAME_PAUSE, LoadResString(res::IDS_PAUSE));
    EnableItem(res::IDC_GAME_PAUSE, true);
    EnableItem(res::IDC_GAME_CHECK, false);
    EnableItem(res::IDC_GAME_LANGUAGE, false);
}

void CGameDlg::StopRun() {
    m_runner.Stop();
}

void CGameDlg::ShowIdle() {
    SetSettingsInputsLocked(false);
    SetItemText(res::IDC_GAME_CONNECT, LoadResString(res::IDS_CONNECT));
    // Connect comes back once the monitor has ended.
    m_runner.ShowConnectOnceEnded();
    EnableItem(res::IDC_GAME_PAUSE, false);
    SetItemText(res::IDC_GAME_PAUSE, LoadResString(res::IDS_PAUSE));
    EnableItem(res::IDC_GAME_CHECK, true);
    EnableItem(res::IDC_GAME_LANGUAGE, true);
}

void CGameDlg::SetConnectUsable(bool bUsable) {
    EnableItem(res::IDC_GAME_CONNECT, bUsable);
}

void CGameDlg::OnPause() {
    const bridge::EGameState eState = RunState();
    if (eState == bridge::EGameState::Idle) return;
    UpdateData(true);
    const bool bPause = eState == bridge::EGameState::Running;
    const monitor::CAnnounceSettings s = AnnounceSettings();
    const std::string strLine =
        monitor::ShortFrame(s, bPause ? "Broadcast paused" : "Broadcast resumed");
    m_runner.Pause(bPause);
    // Sent whether broadcasting or not; the channel send needs the channel.
    if (m_pIrcLink != nullptr) m_pIrcLink->SendToChannel(platform::WithoutLineBreaks(strLine));
    AppendLog(strLine);
    SetItemText(res::IDC_GAME_PAUSE, LoadResString(bPause ? res::IDS_UNPAUSE : res::IDS_PAUSE));
}

void CGameDlg::OnCheck() {
    // A check still under way keeps the panel as it is: nothing is blanked
    // or locked that only its end would give back.
    if (m_quickInfo.IsRunning()) return;
    UpdateData(true);
    config::CSettings values;
    ui::CollectGameSettings(*this, values);
    if (!config::GameServerProblems(values).empty()) {
        MessageBox(LoadResString(res::IDS_FILL_OUT), LoadResString(res::IDS_ERROR),
                   framework::EIcon::Error);
        return;
    }
    {
        const auto lock = LockFields();
        const std::string strBlank(ui::kQuickInfoBlankLength, ' ');
        for (std::string* pField : {&m_strQiGamePort, &m_strQiHostname, &m_strQiMap, &m_strQiMod,
                                    &m_strQiPlayers, &m_strQiVersion})
            *pField = strBlank;
    }
    UpdateData(false);
    EnableItem(res::IDC_GAME_CHECK, false);
    SetReadOnly(res::IDC_GAME_SERVER, true);
    SetReadOnly(res::IDC_GAME_PORT, true);
    // A check still running gives the inputs back itself when it ends.
    StartQuickInfo();
}

bool CGameDlg::StartInputsValid() {
    // The rules are the settings' own (fragrelayd checks its file by them).
    if (m_pColorDlg == nullptr) return false;
    config::CSettings values;
    ui::CollectGameSettings(*this, values);
    ui::CollectColorSettings(*m_pColorDlg, values);
    return config::GameSideProblems(values).empty();
}

void CGameDlg::CopyColorsAndFilters() {
    const monitor::CColorScheme scheme = TwoDigitColors(m_pColorDlg->Scheme());
    const auto lock = LockFields();
    m_scheme = scheme;
}

void CGameDlg::SetSettingsInputsLocked(bool bLocked) {
    SetReadOnly(res::IDC_GAME_SERVER, bLocked);
    SetReadOnly(res::IDC_GAME_PORT, bLocked);
    if (m_pColorDlg == nullptr) return;
    for (int nId : kColorEdits) m_pColorDlg->SetReadOnly(nId, bLocked);
    for (int nId : kFilterBoxes) m_pColorDlg->EnableItem(nId, !bLocked);
}

}  // namespace ui
