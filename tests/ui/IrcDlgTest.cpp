// The IRC tab driven as the operator drives it, against a scripted IRC
// server on 127.0.0.1: the checks before Connect, the locked and
// disconnected states, the authentication look, the chat line and QUIT.
// The test thread is the UI thread: it runs the dispatcher's queued work.
#include <gtest/gtest.h>

#include <ostream>

#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "framework/Dispatcher.h"
#include "framework/MessageBox.h"
#include "irc/IrcStream.h"
#include "platform/Clock.h"
#include "res/Resource.h"
#include "res/StringTable.h"
#include "support/ScriptedTcpServer.h"
#include "support/Wait.h"
#include "ui/IrcDlg.h"

namespace {

using framework::CMessage;
using framework::EIcon;
using testsupport::CScriptedTcpServer;
using Lines = std::vector<std::string>;

constexpr char kQuit[] = "QUIT :v1.3 BETA /// Battlefield 1942 to IRC relay";
const CMessage kFillOut{"Fill out all Inputfields!", "Error", EIcon::Error};
const CMessage kNoChannel{"Channelname is no valid", "Error", EIcon::Error};

class IrcDlgTest : public testing::Test {
protected:
    IrcDlgTest() {
        m_dispatcher.BindToCurrentThread();
        EXPECT_TRUE(m_page.Create(m_sink));
    }
    ~IrcDlgTest() override { EXPECT_EQ(m_page.UnknownIdUses(), 0u); }

    void FillInputs() { FillInputs(m_page, m_server.Port()); }
    static void FillInputs(ui::CIrcDlg& page, uint16_t nPort) {
        page.TypeText(res::IDC_IRC_NICK, "bot");
        page.TypeText(res::IDC_IRC_ALTNICK, "bot2");
        page.TypeText(res::IDC_IRC_CHANNEL, "#relay");
        page.TypeText(res::IDC_IRC_SERVER, "127.0.0.1");
        page.TypeText(res::IDC_IRC_PORT, std::to_string(nPort));
        page.TypeText(res::IDC_IRC_TICKETSECS, "60");
    }
    void EnableAuth() {
        m_page.Click(res::IDC_IRC_AUTH);
        m_page.ChooseItem(res::IDC_IRC_NETWORK, 0);
        m_page.TypeText(res::IDC_IRC_USERNAME, "user");
        m_page.TypeText(res::IDC_IRC_PASSWORD, "secret");
    }
    // Runs the UI thread's queued work while waiting.
    template <typename Pred>
    bool RunUntil(Pred pred) {
        return testsupport::WaitUntil([&] {
            m_dispatcher.RunPending();
            return pred();
        });
    }
    bool Caption(int nStringId) const {
        return m_page.GetItemText(res::IDC_IRC_CONNECT) == res::LoadResString(nStringId);
    }
    void ConnectAndJoin(const std::string& strServerChannel = "#relay") {
        FillInputs();
        ASSERT_TRUE(m_page.Click(res::IDC_IRC_CONNECT));
        ASSERT_TRUE(Caption(res::IDS_DISCONNECT));
        ASSERT_TRUE(m_server.WaitForConnections(1));
        ASSERT_TRUE(m_server.Send(0, ":bot!~bf1942@h JOIN :" + strServerChannel + "\r\n"));
        ASSERT_TRUE(testsupport::WaitUntil([&] { return m_page.IsInChannel(); }));
    }
    // What the connection sent, up to a line sent afterwards as a marker.
    Lines LinesBefore(const std::string& strMarker) {
        m_page.SendLine(strMarker);
        EXPECT_TRUE(m_server.WaitForLine(0, strMarker));
        Lines lines = m_server.Lines(0);
        lines.pop_back();
        return lines;
    }
    std::string LastLogLine() const {
        const std::string strLog = m_page.GetItemText(res::IDC_IRC_LOG);
        return strLog.substr(strLog.rfind('\n') + 1);
    }
    // Locked: every input read-only or disabled. Disconnected: the
    // connection fields open, the credentials and network only with auth.
    void ExpectInputs(bool bLocked, bool bAuth) {
        for (int nId : {res::IDC_IRC_SERVER, res::IDC_IRC_PORT, res::IDC_IRC_NICK,
                        res::IDC_IRC_ALTNICK, res::IDC_IRC_CHANNEL, res::IDC_IRC_TICKETSECS})
            EXPECT_EQ(m_page.IsReadOnly(nId), bLocked) << nId;
        EXPECT_EQ(m_page.IsItemEnabled(res::IDC_IRC_AUTH), !bLocked);
        const bool bOpen = !bLocked && bAuth;
        EXPECT_EQ(m_page.IsItemEnabled(res::IDC_IRC_NETWORK), bOpen);
        EXPECT_EQ(m_page.IsReadOnly(res::IDC_IRC_USERNAME), !bOpen);
        EXPECT_EQ(m_page.IsReadOnly(res::IDC_IRC_PASSWORD), !bOpen);
    }

