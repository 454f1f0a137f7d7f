// The IRC tab of the window driven as the operator drives it, against a
// scripted IRC server on 127.0.0.1: the checks before Connect and the field
// they focus, the locked and disconnected looks, the authentication look,
// the chat line, QUIT, and a window that stays free while a server is
// being reached. The test thread is the UI thread.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "WindowTestSupport.h"
#include "irc/IrcSecurity.h"
#include "res/StringTable.h"
#include "support/UnansweringTcpServer.h"

namespace uitest {
namespace {

using framework::CMessage;
using framework::EIcon;
using testsupport::CScriptedTcpServer;
using Lines = std::vector<std::string>;

const CMessage kNoChannel{"Channelname is no valid", "Error", EIcon::Error};

// A first start (no settings file): the operator fills in the tab.
class IrcDlgTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        Open();
    }

    void FillInputs() { FillInputs(m_irc.Port()); }
    void FillInputs(uint16_t nPort) {
        Irc().TypeText(res::IDC_IRC_NICK, "bot");
        Irc().TypeText(res::IDC_IRC_ALTNICK, "bot2");
        Irc().TypeText(res::IDC_IRC_CHANNEL, "#relay");
        Irc().TypeText(res::IDC_IRC_SERVER, "127.0.0.1");
        Irc().TypeText(res::IDC_IRC_PORT, std::to_string(nPort));
        Irc().TypeText(res::IDC_IRC_TICKETSECS, "60");
    }
    void EnableAuth() {
        Irc().Click(res::IDC_IRC_AUTH);
        Irc().ChooseItem(res::IDC_IRC_NETWORK, 0);
        Irc().TypeText(res::IDC_IRC_USERNAME, "user");
        Irc().TypeText(res::IDC_IRC_PASSWORD, "secret");
    }
    bool Caption(int nStringId) const {
        return Irc().GetItemText(res::IDC_IRC_CONNECT) == res::LoadResString(nStringId);
    }
    bool InChannel() const { return Bot().State().m_irc.m_eState == irc::EIrcState::InChannel; }
    void ConnectAndJoin(const std::string& strServerChannel = "#relay") {
        FillInputs();
        ASSERT_TRUE(Irc().Click(res::IDC_IRC_CONNECT));
        ASSERT_TRUE(IrcConnected());
        ASSERT_TRUE(m_irc.WaitForConnections(1));
        ASSERT_TRUE(m_irc.Send(0, ":bot!~bf1942@h JOIN :" + strServerChannel + "\r\n"));
        ASSERT_TRUE(RunUntil([&] { return InChannel(); }));
    }
    // What the connection sent before the QUIT that Disconnect sends.
    Lines LinesBeforeQuit() {
        Irc().Click(res::IDC_IRC_CONNECT);
        EXPECT_TRUE(m_irc.WaitForLine(0, kQuit));
        Lines lines = m_irc.Lines(0);
        lines.pop_back();
        return lines;
    }
    std::string LastLogLine() const { return WindowTest::LastLogLine(Irc(), res::IDC_IRC_LOG); }
    // Locked: every input read-only or disabled. Disconnected: the
    // connection fields open, the credentials and network only with auth.
    void ExpectInputs(bool bLocked, bool bAuth) {
        for (int nId : {res::IDC_IRC_SERVER, res::IDC_IRC_PORT, res::IDC_IRC_NICK,
                        res::IDC_IRC_ALTNICK, res::IDC_IRC_CHANNEL, res::IDC_IRC_TICKETSECS})
            EXPECT_EQ(Irc().IsReadOnly(nId), bLocked) << nId;
        EXPECT_EQ(Irc().IsItemEnabled(res::IDC_IRC_AUTH), !bLocked);
        const bool bOpen = !bLocked && bAuth;
        EXPECT_EQ(Irc().IsItemEnabled(res::IDC_IRC_NETWORK), bOpen);
        EXPECT_EQ(Irc().IsReadOnly(res::IDC_IRC_USERNAME), !bOpen);
        EXPECT_EQ(Irc().IsReadOnly(res::IDC_IRC_PASSWORD), !bOpen);
    }
};

