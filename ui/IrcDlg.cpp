#include "ui/IrcDlg.h"

#include <string_view>
#include <vector>

#include "config/SettingsCheck.h"
#include "framework/DataExchange.h"
#include "framework/MessageBox.h"
#include "irc/IrcText.h"
#include "res/DialogTemplates.h"
#include "res/Resource.h"
#include "res/StringTable.h"
#include "ui/SettingsPages.h"

namespace ui {

namespace {

// The connection fields: editable while disconnected, read-only while a
// session runs.
constexpr int kConnectionEdits[] = {res::IDC_IRC_SERVER,      res::IDC_IRC_PORT,
                                    res::IDC_IRC_NICK,        res::IDC_IRC_ALTNICK,
                                    res::IDC_IRC_CHANNEL,     res::IDC_IRC_TICKETSECS,
                                    res::IDC_IRC_FINGERPRINT, res::IDC_IRC_CLIENTCERT};

constexpr char kChannelInvalid[] = "Channelname is no valid";

// The control that holds each setting the Connect checks look at.
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

CIrcDlg::CIrcDlg(framework::CDispatcher& dispatcher, bridge::CGameShared& game,
                 platform::CClock& clock)
    : CPage(res::FindDialogTemplate(res::IDD_IRC)),
      m_dispatcher(dispatcher),
      m_game(game),
      m_pLife(std::make_shared<CLifeGuard>()),
      m_session(clock, game, *this) {
    SetMessageTitle(res::LoadResString(res::IDS_APPNAME));
    m_pLife->m_pPage = this;
    // Bound once, before any thread can log through it.
    m_log.Attach(*this, res::IDC_IRC_LOG);
    MapClick(res::IDC_IRC_CONNECT, [this] { OnConnect(); });
    MapClick(res::IDC_IRC_AUTH, [this] { OnAuthCheck(); });
    MapNotify(res::IDC_IRC_INPUT, framework::ENotify::SetFocus, [this] { OnInputSetFocus(); });
    MapNotify(res::IDC_IRC_INPUT, framework::ENotify::KillFocus, [this] { OnInputKillFocus(); });
}

CIrcDlg::~CIrcDlg() {
    m_session.End();
    std::lock_guard<std::mutex> lock(m_pLife->m_mutex);
    m_pLife->m_pPage = nullptr;
}

irc::CIrcSettings CIrcDlg::Connection() {
    const auto lock = LockFields();
    return *this;
}

void CIrcDlg::SetConnection(const irc::CIrcSettings& connection) {
    const auto lock = LockFields();
    static_cast<irc::CIrcSettings&>(*this) = connection;
}

void CIrcDlg::DoDataExchange(framework::CDataExchange& dx) {
    // Other threads read these fields whole; a transfer replaces them under the lock.
    const auto lock = LockFields();
    // The log (1004) comes first and carries no value; m_log was bound once
    // in the constructor, since rebinding it here would rewrite the handle
    // while the IRC thread appends through it.
    // What the operator typed; the server's spelling of the bot's join is
    // the session's own and never lands here (nor in the saved file).
    dx.Text(res::IDC_IRC_CHANNEL, m_strChannel);
    dx.Text(res::IDC_IRC_NICK, m_strNick);
    dx.Text(res::IDC_IRC_SERVER, m_strServer);
    dx.Text(res::IDC_IRC_INPUT, m_strInput, kMaxInput);
    // Shown as 0 to 65535. A number beyond that is no port: the field keeps
    // its value, and Connect and Apply refuse the page until it is mended.
    int32_t nPort = m_nPort;
    dx.Int(res::IDC_IRC_PORT, nPort);
    if (dx.IsSaving() && !dx.Failed()) {
        m_bPortOutOfRange = nPort < 0 || nPort > 0xFFFF;
        if (!m_bPortOutOfRange) m_nPort = static_cast<uint16_t>(nPort);
    }
    dx.Text(res::IDC_IRC_ALTNICK, m_strAltNick);
    dx.Check(res::IDC_IRC_AUTH, m_bAuth);
    dx.Text(res::IDC_IRC_USERNAME, m_strUsername);
    dx.ListIndex(res::IDC_IRC_NETWORK, m_nNetwork);
    dx.Text(res::IDC_IRC_PASSWORD, m_strPassword);
    int32_t nTicketSecs = GameShared().TicketSecs();
    dx.Int(res::IDC_IRC_TICKETSECS, nTicketSecs);
    if (dx.IsSaving() && !dx.Failed()) GameShared().SetTicketSecs(nTicketSecs);
    dx.Check(res::IDC_IRC_TLS, m_security.m_bTls);
    dx.Text(res::IDC_IRC_FINGERPRINT, m_security.m_strTlsFingerprint);
    dx.Text(res::IDC_IRC_CLIENTCERT, m_security.m_strClientCert);
}

bool CIrcDlg::OnInitDialog() {
    CPage::OnInitDialog();
    m_bInputFocus = false;
    m_session.SetRegistrationTexts(irc::kIdent, res::LoadResString(res::IDS_VERSION));
    m_log.SetReadOnly(true);
    SetItemText(res::IDC_IRC_CONNECT, res::LoadResString(res::IDS_CONNECT));
    ApplyAuthLook(IsAuthSet());
    return true;
}

void CIrcDlg::OnConnect() {
    // The session's own flag, not the caption: after the IRC thread has
    // ended on its own, the caption says "Disconnect" until the posted
    // return to the disconnected look has run.
    if (IsSessionActive()) {
        EndSession();
    } else {
        Connect();
    }
}

void CIrcDlg::Connect() {
    // A refused transfer has shown its message and focused its control; the
    // fields it did not reach still hold old values, so nothing starts.
    if (!UpdateData(true)) return;
    if (RefusePortOutOfRange()) return;
    std::string strMessage;
    const int nInvalidId = FirstInvalidInput(&strMessage);
    if (nInvalidId != 0) {
        MessageBox(strMessage, res::LoadResString(res::IDS_ERROR), framework::EIcon::Error);
        SetFocusItem(nInvalidId);
        return;
    }
    ApplyLockedState();
    // Returns at once: the connect runs on the session's thread, and a
    // failure writes its log line and returns the page to its disconnected
    // look through OnIrcStatusChanged.
    m_session.Open(Connection());
    SetItemText(res::IDC_IRC_CONNECT, res::LoadResString(res::IDS_DISCONNECT));
    EnableItem(res::IDC_IRC_CONNECT, true);
}

void CIrcDlg::EndSession() {
    // Disconnecting never fails: a refused transfer only keeps old fields.
    UpdateData(true);
    // QUIT; the thread ends when the server closes the connection.
    Disconnect();
    ApplyDisconnectedState();
}

bool CIrcDlg::RefusePortOutOfRange() {
    if (!m_bPortOutOfRange.load()) return false;
    MessageBox(res::LoadResString(res::IDS_FILL_OUT), res::LoadResString(res::IDS_ERROR),
               framework::EIcon::Error);
    SetFocusItem(res::IDC_IRC_PORT);
    return true;
}

int CIrcDlg::FirstInvalidInput(std::string* pstrMessage) {
    // The rules are the settings' own (fragrelayd checks its file by them);
    // the page shows the first problem and focuses its control.
    config::CSettingsValues values;
    ui::CollectIrcSettings(*this, values);
    const std::vector<config::CSettingsProblem> problems = config::IrcSideProblems(values);
    if (problems.empty()) {
        pstrMessage->clear();
        return 0;
    }
    const config::CSettingsProblem& first = problems.front();
    switch (first.eProblem) {
        case config::EProblem::NoChannel:
            *pstrMessage = kChannelInvalid;
            break;
        case config::EProblem::NoFingerprint:
        case config::EProblem::NoFile:
        case config::EProblem::NeedsTls:
            // Not an empty field: the operator needs the reason.
            *pstrMessage = config::ProblemText(first, values);
            break;
        default:
            *pstrMessage = res::LoadResString(res::IDS_FILL_OUT);
            break;
    }
    for (const CKeyControl& control : kKeyControls) {
        if (std::string_view(control.pszKey) == first.pszKey) return control.nId;
    }
    return res::IDC_IRC_CONNECT;
}

void CIrcDlg::OnAuthCheck() {
    // The box has toggled itself; the field follows what the box shows.
    const bool bAuth = GetCheck(res::IDC_IRC_AUTH) == framework::BST_CHECKED;
    {
        const auto lock = LockFields();
        m_bAuth = bAuth;
    }
    ApplyAuthLook(bAuth);
}

void CIrcDlg::OnOK() {
    if (!UpdateData(true)) return;
    if (!m_bInputFocus.load()) return;
    // One line: a line break in the text would start a command of its own.
    const std::string strText = irc::WithoutLineBreaks(m_strInput);
    if (strText.empty()) return;
    m_session.SendToChannel(strText);
    std::string strNick = m_session.Status().m_strNick;
    if (strNick.empty()) {
        // Never connected yet: the nickname that the bot would use.
        const auto lock = LockFields();
        strNick = m_strNick;
    }
    // Straight into the log: no colour rule, no pause.
    m_log.AppendLine("<" + strNick + "> " + strText);
    SetItemText(res::IDC_IRC_INPUT, std::string());
    m_log.ScrollToEnd();
}

void CIrcDlg::OnIrcLog(const std::string& strText) {
    m_log.AppendLine(strText);
    m_log.ScrollToEnd();
}

void CIrcDlg::OnIrcStatusChanged() {
    // Only the end of a session changes the page.
    if (m_session.Status().m_eState != irc::EIrcState::Idle) return;
    m_dispatcher.Post([pLife = m_pLife] {
        std::lock_guard<std::mutex> lock(pLife->m_mutex);
        CIrcDlg* pPage = pLife->m_pPage;
        // A Connect that ran before this keeps its session.
        if (pPage != nullptr && !pPage->IsSessionActive()) pPage->ApplyDisconnectedState();
    });
}

bool CIrcDlg::IsAuthSet() {
    const auto lock = LockFields();
    return m_bAuth;
}

void CIrcDlg::ApplyAuthLook(bool bAuth) {
    EnableItem(res::IDC_IRC_NETWORK, bAuth);
    SetReadOnly(res::IDC_IRC_USERNAME, !bAuth);
    SetReadOnly(res::IDC_IRC_PASSWORD, !bAuth);
}

void CIrcDlg::ApplyDisconnectedState() {
    for (const int nId : kConnectionEdits) SetReadOnly(nId, false);
    EnableItem(res::IDC_IRC_AUTH, true);
    EnableItem(res::IDC_IRC_TLS, true);
    ApplyAuthLook(IsAuthSet());
    SetItemText(res::IDC_IRC_CONNECT, res::LoadResString(res::IDS_CONNECT));
    EnableItem(res::IDC_IRC_CONNECT, true);
}

void CIrcDlg::ApplyLockedState() {
    for (const int nId : kConnectionEdits) SetReadOnly(nId, true);
    EnableItem(res::IDC_IRC_AUTH, false);
    EnableItem(res::IDC_IRC_TLS, false);
    EnableItem(res::IDC_IRC_NETWORK, false);
    SetReadOnly(res::IDC_IRC_USERNAME, true);
    SetReadOnly(res::IDC_IRC_PASSWORD, true);
}

}  // namespace ui
