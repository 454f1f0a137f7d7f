// A scripted match served in the spellings of a v1.61 server is announced
// exactly as the same match in the classic spellings: kills with names and
// totals, a flag capture, the game start with its time limit, and the
// ticket report with the time left, in the log and in the channel.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "monitor/FakeMonitorHost.h"
#include "monitor/MonitorRun.h"
#include "monitor/TicketReporter.h"
#include "platform/Clock.h"
#include "platform/Gate.h"
#include "support/ColorText.h"
#include "support/RecordingIrcSession.h"
#include "tools/bf42sim/SimServer.h"

namespace {

using Lines = std::vector<std::string>;
using bf42sim::EKeyStyle;
using monitor::CMonitorRun;

// Expected lines are written with "^" for the colour byte 0x03.
using testsupport::C;

// Written in the classic spellings; the stand-in renames them for v1.61.
const char kMatch[] =
    "state 3\n"
    "set gamemode = pre\n"
    "set Time Limit = 20\n"
    "set Game Start Delay = 15s\n"
    "player 0 1 0 0 0 40 Hans\n"
    "player 1 2 0 0 0 40 Tom\n"
    "state 1\n"
    "set gamemode = openplaying\n"
    "state 1\n"  // Hans kills Tom
    "player 0 1 1 1 0 40 Hans\n"
    "player 1 2 0 0 1 40 Tom\n"
    "state 1\n"  // Tom takes a flag
    "player 1 2 2 0 1 40 Tom\n"
    "state 1\n"
    "set tickets1 = 231\n"
    "set tickets2 = 247\n";

struct CPlayed {
    Lines m_log;       // as handed to the game tab's log
    Lines m_channel;   // as sent to the IRC server
    int m_nDatagrams;  // of the last status reply
};

// Plays the match through one monitoring run while broadcasting, then lets
// the ticket reporter take one round of 60 s.
CPlayed PlayMatch(EKeyStyle style) {
    platform::CManualClock clock{5000};
    testsupport::CRecordingIrcSession irc{clock, /*bForwardWrites=*/false};
    testsupport::CFakeMonitorHost host{&irc};
    platform::CStopSignal wake;
    platform::CThreadGate gate;
    bf42sim::CSimServer sim;
    std::string strError;
    EXPECT_TRUE(sim.LoadScenario(kMatch, &strError)) << strError;
    sim.SetKeyStyle(style);
    EXPECT_TRUE(sim.Start());
    irc.Configure("127.0.0.1", 6667, "Bot", "Bot2", "#chan");
    irc.SetInChannel(true);
    irc.SetSessionActive(true);
    irc.GameShared().SetGameState(bridge::EGameState::Running);
    irc.GameShared().SetTicketSecs(60);
    host.m_bBroadcast = true;
    host.m_settings.m_nQueryPort = sim.Port();

    CMonitorRun run(host, {clock, wake, gate});
    EXPECT_TRUE(run.Open());
    for (int n = 0; n < 5; ++n) EXPECT_EQ(run.Poll(), CMonitorRun::EPoll::Continue);

    platform::CThreadGate ticketGate;
    platform::CStopSignal ticketStop;
    monitor::CTicketReporter reporter(host, clock, ticketGate, ticketStop);
    EXPECT_TRUE(reporter.Step());
    run.Finish(true);

    const std::string strLast = sim.CurrentState().GetKey("gamemode");
    EXPECT_EQ(strLast, "openplaying");
    bf42sim::CSimResponder responder;
    responder.SetState(sim.CurrentState());
    responder.SetKeyStyle(style);
    const int nDatagrams = static_cast<int>(responder.HandleDatagram("\xff\\status\\").size());
    // The query port is the one thing that differs between two servers.
    const std::string strPort = ":" + std::to_string(sim.Port());
    auto samePort = [&](Lines lines) {
        for (std::string& line : lines) {
            const size_t nAt = line.find(strPort);
            if (nAt != std::string::npos) line.replace(nAt, strPort.size(), ":QUERYPORT");
        }
        return lines;
    };
    return {samePort(host.Log()), samePort(irc.Writes()), nDatagrams};
}

bool Contains(const Lines& lines, const std::string& str) {
    for (const std::string& line : lines)
        if (line == str) return true;
    return false;
}

TEST(MonitorV161, MatchIsAnnouncedExactlyAsInTheClassicSpellings) {
    const CPlayed classic = PlayMatch(EKeyStyle::Classic);
    const CPlayed modern = PlayMatch(EKeyStyle::V161);
    EXPECT_EQ(modern.m_nDatagrams, 3) << "server keys, then one player's keys split across two";
    EXPECT_EQ(classic.m_nDatagrams, 1);

    EXPECT_EQ(modern.m_log, classic.m_log);
    EXPECT_EQ(modern.m_channel, classic.m_channel);
    const std::string strKill = C("^05Hans (1/1/0)^  [killed]  ^02Tom (0/0/1)");
    const std::string strFlag = C("^12Tom captured a flag!");
    const std::string strStart =
        C("^10* * * * * * * * * * ^[^14game starts (timelimit: 20m)^]^10 * * * * * * * * * *");
    for (const std::string& strLine : {strKill, strFlag, strStart}) {
        EXPECT_TRUE(Contains(modern.m_log, strLine)) << strLine;
        EXPECT_TRUE(Contains(modern.m_channel, "PRIVMSG #chan :" + strLine + "\r\n")) << strLine;
    }
    // The ticket report needs the server's version, which a v1.61 server
    // spells "version"; its time left counts down from the 20 minutes.
    const std::string strTickets = C("^10ticketstatus ");
    const auto itTicket = std::find_if(modern.m_log.begin(), modern.m_log.end(),
                                       [&](auto& line) { return line.starts_with(strTickets); });
    ASSERT_NE(itTicket, modern.m_log.end());
    const std::string& strTicket = *itTicket;
    EXPECT_TRUE(strTicket.starts_with(C("^10ticketstatus ^[^12247^ : ^04231^]"))) << strTicket;
    EXPECT_NE(strTicket.find("timeleft"), std::string::npos) << strTicket;
    EXPECT_NE(strTicket.find(C("^1418:")), std::string::npos) << strTicket;
}

}  // namespace
