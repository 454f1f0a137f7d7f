// One poll of a busy 64-player server as the monitor makes it: decode the
// reply, work out the events against the previous table, word the lines.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "monitor/Announcements.h"
#include "monitor/EventInference.h"
#include "monitor/StatusReply.h"
#include "platform/Text.h"

namespace {

constexpr int kRounds = 32;

// Round r of a match: each even slot (team 1) may kill the odd slot after
// it (team 2); now and then someone takes a flag or kills himself. Totals
// only grow from round to round, like a real match.
std::string BuildReply(int nRound) {
    std::string s =
        "\\gamename\\bfield1942\\gamever\\v1.61\\gameId\\bf1942\\gamemode\\openplaying"
        "\\gametype\\conquest\\hostname\\Benchmark Server | 64 slots\\hostport\\14567"
        "\\mapname\\El Alamein\\maxplayers\\64\\numplayers\\64\\password\\\\tickets1\\212"
        "\\tickets2\\187\\Version\\v1.61\\Game Start Delay\\15\\Time Limit\\30"
        "\\Ticket Ratio\\100%";
    for (int i = 0; i < 64; ++i) {
        const int nPair = i / 2;
        int nKills = 0;
        int nDeaths = 0;
        int nFlags = 0;
        int nSuicides = 0;
        for (int r = 1; r <= nRound; ++r) {
            const bool bFight = (nPair + r) % 4 == 0;
            if (i % 2 == 0 && bFight) ++nKills;
            if (i % 2 == 1 && bFight) ++nDeaths;
            if ((i + r) % 29 == 0) ++nFlags;
            if ((i + 3 * r) % 31 == 0) ++nSuicides;
        }
        const std::string n = std::to_string(i);
        s += "\\deaths_" + n + "\\" + std::to_string(nDeaths + nSuicides);
        s += "\\keyhash_" + n + "\\e09833b4065c325fbe042d4c7cf8bba9";
        s += "\\frags_" + n + "\\" + std::to_string(nKills);
        s += "\\ping_" + n + "\\" + std::to_string(20 + i);
        s += "\\player_" + n + "\\Player Name " + n;
        s += "\\score_" + n + "\\" + std::to_string(nKills + 2 * nFlags - 2 * nSuicides);
        s += "\\team_" + n + "\\" + std::to_string(1 + i % 2);
    }
    return s + "\\final\\\\queryid\\6903.9";
}

monitor::CAnnounceSettings Settings() {
    monitor::CAnnounceSettings s;
    s.m_strAlliedKillColor = "02";
    s.m_strAxisKillColor = "05";
    s.m_strAlliedFlagColor = "12";
    s.m_strAxisFlagColor = "04";
    s.m_strStatusColor = "14";
    s.m_strKeyColor = "10";
    s.m_strValueColor = "14";
    return s;
}

void BM_BusyPoll(benchmark::State& state) {
    std::vector<std::string> replies;
    for (int r = 0; r < kRounds; ++r) replies.push_back(BuildReply(r));
    const monitor::CAnnounceSettings settings = Settings();
    const monitor::CEventFilters filters;

    monitor::CServerStatus status;
    monitor::CServerStatus previous;
    monitor::PlayerTable players;
    monitor::CInferenceRun run;
    run.m_nPolls = 2;
    run.m_bBannerPosted = true;
    monitor::ParseStatusReply(replies[0], status, players);
    run.m_previous = players;
    previous = status;

    size_t nRound = 1;
    size_t nEvents = 0;
    size_t nPolls = 0;
    for (auto _ : state) {
        // The last round wraps to the first: one poll in kRounds sees totals fall.
        monitor::ParseStatusReply(replies[nRound], status, players);
        const monitor::CPollEvents poll =
            monitor::InferEvents(run, status, players, previous, filters, true, true);
        for (const monitor::CGameEvent& event : poll.m_events) {
            std::string strLine = platform::WithoutLineBreaks(monitor::EventLine(settings, event));
            benchmark::DoNotOptimize(strLine);
        }
        nEvents += poll.m_events.size();
        ++nPolls;
        previous = status;
        nRound = (nRound + 1) % kRounds;
    }
    state.counters["events_per_poll"] =
        nPolls ? static_cast<double>(nEvents) / static_cast<double>(nPolls) : 0.0;
    state.counters["reply_bytes"] = static_cast<double>(replies[1].size());
}
BENCHMARK(BM_BusyPoll)->Unit(benchmark::kMicrosecond);

}  // namespace
