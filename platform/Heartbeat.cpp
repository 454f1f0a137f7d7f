#include "platform/Heartbeat.h"

namespace platform {

namespace {

// One 64-bit value: bit 63 says a beat is due, bits 32 to 62 hold the
// promise in milliseconds, bits 0 to 31 the tick of the beat.
constexpr uint64_t kWatched = uint64_t{1} << 63;
constexpr uint32_t kMaxWithinMs = 0x7FFFFFFFu;

}  // namespace

void CHeartbeat::Beat(uint32_t nNowTick, uint32_t nNextWithinMs) {
    const uint32_t nWithin = nNextWithinMs > kMaxWithinMs ? kMaxWithinMs : nNextWithinMs;
    m_nDue.store(kWatched | (uint64_t{nWithin} << 32) | nNowTick);
}

void CHeartbeat::SetIdle() {
    m_nDue.store(0);
}

bool CHeartbeat::IsHealthy(uint32_t nNowTick, uint32_t nGraceMs) const {
    const uint64_t nDue = m_nDue.load();
    if ((nDue & kWatched) == 0) return true;
    const auto nBeatTick = static_cast<uint32_t>(nDue);
    const auto nWithin = static_cast<uint32_t>((nDue & ~kWatched) >> 32);
    // The time since the beat, read across a wrap of the tick count.
    const uint32_t nSince = nNowTick - nBeatTick;
    return uint64_t{nSince} <= uint64_t{nWithin} + nGraceMs;
}

}  // namespace platform
