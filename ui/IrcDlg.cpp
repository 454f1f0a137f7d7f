#include "ui/IrcDlg.h"

#include "config/SettingsCheck.h"
#include "framework/DataExchange.h"
#include "framework/MessageBox.h"
#include "dialogs/DialogTemplates.h"
#include "res/Resource.h"
#include "res/StringTable.h"
#include "ui/SettingBinding.h"

namespace ui {

namespace {

// The connection fields: editable while disconnected, read-only while a
// session runs.
constexpr int kConnectionEdits[] = {res::IDC_IRC_SERVER,      res::IDC_IRC_PORT,
                                    res::IDC_IRC_NICK,        res::IDC_IRC_ALTNICK,
                                    res::IDC_IRC_CHANNEL,     res::IDC_IRC_TICKETSECS,
                                    res::IDC_IRC_FINGERPRINT, res::IDC_IRC_CLIENTCERT};

// The controls in their exchange order; the input line is the page's own.
// The log (1004) comes first and carries no value; it is bound once in the
// constructor, since rebinding it would rewrite the handle while the bot's
// lines are appended through it.
constexpr CBinding kBindings[] = {
    {res::IDC_IRC_CHANNEL, "irc_Channel"},
    {res::IDC_IRC_NICK, "irc_Nick"},
    {res::IDC_IRC_SERVER, "irc_Server"},
    {res::IDC_IRC_INPUT, nullptr},
    {res::IDC_IRC_PORT, "irc_Port"},
    {res::IDC_IRC_ALTNICK, "irc_altNick"},
    {res::IDC_IRC_AUTH, "irc_Auth"},
    {res::IDC_IRC_USERNAME, "irc_Username"},
    {res::IDC_IRC_NETWORK, "irc_Network"},
    {res::IDC_IRC_PASSWORD, "irc_Password"},
    {res::IDC_IRC_TICKETSECS, "irc_Tickettime"},
    {res::IDC_IRC_TLS, "irc_TLS"},
    {res::IDC_IRC_FINGERPRINT, "irc_TLSFingerprint"},
    {res::IDC_IRC_CLIENTCERT, "irc_ClientCert"},
};

}  // namespace

CIrcDlg::CIrcDlg(core::CBot& bot, config::CSettings& settings)
    : CPage(dialogs::FindDialogTemplate(res::IDD_IRC)), m_bot(bot), m_settings(settings) {
    SetMessageTitle(res::LoadResString(res::IDS_APPNAME));
    m_log.Attach(*this, res::IDC_IRC_LOG);
    MapClick(res::IDC_IRC_CONNECT, [this] { OnConnect(); });
    MapClick(res::IDC_IRC_AUTH, [this] { OnAuthCheck(); });
    MapClick(res::IDC_IRC_TLS, [this] { OnTlsCheck(); });
    MapNotify(res::IDC_IRC_INPUT, framework::ENotify::SetFocus, [this] { OnInputSetFocus(); });
    MapNotify(res::IDC_IRC_INPUT, framework::ENotify::KillFocus, [this] { OnInputKillFocus(); });
}

void CIrcDlg::DoDataExchange(framework::CDataExchange& dx) {
    // What the operator typed; the server's spelling of the bot's join is
    // the bot's own and never lands here (nor in the saved file).
    bool bPortOutOfRange = false;
    for (const CBinding& binding : kBindings) {
        if (binding.m_pszKey == nullptr)
            dx.Text(binding.m_nId, m_strInput, kMaxInput);
        else if (ExchangeSetting(dx, binding, m_settings) == EBindResult::OutOfRange)
            bPortOutOfRange = true;
    }
    // Connect and Apply refuse the page until a port beyond 16 bits is mended.
    if (dx.IsSaving()) m_bPortOutOfRange = bPortOutOfRange;
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
    ApplyLook();
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
    const int nId = ControlOfKey(kBindings, strKey);
    return nId != 0 && SetFocusItem(nId);
}

void CIrcDlg::OnAuthCheck() {
    // The box has toggled itself; the setting follows what the box shows.
    m_settings.m_irc.m_bAuth = GetCheck(res::IDC_IRC_AUTH) == framework::BST_CHECKED;
    ApplyLook();
}

void CIrcDlg::OnTlsCheck() {
    m_settings.m_irc.m_security.m_bTls = GetCheck(res::IDC_IRC_TLS) == framework::BST_CHECKED;
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
    const bool bAuth = m_settings.m_irc.m_bAuth;
    for (const int nId : kConnectionEdits) SetReadOnly(nId, bLocked);
    EnableItem(res::IDC_IRC_AUTH, !bLocked);
    EnableItem(res::IDC_IRC_TLS, !bLocked);
    EnableItem(res::IDC_IRC_NETWORK, !bLocked && bAuth);
    SetReadOnly(res::IDC_IRC_USERNAME, bLocked || !bAuth);
    SetReadOnly(res::IDC_IRC_PASSWORD, bLocked || !bAuth);
    SetItemText(res::IDC_IRC_CONNECT,
                res::LoadResString(bLocked ? res::IDS_DISCONNECT : res::IDS_CONNECT));
    EnableItem(res::IDC_IRC_CONNECT, true);
    // Said, not refused: a login that works today keeps working.
    ShowItem(res::IDC_IRC_PLAIN_TEXT, config::SendsPasswordInPlainText(m_settings.m_irc));
}

}  // namespace ui
