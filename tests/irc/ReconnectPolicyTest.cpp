// When the IRC thread tries again, and after how long: named rows for each
// way a connection ends, then the growth and reset of the wait.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "irc/ReconnectPolicy.h"
#include "platform/Backoff.h"

using irc::CReconnectPolicy;

namespace {

constexpr uint32_t kFirst = platform::CBackoff::kFirstMs;

bool AroundStep(uint32_t nWait, uint32_t nStep) {
    return nWait >= nStep * 8 / 10 && nWait <= nStep * 12 / 10;
}

struct PolicyRow {
    const char* name;
    int nResult;  // the receive loop's: 0 ended, 1 ERROR, 2 throttled
    bool bKeepAlive;
    uint32_t nStep;  // 0: no new attempt
};
void PrintTo(const PolicyRow& row, std::ostream* pOut) {
    *pOut << row.name;
}

class PolicyTable : public ::testing::TestWithParam<PolicyRow> {};

TEST_P(PolicyTable, EndGivesWait) {
    CReconnectPolicy policy(11);
    const uint32_t nWait = policy.NextWaitMs(GetParam().nResult, false, GetParam().bKeepAlive);
    if (GetParam().nStep == 0) {
        EXPECT_EQ(nWait, 0u);
    } else if (GetParam().nStep == CReconnectPolicy::kThrottleWaitMs) {
        EXPECT_EQ(nWait, CReconnectPolicy::kThrottleWaitMs);
    } else {
        EXPECT_TRUE(AroundStep(nWait, GetParam().nStep)) << nWait;
    }
}

// clang-format off
const PolicyRow kRows[] = {
    // The IRC tab's own Connect: as it always was, but an ERROR waits.
    {"ClosedWithoutKeepAliveStops", 0, false, 0},
    {"ErrorWithoutKeepAliveWaitsTheBackoff", 1, false, kFirst},
    {"ThrottledWithoutKeepAliveWaitsThirtySeconds", 2, false, CReconnectPolicy::kThrottleWaitMs},
    // Broadcast: every end leads to a new attempt.
    {"ClosedWithKeepAliveWaitsTheBackoff", 0, true, kFirst},
    {"ErrorWithKeepAliveWaitsTheBackoff", 1, true, kFirst},
    {"ThrottledWithKeepAliveWaitsThirtySeconds", 2, true, CReconnectPolicy::kThrottleWaitMs},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Ends, PolicyTable, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReconnectPolicy, WaitsGrowWhileAttemptsFailAndStartShortAfterARegistration) {
    CReconnectPolicy policy(5);
    EXPECT_TRUE(AroundStep(policy.NextWaitMs(1, false, true), kFirst));
    EXPECT_TRUE(AroundStep(policy.NextWaitMs(0, false, true), 2 * kFirst));
    EXPECT_TRUE(AroundStep(policy.NextWaitMs(0, false, true), 4 * kFirst));
    // The throttle's own wait neither grows nor resets the back-off.
    EXPECT_EQ(policy.NextWaitMs(2, false, true), CReconnectPolicy::kThrottleWaitMs);
    EXPECT_TRUE(AroundStep(policy.NextWaitMs(0, false, true), 8 * kFirst));
    // The bot was back in: the next loss waits the shortest again.
    EXPECT_TRUE(AroundStep(policy.NextWaitMs(0, true, true), kFirst));
    for (int n = 0; n < 20; ++n) policy.NextWaitMs(0, false, true);
    EXPECT_TRUE(AroundStep(policy.NextWaitMs(0, false, true), platform::CBackoff::kLastMs));
    policy.Reset();
    EXPECT_TRUE(AroundStep(policy.NextWaitMs(0, false, true), kFirst));
}

}  // namespace
