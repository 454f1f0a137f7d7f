#include "tools/bf42sim/LiveMatch.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "platform/Text.h"

using namespace bf42sim;

namespace {

struct CDelta {
    int nScore, nFrags, nDeaths;
    auto operator<=>(const CDelta&) const = default;
};

// How the bot tells events apart, by the change of one player's totals.
const CDelta kKill{1, 1, 0}, kDied{0, 0, 1}, kSuicide{-2, 0, 1}, kTeamkill{-2, 0, 0},
    kFlag{2, 0, 0}, kNone{0, 0, 0};

std::map<std::string, const CSimPlayer*> ByName(const CSimState& state) {
    std::map<std::string, const CSimPlayer*> m;
    for (const auto& p : state.m_vPlayers) m[p.m_strName] = &p;
    return m;
}

}  // namespace

TEST(LiveMatch, SameSeedReplaysTheSameMatchAndAnotherSeedDiffers) {
    CLiveMatch a(42, 24), b(42, 24), c(43, 24);
    bool bDiffers = false;
    for (int n = 0; n < 600; ++n) {
        a.Step();
        b.Step();
        c.Step();
        ASSERT_EQ(a.State(), b.State()) << "step " << n;
        bDiffers = bDiffers || !(a.State() == c.State());
    }
    EXPECT_TRUE(bDiffers);
}

TEST(LiveMatch, TotalsChangeOnlyAsTheScoreRulesSayAndEveryEventKindHappens) {
    CLiveMatch match(1, 16);
    int nCheckedSteps = 0;
    for (int nStep = 0; nStep < 4000; ++nStep) {
        const CSimState before = match.State();
        const CLiveCounts countsBefore = match.Counts();
        match.Step();
        const CLiveCounts& after = match.Counts();
        if (after.m_nRounds != countsBefore.m_nRounds) continue;  // totals reset with the map
        SCOPED_TRACE("step " + std::to_string(nStep));

        std::map<CDelta, int> seen;
        std::map<CDelta, std::set<int>> teams;
        const auto oldPlayers = ByName(before);
        for (const auto& p : match.State().m_vPlayers) {
            const auto it = oldPlayers.find(p.m_strName);
            if (it == oldPlayers.end()) continue;  // joined this step
            const CDelta d{p.m_nScore - it->second->m_nScore, p.m_nFrags - it->second->m_nFrags,
                           p.m_nDeaths - it->second->m_nDeaths};
            const bool bKnown = d == kNone || d == kKill || d == kDied || d == kSuicide ||
                                d == kTeamkill || d == kFlag;
            ASSERT_TRUE(bKnown) << p.m_strName << " changed by " << d.nScore << "/" << d.nFrags
                                << "/" << d.nDeaths;
            ++seen[d];
            teams[d].insert(p.m_nTeam);
            EXPECT_TRUE(p.m_nTeam == 1 || p.m_nTeam == 2);
        }
        if (after.m_nLeaves != countsBefore.m_nLeaves) continue;  // a leaver's event is gone
        ++nCheckedSteps;
        const int nKills = after.m_nKills - countsBefore.m_nKills;
        const int nTeamkills = after.m_nTeamkills - countsBefore.m_nTeamkills;
        EXPECT_EQ(seen[kKill], nKills);
        EXPECT_EQ(seen[kTeamkill], nTeamkills);
        EXPECT_EQ(seen[kSuicide], after.m_nSuicides - countsBefore.m_nSuicides);
        EXPECT_EQ(seen[kFlag], after.m_nFlags - countsBefore.m_nFlags);
        EXPECT_EQ(seen[kDied], nKills + nTeamkills + after.m_nDeaths - countsBefore.m_nDeaths);
        // A lone kill's victim is on the other team, a lone teamkill's on the same.
        if (nKills == 1 && seen[kDied] == 1 && nTeamkills == 0) {
            EXPECT_NE(*teams[kKill].begin(), *teams[kDied].begin());
        }
        if (nTeamkills == 1 && seen[kDied] == 1 && nKills == 0) {
            EXPECT_EQ(*teams[kTeamkill].begin(), *teams[kDied].begin());
        }
    }
    EXPECT_GT(nCheckedSteps, 3000);
    const CLiveCounts& counts = match.Counts();
    EXPECT_GT(counts.m_nKills, 0);
    EXPECT_GT(counts.m_nTeamkills, 0);
    EXPECT_GT(counts.m_nSuicides, 0);
    EXPECT_GT(counts.m_nDeaths, 0);
    EXPECT_GT(counts.m_nFlags, 0);
    EXPECT_GT(counts.m_nJoins, 0);
    EXPECT_GT(counts.m_nLeaves, 0);
    EXPECT_GT(counts.m_nPauses, 0);
    EXPECT_GE(counts.m_nRounds, 4);
}

TEST(LiveMatch, PhasesFollowTheGameCycleAndRoundsEndByTicketsOrTime) {
    CLiveMatch match(5, 16);
    std::set<std::string> transitions;
    std::set<std::string> limits;
    std::string strPhase = match.State().GetKey("gamemode");
    EXPECT_EQ(strPhase, "pre");
    for (int nStep = 0; nStep < 4000; ++nStep) {
        const CSimState before = match.State();
        match.Step();
        const CSimState& now = match.State();
        SCOPED_TRACE("step " + std::to_string(nStep));
        const std::string strNow = now.GetKey("gamemode");
        const bool bNewMap = before.GetKey("mapname") != now.GetKey("mapname");
        EXPECT_EQ(bNewMap, strPhase == "end" && strNow == "pre");
        limits.insert(now.GetKey("Time Limit"));
        const int nT1 = platform::ParseLeadingInt(now.GetKey("tickets1"));
        const int nT2 = platform::ParseLeadingInt(now.GetKey("tickets2"));
        EXPECT_GE(std::min(nT1, nT2), 0);
        if (!bNewMap) {
            EXPECT_LE(nT1, platform::ParseLeadingInt(before.GetKey("tickets1")));
            EXPECT_LE(nT2, platform::ParseLeadingInt(before.GetKey("tickets2")));
        }
        if (strNow != strPhase) {
            transitions.insert(strPhase + ">" + strNow);
            if (strNow == "end") {
                const bool bTimeUp =
                    now.GetKey("Time Limit") != "unlimited" && now.GetKey("roundTimeRemain") == "0";
                EXPECT_TRUE(nT1 == 0 || nT2 == 0 || bTimeUp);
            }
        }
        EXPECT_LE(now.m_vPlayers.size(), 16u);
        strPhase = strNow;
    }
    EXPECT_EQ(transitions,
              (std::set<std::string>{"pre>openplaying", "openplaying>pause", "pause>openplaying",
                                     "openplaying>end", "end>pre"}));
    EXPECT_TRUE(limits.count("unlimited"));
    EXPECT_GE(limits.size(), 2u);
}

TEST(LiveMatch, PlayerCountIsClampedToOneServer) {
    struct Row {
        int nAsked;
        size_t nStarted;
    };
    for (const Row& row : {Row{0, 1}, Row{-5, 1}, Row{64, 64}, Row{1000, 64}}) {
        CLiveMatch match(3, row.nAsked);
        EXPECT_EQ(match.State().m_vPlayers.size(), row.nStarted) << row.nAsked;
        std::set<std::string> names;
        for (int n = 0; n < 300; ++n) match.Step();
        for (const auto& p : match.State().m_vPlayers) names.insert(p.m_strName);
        EXPECT_EQ(names.size(), match.State().m_vPlayers.size()) << "names are unique";
        EXPECT_LE(match.State().m_vPlayers.size(), row.nStarted);
    }
}
