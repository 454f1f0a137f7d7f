// A scripted match end to end: the stand-in game server plays it, the bot's
// game side monitors it, the IRC side sits in a channel of a real ngircd, and a
// second, plain client in that channel records what arrives, byte for byte
// and in order; once over 127.0.0.1 and once with both servers given as
// ::1, and once with the bot on ngircd's TLS port (its certificate checked
// against the tests' CA). A second test measures (and only reports) how long a score change
// takes from the server's reply to the other client.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "config/SettingsFormat.h"
#include "core/GameLog.h"
#include "core/GameSide.h"
#include "core/SideSettings.h"
#include "platform/Clock.h"
#include "support/ColorText.h"
#include "support/Ipv6Loopback.h"
#include "support/IrcTestClient.h"
#include "support/NgircdServer.h"
#include "support/NgircdTlsServer.h"
#include "support/RecordingIrcSession.h"
#include "support/ScriptedUdpServer.h"
#include "support/TestCertificates.h"
#include "support/Wait.h"
#include "tools/bf42sim/SimServer.h"

namespace {

using Lines = std::vector<std::string>;
using testsupport::CIrcTestClient;
using testsupport::CNgircdServer;
using testsupport::WaitUntil;

constexpr auto kLong = std::chrono::seconds(20);
const std::string kPrivmsg = " PRIVMSG #Relay :";

// Expected lines are written with "^" for the colour byte 0x03.
using testsupport::C;
std::string Long(const std::string& strText) {
    return C("^10* * * * * * * * * * ^[^14") + strText + C("^]^10 * * * * * * * * * *");
}
std::string Short(const std::string& strText) {
    return C("^10* * * * * * ^[^14") + strText + C("^]^10 * * * * * * ");
}
// A message as the IRC server passes it on: without trailing blanks.
std::string Received(std::string str) {
    while (!str.empty() && str.back() == ' ') str.pop_back();
    return str;
}

// The game side's settings as the operator leaves them: one-digit colours,
// English, the game server at strHost.
core::CGameRunSettings RunSettings(const std::string& strHost, uint16_t nQueryPort) {
    return core::GameRunSettingsOf(config::ParseSettings(
        "bf_Language=0\r\nbf_Server=" + strHost + "\r\nbf_Port=" + std::to_string(nQueryPort) +
        "\r\nallied_farbe_kill=2\r\nallied_farbe_flagge=12\r\naxis_farbe_kill=5\r\n"
        "axis_farbe_flagge=4\r\nstatus_farbe=15\r\nkey_farbe=10\r\nvalue_farbe=14\r\n"));
}

// The game log as the bot's faces show it.
class CGameLog : public core::IGameSideEvents {
public:
    void OnGameLog(const std::string& strLine) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_strLog += (m_strLog.empty() ? "" : "\n") + core::GameLogText(strLine);
    }
    void OnGameStatusChanged() override {}
    std::string Text() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_strLog;
    }

private:
    mutable std::mutex m_mutex;
    std::string m_strLog;
};

class ScriptedMatch : public testing::Test {
protected:
    ScriptedMatch() : ScriptedMatch(false) {}
    // bIpv6: the bot reaches ngircd and the game server at ::1 (the other
    // users stay on 127.0.0.1: ngircd listens on both).
    explicit ScriptedMatch(bool bIpv6, bool bTls = false)
        : m_bIpv6(bIpv6), m_bTls(bTls), m_ngircd(bIpv6) {}

