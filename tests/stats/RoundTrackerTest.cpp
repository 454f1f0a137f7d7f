// Rounds and each player's part in them, worked out from polls alone: where
// a round begins and ends, figures from the server's totals and events,
// identities, and rounds that monitoring left and took up again.
#include "stats/RoundTracker.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/stats/PollScript.h"

using stats::CRoundPlayer;
using stats::CRoundRecord;
using stats::EEndReason;
using statstest::CPollScript;

namespace {

// The tracker with a store as the service keeps one: ids given on the first
// write, a round written again under its id replaces the earlier one.
struct CFeed {
    stats::CRoundTracker m_tracker;
    std::vector<CRoundRecord> m_written;
    int64_t m_nNextId = 1;
    bool m_bOfferCandidates = true;

    void Write(std::vector<CRoundRecord> vRounds) {
        for (CRoundRecord& r : vRounds) {
            auto it = std::find_if(m_written.begin(), m_written.end(),
                                   [&](const CRoundRecord& w) { return w.m_nId == r.m_nId; });
            if (r.m_nId != 0 && it != m_written.end()) {
                *it = r;
                continue;
            }
            r.m_nId = m_nNextId++;
            m_written.push_back(r);
        }
    }
    std::optional<CRoundRecord> LastStopped() const {
        if (m_written.empty() || m_written.back().m_eEnd != EEndReason::Stopped)
            return std::nullopt;
        return m_written.back();
    }
    void Poll(CPollScript& g, int nPolls = 1, uint32_t nMs = 2000) {
        for (int n = 0; n < nPolls; ++n) {
            if (m_tracker.WantsResumeCandidate())
                m_tracker.SetResumeCandidate(m_bOfferCandidates ? LastStopped() : std::nullopt);
            Write(m_tracker.OnPoll(g.Poll(nMs)));
        }
    }
    void Stop() {
        if (auto round = m_tracker.OnStopped()) Write({*round});
    }
};

const CRoundPlayer* Find(const CRoundRecord& r, const std::string& strName) {
    for (const CRoundPlayer& p : r.m_vPlayers)
        if (p.m_strName == strName) return &p;
    return nullptr;
}

// kills/deaths/teamkills/suicides/flags/score
std::string Figures(const CRoundRecord& r, const std::string& strName) {
    const CRoundPlayer* p = Find(r, strName);
    if (p == nullptr) return "absent";
    return std::to_string(p->m_nKills) + "/" + std::to_string(p->m_nDeaths) + "/" +
           std::to_string(p->m_nTeamkills) + "/" + std::to_string(p->m_nSuicides) + "/" +
           std::to_string(p->m_nFlags) + "/" + std::to_string(p->m_nScore);
}

TEST(RoundTracker, ARoundFromPreToEndGivesEveryPlayersPart) {
    CPollScript g("wake", "pre");
    g.Add("Ann", 2, "aaaa");
    g.Add("Bob", 1, "bbbb");
    g.Add("Cid", 1);  // a server that sends no keyhash for him
    CFeed f;
    f.Poll(g, 3);  // two polls warm the inference up, the third opens the round in "pre"
    EXPECT_TRUE(f.m_tracker.IsRoundOpen());
    g.Phase("openplaying");
    f.Poll(g);
    g.Kill("Ann", "Bob");
    f.Poll(g);
    g.Kill("Ann", "Cid");
    f.Poll(g);
    g.Teamkill("Bob", "Cid");
    f.Poll(g);
    g.Suicide("Cid");
    f.Poll(g);
    g.Flag("Ann");
    f.Poll(g, 61);
    g.Tickets(0, 57);
    g.Phase("end");
    f.Poll(g);
    EXPECT_FALSE(f.m_tracker.IsRoundOpen());

    ASSERT_EQ(f.m_written.size(), 1u);
    const CRoundRecord& r = f.m_written[0];
    EXPECT_EQ(r.m_eEnd, EEndReason::Ended);
    EXPECT_EQ(r.m_strMap, "wake");
    EXPECT_EQ(r.m_strServer, "Test Server");
    EXPECT_EQ(r.m_nServerPort, 14567);
    EXPECT_EQ(r.m_nTicketsAxis, 0);
    EXPECT_EQ(r.m_nTicketsAllies, 57);
    EXPECT_EQ(r.m_nWinner, stats::kWinnerAllies);
    EXPECT_FALSE(r.m_bJoinedLate);
    EXPECT_EQ(r.m_nSeconds, 66 * 2);  // the playing polls only
    EXPECT_EQ(r.m_nStartTime + 67 * 2, r.m_nEndTime);
    EXPECT_EQ(Figures(r, "Ann"), "2/0/0/0/1/4");
    EXPECT_EQ(Figures(r, "Bob"), "0/1/1/0/0/-2");
    EXPECT_EQ(Figures(r, "Cid"), "0/3/0/1/0/-2");
    EXPECT_EQ(Find(r, "Ann")->m_strIdent, "k:aaaa");
    EXPECT_EQ(Find(r, "Cid")->m_strIdent, "n:Cid");
    EXPECT_EQ(Find(r, "Cid")->m_strKeyHash, "");
    EXPECT_EQ(Find(r, "Ann")->m_nSeconds, 132);
    EXPECT_EQ(Find(r, "Ann")->m_nTeam, 2);
    EXPECT_TRUE(r.IsRanked());
}

TEST(RoundTracker, ARoundFoundGoingCountsTheTotalsTheServerAlreadyShows) {
    CPollScript g;
    g.Add("Ann", 2, "aaaa");
    g.Add("Bob", 1, "bbbb");
    for (int n = 0; n < 5; ++n) g.Kill("Ann", "Bob");
    CFeed f;
    f.Poll(g, 40);
    f.Stop();
    ASSERT_EQ(f.m_written.size(), 1u);
    const CRoundRecord& r = f.m_written[0];
    EXPECT_EQ(r.m_eEnd, EEndReason::Stopped);
    EXPECT_TRUE(r.m_bJoinedLate);
    EXPECT_EQ(r.m_nWinner, stats::kWinnerNone);  // nobody won a round that went on
    EXPECT_EQ(Figures(r, "Ann"), "5/0/0/0/0/5");
    EXPECT_EQ(Figures(r, "Bob"), "0/5/0/0/0/0");
    EXPECT_EQ(r.m_nSeconds, 38 * 2);  // from the first decided poll on
}

TEST(RoundTracker, ANewMapEndsTheRoundAndTheNextStartsFromNothing) {
    CPollScript g;
    g.Add("Ann", 2, "aaaa");
    g.Add("Bob", 1, "bbbb");
    CFeed f;
    f.Poll(g, 3);
    g.Kill("Ann", "Bob");
    g.Kill("Bob", "Ann");
    f.Poll(g, 70);
    // The map changes while the old totals still show; they reset a poll later.
    g.Status().m_strMapName = "berlin";
    g.Phase("pre");
    f.Poll(g);
    ASSERT_EQ(f.m_written.size(), 1u);
    EXPECT_EQ(f.m_written[0].m_eEnd, EEndReason::MapChanged);
    EXPECT_EQ(f.m_written[0].m_strMap, "wake");
    EXPECT_EQ(Figures(f.m_written[0], "Ann"), "1/1/0/0/0/1");
    g.NewMap("berlin");
    f.Poll(g);
    g.Phase("openplaying");
    f.Poll(g);
    g.Kill("Ann", "Bob");
    f.Poll(g, 70);
    g.Phase("end");
    f.Poll(g);
    ASSERT_EQ(f.m_written.size(), 2u);
    const CRoundRecord& r = f.m_written[1];
    EXPECT_EQ(r.m_eEnd, EEndReason::Ended);
    EXPECT_EQ(r.m_strMap, "berlin");
    EXPECT_FALSE(r.m_bJoinedLate);
    EXPECT_EQ(Figures(r, "Ann"), "1/0/0/0/0/1");
    EXPECT_EQ(Figures(r, "Bob"), "0/1/0/0/0/0");
}

TEST(RoundTracker, PreAfterPlayOnTheSameMapIsARestartAndPreAloneIsNoRound) {
    CPollScript g;
    g.Add("Ann", 2, "aaaa");
    g.Add("Bob", 1, "bbbb");
    CFeed f;
    f.Poll(g, 10);
    g.Phase("pre");
    f.Poll(g);
    ASSERT_EQ(f.m_written.size(), 1u);
    EXPECT_EQ(f.m_written[0].m_eEnd, EEndReason::Restarted);
    EXPECT_TRUE(f.m_tracker.IsRoundOpen());
    // Straight to the end without play: nothing happened, nothing is kept.
    g.Phase("end");
    f.Poll(g, 5);
    EXPECT_EQ(f.m_written.size(), 1u);
    EXPECT_FALSE(f.m_tracker.IsRoundOpen());
}

TEST(RoundTracker, APlayerWhoComesBackKeepsHisTotalsAndAnotherNameIsHisToo) {
    CPollScript g;
    g.Add("Ann", 2, "aaaa");
    g.Add("Bob", 1, "bbbb");
    g.Add("Cid", 1, "cccc");
    CFeed f;
    f.Poll(g, 3);
    g.Kill("Ann", "Bob");
    f.Poll(g);
    g.Kill("Ann", "Cid");
    f.Poll(g, 5);
    g.Remove("Ann");
    f.Poll(g, 5);
    g.Add("Annie", 2, "aaaa");  // back with the same keyhash, totals from 0
    f.Poll(g, 3);
    g.Kill("Annie", "Bob");
    f.Poll(g, 60);
    g.Phase("end");
    f.Poll(g);
    ASSERT_EQ(f.m_written.size(), 1u);
    const CRoundRecord& r = f.m_written[0];
    EXPECT_EQ(Find(r, "Ann"), nullptr);
    EXPECT_EQ(Figures(r, "Annie"), "3/0/0/0/0/3");
    const CRoundPlayer& annie = *Find(r, "Annie");
    ASSERT_EQ(annie.m_vNames.size(), 2u);
    EXPECT_EQ(annie.m_vNames[0].m_strName, "Ann");
    EXPECT_EQ(annie.m_vNames[1].m_strName, "Annie");
    EXPECT_LT(annie.m_vNames[0].m_nLastSeen, annie.m_vNames[1].m_nFirstSeen);
    EXPECT_EQ(r.m_vPlayers.size(), 3u);
}

TEST(RoundTracker, IdentityIsTheKeyHashUnlessTwoSlotsShareOne) {
    struct {
        const char* m_pszName;
        const char* m_pszKeyHashA;
        const char* m_pszKeyHashB;
        const char* m_pszIdentA;
        const char* m_pszIdentB;
    } const kRows[] = {
        {"OwnKeyHashes", "k1", "k2", "k:k1", "k:k2"},
        {"NoKeyHashes", "", "", "n:Ann", "n:Bob"},
        {"OneShared", "same", "same", "n:Ann", "n:Bob"},
        {"OneWithout", "k1", "", "k:k1", "n:Bob"},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.m_pszName);
        CPollScript g;
        g.Add("Ann", 2, row.m_pszKeyHashA);
        g.Add("Bob", 1, row.m_pszKeyHashB);
        CFeed f;
        f.Poll(g, 3);
        g.Kill("Ann", "Bob");
        f.Poll(g, 3);
        f.Stop();
        ASSERT_EQ(f.m_written.size(), 1u);
        EXPECT_EQ(Find(f.m_written[0], "Ann")->m_strIdent, row.m_pszIdentA);
        EXPECT_EQ(Find(f.m_written[0], "Bob")->m_strIdent, row.m_pszIdentB);
        EXPECT_EQ(Figures(f.m_written[0], "Ann"), "1/0/0/0/0/1");
    }
    // A hostile server's long keyhash and name are cut.
    EXPECT_EQ(
        stats::PlayerIdent({std::string(500, 'n'), 0, 0, 0, 0, 0, std::string(500, 'k')}, false),
        "k:" + std::string(stats::kMaxStoredText, 'k'));
}