    platform::CManualClock m_clock;
    framework::CDispatcher m_dispatcher;
    framework::CRecordingMessageSink m_sink;
    CScriptedTcpServer m_server;
    bridge::CGameShared m_gameShared;
    ui::CIrcDlg m_page{m_dispatcher, m_gameShared, m_clock};
};

struct CInputRow {
    const char* name;
    int nId;  // control typed into (0: the auth check box is ticked)
    const char* pszText;
    CMessage expected;  // empty text: Connect goes ahead
    int nFocusId;
};
// Rows print by name, so test listings stay readable.
void PrintTo(const CInputRow& row, std::ostream* pOut) {
    *pOut << row.name;
}

class IrcDlgInputs : public IrcDlgTest, public testing::WithParamInterface<CInputRow> {};

TEST_P(IrcDlgInputs, ConnectChecksTheFields) {
    const CInputRow& row = GetParam();
    FillInputs();
    if (row.nId == 0) {
        EnableAuth();
        m_page.TypeText(res::IDC_IRC_PASSWORD, "");
    } else {
        m_page.TypeText(row.nId, row.pszText);
    }
    m_page.Click(res::IDC_IRC_CONNECT);
    if (row.expected.strText.empty()) {
        EXPECT_EQ(m_sink.Count(), 0u) << m_sink.Last().strText;
        EXPECT_TRUE(Caption(res::IDS_DISCONNECT));
        EXPECT_TRUE(m_server.WaitForLine(0, "NICK bot"));
        return;
    }
    EXPECT_EQ(m_sink.Messages(), std::vector<CMessage>{row.expected});
    EXPECT_EQ(m_page.GetFocusItem(), row.nFocusId);
    EXPECT_FALSE(m_page.m_bSessionActive.load());
    EXPECT_FALSE(m_page.IsIrcThreadRunning());
    EXPECT_EQ(m_page.GetItemText(res::IDC_IRC_LOG), "");  // not even a connect attempt
    EXPECT_TRUE(Caption(res::IDS_CONNECT));
    ExpectInputs(false, row.nId == 0);
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
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(IrcDlgTest, ExchangeStopsAtARefusedNumberInItsOrder) {
    FillInputs();
    m_page.TypeText(res::IDC_IRC_PORT, "");
    EXPECT_FALSE(m_page.UpdateData(true));
    const irc::CIrcSettings connection = m_page.Connection();
    // Channel, nickname and server come before the port; the rest after it.
    EXPECT_EQ(connection.m_strChannel, "#relay");
    EXPECT_EQ(connection.m_strServer, "127.0.0.1");
    EXPECT_EQ(connection.m_strAltNick, "");
    EXPECT_EQ(m_page.GameShared().TicketSecs(), 0);
}

TEST_F(IrcDlgTest, PortShowsAllSixteenBitsUnsigned) {
    {
        irc::CIrcSettings connection = m_page.Connection();
        connection.m_nPort = 65535;  // the settings file's -1
        m_page.SetConnection(connection);
    }
    m_page.UpdateData(false);
    EXPECT_EQ(m_page.GetItemText(res::IDC_IRC_PORT), "65535");
    m_page.TypeText(res::IDC_IRC_PORT, "40000");
    m_page.UpdateData(true);
    EXPECT_EQ(m_page.Connection().m_nPort, 40000);
}

TEST_F(IrcDlgTest, AuthenticationLookFollowsTheCheckBox) {
    ExpectInputs(false, false);
    m_page.Click(res::IDC_IRC_AUTH);
    ExpectInputs(false, true);
    EXPECT_TRUE(m_page.Connection().m_bAuth);
    m_page.Click(res::IDC_IRC_AUTH);
    ExpectInputs(false, false);
    EXPECT_FALSE(m_page.Connection().m_bAuth);
}

TEST_F(IrcDlgTest, AuthenticationFromTheSettingsShowsAtStart) {
    ui::CIrcDlg page(m_dispatcher, m_gameShared, m_clock);
    irc::CIrcSettings connection = page.Connection();
    connection.m_bAuth = true;
    connection.m_nNetwork = 1;
    page.SetConnection(connection);
    ASSERT_TRUE(page.Create(m_sink));
    EXPECT_EQ(page.GetCheck(res::IDC_IRC_AUTH), framework::BST_CHECKED);
    EXPECT_TRUE(page.IsItemEnabled(res::IDC_IRC_NETWORK));
    EXPECT_EQ(page.GetCurSel(res::IDC_IRC_NETWORK), 1);
    EXPECT_FALSE(page.IsReadOnly(res::IDC_IRC_PASSWORD));
    EXPECT_TRUE(page.IsReadOnly(res::IDC_IRC_LOG));
    EXPECT_EQ(page.GetItemText(res::IDC_IRC_CONNECT), "Connect");
}

TEST_F(IrcDlgTest, ConnectLocksDisconnectSendsQuitAndUnlocks) {
    EnableAuth();
    ConnectAndJoin();
    // The writer thread sends, the server's reader takes: wait for the last
    // line before reading what came.
    ASSERT_TRUE(m_server.WaitForLine(0, "USER bf1942 * * :v1.3 BETA"));
    EXPECT_EQ(m_server.Lines(0), (Lines{"NICK bot", "USER bf1942 * * :v1.3 BETA"}));
    EXPECT_TRUE(m_page.m_bSessionActive.load());
    EXPECT_TRUE(m_page.IsItemEnabled(res::IDC_IRC_CONNECT));
    ExpectInputs(true, true);
    EXPECT_EQ(m_page.TypeText(res::IDC_IRC_SERVER, "elsewhere"), "127.0.0.1");

    m_page.Click(res::IDC_IRC_CONNECT);
    EXPECT_TRUE(m_server.WaitForLine(0, kQuit));
    EXPECT_TRUE(Caption(res::IDS_CONNECT));
    ExpectInputs(false, true);
    EXPECT_FALSE(m_page.m_bSessionActive.load());
    EXPECT_FALSE(m_page.IsInChannel());

    // The server's goodbye ends the thread without a reconnection.
    m_server.Send(0, "ERROR :Closing Link: bot[h] (Quit: bye)\r\n");
    m_server.Close(0);
    ASSERT_TRUE(RunUntil([&] { return !m_page.IsIrcThreadRunning(); }));
    EXPECT_EQ(m_server.Connections(), 1);
    EXPECT_EQ(LastLogLine(), "Connection closed/refused.");
    EXPECT_TRUE(Caption(res::IDS_CONNECT));
}

// TLS and SASL from the tab: the switch, the pin and the third network go
// to the session; the connection opens with a TLS handshake and no line in
// plain text, and a failed handshake is in the log and unlocks the page.
TEST_F(IrcDlgTest, TlsAndSaslChoicesReachTheSessionAndNothingGoesInPlainText) {
    FillInputs();
    EnableAuth();
    ASSERT_TRUE(m_page.ChooseItem(res::IDC_IRC_NETWORK, 2));
    m_page.Click(res::IDC_IRC_TLS);
    const std::string strPin(64, 'a');
    m_page.TypeText(res::IDC_IRC_FINGERPRINT, strPin);
    // The scripted server knows no TLS: it hangs up on the client's hello.
    std::thread hangUp([&] {
        if (m_server.WaitForConnections(1)) {
            testsupport::WaitUntil([&] { return !m_server.Received(0).empty(); });
            m_server.Close(0);
        }
    });
    m_page.Click(res::IDC_IRC_CONNECT);
    hangUp.join();
    {
        const irc::CIrcSettings connection = m_page.Connection();
        EXPECT_TRUE(connection.m_security.m_bTls);
        EXPECT_EQ(connection.m_security.m_strTlsFingerprint, strPin);
        EXPECT_EQ(connection.m_nNetwork, irc::kNetworkSasl);
    }
    const std::string strHello = m_server.Received(0);
    ASSERT_FALSE(strHello.empty());
    EXPECT_EQ(strHello[0], '\x16') << "a TLS handshake record";
    EXPECT_EQ(strHello.find("NICK"), std::string::npos);
    EXPECT_EQ(strHello.find("CAP LS"), std::string::npos);
    EXPECT_EQ(LastLogLine(), "TLS: the server closed the connection during the handshake");
    EXPECT_TRUE(Caption(res::IDS_CONNECT));
    EXPECT_TRUE(m_page.IsItemEnabled(res::IDC_IRC_TLS));
    EXPECT_FALSE(m_page.IsReadOnly(res::IDC_IRC_FINGERPRINT));
}

TEST_F(IrcDlgTest, TlsControlsAreLockedWhileConnected) {
    ConnectAndJoin();
    EXPECT_FALSE(m_page.IsItemEnabled(res::IDC_IRC_TLS));
    EXPECT_TRUE(m_page.IsReadOnly(res::IDC_IRC_FINGERPRINT));
    EXPECT_TRUE(m_page.IsReadOnly(res::IDC_IRC_CLIENTCERT));
    m_page.Click(res::IDC_IRC_CONNECT);
    EXPECT_TRUE(m_page.IsItemEnabled(res::IDC_IRC_TLS));
    EXPECT_FALSE(m_page.IsReadOnly(res::IDC_IRC_CLIENTCERT));
}

TEST_F(IrcDlgTest, FailedConnectLeavesEveryControlAsBefore) {
    FillInputs();
    EnableAuth();
    m_server.StopListening();
    framework::CPageSnapshot before = m_page.Snapshot();
    m_page.Click(res::IDC_IRC_CONNECT);
    EXPECT_EQ(LastLogLine(), "Couldn't find Server! Check the Portsettings.");
    EXPECT_FALSE(m_page.m_bSessionActive.load());
    const framework::CPageSnapshot after = m_page.Snapshot();
    for (size_t n = 0; n < before.controls.size(); ++n) {
        const framework::CControlState& b = before.controls[n];
        const framework::CControlState& a = after.controls[n];
        if (b.nId == res::IDC_IRC_LOG) continue;
        EXPECT_EQ(a.strText, b.strText) << b.nId;
        EXPECT_EQ(a.bEnabled, b.bEnabled) << b.nId;
        EXPECT_EQ(a.bReadOnly, b.bReadOnly) << b.nId;
    }
}

TEST_F(IrcDlgTest, SessionThatEndsByItselfUnlocksThePage) {
    ConnectAndJoin();
    m_server.Close(0);  // dropped without an ERROR line: no reconnection
    ASSERT_TRUE(RunUntil([&] { return Caption(res::IDS_CONNECT); }));
    ExpectInputs(false, false);
    EXPECT_FALSE(m_page.m_bSessionActive.load());
}

// Regression: the old thread's queued unlock ran after a new Connect and
// unlocked the running session.
TEST_F(IrcDlgTest, LateUnlockOfAnEndedSessionSparesANewOne) {
    ConnectAndJoin();
    m_page.Click(res::IDC_IRC_CONNECT);  // Disconnect; the server has not closed yet
    ASSERT_TRUE(m_server.WaitForLine(0, kQuit));
    m_server.Close(0);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !m_page.IsIrcThreadRunning(); }));
    m_page.Click(res::IDC_IRC_CONNECT);  // before the UI thread ran the queued unlock
    ASSERT_TRUE(m_server.WaitForConnections(2));
    m_dispatcher.RunPending();
    EXPECT_TRUE(Caption(res::IDS_DISCONNECT));
    ExpectInputs(true, false);
    EXPECT_TRUE(m_page.m_bSessionActive.load());
}

