// The game side across runs: with keep-alive a failed run is followed by a
// growing wait and a new run with a fresh warm-up, a decoded reply starts the
// wait short again, and a stop ends a wait at once; a server that refuses and
// then comes back is picked up again without a burst of stale events.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "monitor/FakeMonitorHost.h"
#include "monitor/MonitorSupervisor.h"
#include "monitor/MonitorRun.h"
#include "platform/Backoff.h"
#include "platform/Clock.h"
#include "platform/Gate.h"
#include "support/ColorText.h"
#include "support/RecordingIrcSession.h"
#include "support/Wait.h"
#include "support/Wine.h"
#include "tools/bf42sim/SimServer.h"

namespace {

using Lines = std::vector<std::string>;
using monitor::CMonitorSupervisor;
using monitor::EMonitorState;
using testsupport::C;
using testsupport::WaitUntil;

const char kRetryPrefix[] = "Trying again in ";
const std::string kClosed = C("^10* * * * * * ^[^14Broadcast closed^]^10 * * * * * * ");
const std::string kOpened = C("^10* * * * * * ^[^14Broadcast opened^]^10 * * * * * * ");
const char kUnknownHost[] = "Couldn't find Server at this IP!";

bool IsRetryLine(const std::string& strLine) {
    return strLine.rfind(kRetryPrefix, 0) == 0;
}

// The seconds a retry line announces.
uint32_t RetrySecs(const std::string& strLine) {
    return static_cast<uint32_t>(
        std::strtoul(strLine.c_str() + sizeof kRetryPrefix - 1, nullptr, 10));
}

// A wait drawn around nStepMs (jitter included), in the line's whole seconds.
bool AroundStep(uint32_t nSecs, uint32_t nStepMs) {
    const uint32_t nSpread = nStepMs * platform::CBackoff::kJitterPercent / 100;
    return nSecs * 1000 >= nStepMs - nSpread && nSecs * 1000 < nStepMs + nSpread + 1000;
}

std::vector<uint32_t> RetryWaits(const Lines& log) {
    std::vector<uint32_t> waits;
    for (const std::string& strLine : log)
        if (IsRetryLine(strLine)) waits.push_back(RetrySecs(strLine));
    return waits;
}

size_t CountOf(const Lines& log, const std::string& strLine) {
    size_t n = 0;
    for (const std::string& s : log) n += s == strLine;
    return n;
}

class MonitorSupervisorTest : public testing::Test {
protected:
    void SetUp() override {
        m_irc.Configure("127.0.0.1", 6667, "Bot", "Bot2", "#chan");
        m_irc.SetInChannel(true);
        m_irc.GameShared().SetTicketSecs(3600);  // no ticket lines among the ones under test
        m_host.m_bKeepAlive = true;
    }
    void TearDown() override {
        RequestStop();
        m_gate.Release();
        if (m_thread.joinable()) m_thread.join();
    }
    void RequestStop() {
        m_host.m_bStopRequested = true;
        m_wake.Stop();
    }
    void UnknownHost() { m_host.m_settings.m_strServer = std::string("127.0.0.1\0x", 11); }
    // Runs, polls and waits on the manual clock; the reporter sleeps for real.
    monitor::CMonitorControl Manual() {
        return {m_clock, m_wake, m_gate, &platform::SystemClock()};
    }

