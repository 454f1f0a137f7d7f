// The game server goes away while the bot relays, and comes back: the
// channel hears one line when it has been away for bf_DownAfter polls, none
// more however long it stays away, and one when it answers again.
#include <gtest/gtest.h>

#include <string>

#include "e2e/DaemonPeers.h"

namespace {

using e2e::kLong;

using FragrelaydOutage = e2e::DaemonPeersTest;

const char kMatch[] =
    "state 1\nset Time Limit = unlimited\n"
    "player 0 1 10 5 2 40 Hans\nplayer 1 2 4 2 6 40 Tom\n";
const std::string kDown = "game server stopped answering";
const std::string kBack = "game server answers again";
const std::string kUnanswered = "fragrelay_game_polls_total{result=\"unanswered\"}";

TEST_F(FragrelaydOutage, AGameServerThatStopsAndStartsAgainIsSaidOnceEachWay) {
    std::string strError;
    ASSERT_TRUE(m_sim.LoadScenario(kMatch, &strError)) << strError;
    E2E_NEED_PEER(!testsupport::FindProgram("curl").empty(), "curl");
    // The page's metrics count the polls left unanswered.
    const std::string strWebPort = std::to_string(e2e::FreeTcpPort());
    const auto unanswered = [&] {
        return e2e::MetricValue(e2e::Curl("http://127.0.0.1:" + strWebPort + "/metrics").m_strBody,
                                kUnanswered);
    };
    ASSERT_TRUE(StartDaemon("bf_DownAfter=3\r\nweb_Address=" + strWebPort + "\r\n"));
    ASSERT_TRUE(BotRelays()) << BotLines() << m_daemon.Output();

    const uint16_t nPort = m_sim.Port();
    m_sim.Stop();
    ASSERT_TRUE(m_alice.WaitFor(kDown, 1, kLong)) << BotLines() << m_daemon.Output();

    // Away for twice as long again, and the channel hears nothing more.
    const double fAtDown = unanswered();
    ASSERT_GE(fAtDown, 3);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return unanswered() >= fAtDown + 6; }, kLong))
        << unanswered() << " polls unanswered, " << fAtDown << " at the line";
    EXPECT_EQ(BotLinesWith(kDown), 1) << BotLines();
    EXPECT_EQ(BotLinesWith(kBack), 0) << BotLines();

    // Back on the same port, with the same match: the monitor, which kept
    // asking, hears it at its next poll.
    ASSERT_TRUE(m_sim.Start(nPort, &strError)) << strError;
    ASSERT_TRUE(m_alice.WaitFor(kBack, 1, kLong)) << BotLines() << m_daemon.Output();
    // A channel request answered after it: everything the bot had to say
    // about the outage has been said.
    const int nLines = m_alice.Count(e2e::kBotPrivmsg);
    ASSERT_TRUE(m_alice.SendLine("PRIVMSG #relay :!gameinfo"));
    ASSERT_TRUE(m_alice.WaitFor(e2e::kBotPrivmsg, nLines + 1, kLong)) << BotLines();
    EXPECT_EQ(BotLinesWith(kDown), 1) << BotLines();
    EXPECT_EQ(BotLinesWith(kBack), 1) << BotLines();
    StopDaemon();
}

}  // namespace