TEST_F(IrcDlgTest, EnterSendsTheChatLineAndEchoesIt) {
    ConnectAndJoin();
    m_page.TypeText(res::IDC_IRC_INPUT, "hello all");
    m_page.PressEnter();
    EXPECT_TRUE(m_server.WaitForLine(0, "PRIVMSG #relay :hello all"));
    EXPECT_EQ(LastLogLine(), "<bot> hello all");
    EXPECT_EQ(m_page.GetItemText(res::IDC_IRC_INPUT), "");

    // A typed line break cannot start a command of its own.
    m_page.TypeText(res::IDC_IRC_INPUT, "a\r\nQUIT :gone");
    m_page.PressEnter();
    EXPECT_TRUE(m_server.WaitForLine(0, "PRIVMSG #relay :aQUIT :gone"));
    EXPECT_EQ(LastLogLine(), "<bot> aQUIT :gone");
}

TEST_F(IrcDlgTest, EnterOutsideTheChannelOnlyEchoes) {
    FillInputs();
    m_page.Click(res::IDC_IRC_CONNECT);
    ASSERT_TRUE(m_server.WaitForLine(0, "NICK bot"));
    m_page.TypeText(res::IDC_IRC_INPUT, "anyone?");
    m_page.PressEnter();
    EXPECT_EQ(LastLogLine(), "<bot> anyone?");
    EXPECT_EQ(LinesBefore("MARK"), (Lines{"NICK bot", "USER bf1942 * * :v1.3 BETA"}));
}

