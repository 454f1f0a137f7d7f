// What one poll's score tables say happened: named rows of previous and
// current totals with the events they must yield, in announcement order.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "monitor/EventInference.h"

namespace {

using monitor::CEventFilters;
using monitor::CGameEvent;
using monitor::CInferenceRun;
using monitor::EGameEvent;
using Events = std::vector<std::string>;

monitor::CPlayerRecord P(const char* pszName, int nTeam, int nScore, int nFrags, int nDeaths) {
    monitor::CPlayerRecord r;
    r.m_strName = pszName;
    r.m_nTeam = nTeam;
    r.m_nScore = nScore;
    r.m_nFrags = nFrags;
    r.m_nDeaths = nDeaths;
    r.m_nPing = 50;
    return r;
}

std::string Who(const monitor::CPlayerRecord& r) {
    return r.m_strName + " " + std::to_string(r.m_nScore) + "/" + std::to_string(r.m_nFrags) + "/" +
           std::to_string(r.m_nDeaths);
}

// "Kill A 11/6/2 > B 3/1/5", "Death B 3/1/5", "Banner", ...
std::string Describe(const CGameEvent& e) {
    switch (e.m_eKind) {
        case EGameEvent::BroadcastOpened:
            return "Opened";
        case EGameEvent::OpeningBanner:
            return "Banner";
        case EGameEvent::Suicide:
            return "Suicide " + Who(e.m_player);
        case EGameEvent::Flag:
            return "Flag " + Who(e.m_player);
        case EGameEvent::Teamkill:
            return "Teamkill " + Who(e.m_player);
        case EGameEvent::Kill:
            return "Kill " + Who(e.m_player) + " > " + Who(e.m_victim);
        case EGameEvent::Death:
            return "Death " + Who(e.m_player);
    }
    return "?";
}

Events DescribeAll(const std::vector<CGameEvent>& events) {
    Events out;
    for (const CGameEvent& e : events) out.push_back(Describe(e));
    return out;
}

struct CSlot {
    int m_nSlot;
    monitor::CPlayerRecord m_before;
    monitor::CPlayerRecord m_after;
};

struct CRow {
    const char* m_pszName;
    std::vector<CSlot> m_slots;
    Events m_expected;
    CEventFilters m_filters = {};
    bool m_bBannerPosted = true;
    bool m_bBroadcastInChannel = false;
};

void PrintTo(const CRow& row, std::ostream* pOut) {
    *pOut << row.m_pszName;
}

// Eight players on a 16-slot server, past the warm-up.
Events Infer(const CRow& row) {
    CInferenceRun run;
    run.m_nPolls = 2;
    run.m_bBannerPosted = row.m_bBannerPosted;
    monitor::PlayerTable players;
    for (const CSlot& s : row.m_slots) {
        run.m_previous[static_cast<size_t>(s.m_nSlot)] = s.m_before;
        players[static_cast<size_t>(s.m_nSlot)] = s.m_after;
    }
    monitor::CServerStatus current;
    current.m_nNumPlayers = 8;
    current.m_nMaxPlayers = 16;
    monitor::CServerStatus previous = current;
    return DescribeAll(monitor::InferEvents(run, current, players, previous, row.m_filters,
                                            row.m_bBroadcastInChannel, row.m_bBroadcastInChannel)
                           .m_events);
}

const CEventFilters kNoKills{false, true, true};
const CEventFilters kNoTk{true, false, true};

const CRow kRows[] = {
    {"KillWithVictim",
     {{0, P("A", 1, 10, 5, 2), P("A", 1, 11, 6, 2)}, {1, P("B", 2, 3, 1, 4), P("B", 2, 3, 1, 5)}},
     {"Kill A 11/6/2 > B 3/1/5"}},
    {"VictimOnKillersTeamIsNoKillAndNoDeath",
     {{0, P("A", 1, 10, 5, 2), P("A", 1, 11, 6, 2)}, {1, P("B", 1, 3, 1, 4), P("B", 1, 3, 1, 5)}},
     {}},
    {"TwoKillsInOnePollShowSteppedTotals",
     {{0, P("A", 1, 10, 5, 2), P("A", 1, 12, 7, 2)},
      {1, P("B", 2, 0, 0, 0), P("B", 2, 0, 0, 1)},
      {2, P("C", 2, 4, 4, 4), P("C", 2, 4, 4, 5)}},
     {"Kill A 11/6/2 > B 0/0/1", "Kill A 12/7/2 > C 4/4/5"}},
    {"FlagCapture", {{0, P("A", 2, 10, 5, 2), P("A", 2, 12, 5, 2)}}, {"Flag A 12/5/2"}},
    {"Suicide", {{0, P("A", 1, 10, 5, 2), P("A", 1, 8, 5, 3)}}, {"Suicide A 8/5/3"}},
    {"TeamkillWithADeathInThePoll",
     {{0, P("A", 1, 10, 5, 2), P("A", 1, 8, 5, 2)}, {1, P("B", 1, 3, 1, 4), P("B", 1, 3, 1, 5)}},
     {"Teamkill A 8/5/2", "Death B 3/1/5"}},
    {"TeamkillWithoutADeathIsNotShown", {{0, P("A", 1, 10, 5, 2), P("A", 1, 8, 5, 2)}}, {}},
    {"DeathFromScoreMinusOne", {{0, P("A", 1, 10, 5, 2), P("A", 1, 9, 5, 3)}}, {"Death A 9/5/3"}},
    {"TwoKillsOneDeathOnlyFirstKillCanPair",
     {{0, P("A", 1, 10, 5, 2), P("A", 1, 11, 6, 2)},
      {1, P("B", 1, 0, 0, 0), P("B", 1, 1, 1, 0)},
      {2, P("C", 2, 3, 1, 4), P("C", 2, 3, 1, 5)}},
     {"Kill A 11/6/2 > C 3/1/5"}},
    {"OneKillThreeDeathsFirstDeathOnKillersTeam",
     {{0, P("A", 1, 10, 5, 2), P("A", 1, 11, 6, 2)},
      {1, P("B", 1, 0, 0, 0), P("B", 1, 0, 0, 1)},
      {2, P("C", 2, 0, 0, 0), P("C", 2, 0, 0, 1)},
      {3, P("D", 2, 0, 0, 0), P("D", 2, 0, 0, 1)}},
     {"Death B 0/0/1", "Death C 0/0/1"}},
    {"UsedUpVictimIsNotADeath",
     {{0, P("A", 1, 10, 5, 2), P("A", 1, 11, 6, 2)},
      {1, P("B", 2, 0, 0, 0), P("B", 2, 0, 0, 1)},
      {2, P("C", 2, 0, 0, 0), P("C", 2, 0, 0, 1)}},
     {"Kill A 11/6/2 > B 0/0/1"}},
    {"HiddenKillsStillUseUpTheirVictims",
     {{0, P("A", 1, 10, 5, 2), P("A", 1, 11, 6, 2)},
      {1, P("B", 2, 0, 0, 0), P("B", 2, 0, 0, 1)},
      {2, P("C", 2, 0, 0, 0), P("C", 2, 0, 0, 1)}},
     {},
     kNoKills},
    {"TeamkillsSuicidesAndDeathsFilteredOut",
     {{0, P("A", 1, 10, 5, 2), P("A", 1, 8, 5, 3)},
      {1, P("B", 1, 10, 5, 2), P("B", 1, 8, 5, 2)},
      {2, P("C", 2, 0, 0, 0), P("C", 2, 0, 0, 1)}},
     {},
     kNoTk},
    {"KillAndDeathInOnePollCountsTheKillOnly",
     {{0, P("A", 1, 10, 5, 2), P("A", 1, 11, 6, 3)}, {1, P("B", 2, 0, 0, 0), P("B", 2, 0, 0, 1)}},
     {"Kill A 11/6/3 > B 0/0/1"}},
    {"EverythingInAnnouncementOrder",
     {{0, P("K", 1, 10, 5, 2), P("K", 1, 11, 6, 2)},
      {1, P("D", 2, 0, 0, 0), P("D", 2, 0, 0, 1)},
      {2, P("T", 2, 10, 5, 2), P("T", 2, 8, 5, 2)},
      {3, P("F", 2, 10, 5, 2), P("F", 2, 12, 5, 2)},
      {4, P("S", 1, 10, 5, 2), P("S", 1, 8, 5, 3)},
      {5, P("E", 1, 0, 0, 0), P("E", 1, 0, 0, 1)},
      {6, P("G", 1, 0, 0, 0), P("G", 1, 0, 0, 1)}},
     {"Suicide S 8/5/3", "Flag F 12/5/2", "Teamkill T 8/5/2", "Kill K 11/6/2 > D 0/0/1",
      "Death E 0/0/1"}},
    {"FlagAndSuicideBeforeTheBannerAreDroppedAndTheBannerPrecedesKills",
     {{0, P("A", 1, 10, 5, 2), P("A", 1, 11, 6, 2)},
      {1, P("B", 2, 3, 1, 4), P("B", 2, 3, 1, 5)},
      {2, P("F", 2, 10, 5, 2), P("F", 2, 12, 5, 2)},
      {3, P("S", 2, 10, 5, 2), P("S", 2, 8, 5, 3)}},
     {"Banner", "Kill A 11/6/2 > B 3/1/5"},
     {},
     false,
     true},
};

class InferenceRows : public testing::TestWithParam<CRow> {};

TEST_P(InferenceRows, YieldsTheEventsInOrder) {
    EXPECT_EQ(Infer(GetParam()), GetParam().m_expected);
}

INSTANTIATE_TEST_SUITE_P(Polls, InferenceRows, testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.m_pszName); });

