#pragma once
// A clock for threaded tests: time moves only when someone sleeps on it or
// the test advances it, and a sleep returns at once after moving time
// forward, except that sleeps of at least HoldFrom() wait until released or
// stopped (at most 20 s, so a failing test cannot hang). Every sleep is
// recorded.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/Clock.h"

namespace testsupport {

class CHoldingClock final : public platform::CClock {
public:
    uint32_t GetTickCount() override { return m_nNow.load(); }
    bool Sleep(uint32_t nMs, platform::CStopSignal* pStop) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_sleeps.push_back(nMs);
        m_nNow += nMs;
        if (nMs >= m_nHoldFromMs) {
            m_nHolding++;
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (!m_bReleased && m_nReleaseOnce == 0 && !(pStop && pStop->IsStopped()) &&
                   std::chrono::steady_clock::now() < deadline)
                m_cv.wait_for(lock, std::chrono::milliseconds(10));
            if (m_nReleaseOnce > 0) --m_nReleaseOnce;
            m_nHolding--;
        }
        return pStop == nullptr || !pStop->IsStopped();
    }
    void Advance(uint32_t nMs) { m_nNow += nMs; }
    void HoldFrom(uint32_t nMs) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_nHoldFromMs = nMs;
    }
    bool IsHolding() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_nHolding > 0;
    }
    void Release() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_bReleased = true;
        }
        m_cv.notify_all();
    }
    // Lets one held sleep (the current or the next) go; later ones hold again.
    void ReleaseOnce() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_nReleaseOnce;
        }
        m_cv.notify_all();
    }
    int CountSleeps(uint32_t nMs) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return static_cast<int>(std::count(m_sleeps.begin(), m_sleeps.end(), nMs));
    }
    // The sleeps of at least nMs, in order.
    std::vector<uint32_t> SleepsFrom(uint32_t nMs) {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::vector<uint32_t> out;
        for (uint32_t n : m_sleeps)
            if (n >= nMs) out.push_back(n);
        return out;
    }

private:
    std::atomic<uint32_t> m_nNow{0};
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<uint32_t> m_sleeps;
    uint32_t m_nHoldFromMs = UINT32_MAX;
    int m_nHolding = 0;
    bool m_bReleased = false;
    int m_nReleaseOnce = 0;
};

}  // namespace testsupport