TEST_F(IrcDlgTest, EnterElsewhereOrEmptyAndEscapeDoNothing) {
    ConnectAndJoin();
    const std::string strLog = m_page.GetItemText(res::IDC_IRC_LOG);
    m_page.TypeText(res::IDC_IRC_INPUT, "not yet");
    m_page.FocusItem(res::IDC_IRC_LOG);
    m_page.PressEnter();
    EXPECT_EQ(m_page.GetItemText(res::IDC_IRC_INPUT), "not yet");
    m_page.TypeText(res::IDC_IRC_INPUT, "");
    m_page.PressEnter();
    m_page.PressEscape();
    EXPECT_EQ(m_page.GetItemText(res::IDC_IRC_LOG), strLog);
    EXPECT_FALSE(m_page.IsEnded());
    EXPECT_TRUE(Caption(res::IDS_DISCONNECT));
    EXPECT_EQ(LinesBefore("MARK"), (Lines{"NICK bot", "USER bf1942 * * :v1.3 BETA"}));
}

// Regression: Enter put the channel edit's spelling back over the server's,
// and the channel's messages were no longer recognised.
TEST_F(IrcDlgTest, ChannelKeepsTheServersSpellingDuringASession) {
    ConnectAndJoin("#Relay");
    m_page.TypeText(res::IDC_IRC_INPUT, "hi");
    m_page.PressEnter();
    EXPECT_EQ(m_page.GetChannel(), "#Relay");
    ASSERT_TRUE(m_server.Send(0, ":al!a@h PRIVMSG #Relay :still heard\r\n"));
    EXPECT_TRUE(testsupport::WaitUntil([&] { return LastLogLine() == "<al> still heard"; }));

    m_page.Click(res::IDC_IRC_CONNECT);
    m_page.UpdateData(true);
    EXPECT_EQ(m_page.GetChannel(), "#relay");  // the operator's text once disconnected
}

