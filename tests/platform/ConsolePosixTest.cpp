// The requests a terminal or a service manager sends on Linux: each caught
// signal reaches the wait once, as the request it stands for.
#include <gtest/gtest.h>

#include <csignal>

#include "platform/Console.h"

namespace {

using platform::EConsoleRequest;
using platform::WaitForConsoleRequest;

// Signals raised by this thread stay pending on it until the wait takes
// them; every signal here is blocked before it is raised.
TEST(ConsolePosix, EachSignalReachesTheWaitOnceAsItsRequest) {
    platform::CatchStopRequests();
    platform::CatchReloadRequests();
    EXPECT_EQ(WaitForConsoleRequest(0), EConsoleRequest::None);
    const struct {
        int m_nSignal;
        EConsoleRequest m_eRequest;
    } rows[] = {
        {SIGHUP, EConsoleRequest::Reload},
        {SIGTERM, EConsoleRequest::Stop},
        {SIGINT, EConsoleRequest::Stop},
    };
    for (const auto& row : rows) {
        ASSERT_EQ(std::raise(row.m_nSignal), 0);
        EXPECT_EQ(WaitForConsoleRequest(5000), row.m_eRequest) << row.m_nSignal;
        EXPECT_EQ(WaitForConsoleRequest(0), EConsoleRequest::None) << row.m_nSignal;
    }
}

}  // namespace