    platform::CManualClock m_clock{5000};
    testsupport::CRecordingIrcSession m_irc{m_clock, /*bForwardWrites=*/false};
    testsupport::CFakeMonitorHost m_host{&m_irc};
    platform::CStopSignal m_wake;
    platform::CThreadGate m_gate;
    bf42sim::CSimServer m_sim;
    std::thread m_thread;  // joined in TearDown, before anything above goes
};

TEST_F(MonitorSupervisorTest, KeepAliveTriesAgainAfterAWaitThatGrowsToMinutes) {
    UnknownHost();
    m_host.m_onLog = [&](const std::string& strLine) {
        if (IsRetryLine(strLine) && RetryWaits(m_host.Log()).size() == 8) RequestStop();
    };
    CMonitorSupervisor supervisor(m_host, Manual(), 7);
    supervisor.Run();

    const Lines log = m_host.Log();
    ASSERT_EQ(log.size(), 17u);
    for (size_t n = 0; n < 16; n += 2) {
        EXPECT_EQ(log[n], kUnknownHost) << n;
        EXPECT_TRUE(IsRetryLine(log[n + 1])) << log[n + 1];
        EXPECT_EQ(log[n + 1].substr(log[n + 1].size() - 6), " s ...") << log[n + 1];
    }
    const uint32_t steps[] = {5000, 10000, 20000, 40000, 80000, 160000, 300000, 300000};
    const std::vector<uint32_t> waits = RetryWaits(log);
    for (size_t n = 0; n < waits.size(); ++n)
        EXPECT_TRUE(AroundStep(waits[n], steps[n])) << waits[n] << " s for step " << steps[n];
    // The operator ended the wait: the side closes as after a run.
    EXPECT_EQ(log.back(), kClosed);
    EXPECT_EQ(m_host.m_nReturnsToIdle, 0);
    EXPECT_GE(m_host.m_nReady, 1);  // Disconnect usable although no run got going
    EXPECT_EQ(supervisor.State(), EMonitorState::Ended);
}

TEST_F(MonitorSupervisorTest, RetryLineRoundsUpToWholeSeconds) {
    EXPECT_EQ(monitor::RetryLine(5000), "Trying again in 5 s ...");
    EXPECT_EQ(monitor::RetryLine(4001), "Trying again in 5 s ...");
    EXPECT_EQ(monitor::RetryLine(299999), "Trying again in 300 s ...");
}

// A stop (Disconnect, Stop Broadcast, Quit) ends the wait at once, also
// while the operator's Pause holds it. Real time: the shortest wait is 4 s,
// the deadline 2 s.
class MonitorSupervisorStop : public MonitorSupervisorTest,
                              public testing::WithParamInterface<bool> {};

TEST_P(MonitorSupervisorStop, EndsTheWaitAtOnce) {
    const bool bPaused = GetParam();
    UnknownHost();
    std::atomic<CMonitorSupervisor*> pSupervisor{nullptr};
    m_thread = std::thread([&] {
        CMonitorSupervisor supervisor(m_host, {platform::SystemClock(), m_wake, m_gate});
        pSupervisor = &supervisor;
        supervisor.Run();
        ++m_host.m_nEnded;
    });
    ASSERT_TRUE(WaitUntil([&] {
        return pSupervisor.load() != nullptr &&
               pSupervisor.load()->State() == EMonitorState::Waiting;
    }));
    if (bPaused) {
        m_gate.Hold();
        m_wake.Stop();
        ASSERT_TRUE(WaitUntil([&] { return m_gate.IsWaiting(); }));
    }
    RequestStop();
    EXPECT_TRUE(WaitUntil([&] { return m_host.m_nEnded == 1; }, std::chrono::milliseconds(2000)));
    m_thread.join();
    const Lines log = m_host.Log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0], kUnknownHost);
    EXPECT_TRUE(IsRetryLine(log[1])) << log[1];
    EXPECT_EQ(log[2], kClosed);
}

INSTANTIATE_TEST_SUITE_P(Waits, MonitorSupervisorStop, testing::Values(false, true),
                         [](const auto& info) {
                             return std::string(info.param ? "Paused" : "Plain");
                         });

// The stand-in server before the outage, while it was away (a kill nobody
// saw), and after the warm-up of the run that finds it again (a kill to see).
const char kBeforeOutage[] =
    "state 1\n"
    "set gamemode = openplaying\n"
    "player 0 1 0 0 0 40 Hans\n"
    "player 1 2 0 0 0 40 Tom\n";
const char kAfterOutage[] =
    "state 5\n"
    "set gamemode = openplaying\n"
    "player 0 1 1 1 0 40 Hans\n"
    "player 1 2 0 0 1 40 Tom\n"
    "state 1\n"
    "player 0 1 2 2 0 40 Hans\n"
    "player 1 2 0 0 2 40 Tom\n";