// A run of polls against one table, as the monitor makes them.
class InferenceRun : public testing::Test {
protected:
    monitor::CPollEvents Poll(int nNumPlayers = 8, bool bInChannel = true, bool bBroadcast = true) {
        m_current.m_nNumPlayers = static_cast<int16_t>(nNumPlayers);
        m_current.m_nMaxPlayers = 16;
        return monitor::InferEvents(m_run, m_current, m_players, m_previous, CEventFilters{},
                                    bInChannel, bBroadcast);
    }
    CInferenceRun m_run;
    monitor::PlayerTable m_players;
    monitor::CServerStatus m_current;
    monitor::CServerStatus m_previous;
};

TEST_F(InferenceRun, TwoWarmUpPollsAnnounceNothingAndStopEarly) {
    m_players[0] = P("A", 1, 0, 0, 0);
    m_players[1] = P("B", 2, 0, 0, 0);
    auto first = Poll();
    EXPECT_EQ(DescribeAll(first.m_events), Events{"Opened"});
    EXPECT_TRUE(first.m_bStopHere);

    m_players[0] = P("A", 1, 1, 1, 0);
    m_players[1] = P("B", 2, 0, 0, 1);
    auto second = Poll();
    EXPECT_EQ(DescribeAll(second.m_events), Events{});
    EXPECT_TRUE(second.m_bStopHere);

    m_players[0] = P("A", 1, 2, 2, 0);
    m_players[1] = P("B", 2, 0, 0, 2);
    auto third = Poll();
    EXPECT_EQ(DescribeAll(third.m_events), (Events{"Banner", "Kill A 2/2/0 > B 0/0/2"}));
    EXPECT_FALSE(third.m_bStopHere);
    EXPECT_TRUE(m_run.m_bBannerPosted);
    EXPECT_EQ(DescribeAll(Poll().m_events), Events{});  // the banner once per run
}

