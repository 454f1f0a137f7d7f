// A process that writes rounds through the statistics service for as long
// as it lives, saying "written N" after each round the service wrote, so
// that a test may kill it with -9 or give it a file size limit.
//
//   stats_writer_child FILE [FILE_SIZE_LIMIT]
//
// With a limit it stops once the service stops writing, says what the log
// said and ends with 0.
#include <signal.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "stats/StatsService.h"
#include "tests/stats/PollScript.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const bool bLimited = argc > 2;
    if (bLimited) {
        // A write past the limit fails with EFBIG instead of ending the process.
        ::signal(SIGXFSZ, SIG_IGN);
        const rlim_t nLimit = std::strtoull(argv[2], nullptr, 10);
        const rlimit limit{nLimit, nLimit};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 3;
    }
    std::mutex mutex;
    std::vector<std::string> vLog;
    stats::CStatsService service(argv[1], [&](const std::string& str) {
        std::lock_guard lock(mutex);
        vLog.push_back(str);
    });
    service.Start();
    for (int n = 0; n < 5000 && service.Figures().m_eState == stats::EStatsState::Opening; ++n)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    statstest::CPollScript g("wake", "pre");
    for (int n = 0; n < 32; ++n) g.Add("P" + std::to_string(n), 1 + n % 2, "k" + std::to_string(n));
    uint64_t nSaid = 0;
    for (int nRound = 0; nRound < 100000; ++nRound) {
        g.NewMap(nRound % 2 ? "berlin" : "wake");
        service.OnPoll(g.Poll());
        g.Phase("openplaying");
        for (int n = 0; n < 70; ++n) {
            g.Kill("P" + std::to_string(n % 32), "P" + std::to_string((n + 1) % 32));
            service.OnPoll(g.Poll());
        }
        g.Phase("end");
        service.OnPoll(g.Poll());
        // Wait for the round (at most 5 s) before saying it is written.
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        stats::CStatsFigures f = service.Figures();
        while (f.m_nRoundsWritten <= nSaid && f.m_eState == stats::EStatsState::On &&
               std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            f = service.Figures();
        }
        if (f.m_nRoundsWritten > nSaid) {
            nSaid = f.m_nRoundsWritten;
            std::printf("written %llu\n", static_cast<unsigned long long>(nSaid));
            std::fflush(stdout);
        }
        if (f.m_eState != stats::EStatsState::On) break;
    }
    service.Stop();
    std::lock_guard lock(mutex);
    for (const std::string& str : vLog) std::printf("log: %s\n", str.c_str());
    std::printf("done %llu\n", static_cast<unsigned long long>(service.Figures().m_nRoundsWritten));
    return 0;
}
