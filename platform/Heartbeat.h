#pragma once
// A worker loop's proof of progress, for a watchdog: before each wait the
// loop beats and says by when it will beat again at the latest. A loop stuck
// past its own promise (a lock never released, a call that never returns)
// stops beating, and the watchdog sees it. Ticks are a CClock's. Any thread.
#include <cstdint>
#include <mutex>

namespace platform {

class CHeartbeat {
public:
    // The loop is alive at nNowTick and beats again within nNextWithinMs.
    void Beat(uint32_t nNowTick, uint32_t nNextWithinMs);
    // No loop runs: nothing to watch (the state a heartbeat starts in).
    void SetIdle();
    // True when idle, or when nNowTick is not later than the last beat plus
    // its promise plus nGraceMs. Right across the tick count's wrap.
    bool IsHealthy(uint32_t nNowTick, uint32_t nGraceMs) const;

private:
    mutable std::mutex m_mutex;  // the three values change together
    bool m_bIdle = true;
    uint32_t m_nLastBeat = 0;
    uint32_t m_nPromiseMs = 0;
};

}  // namespace platform