TEST_F(InferenceRun, BannerWaitsForTheChannelAndBroadcasting) {
    Poll();
    Poll();
    EXPECT_EQ(DescribeAll(Poll(8, false, true).m_events), Events{});
    EXPECT_EQ(DescribeAll(Poll(8, true, false).m_events), Events{});
    EXPECT_FALSE(m_run.m_bBannerPosted);
    EXPECT_EQ(DescribeAll(Poll(8, true, true).m_events), Events{"Banner"});
}

TEST_F(InferenceRun, APlayerLeavingEndsThePollAndShiftsTheTables) {
    for (int n = 0; n < 8; ++n) m_players[static_cast<size_t>(n)] = P("X", n % 2 + 1, 5, 5, 5);
    Poll();
    Poll();
    m_previous.m_nNumPlayers = 8;
    m_players[0] = P("X", 1, 6, 6, 5);  // a kill that this poll must not announce
    m_players[1] = P("X", 2, 5, 5, 6);
    auto left = Poll(7);
    EXPECT_EQ(DescribeAll(left.m_events), Events{});
    EXPECT_TRUE(left.m_bStopHere);
    EXPECT_EQ(m_previous.m_nNumPlayers, 7);
    EXPECT_EQ(m_players[7], monitor::CPlayerRecord());
    EXPECT_EQ(m_run.m_previous[7], monitor::CPlayerRecord());
    EXPECT_EQ(m_run.m_previous[0], P("X", 1, 6, 6, 5));
    // The next poll compares with the shifted table: no change, so only the
    // banner that the cut-short poll did not reach.
    EXPECT_EQ(DescribeAll(Poll(7).m_events), Events{"Banner"});
}

TEST_F(InferenceRun, CountsOutsideTheTableAreClamped) {
    // 64 killers with nine kills each need 576 kill entries; 64 are kept.
    for (auto [nMax, nNum] : {std::pair{300, 300}, {-5, 10}, {64, -3}, {32767, 64}}) {
        SCOPED_TRACE(std::to_string(nMax) + "/" + std::to_string(nNum));
        CInferenceRun run;
        run.m_nPolls = 2;
        run.m_bBannerPosted = true;
        monitor::PlayerTable players;
        for (size_t n = 0; n < players.size(); ++n) players[n] = P("K", 1, 9, 9, 0);
        monitor::CServerStatus current;
        current.m_nMaxPlayers = static_cast<int16_t>(nMax);
        current.m_nNumPlayers = static_cast<int16_t>(nNum);
        monitor::CServerStatus previous = current;
        auto poll =
            monitor::InferEvents(run, current, players, previous, CEventFilters{}, true, true);
        EXPECT_TRUE(poll.m_events.empty());  // killers without victims
        const bool bScanned = nMax > 0 && nNum > 0;
        EXPECT_EQ(run.m_previous[63], bScanned ? P("K", 1, 9, 9, 0) : monitor::CPlayerRecord());
    }
}

}  // namespace
