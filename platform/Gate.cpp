#include "platform/Gate.h"

#include <chrono>

#include "platform/Clock.h"

namespace platform {

void CThreadGate::Hold() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bHeld = true;
}

void CThreadGate::Release() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bHeld = false;
    }
    m_cv.notify_all();
}

bool CThreadGate::IsHeld() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bHeld;
}

bool CThreadGate::IsWaiting() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nWaiting > 0;
}

bool CThreadGate::Pass(CStopSignal* pStop) {
    std::unique_lock<std::mutex> lock(m_mutex);
    ++m_nWaiting;
    bool bStopped = false;
    while (m_bHeld) {
        if (pStop != nullptr && pStop->IsStopped()) {
            bStopped = true;
            break;
        }
        // The stop signal has its own condition variable, so poll it briefly.
        m_cv.wait_for(lock, std::chrono::milliseconds(50));
    }
    --m_nWaiting;
    if (pStop != nullptr && pStop->IsStopped()) bStopped = true;
    return !bStopped;
}

}  // namespace platform
