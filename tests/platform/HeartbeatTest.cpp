// A worker loop's heartbeat as a watchdog reads it, and thread names as the
// system shows them.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <thread>

#include "platform/Heartbeat.h"
#include "platform/ThreadName.h"

using platform::CHeartbeat;

namespace {

TEST(Heartbeat, HealthyWhileTheLoopKeepsItsPromise) {
    CHeartbeat beat;
    // No loop yet: nothing to watch.
    EXPECT_TRUE(beat.IsHealthy(123456, 0));
    beat.Beat(1000, 500);
    EXPECT_TRUE(beat.IsHealthy(1000, 0));
    EXPECT_TRUE(beat.IsHealthy(1500, 0));
    EXPECT_FALSE(beat.IsHealthy(1501, 0));
    EXPECT_TRUE(beat.IsHealthy(1600, 100));
    EXPECT_FALSE(beat.IsHealthy(1601, 100));
    // A new beat renews the promise.
    beat.Beat(1600, 20);
    EXPECT_TRUE(beat.IsHealthy(1620, 0));
    EXPECT_FALSE(beat.IsHealthy(1621, 0));
    // A beat stamped a moment after the watchdog read its time is no delay.
    EXPECT_TRUE(beat.IsHealthy(1590, 0));
    // The loop has ended: nothing to watch any more.
    beat.SetIdle();
    EXPECT_TRUE(beat.IsHealthy(99999999, 0));
}

TEST(Heartbeat, RightAcrossTheTickCountsWrap) {
    CHeartbeat beat;
    beat.Beat(UINT32_MAX - 100, 500);
    EXPECT_TRUE(beat.IsHealthy(UINT32_MAX, 0));
    EXPECT_TRUE(beat.IsHealthy(399, 0));
    EXPECT_FALSE(beat.IsHealthy(400, 0));
    // A promise and grace beyond the tick count's range never overflow.
    beat.Beat(10, UINT32_MAX - 5);
    EXPECT_TRUE(beat.IsHealthy(1000000, UINT32_MAX));
}

TEST(ThreadName, ShowsAsTheThreadsNameCutTo15Characters) {
#ifndef __linux__
    GTEST_SKIP() << "thread names are read from /proc";
#else
    auto nameOf = [](const char* pszName) {
        std::string strName;
        std::thread worker([&] {
            platform::NameThisThread(pszName);
            std::ifstream comm("/proc/thread-self/comm");
            std::getline(comm, strName);
        });
        worker.join();
        return strName;
    };
    EXPECT_EQ(nameOf("irc"), "irc");
    EXPECT_EQ(nameOf("a-name-of-twenty-chars"), "a-name-of-twent");
    // Nothing to name it: the name it had (the program's) stays.
    EXPECT_NE(nameOf(""), "");
#endif
}

}  // namespace
