#include "ui/GameDlg.h"

#include "config/ColorDlg.h"
#include "config/ColorRule.h"
#include "config/Languages.h"
#include "framework/DataExchange.h"
#include "framework/MessageBox.h"
#include "irc/IrcSession.h"
#include "res/Resource.h"
#include "res/StringTable.h"

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

}  // namespace

CGameDlg::CGameDlg() : CPage(res::IDD_GAME) {
    MapClick(res::IDC_GAME_CONNECT, [this] { OnConnect(); });
}

CGameDlg::~CGameDlg() {
    // Workers end at their own stop tests; the window is gone by now.
    for (std::unique_ptr<std::thread>* pThread : {&m_pMonitorThread, &m_pQuickInfoThread}) {
        if (*pThread && (*pThread)->joinable()) (*pThread)->join();
    }
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

bool CGameDlg::OnInitDialog() {
    CPage::OnInitDialog();
    m_nTrafficBytes = 0;
    m_bMonitoring = false;
    m_bBroadcast = false;
    m_log.SetReadOnly(true);
    SetItemText(res::IDC_GAME_CONNECT, LoadResString(res::IDS_CONNECT));
    SetItemText(res::IDC_GAME_PAUSE, LoadResString(res::IDS_PAUSE));
    SetItemText(res::IDC_GAME_CHECK, LoadResString(res::IDS_CHECK));
    return true;
}

CServerStatus CGameDlg::GetStatus() const {
    std::lock_guard<std::mutex> lock(m_mutexStatus);
    return m_status;
}

void CGameDlg::SetStatus(const CServerStatus& status) {
    std::lock_guard<std::mutex> lock(m_mutexStatus);
    m_status = status;
}

void CGameDlg::AppendLog(std::string strText) {
    if (strText.empty()) return;
    m_log.AppendLine(LogText(strText));
    m_log.ScrollToEnd();
}

std::string CGameDlg::LoadResString(int nId) const {
    return res::LoadResString(nId);
}

void CGameDlg::ToggleConnect() {
    OnConnect();
}

void CGameDlg::EnableQuickInfoInputs() {
    EnableItem(res::IDC_GAME_CHECK, true);
    SetReadOnly(res::IDC_GAME_SERVER, false);
    SetReadOnly(res::IDC_GAME_PORT, false);
}

monitor::CAnnounceSettings CGameDlg::AnnounceSettings() const {
    monitor::CAnnounceSettings s;
    const auto lock = LockFields();
    s.m_strAlliedKillColor = m_strAlliedKillColor;
    s.m_strAxisKillColor = m_strAxisKillColor;
    s.m_strAlliedFlagColor = m_strAlliedFlagColor;
    s.m_strAxisFlagColor = m_strAxisFlagColor;
    s.m_strStatusColor = m_strStatusColor;
    s.m_strKeyColor = m_strKeyColor;
    s.m_strValueColor = m_strValueColor;
    s.m_nLangBase = m_nLangBase.load();
    s.m_strServer = m_strServer;
    s.m_nQueryPort = m_nQueryPort;
    return s;
}

// TO BE COMPLETED with the monitor loop: the start path below stops short
// of starting MonitorThread (which enables Connect once it is set up), and
// Pause and Check have no handlers yet.
void CGameDlg::OnConnect() {
    if (GetItemText(res::IDC_GAME_CONNECT) == LoadResString(res::IDS_CONNECT)) {
        // A refused transfer has shown its own message; the fields it did
        // not reach keep their values and are validated as they are.
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
            m_nLangBase = config::PhraseBase(m_nLanguage);
        }
        SetItemText(res::IDC_GAME_CONNECT, LoadResString(res::IDS_DISCONNECT));
        EnableItem(res::IDC_GAME_CONNECT, false);
        EnableItem(res::IDC_GAME_PAUSE, true);
        EnableItem(res::IDC_GAME_CHECK, false);
        EnableItem(res::IDC_GAME_LANGUAGE, false);
        if (m_pIrcDlg != nullptr) m_pIrcDlg->m_nGameState = 1;
        m_bMonitoring = true;
        return;
    }
    // The monitor sees the caption "Connect" at its next look and ends.
    SetSettingsInputsLocked(false);
    SetItemText(res::IDC_GAME_CONNECT, LoadResString(res::IDS_CONNECT));
    EnableItem(res::IDC_GAME_CONNECT, true);
    EnableItem(res::IDC_GAME_PAUSE, false);
    EnableItem(res::IDC_GAME_CHECK, true);
    EnableItem(res::IDC_GAME_LANGUAGE, true);
    if (m_pIrcDlg != nullptr) m_pIrcDlg->m_nGameState = 0;
}

bool CGameDlg::StartInputsValid() {
    {
        const auto lock = LockFields();
        if (m_nQueryPort == 0 || m_strServer.empty()) return false;
    }
    if (m_pColorDlg == nullptr) return false;
    const CColorDlg& colors = *m_pColorDlg;
    const auto lock = colors.LockFields();
    for (const std::string* pColor :
         {&colors.m_strAlliedKillColor, &colors.m_strAxisKillColor, &colors.m_strStatusColor,
          &colors.m_strAlliedFlagColor, &colors.m_strAxisFlagColor, &colors.m_strValueColor,
          &colors.m_strKeyColor}) {
        if (pColor->empty()) return false;
    }
    return true;
}

void CGameDlg::CopyColorsAndFilters() {
    const CColorDlg& colors = *m_pColorDlg;
    const auto lockColors = colors.LockFields();
    const auto lock = LockFields();
    // Two digits each, so a digit after the code is never read as part of it.
    m_strAlliedKillColor = config::TwoDigitColor(colors.m_strAlliedKillColor);
    m_strAlliedFlagColor = config::TwoDigitColor(colors.m_strAlliedFlagColor);
    m_strAxisKillColor = config::TwoDigitColor(colors.m_strAxisKillColor);
    m_strAxisFlagColor = config::TwoDigitColor(colors.m_strAxisFlagColor);
    m_strStatusColor = config::TwoDigitColor(colors.m_strStatusColor);
    m_strKeyColor = config::TwoDigitColor(colors.m_strKeyColor);
    m_strValueColor = config::TwoDigitColor(colors.m_strValueColor);
    m_bShowFlag = colors.m_bShowFlag != 0;
    m_bShowKill = colors.m_bShowKill != 0;
    m_bShowTk = colors.m_bShowTk != 0;
    m_bShowTicket = colors.m_bShowTicket != 0;
}

void CGameDlg::SetSettingsInputsLocked(bool bLocked) {
    SetReadOnly(res::IDC_GAME_SERVER, bLocked);
    SetReadOnly(res::IDC_GAME_PORT, bLocked);
    if (m_pColorDlg == nullptr) return;
    for (int nId : kColorEdits) m_pColorDlg->SetReadOnly(nId, bLocked);
    for (int nId : kFilterBoxes) m_pColorDlg->EnableItem(nId, !bLocked);
}
