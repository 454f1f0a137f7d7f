#pragma once
// How long a side that keeps failing waits before its next attempt: the
// delay doubles from a few seconds to a few minutes, each with some jitter,
// so that many bots cut off by one outage do not all come back in the same
// second. A success starts it from the shortest again. Pure arithmetic; one
// owner thread.
#include <cstdint>
#include <random>

namespace platform {

class CBackoff {
public:
    static constexpr uint32_t kFirstMs = 5000;
    static constexpr uint32_t kLastMs = 300000;
    // Each delay is the step's delay plus or minus up to this share of it.
    static constexpr uint32_t kJitterPercent = 20;
    // No step is longer than a day (a longer one is taken as a day).
    static constexpr uint32_t kLongestMs = 86400000;

    // The seed makes the jitter repeatable in tests; 0 takes one from the system.
    explicit CBackoff(uint32_t nFirstMs = kFirstMs, uint32_t nLastMs = kLastMs, uint32_t nSeed = 0);

    // The wait before the next attempt; each call makes the following one
    // longer, up to the last step.
    uint32_t NextDelayMs();
    // An attempt succeeded: the next failure waits the shortest delay again.
    void Reset() {
        m_nStepMs = m_nFirstMs;
        m_nFailures = 0;
    }
    // Failed attempts since the last Reset.
    uint32_t Failures() const { return m_nFailures; }

private:
    uint32_t m_nFirstMs;
    uint32_t m_nLastMs;
    uint32_t m_nStepMs;
    uint32_t m_nFailures = 0;
    std::mt19937 m_random;
};

}  // namespace platform
