// The UI dispatcher: one thread, in order, driven by its own loop or by a
// host's event loop.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "framework/Dispatcher.h"
#include "tests/support/Wait.h"

using framework::CDispatcher;
using namespace std::chrono_literals;

namespace {

TEST(Dispatcher, RunsWorkInPostingOrderOnOneThread) {
    CDispatcher dispatcher;
    dispatcher.StartThread();
    std::vector<int> order;  // touched by the UI thread only
    std::thread::id uiThread;
    bool bOneThread = true;
    for (int n = 0; n < 200; ++n) {
        ASSERT_TRUE(dispatcher.Post([&, n] {
            if (n == 0) uiThread = std::this_thread::get_id();
            bOneThread =
                bOneThread && uiThread == std::this_thread::get_id() && dispatcher.IsUiThread();
            order.push_back(n);
        }));
    }
    ASSERT_TRUE(dispatcher.WaitIdle(5s));
    ASSERT_EQ(order.size(), 200u);
    for (int n = 0; n < 200; ++n) EXPECT_EQ(order[static_cast<size_t>(n)], n);
    EXPECT_TRUE(bOneThread);
    EXPECT_NE(uiThread, std::this_thread::get_id());
    EXPECT_FALSE(dispatcher.IsUiThread());
}

TEST(Dispatcher, KeepsEachPostersOrderWithManyPosters) {
    CDispatcher dispatcher;
    dispatcher.StartThread();
    constexpr int kThreads = 4;
    constexpr int kEach = 300;
    std::vector<std::pair<int, int>> seen;  // UI thread only
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t) {
        posters.emplace_back([&, t] {
            for (int n = 0; n < kEach; ++n) dispatcher.Post([&, t, n] { seen.emplace_back(t, n); });
        });
    }
    for (auto& thread : posters) thread.join();
    ASSERT_TRUE(dispatcher.WaitIdle(5s));
    ASSERT_EQ(seen.size(), static_cast<size_t>(kThreads * kEach));
    std::vector<int> next(kThreads, 0);
    for (const auto& [t, n] : seen) {
        EXPECT_EQ(n, next[static_cast<size_t>(t)]) << "poster " << t;
        next[static_cast<size_t>(t)] = n + 1;
    }
}

TEST(Dispatcher, InvokeWaitsForTheWorkAndRunsInlineOnTheUiThread) {
    CDispatcher dispatcher;
    dispatcher.StartThread();
    int nValue = 0;
    bool bNestedRan = false;
    ASSERT_TRUE(dispatcher.Invoke([&] {
        nValue = 1;
        // From the UI thread itself: runs at once instead of deadlocking.
        bNestedRan = dispatcher.Invoke([&] { nValue = 2; });
    }));
    EXPECT_TRUE(bNestedRan);
    EXPECT_EQ(nValue, 2);
}

class CCountingHost : public framework::IDispatcherHost {
public:
    void Wake() override { m_nWakes.fetch_add(1); }
    std::atomic<int> m_nWakes{0};
};

TEST(Dispatcher, HostIsWokenAndRunPendingLeavesLaterWorkForTheNextCall) {
    CCountingHost host;
    CDispatcher dispatcher(&host);
    std::vector<std::string> log;
    dispatcher.Post([&] {
        log.push_back("a");
        dispatcher.Post([&] { log.push_back("c"); });  // posted while running
    });
    dispatcher.Post([&] { log.push_back("b"); });
    EXPECT_EQ(host.m_nWakes.load(), 1);  // one wake per empty-to-busy
    EXPECT_EQ(dispatcher.RunPending(), 2u);
    EXPECT_EQ(log, (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(dispatcher.IsUiThread());
    EXPECT_EQ(host.m_nWakes.load(), 2);  // woken again for "c"
    EXPECT_EQ(dispatcher.RunPending(), 1u);
    EXPECT_EQ(log, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(dispatcher.RunPending(), 0u);
}

TEST(Dispatcher, BoundHostThreadInvokesInlineBeforeItsFirstRun) {
    CCountingHost host;
    CDispatcher dispatcher(&host);
    dispatcher.BindToCurrentThread();
    bool bRan = false;
    // Without the binding this would wait for a RunPending that never comes.
    EXPECT_TRUE(dispatcher.Invoke([&] { bRan = true; }));
    EXPECT_TRUE(bRan);
    EXPECT_EQ(host.m_nWakes.load(), 0);
}

TEST(Dispatcher, StopDropsQueuedWorkAndRefusesMore) {
    CCountingHost host;
    CDispatcher dispatcher(&host);
    bool bRan = false;
    dispatcher.Post([&] { bRan = true; });
    dispatcher.Stop();
    EXPECT_TRUE(dispatcher.IsStopped());
    EXPECT_EQ(dispatcher.RunPending(), 0u);
    EXPECT_FALSE(bRan);
    EXPECT_FALSE(dispatcher.Post([] {}));
    EXPECT_TRUE(dispatcher.WaitIdle(1s));
}

TEST(Dispatcher, StopReleasesAnInvokeThatWaits) {
    CDispatcher dispatcher;
    dispatcher.StartThread();
    dispatcher.Post([&] {
        // Once the invoker's work is queued behind this, stop: it never runs.
        testsupport::WaitUntil([&] { return dispatcher.PendingCount() == 1; });
        dispatcher.Stop();
    });
    bool bRan = false;
    EXPECT_FALSE(dispatcher.Invoke([&] { bRan = true; }));
    EXPECT_FALSE(bRan);
}

TEST(Dispatcher, HandlerThatStopsTheDispatcherEndsTheLoop) {
    CDispatcher dispatcher;
    dispatcher.StartThread();
    std::atomic<bool> bLater{false};
    dispatcher.Post([&] { dispatcher.Stop(); });
    dispatcher.Post([&] { bLater = true; });
    EXPECT_TRUE(testsupport::WaitUntil([&] { return dispatcher.IsStopped(); }));
    EXPECT_TRUE(dispatcher.WaitIdle(1s));
    EXPECT_FALSE(bLater.load());
}

}  // namespace
