#pragma once
// Time and sleeping go through CClock so that tests can replace both: a
// 30 s wait is then tested without waiting 30 s.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace platform {

// A stop request that wakes sleepers at once. Any thread may call any member.
class CStopSignal {
public:
    void Stop();
    // Clears a previous stop so that the owner can start a new run.
    void Reset();
    bool IsStopped() const { return m_bStopped.load(std::memory_order_acquire); }
    // Waits up to nMs; returns true when stopped (before or during the wait).
    bool WaitFor(uint32_t nMs);

private:
    std::atomic<bool> m_bStopped{false};
    std::mutex m_mutex;
    std::condition_variable m_cv;
};

class CClock {
public:
    virtual ~CClock() = default;
    // Milliseconds since an arbitrary start, wrapping after about 49.7 days.
    virtual uint32_t GetTickCount() = 0;
    // Sleeps nMs. With a stop signal, returns false as soon as it is stopped
    // (also when it was stopped before the call); true after the full time.
    virtual bool Sleep(uint32_t nMs, CStopSignal* pStop = nullptr) = 0;
    // How long a thread that waits for something else as well (a socket)
    // may wait in real time when its next deadline is nMs away on this
    // clock: all of it on a clock that runs by itself; on one that tests
    // move by hand, a short slice, so that a move is seen soon.
    virtual uint32_t RealWaitMs(uint32_t nMs) const {
        return nMs < kHandSliceMs ? nMs : kHandSliceMs;
    }

    static constexpr uint32_t kHandSliceMs = 50;
};

// The real clock: a monotonic tick count and real sleeping.
class CSystemClock final : public CClock {
public:
    uint32_t GetTickCount() override;
    bool Sleep(uint32_t nMs, CStopSignal* pStop = nullptr) override;
    uint32_t RealWaitMs(uint32_t nMs) const override { return nMs; }
};

// The process's real clock (stateless, shared by everything not under test).
CClock& SystemClock();

// A clock for tests: time only moves when someone sleeps on it or the test
// advances it, and a sleep returns at once after moving time forward.
// Thread-safe; the sleeps of all threads add up.
class CManualClock final : public CClock {
public:
    explicit CManualClock(uint32_t nStart = 0) : m_nNow(nStart) {}
    uint32_t GetTickCount() override { return m_nNow.load(); }
    bool Sleep(uint32_t nMs, CStopSignal* pStop = nullptr) override;
    void Advance(uint32_t nMs) { m_nNow.fetch_add(nMs); }
    // Total milliseconds slept through this clock.
    uint64_t SleptMs() const { return m_nSlept.load(); }
    uint32_t SleepCalls() const { return m_nSleepCalls.load(); }

private:
    std::atomic<uint32_t> m_nNow;
    std::atomic<uint64_t> m_nSlept{0};
    std::atomic<uint32_t> m_nSleepCalls{0};
};

}  // namespace platform