struct CInputRow {
    const char* m_name;
    int m_nId;  // control typed into (0: the auth check box is ticked)
    const char* m_pszText;
    CMessage m_expected;  // empty text: Connect goes ahead
    int m_nFocusId;
};
// Rows print by name, so test listings stay readable.
void PrintTo(const CInputRow& row, std::ostream* pOut) {
    *pOut << row.m_name;
}

class IrcDlgInputs : public IrcDlgTest, public testing::WithParamInterface<CInputRow> {};

TEST_P(IrcDlgInputs, ConnectChecksTheFields) {
    const CInputRow& row = GetParam();
    FillInputs();
    if (row.m_nId == 0) {
        EnableAuth();
        Irc().TypeText(res::IDC_IRC_PASSWORD, "");
    } else {
        Irc().TypeText(row.m_nId, row.m_pszText);
    }
    Irc().Click(res::IDC_IRC_CONNECT);
    Settle();
    if (row.m_expected.m_strText.empty()) {
        EXPECT_EQ(m_sink.Count(), 0u) << m_sink.Last().m_strText;
        EXPECT_TRUE(IrcConnected());
        EXPECT_TRUE(m_irc.WaitForLine(0, "NICK bot"));
        return;
    }
    // The bot's refusal comes to the window as a message, and the field to
    // mend gets the focus.
    EXPECT_EQ(m_sink.Messages(), std::vector<CMessage>{row.m_expected});
    EXPECT_EQ(Irc().GetFocusItem(), row.m_nFocusId);
    EXPECT_FALSE(Bot().State().m_irc.m_bSessionActive);
    EXPECT_EQ(Bot().State().m_irc.m_eState, irc::EIrcState::Idle);
    EXPECT_EQ(Irc().GetItemText(res::IDC_IRC_LOG), "");  // not even a connect attempt
    EXPECT_TRUE(Caption(res::IDS_CONNECT));
    ExpectInputs(false, row.m_nId == 0);
    EXPECT_EQ(m_irc.Connections(), 0);
}

// clang-format off
const CInputRow kInputRows[] = {
    {"EmptyServer", res::IDC_IRC_SERVER, "", kFillOut, res::IDC_IRC_SERVER},
    {"PortZero", res::IDC_IRC_PORT, "0", kFillOut, res::IDC_IRC_PORT},
    {"PortBeyond16Bits", res::IDC_IRC_PORT, "70000", kFillOut, res::IDC_IRC_PORT},
    {"PortEmpty", res::IDC_IRC_PORT, "", {"Please enter an integer.", "fragrelay", EIcon::Warning},
     res::IDC_IRC_PORT},
    {"EmptyNick", res::IDC_IRC_NICK, "", kFillOut, res::IDC_IRC_NICK},
    {"EmptyAltNick", res::IDC_IRC_ALTNICK, "", kFillOut, res::IDC_IRC_ALTNICK},
    {"EmptyChannel", res::IDC_IRC_CHANNEL, "", kFillOut, res::IDC_IRC_CHANNEL},
    {"TicketsEveryZeroSecs", res::IDC_IRC_TICKETSECS, "0", kFillOut, res::IDC_IRC_TICKETSECS},
    {"AuthWithoutPassword", 0, "", kFillOut, res::IDC_IRC_PASSWORD},
    {"ChannelWithoutHash", res::IDC_IRC_CHANNEL, "relay", kNoChannel, res::IDC_IRC_CHANNEL},
    {"ChannelWithSpace", res::IDC_IRC_CHANNEL, "#re lay", kNoChannel, res::IDC_IRC_CHANNEL},
    {"HashInsideChannel", res::IDC_IRC_CHANNEL, "re#lay", {}, 0},
    {"CredentialsEmptyWithoutAuth", res::IDC_IRC_USERNAME, "", {}, 0},
    {"FingerprintNotSha256", res::IDC_IRC_FINGERPRINT, "AB:CD",
     {"irc_TLSFingerprint \"AB:CD\" is no SHA-256 fingerprint (64 hex digits, colons allowed)",
      "Error", EIcon::Error}, res::IDC_IRC_FINGERPRINT},
    {"ClientCertificateMissing", res::IDC_IRC_CLIENTCERT, "/nonexistent/c.pem",
     {"irc_ClientCert /nonexistent/c.pem cannot be read (No such file or directory)", "Error",
      EIcon::Error}, res::IDC_IRC_CLIENTCERT},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Rows, IrcDlgInputs, testing::ValuesIn(kInputRows),
                         [](const auto& info) { return std::string(info.param.m_name); });