// Monitoring stops and comes back while the game goes on: the round is
// written as left, then taken up again and written over, counted once.
TEST(RoundTracker, ARoundLeftByMonitoringIsTakenUpAgainAndCountedOnce) {
    CPollScript g;
    g.Add("Ann", 2, "aaaa");
    g.Add("Bob", 1, "bbbb");
    CFeed f;
    f.Poll(g, 3);
    for (int n = 0; n < 4; ++n) g.Kill("Ann", "Bob");
    f.Poll(g);
    g.Flag("Bob");
    f.Poll(g, 30);
    f.Stop();
    ASSERT_EQ(f.m_written.size(), 1u);
    EXPECT_EQ(f.m_written[0].m_eEnd, EEndReason::Stopped);
    const int64_t nStart = f.m_written[0].m_nStartTime;
    const int64_t nPlayed = f.m_written[0].m_nSeconds;

    g.Skip(120000);  // two minutes without monitoring; the game went on
    g.Kill("Ann", "Bob");
    g.Flag("Bob");
    f.Poll(g, 3);
    g.Kill("Ann", "Bob");
    f.Poll(g);
    g.Flag("Bob");
    f.Poll(g, 30);
    g.Phase("end");
    f.Poll(g);
    ASSERT_EQ(f.m_written.size(), 1u);  // the same round, written again
    const CRoundRecord& r = f.m_written[0];
    EXPECT_EQ(r.m_nId, 1);
    EXPECT_EQ(r.m_eEnd, EEndReason::Ended);
    EXPECT_EQ(r.m_nStartTime, nStart);
    EXPECT_EQ(r.m_nSeconds, nPlayed + 32 * 2);
    EXPECT_EQ(Figures(r, "Ann"), "6/0/0/0/0/6");
    // The flag before the stop, and the one seen since; the one in between
    // shows in the score only.
    EXPECT_EQ(Figures(r, "Bob"), "0/6/0/0/2/6");
}

