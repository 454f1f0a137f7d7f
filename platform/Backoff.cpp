#include "platform/Backoff.h"

#include <algorithm>

namespace platform {

CBackoff::CBackoff(uint32_t nFirstMs, uint32_t nLastMs, uint32_t nSeed)
    : m_nFirstMs(std::clamp<uint32_t>(nFirstMs, 1, kLongestMs)),
      m_nLastMs(std::clamp(nLastMs, m_nFirstMs, kLongestMs)),
      m_nStepMs(m_nFirstMs) {
    // Seeds that differ in one bit must still give unrelated jitter.
    std::seed_seq seed{nSeed != 0 ? nSeed : std::random_device()()};
    m_random.seed(seed);
}

uint32_t CBackoff::NextDelayMs() {
    const uint32_t nStep = m_nStepMs;
    m_nStepMs = nStep > m_nLastMs / 2 ? m_nLastMs : nStep * 2;
    m_nFailures = m_nFailures == UINT32_MAX ? m_nFailures : m_nFailures + 1;
    // Spread uniformly over step +/- jitter; never below one millisecond.
    const uint32_t nSpread = static_cast<uint32_t>(uint64_t{nStep} * kJitterPercent / 100);
    if (nSpread == 0) return nStep;
    std::uniform_int_distribution<uint32_t> jitter(0, 2 * nSpread);
    return std::max<uint32_t>(nStep - nSpread + jitter(m_random), 1);
}

}  // namespace platform