class OutageTest : public MonitorSupervisorTest {
protected:
    // The server answers, refuses twice, comes back (a new run), answers for
    // a minute or only a moment, and refuses again; the third wait ends it.
    void RunAnOutage(bool bSteady) {
        bf42sim::CSimServer& sim = m_sim;
        ASSERT_TRUE(sim.LoadScenario(kBeforeOutage));
        ASSERT_TRUE(sim.Start());
        const uint16_t nPort = sim.Port();
        m_host.m_settings.m_nQueryPort = nPort;
        std::atomic<bool> bSimDown{false};
        m_host.m_onLog = [&](const std::string& strLine) {
            if (!IsRetryLine(strLine)) return;
            const size_t nRetries = RetryWaits(m_host.Log()).size();
            if (nRetries == 2) {  // on the monitor thread, between two runs: the server comes back
                ASSERT_TRUE(WaitUntil([&] { return bSimDown.load(); }));
                ASSERT_TRUE(sim.LoadScenario(kAfterOutage));
                ASSERT_TRUE(sim.Start(nPort));
            }
            if (nRetries == 3) RequestStop();
        };
        m_thread = std::thread([&] { monitor::MonitorThread(m_host, Manual()); });

        ASSERT_TRUE(WaitUntil([&] { return CountOf(m_host.Log(), kOpened) == 1; }));
        sim.Stop();  // the port refuses now
        bSimDown = true;
        const std::string strSecondKill = C("^05Hans (2/2/0)^  [killed]  ^02Tom (0/0/2)");
        ASSERT_TRUE(WaitUntil([&] { return CountOf(m_host.Log(), strSecondKill) == 1; },
                              std::chrono::seconds(20)));
        if (bSteady) {
            // A minute of answers; the pauses between polls run on the manual clock.
            const int nAtKill = sim.StatusRequests();
            const int nPolls = static_cast<int>(monitor::CMonitorSupervisor::kSteadyRunMs /
                                                monitor::CMonitorRun::kPollPauseMs);
            ASSERT_TRUE(WaitUntil([&] { return sim.StatusRequests() >= nAtKill + nPolls + 5; },
                                  std::chrono::seconds(20)));
        }
        sim.Stop();  // and once more
        ASSERT_TRUE(WaitUntil([&] { return m_host.m_nEnded == 1; }, std::chrono::seconds(20)));
        m_thread.join();
    }
    // What both outages have in common; returns the third wait, which differs.
    uint32_t CheckOutageAndTakeLastWait() {
        const Lines log = m_host.Log();
        EXPECT_EQ(CountOf(log, "Server timed out."), 3u);
        EXPECT_EQ(CountOf(log, kOpened), 2u);
        // The kill made while the server was away is never announced.
        for (const std::string& strLine : log)
            EXPECT_EQ(strLine.find("Hans (1/1/0)"), std::string::npos) << strLine;
        EXPECT_EQ(log.back(), kClosed);
        EXPECT_EQ(m_host.m_nReturnsToIdle, 0);
        EXPECT_FALSE(m_host.m_bMonitoring);
        const std::vector<uint32_t> waits = RetryWaits(log);
        if (waits.size() != 3u) {
            ADD_FAILURE() << waits.size() << " waits";
            return 0;
        }
        EXPECT_TRUE(AroundStep(waits[0], 5000)) << waits[0];
        EXPECT_TRUE(AroundStep(waits[1], 10000)) << waits[1];
        return waits[2];
    }
};

// Regression: a refusing port (a game server restart) ended monitoring for
// good. Now: refusals, "Server timed out.", a wait, more tries, and once the
// server is back a new run whose warm-up swallows what happened meanwhile;
// after a minute of answers the next outage starts with the shortest wait.
TEST_F(OutageTest, ARefusingServerIsPickedUpAgainWithAFreshWarmUp) {
    // Unseen, every refusal waits out its readiness wait in real time.
    FR_SKIP_UNDER_WINE("select() does not see a refused UDP port");
    RunAnOutage(true);
    if (HasFatalFailure()) return;
    const uint32_t nWait = CheckOutageAndTakeLastWait();
    EXPECT_TRUE(AroundStep(nWait, 5000)) << nWait << ": not started short again";
}

// A server that answers a moment and drops again gets longer and longer
// waits: it was asked every 5 s for weeks.
TEST_F(OutageTest, AServerThatAnswersOnlyAMomentKeepsTheWaitGrowing) {
    FR_SKIP_UNDER_WINE("select() does not see a refused UDP port");
    RunAnOutage(false);
    if (HasFatalFailure()) return;
    const uint32_t nWait = CheckOutageAndTakeLastWait();
    EXPECT_TRUE(AroundStep(nWait, 20000)) << nWait << ": started short again";
}

}  // namespace
