// CPU of the monitor while it follows a busy 64-player match at five polls
// a second: the stand-in server plays a live match that moves on with
// every status request, the game tab monitors it with the real clock and
// logs every event (the IRC side is not in a channel, so no line is paced).
// Reported as counters; nothing is asserted.
#include <benchmark/benchmark.h>
#include <pthread.h>
#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <string>
#include <thread>

#include "framework/MessageBox.h"
#include "irc/IrcSession.h"
#include "platform/Clock.h"
#include "res/Resource.h"
#include "tools/bf42sim/SimServer.h"
#include "ui/ColorDlg.h"
#include "ui/GameDlg.h"

namespace {

constexpr int kSeconds = 10;

class CQuietEvents : public irc::IIrcEvents {
public:
    void OnIrcLog(const std::string&) override {}
    void OnIrcStatusChanged() override {}
    void OnIrcRequest() override {}
};

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
        framework::CRecordingMessageSink sink;
        bridge::CGameShared gameShared;
        CQuietEvents events;
        irc::CIrcSession irc(platform::SystemClock(), gameShared, events);
        gameShared.SetTicketSecs(60);
        ui::CColorDlg colors;
        ui::CGameDlg game(gameShared);
        colors.Create(sink);
        game.Create(sink);
        game.SetIrcLink(&irc);
        game.SetColorDlg(&colors);
        const char* kColors[] = {"2", "5", "15", "12", "4", "14", "10"};
        const int kEdits[] = {1020, 1006, 1021, 1007, 1008, 1011, 1010};
        for (int n = 0; n < 7; ++n) colors.TypeText(kEdits[n], kColors[n]);
        game.ChooseItem(res::IDC_GAME_LANGUAGE, 0);
        game.TypeText(res::IDC_GAME_SERVER, "127.0.0.1");
        game.TypeText(res::IDC_GAME_PORT, std::to_string(sim.Port()));
        game.Click(res::IDC_GAME_CONNECT);
        // Past the warm-up before measuring.
        std::this_thread::sleep_for(std::chrono::seconds(1));

        const int nPolls0 = sim.StatusRequests();
        const double fMonitor0 = ThreadCpuSeconds(*game.Runner().Thread());
        const double fProcess0 = ProcessCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(kSeconds));
        const double fWall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double fMonitor = ThreadCpuSeconds(*game.Runner().Thread()) - fMonitor0;
        const double fProcess = ProcessCpuSeconds() - fProcess0;
        const int nPolls = sim.StatusRequests() - nPolls0;
        game.StopThreads();

        state.counters["polls_per_s"] = nPolls / fWall;
        state.counters["monitor_thread_cpu_pct"] = 100.0 * fMonitor / fWall;
        // The whole process, the stand-in server's thread included.
        state.counters["process_cpu_pct"] = 100.0 * fProcess / fWall;
        state.counters["monitor_us_per_poll"] = nPolls > 0 ? 1e6 * fMonitor / nPolls : 0;
        state.counters["log_lines"] = static_cast<double>(game.GetLogLineCount(res::IDC_GAME_LOG));
    }
}

BENCHMARK(BM_MonitorCpu64Players)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
