// The statistics over a year of a busy server: about 50 000 rounds of 32
// players in a file made once per run, and the channel's questions against
// it; and what a poll costs the monitor thread that hands it over (copy and
// queue, never the disk), next to what writing a 64-player round costs the
// statistics thread.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "stats/RoundStore.h"
#include "stats/StatsAnswers.h"
#include "stats/StatsQueries.h"
#include "stats/StatsSchema.h"
#include "stats/StatsService.h"
#include "tests/stats/PollScript.h"

namespace {

constexpr int kYearRounds = 50000;
constexpr int kPlayersPerRound = 32;
constexpr int kPlayerPool = 20000;
constexpr int64_t kNow = 1735689600;  // 2025-01-01
constexpr int64_t kYear = 365LL * 86400;

// A small seeded source, the same on every run.
struct CRandom {
    uint64_t m_n;
    uint64_t Next() {
        uint64_t z = (m_n += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    int Range(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }
};

class CTempDir {
public:
    CTempDir() {
        std::string strTemplate = "/tmp/fr-bench-stats-XXXXXX";
        if (::mkdtemp(strTemplate.data()) != nullptr) m_strPath = strTemplate;
    }
    ~CTempDir() {
        std::error_code ec;
        if (!m_strPath.empty()) std::filesystem::remove_all(m_strPath, ec);
    }
    std::string operator/(const std::string& strName) const { return m_strPath + "/" + strName; }

private:
    std::string m_strPath;
};

std::string PlayerName(int nPlayer, int nAlias) {
    return (nAlias == 0 ? "Soldier" : "[42]Soldier") + std::to_string(nPlayer);
}

// The year's file, made on first use.
class CYear {
public:
    static CYear& Get() {
        static CYear year;
        return year;
    }
    stats::CSqlDatabase& Db() { return m_db; }

private:
    CYear() {
        const auto start = std::chrono::steady_clock::now();
        std::string strWhy;
        stats::OpenForWriting(m_db, m_dir / "year.db", stats::COpenOptions(), &strWhy);
        stats::CRoundStore store(m_db);
        CRandom random{42};
        std::vector<stats::CRoundRecord> vBatch;
        for (int nRound = 0; nRound < kYearRounds; ++nRound) {
            stats::CRoundRecord r;
            r.m_strServer = "Busy Server";
            r.m_nServerPort = 14567;
            r.m_strMap = "map" + std::to_string(nRound % 12);
            r.m_strMod = "bf1942";
            r.m_strGameType = "conquest";
            r.m_nEndTime = kNow - kYear + kYear * nRound / kYearRounds;
            // One round in twenty too short to rank.
            r.m_nSeconds = nRound % 20 == 0 ? 90 : 600;
            r.m_nStartTime = r.m_nEndTime - r.m_nSeconds;
            r.m_nTicketsAxis = random.Range(100);
            r.m_nTicketsAllies = random.Range(100);
            r.m_nWinner = random.Range(3);
            for (int n = 0; n < kPlayersPerRound; ++n) {
                // Regulars play more often than the rest.
                const int nPlayer =
                    random.Range(4) == 0 ? random.Range(200) : random.Range(kPlayerPool);
                stats::CRoundPlayer p;
                p.m_strKeyHash = "hash" + std::to_string(nPlayer);
                p.m_strIdent = "k:" + p.m_strKeyHash;
                p.m_strName = PlayerName(nPlayer, nPlayer % 3 == 0 ? random.Range(2) : 0);
                p.m_vNames = {stats::CRoundName{p.m_strName, r.m_nStartTime, r.m_nEndTime}};
                p.m_nTeam = 1 + n % 2;
                p.m_nKills = random.Range(30);
                p.m_nDeaths = random.Range(30);
                p.m_nTeamkills = random.Range(8) == 0 ? 1 : 0;
                p.m_nSuicides = random.Range(10) == 0 ? 1 : 0;
                p.m_nFlags = random.Range(4);
                p.m_nScore = p.m_nKills + 2 * p.m_nFlags - 2 * p.m_nTeamkills;
                p.m_nSeconds = r.m_nSeconds;
                p.m_nFirstSeen = r.m_nStartTime;
                p.m_nLastSeen = r.m_nEndTime;
                bool bTwice = false;
                for (const auto& q : r.m_vPlayers) bTwice = bTwice || q.m_strIdent == p.m_strIdent;
                if (!bTwice) r.m_vPlayers.push_back(std::move(p));
            }
            vBatch.push_back(std::move(r));
            if (vBatch.size() == 500) {
                store.Write(vBatch);
                vBatch.clear();
            }
        }
        if (!vBatch.empty()) store.Write(vBatch);
        // As a file in use is: its log folded in now and then.
        m_db.Exec("PRAGMA wal_checkpoint(TRUNCATE)");
        const double dSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        int64_t nRows = 0;
        m_db.QueryInt("SELECT count(*) FROM round_players", &nRows);
        std::fprintf(stderr, "year file: %d rounds, %lld player rows, made in %.1f s, %lld KiB\n",
                     kYearRounds, static_cast<long long>(nRows), dSeconds,
                     static_cast<long long>(std::filesystem::file_size(m_dir / "year.db") / 1024));
    }

    CTempDir m_dir;
    stats::CSqlDatabase m_db;
};

void BM_TopQuery(benchmark::State& state, stats::ETopKind eKind, stats::ETopPeriod ePeriod) {
    stats::CStatsQueries queries(CYear::Get().Db());
    size_t nEntries = 0;
    for (auto _ : state) {
        const auto entries = queries.Top(eKind, ePeriod, kNow);
        nEntries = entries.size();
        benchmark::DoNotOptimize(entries.data());
    }
    state.counters["places"] = static_cast<double>(nEntries);
}
BENCHMARK_CAPTURE(BM_TopQuery, KillsWeek, stats::ETopKind::Kills, stats::ETopPeriod::Week)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TopQuery, KdWeek, stats::ETopKind::KillsPerDeath, stats::ETopPeriod::Week)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TopQuery, FlagsToday, stats::ETopKind::Flags, stats::ETopPeriod::Today)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TopQuery, KillsAll, stats::ETopKind::Kills, stats::ETopPeriod::All)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TopQuery, KdAll, stats::ETopKind::KillsPerDeath, stats::ETopPeriod::All)
    ->Unit(benchmark::kMillisecond);

