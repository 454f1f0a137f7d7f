#pragma once
// A clock for watchdog tests: the real clock, plus jumps ahead that the test
// makes, and one sleep that holds its thread. The next sleep of a chosen
// length (a loop's own pause, such as the monitor's between polls) blocks
// until the test releases it, the sleeper's stop signal fires, or 20 s
// pass (so that a failing test cannot hang); every other sleep is real.
// Any thread.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/Clock.h"

namespace testsupport {

class CJumpClock final : public platform::CClock {
public:
    uint32_t GetTickCount() override {
        return platform::SystemClock().GetTickCount() + m_nJumpedMs.load();
    }
    bool Sleep(uint32_t nMs, platform::CStopSignal* pStop = nullptr) override {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (m_bArmed && nMs == m_nHoldMs) {
                m_bArmed = false;
                m_bHolding = true;
                const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
                while (!m_bRelease && !(pStop && pStop->IsStopped()) &&
                       std::chrono::steady_clock::now() < deadline)
                    m_cv.wait_for(lock, std::chrono::milliseconds(10));
                m_bHolding = false;
                m_bRelease = false;
                return pStop == nullptr || !pStop->IsStopped();
            }
        }
        return platform::SystemClock().Sleep(nMs, pStop);
    }
    uint32_t RealWaitMs(uint32_t nMs) const override { return nMs; }

    // Time moves nMs ahead at once, for every reader.
    void Jump(uint32_t nMs) { m_nJumpedMs += nMs; }
    // The next sleep of exactly nMs holds its thread until Release.
    void HoldNextSleepOf(uint32_t nMs) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_nHoldMs = nMs;
        m_bArmed = true;
        m_bRelease = false;
    }
    bool IsHolding() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_bHolding;
    }
    void Release() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_bRelease = m_bHolding;
            m_bArmed = false;
        }
        m_cv.notify_all();
    }

private:
    std::atomic<uint32_t> m_nJumpedMs{0};
    std::mutex m_mutex;
    std::condition_variable m_cv;
    uint32_t m_nHoldMs = 0;
    bool m_bArmed = false;
    bool m_bHolding = false;
    bool m_bRelease = false;
};

}  // namespace testsupport