    void SetUp() override {
        if (!CNgircdServer::Available()) {
            if (std::getenv("FR_REQUIRE_PEERS") != nullptr)
                FAIL() << CNgircdServer::kBinary << " is missing (FR_REQUIRE_PEERS is set)";
            GTEST_SKIP() << CNgircdServer::kBinary << " is not installed";
        }
        if (m_bIpv6) FR_SKIP_WITHOUT_IPV6();
        if (m_bTls) {
            ASSERT_NO_FATAL_FAILURE(StartTlsServer());
        } else {
            ASSERT_TRUE(m_ngircd.Start()) << m_ngircd.Log();
        }
        // The other user joins first and records everything from then on.
        ASSERT_TRUE(m_alice.Connect(PlainPort(), "alice"));
        ASSERT_TRUE(m_alice.SendLine("JOIN #Relay"));
        ASSERT_TRUE(m_alice.WaitFor(" 366 alice #Relay "));

        m_game.SetIrcLink(&m_bot);
        m_game.SetBroadcastFlag(&m_bBroadcast);

        m_bot.Configure(Host(), m_bTls ? m_pTlsServer->TlsPort() : PlainPort(), "fragbot",
                        "fragbot2", "#Relay");
        {
            irc::CIrcSettings connection = m_bot.Connection();
            connection.m_security.m_bTls = m_bTls;
            m_bot.SetConnection(connection);
        }
        m_bot.OpenSession();
        ASSERT_TRUE(WaitUntil([&] { return m_bot.IsInChannel(); }, kLong));
        ASSERT_TRUE(m_alice.WaitFor(":fragbot!"));
        m_bBroadcast = true;  // what Broadcast does once both sides run
    }
    void TearDown() override {
        m_game.Shutdown();
        m_bot.EndIrcThread();
    }
    // What the bot said in the channel, in arrival order.
    Lines ChannelLines() const {
        Lines lines;
        for (const std::string& str : m_alice.Lines()) {
            const size_t nAt = str.find(kPrivmsg);
            if (str.rfind(":fragbot!", 0) == 0 && nAt != std::string::npos)
                lines.push_back(str.substr(nAt + kPrivmsg.size()));
        }
        return lines;
    }
    // The game side's Connect.
    void Connect(uint16_t nQueryPort) {
        m_game.Start(RunSettings(Host(), nQueryPort));
        ASSERT_EQ(m_game.RunState(), bridge::EGameState::Running);
    }
    std::string Host() const { return m_bIpv6 ? "::1" : "127.0.0.1"; }
    // Where the other users connect: the plain port of whichever ngircd runs.
    uint16_t PlainPort() const { return m_bTls ? m_pTlsServer->Port() : m_ngircd.Port(); }
    void StartTlsServer() {
        if (!testsupport::CNgircdTlsServer::Available() ||
            !testsupport::CTestCertificates::Available()) {
            if (std::getenv("FR_REQUIRE_PEERS") != nullptr)
                FAIL() << "ngircd or openssl is missing (FR_REQUIRE_PEERS is set)";
            GTEST_SKIP() << "ngircd or openssl is not installed";
        }
        m_pCerts = std::make_unique<testsupport::CTestCertificates>();
        ASSERT_TRUE(m_pCerts->Make()) << m_pCerts->Log();
        // The tests' CA stands in for the system's trust store.
        ::setenv("SSL_CERT_FILE", m_pCerts->CaFile().c_str(), 1);
        m_pTlsServer = std::make_unique<testsupport::CNgircdTlsServer>();
        ASSERT_TRUE(m_pTlsServer->Start(m_pCerts->Good().m_strCert, m_pCerts->Good().m_strKey))
            << m_pTlsServer->Log();
    }
    // Plays kMatch from the stand-in server and checks every line the
    // channel saw.
    void PlayTheWholeMatch();

    const bool m_bIpv6;
    const bool m_bTls;
    CNgircdServer m_ngircd;
    std::unique_ptr<testsupport::CTestCertificates> m_pCerts;
    std::unique_ptr<testsupport::CNgircdTlsServer> m_pTlsServer;
    CIrcTestClient m_alice;
    platform::CManualClock m_ircClock;  // the send queue's pace takes no real time
    testsupport::CRecordingIrcSession m_bot{m_ircClock};
    std::atomic<bool> m_bBroadcast{false};
    CGameLog m_log;
    // Real time: five polls a second, ticket lines every second.
    core::CGameSide m_game{m_bot.GameShared(), m_log, platform::SystemClock()};
};

// Four players; each state is served for one reply unless it says more.
const char kMatch[] =
    "state 3\n"  // two warm-up polls and the first processed one
    "set Time Limit = unlimited\n"
    "player 0 1 0 0 0 40 Hans\n"
    "player 1 2 0 0 0 40 Tom\n"
    "player 2 1 0 0 0 40 Ann\n"
    "player 3 2 0 0 0 40 Bob\n"
    "state 1\nplayer 0 1 1 1 0 40 Hans\nplayer 1 2 0 0 1 40 Tom\n"  // a kill
    "state 1\nplayer 2 1 2 0 0 40 Ann\n"                            // a flag
    "state 1\nplayer 3 2 -2 0 1 40 Bob\n"                           // a suicide
    "state 1\nset mapname = berlin\n"
    "state 1\nset gamemode = pause\n"
    "state 1\nset gamemode = openplaying\n"
    "state 12\n"  // two seconds and more of play: ticket lines
    "state 1\nset gamemode = end\n";

class ScriptedMatchOverIpv6 : public ScriptedMatch {
protected:
    ScriptedMatchOverIpv6() : ScriptedMatch(true) {}
};

class ScriptedMatchOverTls : public ScriptedMatch {
protected:
    ScriptedMatchOverTls() : ScriptedMatch(false, true) {}
};