TEST_F(IrcDlgTest, ExchangeStopsAtARefusedNumberInItsOrder) {
    FillInputs();
    Irc().TypeText(res::IDC_IRC_PORT, "");
    EXPECT_FALSE(Irc().UpdateData(true));
    const config::CSettings& settings = Main().WindowSettings();
    // Channel, nickname and server come before the port; the rest after it
    // keep the first start's values.
    EXPECT_EQ(settings.m_irc.m_strChannel, "#relay");
    EXPECT_EQ(settings.m_irc.m_strServer, "127.0.0.1");
    EXPECT_EQ(settings.m_irc.m_strAltNick, "");
    EXPECT_EQ(settings.m_nTicketSecs, 0);
}

TEST_F(IrcDlgTest, PortShowsAllSixteenBitsUnsigned) {
    // The settings file's -1.
    ASSERT_TRUE(testsupport::WriteWholeFile(SettingsPath(), "irc_Port=-1\r\n"));
    m_pApp.reset();
    Open();
    EXPECT_EQ(Irc().GetItemText(res::IDC_IRC_PORT), "65535");
    Irc().TypeText(res::IDC_IRC_PORT, "40000");
    Irc().UpdateData(true);
    EXPECT_EQ(static_cast<uint16_t>(Main().WindowSettings().m_irc.m_nPort), 40000);
}

TEST_F(IrcDlgTest, AuthenticationLookFollowsTheCheckBox) {
    ExpectInputs(false, false);
    Irc().Click(res::IDC_IRC_AUTH);
    ExpectInputs(false, true);
    EXPECT_EQ(Main().WindowSettings().m_irc.m_bAuth, 1);
    Irc().Click(res::IDC_IRC_AUTH);
    ExpectInputs(false, false);
    EXPECT_EQ(Main().WindowSettings().m_irc.m_bAuth, 0);
}

// Beside the TLS box, a word while the login would send the password
// readable: authentication on, TLS off, a server that is not this machine.
// Said, never refused.
TEST_F(IrcDlgTest, APasswordInPlainTextIsSaidBesideTheTlsBox) {
    ASSERT_TRUE(testsupport::WriteWholeFile(
        SettingsPath(), "irc_Server=irc.example.net\r\nirc_Auth=yes\r\nirc_Network=0\r\n"));
    m_pApp.reset();
    Open();
    EXPECT_TRUE(Irc().IsItemVisible(res::IDC_IRC_PLAIN_TEXT));
    Irc().Click(res::IDC_IRC_TLS);
    EXPECT_FALSE(Irc().IsItemVisible(res::IDC_IRC_PLAIN_TEXT));
    Irc().Click(res::IDC_IRC_TLS);
    EXPECT_TRUE(Irc().IsItemVisible(res::IDC_IRC_PLAIN_TEXT));
    Irc().Click(res::IDC_IRC_AUTH);
    EXPECT_FALSE(Irc().IsItemVisible(res::IDC_IRC_PLAIN_TEXT));
    Irc().Click(res::IDC_IRC_AUTH);
    // A local bouncer or tunnel is exempt: seen once the fields are taken.
    Irc().TypeText(res::IDC_IRC_SERVER, "127.0.0.1");
    Irc().Click(res::IDC_IRC_CONNECT);
    m_dispatcher.RunPending();
    EXPECT_FALSE(Irc().IsItemVisible(res::IDC_IRC_PLAIN_TEXT));
}