TEST(RoundTracker, ARoundLeftIsNotTakenUpByAnotherGame) {
    struct {
        const char* m_pszName;
        uint32_t m_nAwayMs;
        const char* m_pszMap;
        bool m_bTotalsReset;
    } const kRows[] = {
        {"AnotherMap", 60000, "berlin", false},
        {"TotalsWentDown", 60000, "wake", true},
        {"TooLongAway", 11 * 60000, "wake", false},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.m_pszName);
        CPollScript g;
        g.Add("Ann", 2, "aaaa");
        g.Add("Bob", 1, "bbbb");
        CFeed f;
        f.Poll(g, 3);
        g.Kill("Ann", "Bob");
        g.Kill("Ann", "Bob");
        f.Poll(g, 30);
        f.Stop();
        g.Skip(row.m_nAwayMs);
        g.Status().m_strMapName = row.m_pszMap;
        if (row.m_bTotalsReset) {
            g.NewMap(row.m_pszMap);
            g.Phase("openplaying");
        }
        g.Kill("Ann", "Bob");
        f.Poll(g, 30);
        f.Stop();
        ASSERT_EQ(f.m_written.size(), 2u);
        EXPECT_EQ(Figures(f.m_written[0], "Ann"), "2/0/0/0/0/2");
        EXPECT_TRUE(f.m_written[1].m_bJoinedLate);
        EXPECT_EQ(Figures(f.m_written[1], "Ann"),
                  row.m_bTotalsReset ? "1/0/0/0/0/1" : "3/0/0/0/0/3");
    }
}

