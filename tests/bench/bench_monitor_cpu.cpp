// CPU of the monitor while it follows a busy 64-player match at five polls
// a second: the stand-in server plays a live match that moves on with
// every status request, the bot's game side monitors it with the real clock
// and logs every event to an observer (the IRC side is not started, so no
// line is paced). Reported as counters; nothing is asserted.
#include <benchmark/benchmark.h>
#include <pthread.h>
#include <sys/resource.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "config/SettingsFormat.h"
#include "core/Bot.h"
#include "tools/bf42sim/SimServer.h"

namespace {

constexpr int kSeconds = 10;

// Counts the game log's lines, as a face would show them.
class CLineCounter : public core::IBotObserver {
public:
    void OnLog(core::ESide eSide, const std::string&) override {
        if (eSide == core::ESide::Game) m_nGameLines.fetch_add(1);
    }
    void OnStateChanged(const core::CBotState&) override {}
    void OnQuickInfo(const query::CQuickInfoResult&) override {}
    void OnTraffic(int32_t) override {}
    void OnMessage(const core::COperatorMessage&) override {}
    void OnEnded() override {}
    std::atomic<int> m_nGameLines{0};
};

// The game side's settings for the stand-in on nPort; no IRC server.
config::CSettings Settings(uint16_t nPort) {
    return config::ParseSettings(
        "irc_Tickettime=60\r\nbf_Language=0\r\nbf_Server=127.0.0.1\r\nbf_Port=" +
        std::to_string(nPort) +
        "\r\nallied_farbe_kill=2\r\nallied_farbe_flagge=12\r\naxis_farbe_kill=5\r\n"
        "axis_farbe_flagge=4\r\nstatus_farbe=15\r\nkey_farbe=10\r\nvalue_farbe=14\r\n"
        // The game side alone: no statistics file.
        "stats_File=\r\n");
}

double ThreadCpuSeconds(std::thread& thread) {
    clockid_t id{};
    timespec ts{};
    if (pthread_getcpuclockid(thread.native_handle(), &id) != 0 || clock_gettime(id, &ts) != 0)
        return 0;
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& tv) {
        return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void BM_MonitorCpu64Players(benchmark::State& state) {
    for (auto _ : state) {
        bf42sim::CSimServer sim;
        if (!sim.Start()) {
            state.SkipWithError("bf42sim did not start");
            return;
        }
        sim.StartLive(42, 64, 0);
        CLineCounter lines;
        core::CBot bot(Settings(sim.Port()), core::CBot::COptions{});
        bot.AddObserver(lines);
        bot.Start();
        if (!bot.StartGame() || !bot.WaitForCommands(5000) || bot.GameSide().Thread() == nullptr) {
            state.SkipWithError("the game side did not start");
            return;
        }
        // Past the warm-up before measuring.
        std::this_thread::sleep_for(std::chrono::seconds(1));

        const int nPolls0 = sim.StatusRequests();
        const double fMonitor0 = ThreadCpuSeconds(*bot.GameSide().Thread());
        const double fProcess0 = ProcessCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(kSeconds));
        const double fWall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double fMonitor = ThreadCpuSeconds(*bot.GameSide().Thread()) - fMonitor0;
        const double fProcess = ProcessCpuSeconds() - fProcess0;
        const int nPolls = sim.StatusRequests() - nPolls0;
        bot.Shutdown();

        state.counters["polls_per_s"] = nPolls / fWall;
        state.counters["monitor_thread_cpu_pct"] = 100.0 * fMonitor / fWall;
        // The whole process, the stand-in server's thread included.
        state.counters["process_cpu_pct"] = 100.0 * fProcess / fWall;
        state.counters["monitor_us_per_poll"] = nPolls > 0 ? 1e6 * fMonitor / nPolls : 0;
        state.counters["log_lines"] = static_cast<double>(lines.m_nGameLines.load());
    }
}

BENCHMARK(BM_MonitorCpu64Players)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
