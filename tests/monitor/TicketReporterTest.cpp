// The ticket status line and its reporter: the line's two forms, the time
// left through the time seam (the reporter's own clock moves only by the
// intervals it slept), the conditions in their order, and the hold while
// the game is paused.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>
#include <thread>

#include "monitor/FakeMonitorHost.h"
#include "monitor/TicketReporter.h"
#include "platform/Clock.h"
#include "platform/Gate.h"
#include "support/ColorText.h"
#include "support/RecordingIrcSession.h"
#include "support/Wait.h"

namespace {

// Expected lines are written with "^" for the colour byte 0x03.
using testsupport::C;

const std::string kTickets = "^10ticketstatus ^[^12200^ : ^04150^]";

monitor::CAnnounceSettings Settings() {
    monitor::CAnnounceSettings s;
    s.m_strAlliedFlagColor = "12";
    s.m_strAxisFlagColor = "04";
    s.m_strKeyColor = "10";
    s.m_strValueColor = "14";
    return s;
}

monitor::CServerStatus Running() {
    monitor::CServerStatus status;
    status.m_strServerVersion = "v1.61";
    status.m_strGameMode = "openplaying";
    status.m_strTickets1 = "150";  // Axis
    status.m_strTickets2 = "200";  // Allies
    return status;
}

struct CLineRow {
    const char* m_pszName;
    uint32_t m_nEndTick;
    uint32_t m_nClock;
    const char* m_pszTimeLeft;  // nullptr: no time-left part
};

void PrintTo(const CLineRow& row, std::ostream* pOut) {
    *pOut << row.m_pszName;
}

constexpr uint32_t kNow = 1000000;
const CLineRow kLineRows[] = {
    {"NoLimit", 0, kNow, nullptr},
    {"TenMinutesFive", kNow + 605000, kNow, "10:05"},
    {"OneMinuteFive", kNow + 65000, kNow, "01:05"},
    {"OneSecond", kNow + 1999, kNow, "00:01"},
    {"LessThanASecond", kNow + 999, kNow, "00:00"},
    {"HundredTwentyFiveMinutes", kNow + 125 * 60000, kNow, "125:00"},
    {"EndReachedExactly", kNow, kNow, nullptr},
    {"PastTheEnd", kNow - 1, kNow, "00:00"},
    {"LongPastTheEnd", kNow - 3600000, kNow, "00:00"},
    {"EndAcrossTheWrap", 64999, 0xFFFFFFFFu, "01:05"},
};

class TicketLineTable : public testing::TestWithParam<CLineRow> {};

TEST_P(TicketLineTable, ShowsTheTicketsAndTheTimeLeft) {
    const CLineRow& row = GetParam();
    std::string strExpected = kTickets;
    if (row.m_pszTimeLeft != nullptr)
        strExpected += std::string("  ^10timeleft ^[^14") + row.m_pszTimeLeft + "^]";
    EXPECT_EQ(monitor::TicketLine(Settings(), Running(), row.m_nEndTick, row.m_nClock),
              C(strExpected));
}

INSTANTIATE_TEST_SUITE_P(Lines, TicketLineTable, testing::ValuesIn(kLineRows),
                         [](const auto& info) { return std::string(info.param.m_pszName); });

class TicketReporterTest : public testing::Test {
protected:
    TicketReporterTest() {
        m_irc.Configure("127.0.0.1", 6667, "Bot", "Bot2", "#chan");
        m_irc.SetInChannel(true);
        m_irc.SetSessionActive(true);
        m_irc.GameShared().SetGameState(bridge::EGameState::Running);
        m_irc.GameShared().SetTicketSecs(60);
        m_host.m_settings = Settings();
        m_host.m_bBroadcast = true;
        m_host.SetStatus(Running());
    }
    // The reporter starts its clock at the clock's time at construction.
    monitor::CTicketReporter Reporter() {
        return monitor::CTicketReporter(m_host, m_clock, m_gate, m_stop);
    }
    size_t Sent() const { return m_irc.Writes().size(); }

