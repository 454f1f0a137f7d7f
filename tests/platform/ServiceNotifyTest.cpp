// What the service notifier does where no service manager listens: a
// daemon run by hand, or on Windows, sends nothing and says nothing.
#include <gtest/gtest.h>

#include "platform/ServiceNotify.h"

namespace {

void ExpectSilent(platform::CServiceNotifier& notifier) {
    EXPECT_FALSE(notifier.IsActive());
    EXPECT_EQ(notifier.Problem(), "");
    EXPECT_EQ(notifier.WatchdogUsec(), 0u);
    EXPECT_FALSE(notifier.Ready());
    EXPECT_FALSE(notifier.Status("IRC: in #chan"));
    EXPECT_FALSE(notifier.Watchdog());
    EXPECT_FALSE(notifier.Reloading());
    EXPECT_FALSE(notifier.Stopping());
    EXPECT_FALSE(notifier.Send("READY=1"));
}

// A watchdog without a socket to beat to is no watchdog.
TEST(ServiceNotify, WithoutNotifySocketNothingIsSent) {
    platform::CServiceNotifier unset(nullptr, "60000000", nullptr);
    ExpectSilent(unset);
    platform::CServiceNotifier empty("", "60000000", "");
    ExpectSilent(empty);
}

#ifdef _WIN32
TEST(ServiceNotify, WindowsIgnoresNotifySocket) {
    platform::CServiceNotifier path("/run/systemd/notify", "60000000", nullptr);
    ExpectSilent(path);
    platform::CServiceNotifier abstract("@fragrelay-test", nullptr, nullptr);
    ExpectSilent(abstract);
}
#endif

}  // namespace
