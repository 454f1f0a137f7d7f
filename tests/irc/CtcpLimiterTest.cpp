// A CTCP flood gets a few replies a minute, per nick and in all.
#include <gtest/gtest.h>

#include <string>

#include "irc/CtcpLimiter.h"

using irc::CCtcpLimiter;

namespace {

TEST(CtcpLimiter, AFewRepliesPerNickAndInAllWithinTheWindow) {
    CCtcpLimiter limiter;
    uint32_t nNow = 1000;
    for (size_t n = 0; n < CCtcpLimiter::kPerNick; ++n) EXPECT_TRUE(limiter.Allow("al", nNow));
    EXPECT_FALSE(limiter.Allow("al", nNow));
    EXPECT_FALSE(limiter.Allow("AL", nNow)) << "nicks compare without case";
    // Others still get theirs, up to the limit in all.
    size_t nOthers = 0;
    for (int n = 0; n < 100; ++n) nOthers += limiter.Allow("user" + std::to_string(n), nNow);
    EXPECT_EQ(nOthers, CCtcpLimiter::kInAll - CCtcpLimiter::kPerNick);
    // A window later, everybody may ask again.
    nNow += CCtcpLimiter::kWindowMs - 1;
    EXPECT_FALSE(limiter.Allow("bob", nNow));
    nNow += 1;
    EXPECT_TRUE(limiter.Allow("al", nNow));
}

TEST(CtcpLimiter, AFloodOfRequestsGetsOnlyTheLimitedReplies) {
    CCtcpLimiter limiter;
    size_t nAllowed = 0;
    // 2500 requests from 50 nicks within twenty seconds.
    for (int n = 0; n < 2500; ++n)
        nAllowed +=
            limiter.Allow("n" + std::to_string(n % 50), 5000 + static_cast<uint32_t>(n * 8));
    EXPECT_EQ(nAllowed, CCtcpLimiter::kInAll);
}

TEST(CtcpLimiter, TheWindowSurvivesTheTickCountsWrap) {
    CCtcpLimiter limiter;
    const uint32_t nBefore = UINT32_MAX - 10;
    for (size_t n = 0; n < CCtcpLimiter::kInAll; ++n)
        EXPECT_TRUE(limiter.Allow("n" + std::to_string(n), nBefore));
    EXPECT_FALSE(limiter.Allow("x", nBefore + 100));  // wrapped, still within the window
    EXPECT_TRUE(limiter.Allow("x", nBefore + CCtcpLimiter::kWindowMs));
}

}  // namespace
