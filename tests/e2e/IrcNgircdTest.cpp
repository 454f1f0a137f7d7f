// The IRC client against a real IRC server (ngircd) on 127.0.0.1, with a
// second, plain client as the other user in the channel.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "irc/IrcText.h"
#include "platform/Backoff.h"
#include "platform/Clock.h"
#include "support/HoldingClock.h"
#include "support/IrcTestClient.h"
#include "support/NgircdServer.h"
#include "support/RecordingIrcSession.h"
#include "support/ScriptedTcpServer.h"
#include "support/Wait.h"

using testsupport::CIrcTestClient;
using testsupport::CNgircdServer;
using testsupport::CRecordingIrcSession;
using testsupport::CScriptedTcpServer;
using testsupport::WaitUntil;

namespace {

constexpr auto kLong = std::chrono::seconds(10);

class IrcAgainstNgircd : public ::testing::Test {
protected:
    void SetUp() override {
        if (!CNgircdServer::Available()) {
            if (std::getenv("FR_REQUIRE_PEERS") != nullptr)
                FAIL() << CNgircdServer::kBinary << " is missing (FR_REQUIRE_PEERS is set)";
            GTEST_SKIP() << CNgircdServer::kBinary << " is not installed";
        }
        ASSERT_TRUE(m_server.Start()) << m_server.Log();
        m_bot.Configure("127.0.0.1", m_server.Port(), "fragbot", "fragbot2", "#Relay");
    }
    void TearDown() override {
        m_bot.ReleaseLog();
        m_bot.EndIrcThread();
    }

    // The other user joins first, so the server makes them channel operator.
    void AliceJoins() {
        ASSERT_TRUE(m_alice.Connect(m_server.Port(), "alice"));
        ASSERT_TRUE(m_alice.SendLine("JOIN #Relay"));
        ASSERT_TRUE(m_alice.WaitFor(" 366 alice #Relay "));
    }
    static std::string JoinOf(const std::string& strNick,
                              const std::string& strHost = "127.0.0.1") {
        return ":" + strNick + "!~bf1942@" + strHost + " JOIN :#Relay";
    }
    void BotJoins() {
        m_bot.OpenSession();
        ASSERT_TRUE(WaitUntil([&] { return m_bot.IsInChannel(); }, kLong));
    }