TEST_F(IrcDlgTest, AuthenticationFromTheSettingsShowsAtStart) {
    ASSERT_TRUE(testsupport::WriteWholeFile(SettingsPath(), "irc_Auth=yes\r\nirc_Network=1\r\n"));
    m_pApp.reset();
    Open();
    EXPECT_EQ(Irc().GetCheck(res::IDC_IRC_AUTH), framework::BST_CHECKED);
    EXPECT_TRUE(Irc().IsItemEnabled(res::IDC_IRC_NETWORK));
    EXPECT_EQ(Irc().GetCurSel(res::IDC_IRC_NETWORK), 1);
    EXPECT_FALSE(Irc().IsReadOnly(res::IDC_IRC_PASSWORD));
    EXPECT_TRUE(Irc().IsReadOnly(res::IDC_IRC_LOG));
    EXPECT_EQ(Irc().GetItemText(res::IDC_IRC_CONNECT), "Connect");
}

TEST_F(IrcDlgTest, ConnectLocksDisconnectSendsQuitAndUnlocks) {
    EnableAuth();
    ConnectAndJoin();
    // The writer thread sends, the server's reader takes: wait for the last
    // line before reading what came.
    ASSERT_TRUE(m_irc.WaitForLine(0, kUser));
    EXPECT_EQ(m_irc.Lines(0), (Lines{"NICK bot", kUser}));
    EXPECT_TRUE(Bot().State().m_irc.m_bSessionActive);
    EXPECT_TRUE(Irc().IsItemEnabled(res::IDC_IRC_CONNECT));
    ExpectInputs(true, true);
    EXPECT_EQ(Irc().TypeText(res::IDC_IRC_SERVER, "elsewhere"), "127.0.0.1");

    Irc().Click(res::IDC_IRC_CONNECT);
    EXPECT_TRUE(m_irc.WaitForLine(0, kQuit));
    EXPECT_TRUE(RunUntil([&] { return Caption(res::IDS_CONNECT); }));
    ExpectInputs(false, true);
    EXPECT_FALSE(Bot().State().m_irc.m_bSessionActive);
    EXPECT_FALSE(InChannel());

    // The server's goodbye ends the thread without a reconnection.
    m_irc.Send(0, "ERROR :Closing Link: bot[h] (Quit: bye)\r\n");
    m_irc.Close(0);
    ASSERT_TRUE(IrcIdle());
    EXPECT_TRUE(RunUntil([&] { return LastLogLine() == "Connection closed/refused."; }))
        << LastLogLine();
    EXPECT_EQ(m_irc.Connections(), 1);
    EXPECT_TRUE(Caption(res::IDS_CONNECT));
}

// TLS and SASL from the tab: the switch, the pin and the third network go
// to the bot; the connection opens with a TLS handshake and no line in
// plain text, and a failed handshake is in the log and unlocks the page.
TEST_F(IrcDlgTest, TlsAndSaslChoicesReachTheSessionAndNothingGoesInPlainText) {
    FillInputs();
    EnableAuth();
    ASSERT_TRUE(Irc().ChooseItem(res::IDC_IRC_NETWORK, 2));
    Irc().Click(res::IDC_IRC_TLS);
    const std::string strPin(64, 'a');
    Irc().TypeText(res::IDC_IRC_FINGERPRINT, strPin);
    // The scripted server knows no TLS: it hangs up on the client's hello.
    std::thread hangUp([&] {
        if (m_irc.WaitForConnections(1)) {
            testsupport::WaitUntil([&] { return !m_irc.Received(0).empty(); });
            m_irc.Close(0);
        }
    });
    Irc().Click(res::IDC_IRC_CONNECT);
    hangUp.join();
    {
        const config::CSettings settings = Bot().Settings();
        EXPECT_EQ(settings.m_irc.m_security.m_bTls, 1);
        EXPECT_EQ(settings.m_irc.m_security.m_strTlsFingerprint, strPin);
        EXPECT_EQ(settings.m_irc.m_nNetwork, irc::kNetworkSasl);
    }
    const std::string strHello = m_irc.Received(0);
    ASSERT_FALSE(strHello.empty());
    EXPECT_EQ(strHello[0], '\x16') << "a TLS handshake record";
    EXPECT_EQ(strHello.find("NICK"), std::string::npos);
    EXPECT_EQ(strHello.find("CAP LS"), std::string::npos);
    EXPECT_TRUE(RunUntil([&] {
        return LastLogLine() == "TLS: the server closed the connection during the handshake";
    })) << LastLogLine();
    EXPECT_TRUE(IrcIdle());
    EXPECT_TRUE(Irc().IsItemEnabled(res::IDC_IRC_TLS));
    EXPECT_FALSE(Irc().IsReadOnly(res::IDC_IRC_FINGERPRINT));
}