// The monitor's run began again after a silence (failed polls): the round
// is left, and taken up again when the game went on meanwhile.
TEST(RoundTracker, ALongSilenceLeavesTheRoundAndTheGameGoingOnTakesItUp) {
    CPollScript g;
    g.Add("Ann", 2, "aaaa");
    g.Add("Bob", 1, "bbbb");
    CFeed f;
    f.Poll(g, 3);
    g.Kill("Ann", "Bob");
    f.Poll(g, 30);
    g.Kill("Ann", "Bob");
    f.Poll(g, 1, stats::kRunBreakMs + 1000);
    ASSERT_EQ(f.m_written.size(), 1u);
    EXPECT_EQ(f.m_written[0].m_eEnd, EEndReason::Stopped);
    f.Poll(g, 30);
    g.Phase("end");
    f.Poll(g);
    ASSERT_EQ(f.m_written.size(), 1u);
    EXPECT_EQ(f.m_written[0].m_eEnd, EEndReason::Ended);
    EXPECT_EQ(Figures(f.m_written[0], "Ann"), "2/0/0/0/0/2");
    // Without the round to take up, a new one begins, found going.
    CFeed g2;
    g2.m_bOfferCandidates = false;
    CPollScript h;
    h.Add("Ann", 2, "aaaa");
    h.Add("Bob", 1, "bbbb");
    g2.Poll(h, 10);
    g2.Poll(h, 1, stats::kRunBreakMs + 1000);
    g2.Poll(h, 10);
    g2.Stop();
    ASSERT_EQ(g2.m_written.size(), 2u);
    EXPECT_TRUE(g2.m_written[1].m_bJoinedLate);
}