    CNgircdServer m_server;
    CIrcTestClient m_alice;
    CRecordingIrcSession m_bot{platform::SystemClock()};
};

TEST_F(IrcAgainstNgircd, RegistersJoinsLogsAndAnswers) {
    AliceJoins();
    {
        irc::CIrcSettings connection = m_bot.Connection();
        connection.m_bAuth = true;  // no account service here: the server just says so
        connection.m_nNetwork = 0;
        connection.m_strUsername = "user";
        connection.m_strPassword = "secret";
        m_bot.SetConnection(connection);
    }
    BotJoins();
    EXPECT_EQ(m_bot.GetChannel(), "#Relay");
    // "+x" was accepted: the join shows the cloaked host.
    ASSERT_TRUE(m_alice.WaitFor(JoinOf("fragbot", CNgircdServer::kCloakedHost)))
        << ::testing::PrintToString(m_alice.Lines());

    ASSERT_TRUE(m_alice.SendLine("PRIVMSG #Relay :hello bot"));
    EXPECT_TRUE(m_bot.WaitForLog("<alice> hello bot", kLong));

    ASSERT_TRUE(m_alice.SendLine("PRIVMSG fragbot :\x01VERSION\x01"));
    EXPECT_TRUE(m_alice.WaitFor(
        " NOTICE alice :\x01VERSION fragrelay v1.3 BETA Battlefield 1942 to IRC relay\x01"));

    m_bot.SendToChannel("line from the game side");
    EXPECT_TRUE(m_alice.WaitFor(" PRIVMSG #Relay :line from the game side"));

    ASSERT_TRUE(m_alice.SendLine("PRIVMSG #Relay :!gameinfo"));
    std::optional<bridge::CChannelRequest> request;
    EXPECT_TRUE(WaitUntil([&] { return (request = m_bot.TakeRequest()).has_value(); }, kLong));
    EXPECT_EQ(request, (bridge::CChannelRequest{bridge::EChannelRequest::GameInfo, "alice", ""}));

    CIrcTestClient carol;
    ASSERT_TRUE(carol.Connect(m_server.Port(), "carol"));
    ASSERT_TRUE(carol.SendLine("JOIN #Relay"));
    EXPECT_TRUE(carol.WaitFor(std::string(" NOTICE carol :") + irc::NoticeOffline()));
    EXPECT_TRUE(m_bot.WaitForLog(":: carol has joined #Relay", kLong));

    // Disconnect: the server answers QUIT and closes; no reconnection.
    m_bot.Disconnect();
    // The server passes the reason on in quotes.
    EXPECT_TRUE(m_alice.WaitFor(" QUIT :\"v1.3 BETA /// Battlefield 1942 to IRC relay"));
    ASSERT_TRUE(WaitUntil([&] { return !m_bot.IsIrcThreadRunning(); }, kLong));
    EXPECT_FALSE(m_bot.HasLog("Trying to reconnect ..."));
    EXPECT_EQ(m_bot.SessionEnds(), 1);
}

TEST_F(IrcAgainstNgircd, RejoinsAfterKick) {
    AliceJoins();
    BotJoins();
    ASSERT_TRUE(m_alice.WaitFor(JoinOf("fragbot")));
    ASSERT_TRUE(m_alice.SendLine("KICK #Relay fragbot :behave"));
    EXPECT_TRUE(m_bot.WaitForLog(":: fragbot was kicked by alice", kLong));
    EXPECT_TRUE(m_alice.WaitFor(JoinOf("fragbot"), 2));
    EXPECT_TRUE(WaitUntil([&] { return m_bot.IsInChannel(); }, kLong));
}

TEST_F(IrcAgainstNgircd, TakesAlternativeNicknameWhenFirstIsInUse) {
    AliceJoins();
    CIrcTestClient squatter;
    ASSERT_TRUE(squatter.Connect(m_server.Port(), "fragbot"));
    BotJoins();
    EXPECT_EQ(m_bot.GetCurrentNick(), "fragbot2");
    EXPECT_TRUE(m_alice.WaitFor(JoinOf("fragbot2")));
    EXPECT_TRUE(m_bot.HasLog(":: Nickname (fragbot) is already in use."));
    EXPECT_TRUE(m_bot.HasLog(":: Trying alternative Nickname..."));
}

TEST_F(IrcAgainstNgircd, ReconnectsWhenServerComesBack) {
    BotJoins();
    const uint16_t nPort = m_server.Port();
    // The bot reconnects once, after the back-off's first wait; hold it at
    // the close until the server is back, as a quick restart would be.
    m_bot.HoldLogAt("Connection closed/refused.");
    m_server.Stop();  // SIGTERM: the server sends ERROR and closes
    ASSERT_TRUE(WaitUntil([&] { return m_bot.IsHeld(); }, kLong));
    EXPECT_FALSE(m_bot.IsInChannel());
    ASSERT_TRUE(m_server.Start(nPort)) << m_server.Log();
    m_bot.ReleaseLog();
    ASSERT_TRUE(m_bot.WaitForLog("Trying to reconnect ...", kLong));
    ASSERT_TRUE(WaitUntil([&] { return m_bot.IsInChannel(); }, kLong));
    const auto logs = m_bot.Logs();
    EXPECT_TRUE(m_bot.HasLog(":: Server going down")) << "server's ERROR line not logged";
    EXPECT_EQ(std::count(logs.begin(), logs.end(), "Connecting to 127.0.0.1"), 2);
    EXPECT_TRUE(m_bot.IsIrcThreadRunning());
}

// Broadcast keeps relaying: the server restarted again and again, once
// staying down for an attempt, and the bot comes back and rejoins each time.
// The waits between attempts are the test's (held, then let go one by one).
TEST_F(IrcAgainstNgircd, KeepAliveRejoinsAfterEveryRestart) {
    testsupport::CHoldingClock clock;
    clock.HoldFrom(platform::CBackoff::kFirstMs * 8 / 10);
    CRecordingIrcSession bot(clock);
    bot.Configure("127.0.0.1", m_server.Port(), "keepbot", "keepbot2", "#Relay");
    bot.SetKeepAlive(true);
    bot.OpenSession();
    ASSERT_TRUE(WaitUntil([&] { return bot.IsInChannel(); }, kLong));
    const uint16_t nPort = m_server.Port();
    for (int nRestart = 0; nRestart < 3; ++nRestart) {
        SCOPED_TRACE(nRestart);
        m_server.Stop();
        ASSERT_TRUE(WaitUntil([&] { return clock.IsHolding(); }, kLong));
        EXPECT_FALSE(bot.IsInChannel());
        if (nRestart == 1) {
            // One attempt while the server is still down: refused, and the
            // bot waits again instead of giving up.
            const auto nFailed = [&] {
                const auto logs = bot.Logs();
                return std::count(logs.begin(), logs.end(),
                                  "Couldn't find Server! Check the Portsettings.");
            };
            clock.ReleaseOnce();
            ASSERT_TRUE(WaitUntil([&] { return nFailed() == 1 && clock.IsHolding(); }, kLong));
        }
        ASSERT_TRUE(m_server.Start(nPort)) << m_server.Log();
        clock.ReleaseOnce();
        ASSERT_TRUE(WaitUntil([&] { return bot.IsInChannel(); }, kLong));
        EXPECT_EQ(bot.GetChannel(), "#Relay");
    }
    const auto logs = bot.Logs();
    EXPECT_EQ(std::count(logs.begin(), logs.end(), "Connecting to 127.0.0.1"), 4);
    EXPECT_TRUE(bot.IsIrcThreadRunning());
    EXPECT_EQ(bot.SessionEnds(), 0);
    clock.Release();
    bot.EndIrcThread();
}

// Quit and SIGTERM end the IRC side within two seconds whatever the peer
// does: here one that takes nothing the bot sends.
TEST(IrcAgainstStuckServer, EndingTheSessionTakesUnderTwoSeconds) {
    CScriptedTcpServer server(CScriptedTcpServer::EReading::NeverReads);
    CRecordingIrcSession bot{platform::SystemClock()};
    bot.Configure("127.0.0.1", server.Port(), "bot", "bot2", "#Relay");
    bot.OpenSession();
    ASSERT_TRUE(server.WaitForConnections(1));
    std::string strPings;
    for (int n = 0; n < 600; ++n) strPings += "PING :" + std::string(400, 't') + "\r\n";
    ASSERT_TRUE(server.Send(0, strPings));
    ASSERT_TRUE(WaitUntil([&] { return bot.Writes().size() > 20 && bot.IsWriting(); }));
    bot.Disconnect();
    const auto start = std::chrono::steady_clock::now();
    bot.EndIrcThread();
    const auto nMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::steady_clock::now() - start)
                         .count();
    std::printf("[ figure ] EndIrcThread against a server that stops reading: %ld ms\n",
                static_cast<long>(nMs));
    EXPECT_LT(nMs, 2000);
    EXPECT_FALSE(bot.IsIrcThreadRunning());
}

}  // namespace