TEST_F(IrcDlgTest, TlsControlsAreLockedWhileConnected) {
    ConnectAndJoin();
    EXPECT_FALSE(Irc().IsItemEnabled(res::IDC_IRC_TLS));
    EXPECT_TRUE(Irc().IsReadOnly(res::IDC_IRC_FINGERPRINT));
    EXPECT_TRUE(Irc().IsReadOnly(res::IDC_IRC_CLIENTCERT));
    Irc().Click(res::IDC_IRC_CONNECT);
    ASSERT_TRUE(RunUntil([&] { return Caption(res::IDS_CONNECT); }));
    EXPECT_TRUE(Irc().IsItemEnabled(res::IDC_IRC_TLS));
    EXPECT_FALSE(Irc().IsReadOnly(res::IDC_IRC_CLIENTCERT));
}

TEST_F(IrcDlgTest, FailedConnectLeavesEveryControlAsBefore) {
    FillInputs();
    EnableAuth();
    m_irc.StopListening();
    const framework::CPageSnapshot before = Irc().Snapshot();
    Irc().Click(res::IDC_IRC_CONNECT);
    ASSERT_TRUE(RunUntil([&] {
        return LastLogLine() == "Couldn't find Server! Check the Portsettings.";
    })) << LastLogLine();
    Settle();
    EXPECT_FALSE(Bot().State().m_irc.m_bSessionActive);
    const framework::CPageSnapshot after = Irc().Snapshot();
    ASSERT_EQ(after.m_controls.size(), before.m_controls.size());
    for (size_t n = 0; n < before.m_controls.size(); ++n) {
        const framework::CControlState& b = before.m_controls[n];
        const framework::CControlState& a = after.m_controls[n];
        if (b.m_nId == res::IDC_IRC_LOG) continue;
        EXPECT_EQ(a.m_strText, b.m_strText) << b.m_nId;
        EXPECT_EQ(a.m_bEnabled, b.m_bEnabled) << b.m_nId;
        EXPECT_EQ(a.m_bReadOnly, b.m_bReadOnly) << b.m_nId;
    }
}

TEST_F(IrcDlgTest, SessionThatEndsByItselfUnlocksThePage) {
    ConnectAndJoin();
    m_irc.Close(0);  // dropped without an ERROR line: no reconnection
    ASSERT_TRUE(IrcIdle());
    ExpectInputs(false, false);
    EXPECT_FALSE(Bot().State().m_irc.m_bSessionActive);
}

// Regression: the old thread's queued unlock ran after a new Connect and
// unlocked the running session; and a Connect pressed before the page had
// caught up with the end was taken for a Disconnect.
TEST_F(IrcDlgTest, LateUnlockOfAnEndedSessionSparesANewOne) {
    ConnectAndJoin();
    Irc().Click(res::IDC_IRC_CONNECT);  // Disconnect; the server has not closed yet
    ASSERT_TRUE(m_irc.WaitForLine(0, kQuit));
    m_irc.Close(0);
    // This thread runs no queued work until the press below.
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] { return Bot().State().m_irc.m_eState == irc::EIrcState::Idle; }));
    Irc().Click(res::IDC_IRC_CONNECT);
    ASSERT_TRUE(m_irc.WaitForConnections(2));
    ASSERT_TRUE(IrcConnected());
    Settle();
    EXPECT_TRUE(Caption(res::IDS_DISCONNECT));
    ExpectInputs(true, false);
    EXPECT_TRUE(Bot().State().m_irc.m_bSessionActive);
}

