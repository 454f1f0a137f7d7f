#include "platform/Clock.h"

#include <chrono>
#include <thread>

namespace platform {

void CStopSignal::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStopped.store(true, std::memory_order_release);
    }
    m_cv.notify_all();
}

void CStopSignal::Reset() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bStopped.store(false, std::memory_order_release);
}

bool CStopSignal::WaitFor(uint32_t nMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::milliseconds(nMs), [this] { return IsStopped(); });
}

#ifndef _WIN32  // Windows: ClockWin32.cpp
uint32_t CSystemClock::GetTickCount() {
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<uint32_t>(ms);
}
#endif

bool CSystemClock::Sleep(uint32_t nMs, CStopSignal* pStop) {
    if (pStop == nullptr) {
        std::this_thread::sleep_for(std::chrono::milliseconds(nMs));
        return true;
    }
    return !pStop->WaitFor(nMs);
}

CClock& SystemClock() {
    static CSystemClock s_clock;
    return s_clock;
}

bool CManualClock::Sleep(uint32_t nMs, CStopSignal* pStop) {
    if (pStop != nullptr && pStop->IsStopped()) return false;
    m_nSleepCalls.fetch_add(1);
    m_nSlept.fetch_add(nMs);
    m_nNow.fetch_add(nMs);
    // Let other threads run, so that a thread looping on sleeps cannot starve them.
    std::this_thread::yield();
    return pStop == nullptr || !pStop->IsStopped();
}

}  // namespace platform
