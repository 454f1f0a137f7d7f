#include "platform/Backoff.h"

#include <gtest/gtest.h>

using platform::CBackoff;

namespace {

// The step a delay was drawn around, given the jitter bound.
bool AroundStep(uint32_t nDelay, uint32_t nStep) {
    const uint32_t nSpread = nStep * CBackoff::kJitterPercent / 100;
    return nDelay >= nStep - nSpread && nDelay <= nStep + nSpread;
}

}  // namespace

TEST(Backoff, GrowsFromTheFirstStepToTheLastAndStaysThere) {
    CBackoff backoff(5000, 300000, 7);
    const uint32_t steps[] = {5000, 10000, 20000, 40000, 80000, 160000, 300000, 300000, 300000};
    for (uint32_t nStep : steps) {
        const uint32_t nDelay = backoff.NextDelayMs();
        EXPECT_TRUE(AroundStep(nDelay, nStep)) << nDelay << " for step " << nStep;
    }
    EXPECT_EQ(backoff.Failures(), 9u);
}

TEST(Backoff, ResetStartsFromTheShortestAgain) {
    CBackoff backoff(5000, 300000, 7);
    for (int i = 0; i < 6; ++i) backoff.NextDelayMs();
    backoff.Reset();
    EXPECT_TRUE(AroundStep(backoff.NextDelayMs(), 5000));
    EXPECT_EQ(backoff.Failures(), 1u) << "failures since the last success";
}

TEST(Backoff, JitterSpreadsTheDelaysOfManyBots) {
    // Bots cut off by the same outage must not all come back together.
    uint32_t nLow = UINT32_MAX, nHigh = 0;
    for (uint32_t nSeed = 1; nSeed <= 50; ++nSeed) {
        CBackoff backoff(10000, 300000, nSeed);
        const uint32_t nDelay = backoff.NextDelayMs();
        EXPECT_TRUE(AroundStep(nDelay, 10000)) << nDelay;
        nLow = std::min(nLow, nDelay);
        nHigh = std::max(nHigh, nDelay);
    }
    EXPECT_GT(nHigh - nLow, 1000u);
}

TEST(Backoff, OddBoundsStayUsable) {
    CBackoff zero(0, 0, 3);  // taken as one millisecond
    EXPECT_GE(zero.NextDelayMs(), 1u);
    CBackoff inverted(8000, 1000, 3);  // the last step is never below the first
    EXPECT_TRUE(AroundStep(inverted.NextDelayMs(), 8000));
    EXPECT_TRUE(AroundStep(inverted.NextDelayMs(), 8000));
    CBackoff huge(UINT32_MAX / 2 + 1, UINT32_MAX, 3);  // a day at most, never an overflow
    EXPECT_TRUE(AroundStep(huge.NextDelayMs(), CBackoff::kLongestMs));
    EXPECT_TRUE(AroundStep(huge.NextDelayMs(), CBackoff::kLongestMs));
}
