#pragma once
// The traffic figure: once a second the bytes the monitor received from the
// game server since the last tick (the window shows them in thousands). The
// monitor adds to the game side's counter; the meter takes and clears it in
// one atomic exchange, so no byte is counted twice or lost between the read
// and the clear.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "platform/Clock.h"

namespace core {

// "Traffic: " + bytes / 1000 (truncating) + " kb/s". Pure; any thread.
std::string TrafficText(int32_t nBytes);

class CTrafficMeter {
public:
    static constexpr uint32_t kTickMs = 1000;
    // Receives each tick's bytes on the meter thread; must return at once.
    using BytesFn = std::function<void(int32_t nBytes)>;

    // The counter (the game side's) and the clock must outlive the meter.
    CTrafficMeter(std::atomic<int32_t>& nTrafficBytes, BytesFn fnBytes, platform::CClock& clock);
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

    // One tick: takes the counter and sets it to 0 in one step, hands the
    // bytes on and returns them. The meter thread (tests may call it).
    int32_t Tick();

private:
    void TrafficThread();

    std::atomic<int32_t>& m_nTrafficBytes;
    BytesFn m_fnBytes;
    platform::CClock& m_clock;
    platform::CStopSignal m_stop;
    std::mutex m_mutexThread;  // serialises Start and Stop
    std::thread m_thread;
    std::atomic<bool> m_bRunning{false};
};

}  // namespace core
