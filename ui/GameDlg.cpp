#include "ui/GameDlg.h"

#include "framework/DataExchange.h"
#include "dialogs/DialogTemplates.h"
#include "res/Resource.h"
#include "res/StringTable.h"
#include "ui/ColorDlg.h"
#include "ui/SettingBinding.h"

namespace ui {

CGameDlg::CGameDlg(core::CBot& bot, config::CSettings& settings)
    : CPage(dialogs::FindDialogTemplate(res::IDD_GAME)), m_bot(bot), m_settings(settings) {
    SetMessageTitle(res::LoadResString(res::IDS_APPNAME));
    MapClick(res::IDC_GAME_CONNECT, [this] { OnConnect(); });
    MapClick(res::IDC_GAME_PAUSE, [this] { OnPause(); });
    MapClick(res::IDC_GAME_CHECK, [this] { OnCheck(); });
}

void CGameDlg::DoDataExchange(framework::CDataExchange& dx) {
    dx.Control(res::IDC_GAME_LOG, m_log);
    ExchangeSetting(dx, {res::IDC_GAME_SERVER, "bf_Server"}, m_settings);
    ExchangeSetting(dx, {res::IDC_GAME_PORT, "bf_Port"}, m_settings);
    dx.Text(res::IDC_QI_GAMEPORT, m_strQiGamePort);
    dx.Text(res::IDC_QI_HOSTNAME, m_strQiHostname);
    dx.Text(res::IDC_QI_MAP, m_strQiMap);
    dx.Text(res::IDC_QI_MOD, m_strQiMod);
    dx.Text(res::IDC_QI_PLAYERS, m_strQiPlayers);
    dx.Text(res::IDC_QI_VERSION, m_strQiVersion);
    dx.Text(res::IDC_QI_STATUS, m_strQiStatus);
    ExchangeSetting(dx, {res::IDC_GAME_LANGUAGE, "bf_Language"}, m_settings);
}

bool CGameDlg::OnInitDialog() {
    CPage::OnInitDialog();
    m_log.SetReadOnly(true);
    SetItemText(res::IDC_GAME_CONNECT, res::LoadResString(res::IDS_CONNECT));
    SetItemText(res::IDC_GAME_PAUSE, res::LoadResString(res::IDS_PAUSE));
    SetItemText(res::IDC_GAME_CHECK, res::LoadResString(res::IDS_CHECK));
    ShowState(m_state);
    return true;
}

query::CQuickInfoResult CGameDlg::QuickInfoShown() const {
    return {m_strQiGamePort, m_strQiHostname, m_strQiMap,   m_strQiMod,
            m_strQiPlayers,  m_strQiVersion,  m_strQiStatus};
}

void CGameDlg::SendSettings() {
    // A refused transfer has shown its own message; the fields it did not
    // reach keep their values and are checked as they are.
    if (m_pColorDlg != nullptr) m_pColorDlg->UpdateData(true);
    UpdateData(true);
    m_bot.SetSettings(m_settings);
}

void CGameDlg::OnConnect() {
    if (m_state.m_game.m_eWanted != bridge::EGameState::Idle) {
        m_bot.StopGame();
        return;
    }
    SendSettings();
    m_bot.StartGame();
}

void CGameDlg::OnPause() {
    if (m_state.m_game.m_eWanted == bridge::EGameState::Idle) return;
    UpdateData(true);
    m_bot.TogglePause();
}

void CGameDlg::OnCheck() {
    // A check still under way keeps the panel as it is: nothing is blanked
    // that only its end would give back.
    if (m_state.m_bQuickInfoRunning) return;
    UpdateData(true);
    m_bot.SetSettings(m_settings);
    if (!m_bot.CheckQuickInfo()) return;
    const std::string strBlank(query::kQuickInfoBlankLength, ' ');
    for (std::string* pField : {&m_strQiGamePort, &m_strQiHostname, &m_strQiMap, &m_strQiMod,
                                &m_strQiPlayers, &m_strQiVersion})
        *pField = strBlank;
    m_strQiStatus = query::kQuickInfoReceiving;
    RefreshQuickInfoPanel();
    // Locked until the bot says the check is over.
    EnableItem(res::IDC_GAME_CHECK, false);
    SetReadOnly(res::IDC_GAME_SERVER, true);
    SetReadOnly(res::IDC_GAME_PORT, true);
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

void CGameDlg::ShowQuickInfo(const query::CQuickInfoResult& result) {
    m_strQiGamePort = result.m_strGamePort;
    m_strQiHostname = result.m_strHostname;
    m_strQiMap = result.m_strMap;
    m_strQiMod = result.m_strMod;
    m_strQiPlayers = result.m_strPlayers;
    m_strQiVersion = result.m_strVersion;
    m_strQiStatus = std::string(query::kQuickInfoBlankLength, ' ');
    RefreshQuickInfoPanel();
    m_strQiStatus = result.m_strStatus;
    RefreshQuickInfoPanel();
    // The inputs that the press locked come back by the state the bot last
    // told: a check that began and ended between two tellings leaves no
    // state that says it ran, and no later one would unlock them.
    ShowState(m_state);
}

void CGameDlg::AppendLog(const std::string& strLine) {
    m_log.AppendLine(strLine);
    m_log.ScrollToEnd();
}

void CGameDlg::ShowState(const core::CBotState& state) {
    m_state = state;
    const core::CGameStatus& game = state.m_game;
    const bool bRunning = game.m_eWanted != bridge::EGameState::Idle;
    const bool bPaused = game.m_eWanted == bridge::EGameState::Paused;
    SetItemText(res::IDC_GAME_CONNECT,
                res::LoadResString(bRunning ? res::IDS_DISCONNECT : res::IDS_CONNECT));
    EnableItem(res::IDC_GAME_CONNECT, game.IsConnectUsable());
    SetItemText(res::IDC_GAME_PAUSE, res::LoadResString(bPaused ? res::IDS_UNPAUSE : res::IDS_PAUSE));
    EnableItem(res::IDC_GAME_PAUSE, bRunning);
    EnableItem(res::IDC_GAME_LANGUAGE, !bRunning);
    // The inputs a run or a check uses stay locked while it lasts.
    const bool bInputsLocked = bRunning || state.m_bQuickInfoRunning;
    EnableItem(res::IDC_GAME_CHECK, !bInputsLocked);
    SetReadOnly(res::IDC_GAME_SERVER, bInputsLocked);
    SetReadOnly(res::IDC_GAME_PORT, bInputsLocked);
    if (m_pColorDlg != nullptr) m_pColorDlg->SetLocked(bRunning);
}

}  // namespace ui
