// The traffic read-out: its text, one tick at a time through a clock the
// test steps, its stop, and that a concurrent adder never loses a byte.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/TrafficMeter.h"
#include "platform/Clock.h"
#include "support/Wait.h"

namespace {

using namespace std::chrono_literals;

// Each sleep waits until the test allows one more (or its stop comes), so
// the meter ticks exactly when the test says. Waits are bounded.
class CStepClock final : public platform::CClock {
public:
    uint32_t GetTickCount() override { return 0; }
    bool Sleep(uint32_t nMs, platform::CStopSignal* pStop) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_sleeps.push_back(nMs);
        for (int n = 0; n < 4000; ++n) {  // 20 s at most
            if (pStop != nullptr && pStop->IsStopped()) return false;
            if (m_nAllowed > 0) {
                --m_nAllowed;
                return true;
            }
            m_cv.wait_for(lock, 5ms);
        }
        return false;
    }
    void Step() {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_nAllowed;
        m_cv.notify_all();
    }
    std::vector<uint32_t> Sleeps() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_sleeps;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    int m_nAllowed = 0;
    std::vector<uint32_t> m_sleeps;
};

class CTextLog {
public:
    void Add(const std::string& str) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_texts.push_back(str);
    }
    std::vector<std::string> Texts() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_texts;
    }
    size_t Count() { return Texts().size(); }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_texts;
};

TEST(TrafficText, ThousandsOfBytesTruncated) {
    const struct {
        const char* m_pszName;
        int32_t m_nBytes;
        const char* m_pszText;
    } kRows[] = {
        {"Nothing", 0, "Traffic: 0 kb/s"},        {"JustUnderOne", 999, "Traffic: 0 kb/s"},
        {"One", 1000, "Traffic: 1 kb/s"},         {"AlmostTwo", 1999, "Traffic: 1 kb/s"},
        {"TwoAndAHalf", 2500, "Traffic: 2 kb/s"}, {"BusyServer", 1400000, "Traffic: 1400 kb/s"},
    };
    for (const auto& row : kRows)
        EXPECT_EQ(core::TrafficText(row.m_nBytes), row.m_pszText) << row.m_pszName;
}

TEST(TrafficMeter, EachTickShowsAndClearsTheCounter) {
    std::atomic<int32_t> nBytes{0};
    CStepClock clock;
    CTextLog log;
    core::CTrafficMeter meter(
        nBytes, [&](int32_t n) { log.Add(core::TrafficText(n)); }, clock);
    ASSERT_TRUE(meter.Start());
    EXPECT_FALSE(meter.Start()) << "one meter thread at a time";

    clock.Step();  // nothing monitored
    ASSERT_TRUE(testsupport::WaitUntil([&] { return log.Count() == 1; }));
    nBytes.fetch_add(1400);
    nBytes.fetch_add(1100);
    clock.Step();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return log.Count() == 2; }));
    EXPECT_EQ(nBytes.load(), 0);
    clock.Step();  // nothing more arrived
    ASSERT_TRUE(testsupport::WaitUntil([&] { return log.Count() == 3; }));

    meter.Stop();
    EXPECT_FALSE(meter.IsRunning());
    EXPECT_EQ(log.Texts(),
              (std::vector<std::string>{"Traffic: 0 kb/s", "Traffic: 2 kb/s", "Traffic: 0 kb/s"}));
    const std::vector<uint32_t> sleeps = clock.Sleeps();
    ASSERT_EQ(sleeps.size(), 4u);  // the fourth was cut short by the stop
    for (uint32_t nMs : sleeps) EXPECT_EQ(nMs, 1000u);
}

TEST(TrafficMeter, StopWakesTheRealSleepAndAllowsARestart) {
    std::atomic<int32_t> nBytes{0};
    CTextLog log;
    core::CTrafficMeter meter(
        nBytes, [&](int32_t n) { log.Add(core::TrafficText(n)); }, platform::SystemClock());
    for (int nRun = 0; nRun < 2; ++nRun) {
        ASSERT_TRUE(meter.Start()) << nRun;
        EXPECT_TRUE(meter.IsRunning());
        meter.Stop();
        EXPECT_FALSE(meter.IsRunning());
    }
    meter.Stop();  // again: nothing to do
}

TEST(TrafficMeter, NoByteLostBetweenReadAndClear) {
    // A read followed by a separate clear would drop what the adders put in
    // between; the sum of all ticks must equal every byte added. Several
    // rounds, since a lost byte needs an add to land in that gap.
    constexpr int kRounds = 5;
    constexpr int kAdders = 2;
    constexpr int kAddsEach = 300000;
    for (int nRound = 0; nRound < kRounds; ++nRound) {
        std::atomic<int32_t> nBytes{0};
        platform::CManualClock clock;
        core::CTrafficMeter meter(nBytes, nullptr, clock);
        std::atomic<int> nAddersDone{0};
        std::vector<std::thread> adders;
        for (int n = 0; n < kAdders; ++n) {
            adders.emplace_back([&] {
                for (int i = 0; i < kAddsEach; ++i) nBytes.fetch_add(7);
                nAddersDone.fetch_add(1);
            });
        }
        int64_t nTaken = 0;
        for (int64_t nTicks = 0; nAddersDone.load() < kAdders && nTicks < 100000000; ++nTicks)
            nTaken += meter.Tick();
        for (auto& adder : adders) adder.join();
        nTaken += meter.Tick();
        ASSERT_EQ(nTaken, int64_t{7} * kAdders * kAddsEach) << "round " << nRound;
        EXPECT_EQ(nBytes.load(), 0);
    }
}

}  // namespace
