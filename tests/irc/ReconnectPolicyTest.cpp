// When the IRC thread tries again, and after how long: named rows for each
// way a connection ends, then the growth and reset of the wait.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "irc/ReconnectPolicy.h"
#include "platform/Backoff.h"

using irc::CReconnectPolicy;
using irc::EConnectionEnd;

namespace {

constexpr uint32_t kFirst = platform::CBackoff::kFirstMs;

bool AroundStep(uint32_t nWait, uint32_t nStep) {
    return nWait >= nStep * 8 / 10 && nWait <= nStep * 12 / 10;
}

struct PolicyRow {
    const char* m_name;
    EConnectionEnd m_eEnd;
    bool m_bKeepAlive;
    uint32_t m_nStep;  // 0: no new attempt
};
void PrintTo(const PolicyRow& row, std::ostream* pOut) {
    *pOut << row.m_name;
}

class PolicyTable : public ::testing::TestWithParam<PolicyRow> {};

TEST_P(PolicyTable, EndGivesWait) {
    CReconnectPolicy policy(11);
    const uint32_t nWait = policy.NextWaitMs(GetParam().m_eEnd, 0, GetParam().m_bKeepAlive);
    if (GetParam().m_nStep == 0) {
        EXPECT_EQ(nWait, 0u);
    } else if (GetParam().m_nStep == CReconnectPolicy::kThrottleWaitMs) {
        EXPECT_EQ(nWait, CReconnectPolicy::kThrottleWaitMs);
    } else {
        EXPECT_TRUE(AroundStep(nWait, GetParam().m_nStep)) << nWait;
    }
}

// clang-format off
const PolicyRow kRows[] = {
    // The IRC tab's own Connect: as it always was, but an ERROR waits.
    {"ClosedWithoutKeepAliveStops", EConnectionEnd::Closed, false, 0},
    {"ErrorWithoutKeepAliveWaitsTheBackoff", EConnectionEnd::ServerError, false, kFirst},
    {"ThrottledWithoutKeepAliveWaitsThirtySeconds", EConnectionEnd::Throttled, false,
     CReconnectPolicy::kThrottleWaitMs},
    // Broadcast: every end leads to a new attempt.
    {"ClosedWithKeepAliveWaitsTheBackoff", EConnectionEnd::Closed, true, kFirst},
    {"ErrorWithKeepAliveWaitsTheBackoff", EConnectionEnd::ServerError, true, kFirst},
    {"ThrottledWithKeepAliveWaitsThirtySeconds", EConnectionEnd::Throttled, true,
     CReconnectPolicy::kThrottleWaitMs},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Ends, PolicyTable, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.m_name); });

TEST(ReconnectPolicy, WaitsGrowWhileAttemptsFailAndStartShortAfterAStableRegistration) {
    constexpr EConnectionEnd kClosed = EConnectionEnd::Closed;
    constexpr uint32_t kStable = CReconnectPolicy::kStableMs;
    CReconnectPolicy policy(5);
    EXPECT_TRUE(AroundStep(policy.NextWaitMs(EConnectionEnd::ServerError, 0, true), kFirst));
    EXPECT_TRUE(AroundStep(policy.NextWaitMs(kClosed, 0, true), 2 * kFirst));
    EXPECT_TRUE(AroundStep(policy.NextWaitMs(kClosed, 0, true), 4 * kFirst));
    // The throttle's own wait neither grows nor resets the back-off.
    EXPECT_EQ(policy.NextWaitMs(EConnectionEnd::Throttled, 0, true),
              CReconnectPolicy::kThrottleWaitMs);
    EXPECT_TRUE(AroundStep(policy.NextWaitMs(kClosed, 0, true), 8 * kFirst));
    // Regression: dropped right after the message of the day, the bot came
    // back every 5 s for as long as the server kept doing it.
    EXPECT_TRUE(AroundStep(policy.NextWaitMs(kClosed, kStable - 1, true), 16 * kFirst));
    // Registered for a minute: the bot was back in; the next loss waits the
    // shortest again.
    EXPECT_TRUE(AroundStep(policy.NextWaitMs(kClosed, kStable, true), kFirst));
    for (int n = 0; n < 20; ++n) policy.NextWaitMs(kClosed, 0, true);
    EXPECT_TRUE(AroundStep(policy.NextWaitMs(kClosed, 0, true), platform::CBackoff::kLastMs));
    policy.Reset();
    EXPECT_TRUE(AroundStep(policy.NextWaitMs(kClosed, 0, true), kFirst));
}

}  // namespace
