#pragma once
// A worker loop's proof of progress for a watchdog: before each wait the
// loop beats and says by when it will beat again at the latest; a loop that
// is stuck past that promise makes the heartbeat unhealthy, so that the
// service manager can restart a bot that hangs. A loop that sleeps with
// nothing to do (no run, held by the operator) says so and is never late.
// Any thread; never waits.
#include <atomic>
#include <cstdint>

namespace platform {

class CHeartbeat {
public:
    // The loop is alive at nNowTick and beats again within nNextWithinMs.
    void Beat(uint32_t nNowTick, uint32_t nNextWithinMs);
    // No loop runs, or it waits for nothing but work: nothing to watch.
    void SetIdle();
    // True when idle, or when nNowTick lies no later than the last beat
    // plus its promise plus nGraceMs (read across a wrap of the tick count).
    bool IsHealthy(uint32_t nNowTick, uint32_t nGraceMs) const;

private:
    // The tick by which the next beat is due, and whether one is due at all;
    // one 64-bit value, so that a reader never sees half a beat.
    std::atomic<uint64_t> m_nDue{0};
};

}  // namespace platform