    platform::CManualClock m_clock{kNow};
    testsupport::CRecordingIrcSession m_irc{m_clock, /*bForwardWrites=*/false};
    testsupport::CFakeMonitorHost m_host{&m_irc};
    platform::CThreadGate m_gate;
    platform::CStopSignal m_stop;
};

TEST_F(TicketReporterTest, PostsEveryIntervalToTheChannelAndTheLog) {
    monitor::CTicketReporter reporter = Reporter();
    ASSERT_TRUE(reporter.Step());
    EXPECT_EQ(m_clock.SleptMs(), 60000u);
    EXPECT_EQ(m_irc.Writes(), std::vector<std::string>{"PRIVMSG #chan :" + C(kTickets) + "\r\n"});
    EXPECT_EQ(m_host.Log(), std::vector<std::string>{C(kTickets)});
    ASSERT_TRUE(reporter.Step());
    EXPECT_EQ(Sent(), 2u);
    EXPECT_EQ(m_host.LogSize(), 2u);
}

// The time left is read on the clock the end tick was set on: time that
// passes outside the sleeps (a slow send, a held thread) counts too, so the
// line never says more time is left than the game has.
TEST_F(TicketReporterTest, TimeLeftIsReadOnTheClockOfTheEndTick) {
    m_irc.GameShared().SetGameEndTick(kNow + 60000 + 605000);
    monitor::CTicketReporter reporter = Reporter();
    ASSERT_TRUE(reporter.Step());
    EXPECT_NE(m_host.LastLog().find("10:05"), std::string::npos) << m_host.LastLog();
    m_clock.Advance(30000);
    ASSERT_TRUE(reporter.Step());
    EXPECT_NE(m_host.LastLog().find("08:35"), std::string::npos) << m_host.LastLog();

    // Paced by one clock, read on another: the other one counts.
    platform::CManualClock gameClock{kNow};
    m_irc.GameShared().SetGameEndTick(kNow + 300000);
    monitor::CTicketReporter paced(m_host, m_clock, m_gate, m_stop, &gameClock);
    gameClock.Advance(120000);
    ASSERT_TRUE(paced.Step());
    EXPECT_NE(m_host.LastLog().find("03:00"), std::string::npos) << m_host.LastLog();
}

TEST_F(TicketReporterTest, TimeLeftStaysRightAcrossTheWrapOfTheTickCount) {
    m_clock.Advance(0xFFFFFFFFu - kNow - 10000);  // 10 s before the wrap
    const uint32_t nStart = m_clock.GetTickCount();
    m_irc.GameShared().SetGameEndTick(nStart + 60000 + 65000);  // lies after the wrap
    monitor::CTicketReporter reporter = Reporter();
    ASSERT_TRUE(reporter.Step());
    EXPECT_NE(m_host.LastLog().find("01:05"), std::string::npos) << m_host.LastLog();
}

TEST_F(TicketReporterTest, AnIntervalBelowOneSecondCountsAsOneSecond) {
    for (int nSecs : {0, -5, 1}) {
        SCOPED_TRACE(nSecs);
        m_irc.GameShared().SetTicketSecs(nSecs);
        const uint64_t nBefore = m_clock.SleptMs();
        monitor::CTicketReporter reporter = Reporter();
        ASSERT_TRUE(reporter.Step());
        EXPECT_EQ(m_clock.SleptMs() - nBefore, 1000u);
    }
    EXPECT_EQ(monitor::TicketIntervalMs(60), 60000u);
    EXPECT_EQ(monitor::TicketIntervalMs(2147483647), 2000000000u);
}

struct CConditionRow {
    const char* m_pszName;
    void (*m_fnSetUp)(testsupport::CFakeMonitorHost&, testsupport::CRecordingIrcSession&);
    bool m_bGoesOn;
    bool m_bSent;
    bool m_bLogged;
};

void PrintTo(const CConditionRow& row, std::ostream* pOut) {
    *pOut << row.m_pszName;
}

void SetPhase(testsupport::CFakeMonitorHost& host, const char* pszPhase) {
    monitor::CServerStatus status = Running();
    status.m_strGameMode = pszPhase;
    host.SetStatus(status);
}

void SetVersion(testsupport::CFakeMonitorHost& host, const char* pszVersion) {
    monitor::CServerStatus status = Running();
    status.m_strServerVersion = pszVersion;
    host.SetStatus(status);
}

using Host = testsupport::CFakeMonitorHost;
using Irc = testsupport::CRecordingIrcSession;

const CConditionRow kConditionRows[] = {
    {"Playing", [](Host&, Irc&) {}, true, true, true},
    {"ClosedPlaying", [](Host& h, Irc&) { SetPhase(h, "closedplaying"); }, true, true, true},
    {"PreIsSilent", [](Host& h, Irc&) { SetPhase(h, "pre"); }, true, false, false},
    {"EndIsSilent", [](Host& h, Irc&) { SetPhase(h, "end"); }, true, false, false},
    {"PauseIsSilent", [](Host& h, Irc&) { SetPhase(h, "pause"); }, true, false, false},
    {"VersionBelowIsSilent", [](Host& h, Irc&) { SetVersion(h, "v1.3"); }, true, false, false},
    {"NoVersionIsSilent", [](Host& h, Irc&) { SetVersion(h, ""); }, true, false, false},
    {"VersionExactlyCounts", [](Host& h, Irc&) { SetVersion(h, "v1.4"); }, true, true, true},
    {"FilterOffIsSilent", [](Host& h, Irc&) { h.m_bTicketShown = false; }, true, false, false},
    {"GamePausedIsSilent", [](Host& h, Irc&) { h.m_bGamePaused = true; }, true, false, false},
    {"OperatorPauseIsSilent",
     [](Host&, Irc& i) { i.GameShared().SetGameState(bridge::EGameState::Paused); }, true, false,
     false},
    {"BroadcastOffStillLogs", [](Host& h, Irc&) { h.m_bBroadcast = false; }, true, false, true},
    {"NoSessionStillLogs", [](Host&, Irc& i) { i.SetSessionActive(false); }, true, false, true},
    {"MonitoringOverEndsIt", [](Host& h, Irc&) { h.m_bMonitoring = false; }, false, false, false},
};

class TicketConditions : public TicketReporterTest,
                         public testing::WithParamInterface<CConditionRow> {};

TEST_P(TicketConditions, DecideWhatIsPosted) {
    const CConditionRow& row = GetParam();
    row.m_fnSetUp(m_host, m_irc);
    monitor::CTicketReporter reporter = Reporter();
    EXPECT_EQ(reporter.Step(), row.m_bGoesOn);
    EXPECT_EQ(Sent(), row.m_bSent ? 1u : 0u);
    EXPECT_EQ(m_host.LogSize(), row.m_bLogged ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Conditions, TicketConditions, testing::ValuesIn(kConditionRows),
                         [](const auto& info) { return std::string(info.param.m_pszName); });

TEST_F(TicketReporterTest, HeldWhileTheGameIsPausedAndGoesOnAfter) {
    m_gate.Hold();
    monitor::CTicketReporter reporter = Reporter();
    bool bGoesOn = false;
    std::thread worker([&] { bGoesOn = reporter.Step(); });
    ASSERT_TRUE(testsupport::WaitUntil([&] { return m_gate.IsWaiting(); }));
    // Held before its sleep: it waits and nothing is posted.
    EXPECT_EQ(m_clock.SleptMs(), 0u);
    EXPECT_EQ(m_host.LogSize(), 0u);
    m_gate.Release();
    worker.join();
    EXPECT_TRUE(bGoesOn);
    EXPECT_EQ(m_clock.SleptMs(), 60000u);
    EXPECT_EQ(m_host.LogSize(), 1u);
    EXPECT_EQ(Sent(), 1u);
}

// A pause of the game holds the reporter; the next game's end is set on the
// real clock when play starts again, and its first report shows the whole
// limit (it once showed the pauses on top: "35:00" after a 5-minute pause).
TEST_F(TicketReporterTest, AGameAfterAPauseHasItsWholeTimeLeft) {
    m_gate.Hold();
    monitor::CTicketReporter reporter = Reporter();
    std::thread worker([&] { reporter.Step(); });
    ASSERT_TRUE(testsupport::WaitUntil([&] { return m_gate.IsWaiting(); }));
    m_clock.Advance(5 * 60000);
    // The report follows one interval after the start.
    m_irc.GameShared().SetGameEndTick(m_clock.GetTickCount() + 60000 + 30 * 60000);
    m_gate.Release();
    worker.join();
    EXPECT_NE(m_host.LastLog().find("30:00"), std::string::npos) << m_host.LastLog();
}

TEST_F(TicketReporterTest, AStopEndsAHeldReporterWithoutALine) {
    m_gate.Hold();
    monitor::CTicketReporter reporter = Reporter();
    std::thread worker([&] { reporter.Run(); });
    ASSERT_TRUE(testsupport::WaitUntil([&] { return m_gate.IsWaiting(); }));
    m_stop.Stop();
    worker.join();
    EXPECT_EQ(m_host.LogSize(), 0u);
    EXPECT_EQ(Sent(), 0u);
}

}  // namespace
