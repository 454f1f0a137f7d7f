#include "ui/IrcDlg.h"

#include "framework/DataExchange.h"
#include "framework/MessageBox.h"
#include "res/DialogTemplates.h"
#include "res/Resource.h"
#include "res/StringTable.h"

namespace ui {

namespace {

// The connection fields: editable while disconnected, read-only while a
// session runs.
constexpr int kConnectionEdits[] = {res::IDC_IRC_SERVER,      res::IDC_IRC_PORT,
                                    res::IDC_IRC_NICK,        res::IDC_IRC_ALTNICK,
                                    res::IDC_IRC_CHANNEL,     res::IDC_IRC_TICKETSECS,
                                    res::IDC_IRC_FINGERPRINT, res::IDC_IRC_CLIENTCERT};

// The control that holds each setting the bot's checks may name.
struct CKeyControl {
    const char* pszKey;
    int nId;
};
constexpr CKeyControl kKeyControls[] = {
    {"irc_Port", res::IDC_IRC_PORT},
    {"irc_Server", res::IDC_IRC_SERVER},
    {"irc_Nick", res::IDC_IRC_NICK},
    {"irc_altNick", res::IDC_IRC_ALTNICK},
    {"irc_Channel", res::IDC_IRC_CHANNEL},
    {"irc_Tickettime", res::IDC_IRC_TICKETSECS},
    {"irc_Username", res::IDC_IRC_USERNAME},
    {"irc_Password", res::IDC_IRC_PASSWORD},
    {"irc_TLSFingerprint", res::IDC_IRC_FINGERPRINT},
    {"irc_ClientCert", res::IDC_IRC_CLIENTCERT},
};

}  // namespace

CIrcDlg::CIrcDlg(core::CBot& bot, config::CSettingsValues& settings)
    : CPage(res::FindDialogTemplate(res::IDD_IRC)), m_bot(bot), m_settings(settings) {
    SetMessageTitle(res::LoadResString(res::IDS_APPNAME));
    m_log.Attach(*this, res::IDC_IRC_LOG);
    MapClick(res::IDC_IRC_CONNECT, [this] { OnConnect(); });
    MapClick(res::IDC_IRC_AUTH, [this] { OnAuthCheck(); });
    MapNotify(res::IDC_IRC_INPUT, framework::ENotify::SetFocus, [this] { OnInputSetFocus(); });
    MapNotify(res::IDC_IRC_INPUT, framework::ENotify::KillFocus, [this] { OnInputKillFocus(); });
}

void CIrcDlg::DoDataExchange(framework::CDataExchange& dx) {
    config::CSettingsValues& s = m_settings;
    dx.Text(res::IDC_IRC_CHANNEL, s.m_strChannel);
    dx.Text(res::IDC_IRC_NICK, s.m_strNick);
    dx.Text(res::IDC_IRC_SERVER, s.m_strIrcServer);
    dx.Text(res::IDC_IRC_INPUT, m_strInput, kMaxInput);
    // Shown as 0 to 65535. A number beyond that is no port: the field keeps
    // its value, and Connect and Apply refuse the page until it is mended.
    int32_t nPort = static_cast<uint16_t>(s.m_nIrcPort);
    dx.Int(res::IDC_IRC_PORT, nPort);
    if (dx.IsSaving() && !dx.Failed()) {
        m_bPortOutOfRange = nPort < 0 || nPort > 0xFFFF;
        if (!m_bPortOutOfRange) s.m_nIrcPort = static_cast<int16_t>(static_cast<uint16_t>(nPort));
    }
    dx.Text(res::IDC_IRC_ALTNICK, s.m_strAltNick);
    dx.Check(res::IDC_IRC_AUTH, s.m_bAuth);
    dx.Text(res::IDC_IRC_USERNAME, s.m_strUsername);
    dx.ListIndex(res::IDC_IRC_NETWORK, s.m_nNetwork);
    dx.Text(res::IDC_IRC_PASSWORD, s.m_strPassword);
    dx.Int(res::IDC_IRC_TICKETSECS, s.m_nTicketSecs);
    dx.Check(res::IDC_IRC_TLS, s.m_bTls);
    dx.Text(res::IDC_IRC_FINGERPRINT, s.m_strTlsFingerprint);
    dx.Text(res::IDC_IRC_CLIENTCERT, s.m_strClientCert);
}

bool CIrcDlg::OnInitDialog() {
    CPage::OnInitDialog();
    m_bInputFocus = false;
    m_log.SetReadOnly(true);
    SetItemText(res::IDC_IRC_CONNECT, res::LoadResString(res::IDS_CONNECT));
    ApplyLook();
    return true;
}

void CIrcDlg::OnConnect() {
    // The session as the bot has it now, not as last shown: a click that
    // comes before the page has caught up with a session that ended by
    // itself is a Connect.
    if (m_bot.State().m_irc.m_bSessionActive) {
        // Disconnecting never fails: a refused transfer only keeps old fields.
        UpdateData(true);
        m_bot.DisconnectIrc();
        return;
    }
    // A refused transfer has shown its message and focused its control; the
    // fields it did not reach still hold old values, so nothing starts.
    if (!UpdateData(true)) return;
    if (RefusePortOutOfRange()) return;
    m_bot.SetSettings(m_settings);
    // A refusal comes back as a message that names the field to mend.
    m_bot.ConnectIrc();
}

bool CIrcDlg::RefusePortOutOfRange() {
    if (!m_bPortOutOfRange) return false;
    MessageBox(res::LoadResString(res::IDS_FILL_OUT), res::LoadResString(res::IDS_ERROR),
               framework::EIcon::Error);
    SetFocusItem(res::IDC_IRC_PORT);
    return true;
}

bool CIrcDlg::FocusKey(std::string_view strKey) {
    for (const CKeyControl& control : kKeyControls) {
        if (strKey == control.pszKey) return SetFocusItem(control.nId);
    }
    return false;
}

void CIrcDlg::OnAuthCheck() {
    // The box has toggled itself; the setting follows what the box shows.
    m_settings.m_bAuth = GetCheck(res::IDC_IRC_AUTH) == framework::BST_CHECKED ? 1 : 0;
    ApplyLook();
}

void CIrcDlg::OnOK() {
    if (!UpdateData(true)) return;
    if (!m_bInputFocus.load()) return;
    if (m_strInput.empty()) return;
    m_bot.SendChat(m_strInput);
    SetItemText(res::IDC_IRC_INPUT, std::string());
    m_strInput.clear();
}

void CIrcDlg::ShowState(const core::CBotState& state) {
    if (state.m_irc.m_bSessionActive == m_bSessionActive) return;
    m_bSessionActive = state.m_irc.m_bSessionActive;
    ApplyLook();
}

void CIrcDlg::AppendLog(const std::string& strLine) {
    m_log.AppendLine(strLine);
    m_log.ScrollToEnd();
}

void CIrcDlg::ApplyLook() {
    const bool bLocked = m_bSessionActive;
    const bool bAuth = m_settings.m_bAuth != 0;
    for (const int nId : kConnectionEdits) SetReadOnly(nId, bLocked);
    EnableItem(res::IDC_IRC_AUTH, !bLocked);
    EnableItem(res::IDC_IRC_TLS, !bLocked);
    EnableItem(res::IDC_IRC_NETWORK, !bLocked && bAuth);
    SetReadOnly(res::IDC_IRC_USERNAME, bLocked || !bAuth);
    SetReadOnly(res::IDC_IRC_PASSWORD, bLocked || !bAuth);
    SetItemText(res::IDC_IRC_CONNECT,
                res::LoadResString(bLocked ? res::IDS_DISCONNECT : res::IDS_CONNECT));
    EnableItem(res::IDC_IRC_CONNECT, true);
}

}  // namespace ui