void ScriptedMatch::PlayTheWholeMatch() {
    bf42sim::CSimServer sim;
    ASSERT_TRUE(sim.StartOn(platform::CNetAddress::Loopback(
        m_bIpv6 ? platform::EAddressFamily::IPv6 : platform::EAddressFamily::IPv4)));
    std::string strError;
    ASSERT_TRUE(sim.LoadScenario(kMatch, &strError)) << strError;
    m_bot.GameShared().SetTicketSecs(1);
    Connect(sim.Port());
    const std::string strPort = std::to_string(sim.Port());

    const std::string strEndScore = C("^10endscore ^[^12250^ : ^04250^]");
    ASSERT_TRUE(m_alice.WaitFor(kPrivmsg + strEndScore, 1, kLong))
        << testing::PrintToString(m_alice.Lines());
    // A channel request, answered after the monitor's next send, and a newcomer.
    ASSERT_TRUE(m_alice.SendLine("PRIVMSG #Relay :!gameinfo"));
    const std::string strInfo = C("^10ip ^[^14") + Host() + ":14567:" + strPort +
                                C("^]  ^10map ^[^14berlin^]  ^10player ^[^144/64^]  ") +
                                C("^10ticketstatus ^[^12250^ : ^04250^]");
    ASSERT_TRUE(m_alice.WaitFor(kPrivmsg + strInfo, 1, kLong));
    CIrcTestClient carol;
    ASSERT_TRUE(carol.Connect(PlainPort(), "carol"));
    ASSERT_TRUE(carol.SendLine("JOIN #Relay"));
    EXPECT_TRUE(
        carol.WaitFor(" NOTICE carol :" + C("^10fragrelay ^[^03ONLINE^]  ") + strInfo, 1, kLong))
        << testing::PrintToString(carol.Lines());

    ASSERT_TRUE(m_game.Stop());  // Disconnect
    ASSERT_TRUE(m_alice.WaitFor(kPrivmsg + Received(Short("Broadcast closed")), 1, kLong));

    const Lines expected = {
        Short("fragrelay - Battlefield 1942 to IRC relay"),
        C("^10hostname ^[^14bf42sim^]"),
        C("^10ip ^[^14") + Host() + ":14567:" + strPort + C("^]"),
        C("^10map ^[^14wake^]"),
        C("^10player ^[^144/64^]"),
        C("^10mod ^[^14bf1942/conquest^]"),
        C("^10timelimit ^[^14unlimited^]"),
        C("^10ticketratio ^[^14100%^]"),
        C("^05Hans (1/1/0)^  [killed]  ^02Tom (0/0/1)"),
        C("^04Ann captured a flag!"),
        C("^15Bob killed himself."),
        Long("Map changed from wake to berlin"),
        Long("game paused"),
        Long("game resumed"),
        Long("game ends"),
        C("1. ^05Ann (2/0/0)"),
        C("2. ^05Hans (1/1/0)"),
        C("3. ^15 - "),
        strEndScore,
        strInfo,
        Short("Broadcast closed"),
    };
    // Ticket lines come from their own thread, so they fall between the others.
    const std::string strTicket = C("^10ticketstatus ^[^12250^ : ^04250^]");
    const auto withoutTickets = [&](Lines lines) {
        EXPECT_GE(std::count(lines.begin(), lines.end(), strTicket), 1)
            << "no ticket line in two seconds of play";
        lines.erase(std::remove(lines.begin(), lines.end(), strTicket), lines.end());
        return lines;
    };
    // What the bot sent, byte for byte ...
    Lines sent;
    for (const std::string& str : m_bot.Writes()) {
        if (str.rfind("PRIVMSG #Relay :", 0) == 0 && str.size() >= 18)
            sent.push_back(str.substr(16, str.size() - 18));
    }
    EXPECT_EQ(withoutTickets(sent), expected);
    // ... and what the other client got: the same, less the trailing blanks
    // that the server drops from a message.
    Lines received;
    for (const std::string& str : expected) received.push_back(Received(str));
    EXPECT_EQ(withoutTickets(ChannelLines()), received);
    // The game log holds the same lines without their colour codes.
    const std::string strLog = m_log.Text();
    EXPECT_NE(strLog.find("Hans (1/1/0)  [killed]  Tom (0/0/1)\nAnn captured a flag!"),
              std::string::npos)
        << strLog;
}

TEST_F(ScriptedMatch, TheChannelSeesTheWholeMatchInOrder) {
    PlayTheWholeMatch();
}

// The same bytes reach the channel when the bot speaks TLS.
TEST_F(ScriptedMatchOverTls, TheChannelSeesTheWholeMatchInOrder) {
    bool bTls = false;
    for (const std::string& str : m_bot.Logs()) bTls = bTls || str.rfind("TLS: TLSv1.", 0) == 0;
    EXPECT_TRUE(bTls) << testing::PrintToString(m_bot.Logs());
    PlayTheWholeMatch();
}