// The whole answer to "!top week" as the channel gets it: query and wording.
void BM_AnswerTopWeek(benchmark::State& state) {
    stats::CStatsQueries queries(CYear::Get().Db());
    const monitor::CAnnounceSettings settings;
    for (auto _ : state) {
        const stats::CTopRequest request{stats::ETopKind::Kills, stats::ETopPeriod::Week};
        benchmark::DoNotOptimize(stats::TopLine(
            settings, request, queries.Top(request.m_eKind, request.m_ePeriod, kNow)));
    }
}
BENCHMARK(BM_AnswerTopWeek)->Unit(benchmark::kMillisecond);

// A regular of the server (hundreds of rounds), by a name in another case.
void BM_PlayerStats(benchmark::State& state) {
    stats::CStatsQueries queries(CYear::Get().Db());
    int64_t nRounds = 0;
    for (auto _ : state) {
        const auto stats = queries.PlayerStats("soldier7");
        nRounds = stats ? stats->m_nRounds : 0;
        benchmark::DoNotOptimize(nRounds);
    }
    state.counters["rounds"] = static_cast<double>(nRounds);
}
BENCHMARK(BM_PlayerStats)->Unit(benchmark::kMillisecond);

void BM_LastRound(benchmark::State& state) {
    stats::CStatsQueries queries(CYear::Get().Db());
    for (auto _ : state) benchmark::DoNotOptimize(queries.LastRound());
}
BENCHMARK(BM_LastRound)->Unit(benchmark::kMillisecond);