TEST_F(IrcDlgTest, EnterSendsTheChatLineAndEchoesIt) {
    ConnectAndJoin();
    Irc().TypeText(res::IDC_IRC_INPUT, "hello all");
    Irc().PressEnter();
    EXPECT_TRUE(m_irc.WaitForLine(0, "PRIVMSG #relay :hello all"));
    EXPECT_TRUE(RunUntil([&] { return LastLogLine() == "<bot> hello all"; })) << LastLogLine();
    EXPECT_EQ(Irc().GetItemText(res::IDC_IRC_INPUT), "");

    // A typed line break cannot start a command of its own.
    Irc().TypeText(res::IDC_IRC_INPUT, "a\r\nQUIT :gone");
    Irc().PressEnter();
    EXPECT_TRUE(m_irc.WaitForLine(0, "PRIVMSG #relay :aQUIT :gone"));
    EXPECT_TRUE(RunUntil([&] { return LastLogLine() == "<bot> aQUIT :gone"; })) << LastLogLine();
}

TEST_F(IrcDlgTest, EnterOutsideTheChannelOnlyEchoes) {
    FillInputs();
    Irc().Click(res::IDC_IRC_CONNECT);
    ASSERT_TRUE(m_irc.WaitForLine(0, "NICK bot"));
    ASSERT_TRUE(IrcConnected());
    Irc().TypeText(res::IDC_IRC_INPUT, "anyone?");
    Irc().PressEnter();
    EXPECT_TRUE(RunUntil([&] { return LastLogLine() == "<bot> anyone?"; })) << LastLogLine();
    EXPECT_EQ(LinesBeforeQuit(), (Lines{"NICK bot", kUser}));
}

TEST_F(IrcDlgTest, EnterElsewhereOrEmptyAndEscapeDoNothing) {
    ConnectAndJoin();
    Settle();
    const std::string strLog = Irc().GetItemText(res::IDC_IRC_LOG);
    Irc().TypeText(res::IDC_IRC_INPUT, "not yet");
    Irc().FocusItem(res::IDC_IRC_LOG);
    Irc().PressEnter();
    EXPECT_EQ(Irc().GetItemText(res::IDC_IRC_INPUT), "not yet");
    Irc().TypeText(res::IDC_IRC_INPUT, "");
    Irc().PressEnter();
    Irc().PressEscape();
    Settle();
    EXPECT_EQ(Irc().GetItemText(res::IDC_IRC_LOG), strLog);
    EXPECT_FALSE(Irc().IsEnded());
    EXPECT_TRUE(Caption(res::IDS_DISCONNECT));
    EXPECT_EQ(LinesBeforeQuit(), (Lines{"NICK bot", kUser}));
}

// Regression: Enter put the channel edit's spelling back over the server's,
// and the channel's messages were no longer recognised.
TEST_F(IrcDlgTest, ChannelKeepsTheServersSpellingDuringASession) {
    ConnectAndJoin("#Relay");
    Irc().TypeText(res::IDC_IRC_INPUT, "hi");
    Irc().PressEnter();
    // The echo first: the bot's thread and the IRC thread both log.
    ASSERT_TRUE(RunUntil([&] { return LastLogLine() == "<bot> hi"; })) << LastLogLine();
    EXPECT_EQ(Bot().State().m_irc.m_strChannel, "#Relay");
    ASSERT_TRUE(m_irc.Send(0, ":al!a@h PRIVMSG #Relay :still heard\r\n"));
    EXPECT_TRUE(RunUntil([&] { return LastLogLine() == "<al> still heard"; }));

    Irc().Click(res::IDC_IRC_CONNECT);
    ASSERT_TRUE(RunUntil([&] { return Caption(res::IDS_CONNECT); }));
    Irc().UpdateData(true);
    // The operator's text once disconnected.
    EXPECT_EQ(Bot().State().m_irc.m_strChannel, "#relay");
    EXPECT_EQ(Main().WindowSettings().m_irc.m_strChannel, "#relay");
}

