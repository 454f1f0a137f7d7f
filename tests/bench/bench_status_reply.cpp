// Decoding one 64-player status reply and working out the 64 change codes
// against the previous table: the monitor's work per poll.
#include <benchmark/benchmark.h>

#include <array>
#include <string>

#include "monitor/StatusReply.h"
#include "query/ReplyReader.h"

namespace {

// A reply as a busy server sends it: server keys, the usual extras (some
// empty), then seven keys per player. nRound shifts the totals between polls.
std::string BuildReply(int nRound) {
    std::string s =
        "\\gamename\\bfield1942\\gamever\\v1.61\\averageFPS\\0\\dedicated\\1\\gameId\\bf1942"
        "\\gamemode\\openplaying\\gametype\\conquest\\hostname\\Benchmark Server | 64 slots"
        "\\hostport\\14567\\mapId\\BF1942\\mapname\\El Alamein\\maxplayers\\64\\numplayers\\64"
        "\\password\\\\reservedslots\\0\\roundTime\\1200\\roundTimeRemain\\274\\tickets1\\212"
        "\\tickets2\\187\\unpure_mods\\\\Version\\v1.61\\Game Start Delay\\15\\Time Limit\\30"
        "\\Ticket Ratio\\100%\\active_mods\\bf1942\\auto_balance_teams\\on\\spawn_delay\\4s";
    for (int i = 0; i < 64; ++i) {
        const std::string n = std::to_string(i);
        const int nKills = (i * 7 + nRound * (i % 3)) % 40;
        s += "\\deaths_" + n + "\\" + std::to_string((i * 3 + nRound * (i % 2)) % 25);
        s += "\\keyhash_" + n + "\\e09833b4065c325fbe042d4c7cf8bba9";
        s += "\\frags_" + n + "\\" + std::to_string(nKills);
        s += "\\ping_" + n + "\\" + std::to_string(20 + i);
        s += "\\player_" + n + "\\Player Name " + n;
        s += "\\score_" + n + "\\" + std::to_string(nKills + 2 * (i % 4) - nRound * (i % 5 == 0));
        s += "\\team_" + n + "\\" + std::to_string(1 + i % 2);
    }
    return s + "\\final\\\\queryid\\6903.9";
}

void BM_StatusReplyAndChangeCodes(benchmark::State& state) {
    const std::string strReply = BuildReply(1);
    monitor::CServerStatus status;
    monitor::PlayerTable previous;
    monitor::ParseStatusReply(BuildReply(0), status, previous);
    monitor::PlayerTable players = previous;
    std::array<std::string, 64> codes;
    for (auto _ : state) {
        monitor::ParseStatusReply(strReply, status, players);
        for (size_t i = 0; i < players.size(); ++i) codes[i] = previous[i].ChangeCode(players[i]);
        benchmark::DoNotOptimize(codes);
        benchmark::DoNotOptimize(status);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * strReply.size()));
    state.counters["reply_bytes"] = static_cast<double>(strReply.size());
}
BENCHMARK(BM_StatusReplyAndChangeCodes);

void BM_ReplyPairsOnly(benchmark::State& state) {
    const std::string strReply = BuildReply(1);
    for (auto _ : state) {
        size_t nPairs = 0;
        query::ForEachReplyPair(strReply, [&](std::string_view, std::string_view) { ++nPairs; });
        benchmark::DoNotOptimize(nPairs);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * strReply.size()));
}
BENCHMARK(BM_ReplyPairsOnly);

}  // namespace