void BM_Seen(benchmark::State& state) {
    stats::CStatsQueries queries(CYear::Get().Db());
    for (auto _ : state) benchmark::DoNotOptimize(queries.Seen("[42]SOLDIER9"));
}
BENCHMARK(BM_Seen)->Unit(benchmark::kMillisecond);

// ---- The monitor's side: a poll handed over, and a round's end.

statstest::CPollScript FullServer() {
    statstest::CPollScript g("wake", "pre");
    for (int n = 0; n < 64; ++n)
        g.Add("Player" + std::to_string(n), 1 + n % 2, "keyhash" + std::to_string(n));
    return g;
}

bool WaitIdle(stats::CStatsService& service) {
    for (int n = 0; n < 10000; ++n) {
        if (service.Figures().m_nQueued == 0) return true;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return false;
}

// What OnPoll costs the monitor thread for the poll that ends a round of 64
// players: the copy and the queue. The round's write happens afterwards on
// the statistics thread (BM_WriteRound64).
void BM_OnPollRoundEnd64(benchmark::State& state) {
    CTempDir dir;
    stats::CStatsService service(dir / "stats.db", [](const std::string&) {});
    service.Start();
    statstest::CPollScript g = FullServer();
    service.OnPoll(g.Poll());
    service.OnPoll(g.Poll());
    int nRound = 0;
    for (auto _ : state) {
        state.PauseTiming();
        g.NewMap(nRound++ % 2 ? "berlin" : "wake");
        service.OnPoll(g.Poll());
        g.Phase("openplaying");
        for (int n = 0; n < 62; ++n) {
            g.Kill("Player" + std::to_string(2 * (n % 32)),
                   "Player" + std::to_string(2 * (n % 32) + 1));
            service.OnPoll(g.Poll());
        }
        g.Phase("end");
        const monitor::CPollReport end = g.Poll();
        WaitIdle(service);
        state.ResumeTiming();
        service.OnPoll(end);
    }
    WaitIdle(service);
    service.Stop();
    state.counters["rounds_written"] = static_cast<double>(service.Figures().m_nRoundsWritten);
}
BENCHMARK(BM_OnPollRoundEnd64)->Unit(benchmark::kMicrosecond)->Iterations(200);

// A usual poll of a full server handed over.
void BM_OnPollPlaying64(benchmark::State& state) {
    CTempDir dir;
    stats::CStatsService service(dir / "stats.db", [](const std::string&) {});
    service.Start();
    statstest::CPollScript g = FullServer();
    g.Phase("openplaying");
    const monitor::CPollReport report = g.Poll();
    for (auto _ : state) service.OnPoll(report);
    service.Stop();
    state.counters["dropped"] = static_cast<double>(service.Figures().m_nPollsDropped);
}
BENCHMARK(BM_OnPollPlaying64)->Unit(benchmark::kMicrosecond);

// The statistics thread's part of a round's end: one transaction with a
// 64-player round, on a file that already holds a year.
void BM_WriteRound64(benchmark::State& state) {
    stats::CRoundStore store(CYear::Get().Db());
    int64_t nEnd = kNow + 1000;
    for (auto _ : state) {
        stats::CRoundRecord r;
        r.m_strServer = "Busy Server";
        r.m_strMap = "wake";
        r.m_nEndTime = ++nEnd;
        r.m_nStartTime = nEnd - 600;
        r.m_nSeconds = 600;
        for (int n = 0; n < 64; ++n) {
            stats::CRoundPlayer p;
            p.m_strIdent = "k:hash" + std::to_string(n * 97);
            p.m_strKeyHash = "hash" + std::to_string(n * 97);
            p.m_strName = PlayerName(n * 97, 0);
            p.m_nKills = n;
            p.m_nSeconds = 600;
            p.m_nFirstSeen = r.m_nStartTime;
            p.m_nLastSeen = nEnd;
            r.m_vPlayers.push_back(std::move(p));
        }
        store.Write(r);
    }
}
BENCHMARK(BM_WriteRound64)->Unit(benchmark::kMillisecond);

}  // namespace