// Both nicknames alike and taken: the bot gives up at once instead of
// sending the same NICK for as long as the server refuses it.
TEST_F(IrcDlgTest, EqualNicknamesBothTakenEndTheSession) {
    FillInputs();
    m_page.TypeText(res::IDC_IRC_ALTNICK, "bot");
    m_page.Click(res::IDC_IRC_CONNECT);
    ASSERT_TRUE(m_server.WaitForLine(0, "NICK bot"));
    m_server.Send(0, ":srv 433 * bot :Nickname already in use\r\n");
    ASSERT_TRUE(RunUntil([&] { return Caption(res::IDS_CONNECT); }));
    EXPECT_EQ(m_server.Lines(0), (Lines{"NICK bot", "USER bf1942 * * :v1.3 BETA"}));
    EXPECT_NE(m_page.GetItemText(res::IDC_IRC_LOG).find(":: Nickname (bot) is already in use."),
              std::string::npos);
}

TEST_F(IrcDlgTest, DestroyingThePageEndsTheThreadWithoutWaitingForTheServer) {
    auto pPage = std::make_unique<ui::CIrcDlg>(m_dispatcher, m_gameShared, m_clock);
    ASSERT_TRUE(pPage->Create(m_sink));
    CScriptedTcpServer server;
    FillInputs(*pPage, server.Port());
    pPage->Click(res::IDC_IRC_CONNECT);
    ASSERT_TRUE(pPage->IsIrcThreadRunning());
    pPage.reset();
    EXPECT_TRUE(testsupport::WaitUntil([&] { return server.ClosedByPeer(0); }));
    m_dispatcher.RunPending();  // nothing queued may reach the deleted page
}

}  // namespace
