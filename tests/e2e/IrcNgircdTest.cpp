// The IRC client against a real IRC server (ngircd) on 127.0.0.1, with a
// second, plain client as the other user in the channel.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "irc/IrcText.h"
#include "platform/Clock.h"
#include "support/IrcTestClient.h"
#include "support/NgircdServer.h"
#include "support/RecordingIrcSession.h"
#include "support/Wait.h"

using testsupport::CIrcTestClient;
using testsupport::CNgircdServer;
using testsupport::CRecordingIrcSession;
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
        ASSERT_EQ(m_bot.OpenSession(), 0);
        ASSERT_TRUE(WaitUntil([&] { return m_bot.IsInChannel(); }, kLong));
    }

    CNgircdServer m_server;
    CIrcTestClient m_alice;
    CRecordingIrcSession m_bot{platform::SystemClock()};
};

TEST_F(IrcAgainstNgircd, RegistersJoinsLogsAndAnswers) {
    AliceJoins();
    {
        auto lock = m_bot.LockFields();
        m_bot.m_bAuth = true;  // no account service here: the server just says so
        m_bot.m_nNetwork = 0;
        m_bot.m_strUsername = "user";
        m_bot.m_strPassword = "secret";
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
    std::string strRequest;
    EXPECT_TRUE(
        WaitUntil([&] { return (strRequest = m_bot.TakeRequest()) == "!gameinfo"; }, kLong));

    CIrcTestClient carol;
    ASSERT_TRUE(carol.Connect(m_server.Port(), "carol"));
    ASSERT_TRUE(carol.SendLine("JOIN #Relay"));
    EXPECT_TRUE(carol.WaitFor(std::string(" NOTICE carol :") + irc::kNoticeOffline));
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
    // The bot reconnects once, at once; hold it at the close until the
    // server is back, as a quick restart would be.
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

}  // namespace