// Both nicknames alike and taken: the bot gives up at once instead of
// sending the same NICK for as long as the server refuses it.
TEST_F(IrcDlgTest, EqualNicknamesBothTakenEndTheSession) {
    FillInputs();
    Irc().TypeText(res::IDC_IRC_ALTNICK, "bot");
    Irc().Click(res::IDC_IRC_CONNECT);
    ASSERT_TRUE(m_irc.WaitForLine(0, "NICK bot"));
    m_irc.Send(0, ":srv 433 * bot :Nickname already in use\r\n");
    ASSERT_TRUE(IrcIdle());
    EXPECT_EQ(m_irc.Lines(0), (Lines{"NICK bot", kUser}));
    EXPECT_NE(Irc().GetItemText(res::IDC_IRC_LOG).find(":: Nickname (bot) is already in use."),
              std::string::npos);
}

TEST_F(IrcDlgTest, TheWindowsEndEndsTheThreadWithoutWaitingForTheServer) {
    FillInputs();
    Irc().Click(res::IDC_IRC_CONNECT);
    ASSERT_TRUE(m_irc.WaitForLine(0, kUser));
    m_pApp->ExitInstance();
    EXPECT_EQ(m_pApp->MainDlg(), nullptr);
    EXPECT_TRUE(testsupport::WaitUntil([&] { return m_irc.ClosedByPeer(0); }));
    EXPECT_EQ(Count(m_irc.Lines(0), kQuit), 0);
    m_dispatcher.RunPending();  // nothing queued may reach the deleted pages
}

// The window stays free while a server is being reached: Connect against
// an address where the connect never completes returns to the UI thread
// while the connect is still under way, the window answers meanwhile, and
// Disconnect ends the attempt.
TEST_F(IrcDlgTest, TheWindowStaysResponsiveWhileAServerIsBeingReached) {
    testsupport::CUnansweringTcpServer silent;
    ASSERT_TRUE(silent.HoldsAConnectFor(300));
    FillInputs(silent.Port());
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(Irc().Click(res::IDC_IRC_CONNECT));
    const auto clicked = std::chrono::steady_clock::now();
    std::printf(
        "[ figure ] Connect against a server that never answers: the click took %lld ms\n",
        static_cast<long long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(clicked - start).count()));
    // The connect begins after the click returned: the click did not wait
    // for it (it would have waited the 10 s connect limit).
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] { return Bot().State().m_irc.m_eState == irc::EIrcState::Connecting; }));
    // Meanwhile the UI thread runs the window: another tab, and back.
    ASSERT_TRUE(Main().ChooseItem(res::IDC_MAIN_TAB, ui::CMainDlg::kTabGame));
    EXPECT_TRUE(Game().IsWindowVisible());
    ASSERT_TRUE(Main().ChooseItem(res::IDC_MAIN_TAB, ui::CMainDlg::kTabIrc));
    m_dispatcher.RunPending();
    EXPECT_EQ(Bot().State().m_irc.m_eState, irc::EIrcState::Connecting);

    // The tab shows the session being opened, and Disconnect ends the
    // attempt well within the connect's limit.
    EXPECT_TRUE(RunUntil([&] { return Caption(res::IDS_DISCONNECT); }, std::chrono::seconds(2)))
        << "the tab does not show the session being opened";
    const auto disconnect = std::chrono::steady_clock::now();
    Irc().Click(res::IDC_IRC_CONNECT);
    // Half the connect limit: an attempt that ran to its limit fails here.
    EXPECT_TRUE(RunUntil(
        [&] {
            return Bot().State().m_irc.m_eState == irc::EIrcState::Idle &&
                   Caption(res::IDS_CONNECT);
        },
        std::chrono::seconds(5)))
        << "Disconnect did not end the attempt";
    std::printf("[ figure ] Disconnect to the end of the attempt: %lld ms\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - disconnect)
                                           .count()));
    EXPECT_TRUE(IrcIdle());
}

}  // namespace
}  // namespace uitest