TEST_F(ScriptedMatchOverIpv6, TheChannelSeesTheWholeMatchInOrder) {
    // The server tells the channel where the bot came from (ngircd writes
    // ::1 as "[0::1]").
    platform::CNetAddress from;
    for (const std::string& str : m_alice.Lines()) {
        const size_t nAt = str.find('@'), nJoin = str.find(" JOIN ");
        if (str.rfind(":fragbot!", 0) == 0 && nAt < nJoin && nJoin != std::string::npos)
            platform::CNetAddress::ParseHost(str.substr(nAt + 1, nJoin - nAt - 1), &from);
    }
    EXPECT_EQ(from.TextWithPort(), "[::1]:0") << testing::PrintToString(m_alice.Lines());
    PlayTheWholeMatch();
}

// Reported, not asserted: the time from the reply that carries a kill to
// the kill line at the other client, on the real clock. The kills come
// about a second apart, the channel's sustained pace, once the opening
// banner has left, so the figure is the bot's own delay, not a backlog.
TEST_F(ScriptedMatch, MeasuresTheTimeFromAScoreChangeToTheChannel) {
    constexpr int kKills = 8;
    constexpr int kFirstKill = 40;  // about eight seconds of polls: the banner has left
    constexpr int kEvery = 7;       // polls from one kill to the next: over a second
    std::mutex mutex;
    std::vector<std::chrono::steady_clock::time_point> answered(kKills);
    testsupport::CScriptedUdpServer server([&](int nRequest, const std::string&) {
        const int nSince = nRequest - kFirstKill;
        const int nKills = nSince < 0 ? 0 : std::min(nSince / kEvery + 1, kKills);
        if (nSince >= 0 && nSince % kEvery == 0 && nSince / kEvery < kKills) {
            std::lock_guard<std::mutex> lock(mutex);
            answered[static_cast<size_t>(nSince / kEvery)] = std::chrono::steady_clock::now();
        }
        const std::string k = std::to_string(nKills);
        return testsupport::CScriptedUdpServer::Answer{
            "\\hostname\\measure\\mapname\\wake\\gamemode\\openplaying\\numplayers\\2"
            "\\maxplayers\\64\\Version\\v1.61\\player_0\\Hans\\team_0\\1\\ping_0\\30"
            "\\score_0\\" +
            k + "\\frags_0\\" + k +
            "\\deaths_0\\0\\player_1\\Tom\\team_1\\2"
            "\\ping_1\\30\\score_1\\0\\frags_1\\0\\deaths_1\\" +
            k + "\\final\\\\queryid\\1.1"};
    });
    ASSERT_NE(server.Port(), 0);
    platform::CSystemClock realClock;
    testsupport::CRecordingIrcSession pacedBot(realClock, m_game.GameShared());
    m_game.Shutdown();
    m_bot.EndIrcThread();
    pacedBot.Configure("127.0.0.1", m_ngircd.Port(), "pacedbot", "pacedbot2", "#Relay");
    // No ticket lines: they would share the channel's pace with the kills.
    pacedBot.GameShared().SetTicketSecs(3600);
    pacedBot.OpenSession();
    ASSERT_TRUE(WaitUntil([&] { return pacedBot.IsInChannel(); }, kLong));
    CGameLog log;
    core::CGameSide paced(pacedBot.GameShared(), log, realClock);
    paced.SetIrcLink(&pacedBot);
    paced.SetBroadcastFlag(&m_bBroadcast);
    paced.Start(RunSettings(Host(), server.Port()));

    std::vector<double> ms;
    for (int n = 1; n <= kKills; ++n) {
        const std::string strLine = C("^05Hans (") + std::to_string(n) + "/" + std::to_string(n) +
                                    C("/0)^  [killed]  ^02Tom (0/0/") + std::to_string(n) + ")";
        ASSERT_TRUE(m_alice.WaitFor(kPrivmsg + strLine, 1, kLong)) << n;
        const auto received = std::chrono::steady_clock::now();
        std::lock_guard<std::mutex> lock(mutex);
        ms.push_back(std::chrono::duration<double, std::milli>(received -
                                                               answered[static_cast<size_t>(n - 1)])
                         .count());
    }
    paced.Shutdown();
    pacedBot.EndIrcThread();
    std::sort(ms.begin(), ms.end());
    std::printf(
        "score change to channel line, kills a second apart: median %.2f ms, "
        "min %.2f ms, max %.2f ms over %d kills\n",
        ms[ms.size() / 2], ms.front(), ms.back(), kKills);
    RecordProperty("latency_median_us", static_cast<int>(ms[ms.size() / 2] * 1000));
}

}  // namespace
