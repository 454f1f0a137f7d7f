#include "platform/Heartbeat.h"

#include <algorithm>

namespace platform {

void CHeartbeat::Beat(uint32_t nNowTick, uint32_t nNextWithinMs) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bIdle = false;
    m_nLastBeat = nNowTick;
    m_nPromiseMs = nNextWithinMs;
}

void CHeartbeat::SetIdle() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bIdle = true;
}

bool CHeartbeat::IsHealthy(uint32_t nNowTick, uint32_t nGraceMs) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bIdle) return true;
    // A beat stamped a little after the watchdog read its time is no delay.
    const uint32_t nSince = nNowTick - m_nLastBeat;
    if (static_cast<int32_t>(nSince) < 0) return true;
    const uint64_t nAllowed = uint64_t{m_nPromiseMs} + nGraceMs;
    return nSince <= std::min<uint64_t>(nAllowed, UINT32_MAX);
}

}  // namespace platform
