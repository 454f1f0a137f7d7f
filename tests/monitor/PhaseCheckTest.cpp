// The map and phase decision of a poll as a table, and the end tick's
// arithmetic across the wrap of the 32-bit tick count.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "monitor/PhaseCheck.h"

namespace {

using monitor::CPhaseDecision;
using monitor::DecidePhaseAndMap;
using monitor::EPhaseStep;

struct CPhaseRow {
    const char* m_pszName;
    const char* m_pszPrevPhase;
    const char* m_pszPhase;
    bool m_bGamePaused;
    EPhaseStep m_eStep;
    bool m_bPauseOver;
};

void PrintTo(const CPhaseRow& row, std::ostream* pOut) {
    *pOut << row.m_pszName;
}

const CPhaseRow kPhaseRows[] = {
    {"FirstPollSaysNothing", "", "openplaying", false, EPhaseStep::None, false},
    {"FirstPollInPauseSaysNothing", "", "pause", false, EPhaseStep::None, false},
    {"SamePhaseIsSilent", "openplaying", "openplaying", false, EPhaseStep::None, false},
    {"PlayingToPlayingIsSilent", "openplaying", "closedplaying", false, EPhaseStep::None, false},
    {"PlayingBackIsSilent", "closedplaying", "openplaying", false, EPhaseStep::None, false},
    {"PreAnnouncesTheDelay", "end", "pre", false, EPhaseStep::StartsIn, false},
    {"PauseHoldsTheGame", "openplaying", "pause", false, EPhaseStep::Paused, false},
    {"EndFromPlaying", "closedplaying", "end", false, EPhaseStep::Ends, false},
    {"EndFromPre", "pre", "end", false, EPhaseStep::Ends, false},
    {"ResumedAfterPause", "pause", "openplaying", true, EPhaseStep::Resumed, false},
    {"StartFromPre", "pre", "openplaying", false, EPhaseStep::Starts, false},
    {"StartFromEnd", "end", "closedplaying", false, EPhaseStep::Starts, false},
    {"UnknownPhaseCountsAsPlaying", "pre", "warmup", false, EPhaseStep::Starts, false},
    {"PhaseIsCaseSensitive", "openplaying", "PAUSE", false, EPhaseStep::None, false},
    // The pause is over when the game ends or starts over from it: the
    // next playing phase is a start, not "game resumed".
    {"PauseStraightToEnd", "pause", "end", true, EPhaseStep::Ends, true},
    {"PauseStraightToPre", "pause", "pre", true, EPhaseStep::StartsIn, true},
    {"EndWithoutPauseKeepsNothingToClear", "openplaying", "end", false, EPhaseStep::Ends, false},
    // A pause that came from no playing phase is still a pause.
    {"PreToPause", "pre", "pause", false, EPhaseStep::Paused, false},
};

class PhaseTable : public testing::TestWithParam<CPhaseRow> {};

TEST_P(PhaseTable, DecidesTheStep) {
    const CPhaseRow& row = GetParam();
    monitor::CServerStatus previous;
    previous.m_strGameMode = row.m_pszPrevPhase;
    previous.m_strMapName = previous.m_strGameMode.empty() ? "" : "wake";
    monitor::CServerStatus current;
    current.m_strGameMode = row.m_pszPhase;
    current.m_strMapName = "wake";
    const CPhaseDecision d = DecidePhaseAndMap(previous, current, row.m_bGamePaused);
    EXPECT_EQ(d.m_ePhase, row.m_eStep);
    EXPECT_EQ(d.m_bPauseOver, row.m_bPauseOver);
    EXPECT_FALSE(d.m_bMapChanged);
}

INSTANTIATE_TEST_SUITE_P(Transitions, PhaseTable, testing::ValuesIn(kPhaseRows),
                         [](const auto& info) { return std::string(info.param.m_pszName); });

TEST(MapCheck, OnlyAKnownMapThatDiffersIsAChange) {
    const struct {
        const char* m_pszFrom;
        const char* m_pszTo;
        bool m_bChanged;
    } rows[] = {{"", "wake", false},
                {"wake", "wake", false},
                {"wake", "berlin", true},
                {"wake", "Wake", true},
                {"wake", "", true}};
    for (const auto& row : rows) {
        monitor::CServerStatus previous;
        previous.m_strMapName = row.m_pszFrom;
        previous.m_strGameMode = "openplaying";
        monitor::CServerStatus current = previous;
        current.m_strMapName = row.m_pszTo;
        EXPECT_EQ(DecidePhaseAndMap(previous, current, false).m_bMapChanged, row.m_bChanged)
            << row.m_pszFrom << " -> " << row.m_pszTo;
    }
}

TEST(EndTick, LimitInMinutesFromNowAcrossTheWrap) {
    const struct {
        const char* m_pszName;
        const char* m_pszLimit;
        uint32_t m_nNow;
        uint32_t m_nEnd;
    } rows[] = {
        {"Unlimited", "unlimited", 5000, 0},
        {"TwentyMinutes", "20", 1000, 1000 + 20 * 60000},
        {"ReadLikeAtoi", " 30m", 0, 30 * 60000},
        {"NotANumberEndsNow", "soon", 777, 777},
        {"WrapsLikeTheTickCount", "2", 0xFFFFFFFFu - 59999u, 60000},
        {"NeverZeroWhichMeansNone", "1", 0u - 60000u, 1},
        {"HugeLimitStaysAhead", "99999999", 0, 35791u * 60000u},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.m_pszName);
        EXPECT_EQ(monitor::EndTickFor(row.m_pszLimit, row.m_nNow), row.m_nEnd);
    }
    // A limit across the wrap still leaves its full time.
    const uint32_t nNow = 0xFFFFFFFFu - 1000u;
    EXPECT_EQ(monitor::MsLeft(monitor::EndTickFor("10", nNow), nNow), 600000u);
    EXPECT_EQ(monitor::MsLeft(monitor::EndTickFor("99999999", 0), 0), 35791u * 60000u);
}

TEST(EndTick, TimeLeftIsZeroOncePassed) {
    EXPECT_EQ(monitor::MsLeft(5000, 4000), 1000u);
    EXPECT_EQ(monitor::MsLeft(5000, 5000), 0u);
    EXPECT_EQ(monitor::MsLeft(5000, 5001), 0u);
    EXPECT_EQ(monitor::MsLeft(100, 0xFFFFFF00u), 356u);  // end just after the wrap
    EXPECT_EQ(monitor::MsLeft(0xFFFFFF00u, 100), 0u);    // clock just after the wrap
}

}  // namespace