TEST(RoundTracker, PausesAndEndPhasesAreNoTimePlayed) {
    CPollScript g;
    g.Add("Ann", 2, "aaaa");
    g.Add("Bob", 1, "bbbb");
    CFeed f;
    f.Poll(g, 3);
    f.Poll(g, 10);
    g.Phase("pause");
    f.Poll(g, 50);
    g.Phase("openplaying");
    f.Poll(g, 10);
    g.Phase("end");
    f.Poll(g, 5);
    ASSERT_EQ(f.m_written.size(), 1u);
    EXPECT_EQ(f.m_written[0].m_nSeconds, 21 * 2);
    EXPECT_EQ(Find(f.m_written[0], "Ann")->m_nSeconds, 21 * 2);
    // An interval longer than the cap counts as the cap.
    CFeed slow;
    CPollScript h;
    h.Add("Ann", 2, "aaaa");
    slow.Poll(h, 3, 45000);
    slow.Poll(h, 2, 45000);
    slow.Stop();
    ASSERT_EQ(slow.m_written.size(), 1u);
    EXPECT_EQ(slow.m_written[0].m_nSeconds, 3 * stats::kMaxIntervalMs / 1000);
}

TEST(RoundTracker, ShortRoundsAndRoundsOfOnePlayerAreKeptButNotRanked) {
    struct {
        const char* m_pszName;
        int m_nPlayers;
        int m_nPolls;  // of 2 seconds
        bool m_bRanked;
    } const kRows[] = {
        {"LongWithTwo", 2, 300, true},
        {"JustTwoMinutes", 2, 60, true},
        {"UnderTwoMinutes", 2, 59, false},
        {"OnePlayer", 1, 200, false},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.m_pszName);
        CPollScript g("wake", "pre");
        for (int n = 0; n < row.m_nPlayers; ++n) g.Add("P" + std::to_string(n), 1 + n % 2);
        CFeed f;
        f.Poll(g, 3);
        g.Phase("openplaying");
        f.Poll(g, row.m_nPolls);
        g.Phase("end");
        f.Poll(g);
        ASSERT_EQ(f.m_written.size(), 1u);
        EXPECT_EQ(f.m_written[0].IsRanked(), row.m_bRanked);
        EXPECT_EQ(f.m_written[0].PlayerCount(), row.m_nPlayers);
    }
}

TEST(RoundTracker, WinnerComesFromTheTicketsElseFromTheTeamsScores) {
    struct {
        const char* m_pszName;
        const char* m_pszAxis;
        const char* m_pszAllies;
        int m_nAllyKills;
        int m_nAxisKills;
        int32_t m_nWinner;
    } const kRows[] = {
        {"AlliesHoldMore", "0", "57", 0, 3, stats::kWinnerAllies},
        {"AxisHoldsMore", "12", "0", 3, 0, stats::kWinnerAxis},
        {"EqualTickets", "5", "5", 3, 0, stats::kWinnerNone},
        {"NoTicketsAlliesScoreMore", "", "", 2, 1, stats::kWinnerAllies},
        {"NoTicketsAxisScoresMore", "", "", 1, 2, stats::kWinnerAxis},
        {"TicketsNotANumber", "x", "7", 1, 1, stats::kWinnerNone},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.m_pszName);
        CPollScript g;
        g.Add("Ally", 2, "a");
        g.Add("Axe", 1, "b");
        CFeed f;
        f.Poll(g, 3);
        for (int n = 0; n < row.m_nAllyKills; ++n) g.Kill("Ally", "Axe");
        for (int n = 0; n < row.m_nAxisKills; ++n) g.Kill("Axe", "Ally");
        f.Poll(g, 5);
        g.Status().m_strTickets1 = row.m_pszAxis;
        g.Status().m_strTickets2 = row.m_pszAllies;
        g.Phase("end");
        f.Poll(g);
        ASSERT_EQ(f.m_written.size(), 1u);
        EXPECT_EQ(f.m_written[0].m_nWinner, row.m_nWinner);
    }
}

TEST(RoundTracker, PlayersOfARoundAreBounded) {
    CPollScript g;
    CFeed f;
    g.Add("Stay", 2, "stay");
    f.Poll(g, 3);
    // Many players come and go, each with a keyhash of his own.
    for (int n = 0; n < 400; ++n) {
        g.Add("P" + std::to_string(n), 1, "k" + std::to_string(n));
        f.Poll(g);
        g.Remove("P" + std::to_string(n));
        f.Poll(g);
    }
    f.Stop();
    ASSERT_EQ(f.m_written.size(), 1u);
    EXPECT_EQ(f.m_written[0].m_vPlayers.size(), stats::kMaxRoundPlayers);
}

}  // namespace
