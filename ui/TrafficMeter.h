#pragma once
// The traffic read-out below the tabs: once a second the bytes the monitor
// received from the game server since the last tick, in thousands. The
// monitor adds to the game page's counter; the meter takes and clears it in
// one atomic exchange, so no byte is counted twice or lost between the read
// and the clear.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "platform/Clock.h"

namespace ui {

// "Traffic: " + bytes / 1000 (truncating) + " kb/s". Pure; any thread.
std::string TrafficText(int32_t nBytes);

class CTrafficMeter {
public:
    static constexpr uint32_t kTickMs = 1000;
    // Receives each new read-out text on the meter thread; the main window
    // hands it on to the UI thread.
    using TextFn = std::function<void(const std::string&)>;

    // The counter (the game page's m_nTrafficBytes) and the clock must
    // outlive the meter.
    CTrafficMeter(std::atomic<int32_t>& nTrafficBytes, TextFn setText, platform::CClock& clock);
    // Stops and joins the thread.
    ~CTrafficMeter();
    CTrafficMeter(const CTrafficMeter&) = delete;
    CTrafficMeter& operator=(const CTrafficMeter&) = delete;

    // Starts TrafficThread: sleep a tick, Tick(), for as long as it runs.
    // False when it already runs. UI thread.
    bool Start();
    // Wakes the thread from its sleep and joins it; at once when it does
    // not run. UI thread; the meter can be started again afterwards.
    void Stop();
    bool IsRunning() const { return m_bRunning.load(); }

    // One tick: takes the counter and sets it to 0 in one step, shows the
    // text, returns the bytes taken. The meter thread (tests may call it).
    int32_t Tick();

private:
    void TrafficThread();

    std::atomic<int32_t>& m_nTrafficBytes;
    TextFn m_setText;
    platform::CClock& m_clock;
    platform::CStopSignal m_stop;
    std::mutex m_mutexThread;  // serialises Start and Stop
    std::thread m_thread;
    std::atomic<bool> m_bRunning{false};
};

}  // namespace ui
