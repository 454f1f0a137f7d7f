#include "tools/bf42sim/LiveMatch.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "platform/Text.h"

using namespace bf42sim;

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
    EXPECT_EQ(CLiveMatch(1, 1000).State().m_vPlayers.size(), 64u);
    EXPECT_EQ(CLiveMatch(1, 0).State().m_vPlayers.size(), 1u);
}

TEST(LiveMatch, TotalsChangeOnlyAsTheScoreRulesSayAndEveryEventKindHappens) {
    // Each player's change per step, as the bot reads it: score/frags/deaths.
    struct CDelta {
        int m_nScore, m_nFrags, m_nDeaths;
        auto operator<=>(const CDelta&) const = default;
    };
    const CDelta kKill{1, 1, 0}, kDied{0, 0, 1}, kSuicide{-2, 0, 1}, kTeamkill{-2, 0, 0},
        kFlag{2, 0, 0};
    const std::set<CDelta> known{kKill, kDied, kSuicide, kTeamkill, kFlag, {0, 0, 0}};

    CLiveMatch match(1, 16);
    int nChecked = 0;
    for (int nStep = 0; nStep < 4000; ++nStep) {
        const CSimState before = match.State();
        const CLiveCounts was = match.Counts();
        match.Step();
        const CLiveCounts& is = match.Counts();
        if (is.m_nRounds != was.m_nRounds) continue;  // totals reset with the map
        std::map<std::string, const CSimPlayer*> old;
        for (const auto& p : before.m_vPlayers) old[p.m_strName] = &p;
        std::map<CDelta, int> seen;
        std::map<CDelta, int> team;
        for (const auto& p : match.State().m_vPlayers) {
            if (!old.count(p.m_strName)) continue;  // joined this step
            const CSimPlayer& o = *old[p.m_strName];
            const CDelta d{p.m_nScore - o.m_nScore, p.m_nFrags - o.m_nFrags,
                           p.m_nDeaths - o.m_nDeaths};
            ASSERT_TRUE(known.count(d)) << "step " << nStep << ": " << p.m_strName << " changed by "
                                        << d.m_nScore << "/" << d.m_nFrags << "/" << d.m_nDeaths;
            ++seen[d];
            team[d] = p.m_nTeam;
            ASSERT_TRUE(p.m_nTeam == 1 || p.m_nTeam == 2);
        }
        if (is.m_nLeaves != was.m_nLeaves) continue;  // a leaver takes his change along
        ++nChecked;
        const int nKills = is.m_nKills - was.m_nKills,
                  nTeamkills = is.m_nTeamkills - was.m_nTeamkills;
        EXPECT_EQ(seen[kKill], nKills) << nStep;
        EXPECT_EQ(seen[kTeamkill], nTeamkills) << nStep;
        EXPECT_EQ(seen[kSuicide], is.m_nSuicides - was.m_nSuicides) << nStep;
        EXPECT_EQ(seen[kFlag], is.m_nFlags - was.m_nFlags) << nStep;
        EXPECT_EQ(seen[kDied], nKills + nTeamkills + is.m_nDeaths - was.m_nDeaths) << nStep;
        // A lone kill's victim is on the other team, a lone teamkill's on the same.
        if (seen[kDied] == 1 && nKills + nTeamkills == 1) {
            EXPECT_EQ(team[kDied] == team[nKills ? kKill : kTeamkill], nTeamkills == 1) << nStep;
        }
    }
    EXPECT_GT(nChecked, 3000);
    const CLiveCounts& c = match.Counts();
    for (int n : {c.m_nKills, c.m_nTeamkills, c.m_nSuicides, c.m_nDeaths, c.m_nFlags, c.m_nJoins,
                  c.m_nLeaves, c.m_nPauses})
        EXPECT_GT(n, 0);
    EXPECT_GE(c.m_nRounds, 4);
}

TEST(LiveMatch, PhasesFollowTheGameCycleAndRoundsEndByTicketsOrTime) {
    CLiveMatch match(5, 16);
    std::set<std::string> transitions, limits;
    EXPECT_EQ(match.State().GetKey("gamemode"), "pre");
    for (int nStep = 0; nStep < 4000; ++nStep) {
        const CSimState before = match.State();
        match.Step();
        const CSimState& now = match.State();
        SCOPED_TRACE("step " + std::to_string(nStep));
        const std::string strWas = before.GetKey("gamemode"), strIs = now.GetKey("gamemode");
        const bool bNewMap = before.GetKey("mapname") != now.GetKey("mapname");
        EXPECT_EQ(bNewMap, strWas == "end" && strIs == "pre");
        limits.insert(now.GetKey("Time Limit"));
        for (const char* pszKey : {"tickets1", "tickets2"}) {
            const int nNow = platform::ParseLeadingInt(now.GetKey(pszKey));
            EXPECT_GE(nNow, 0);
            if (!bNewMap) {
                EXPECT_LE(nNow, platform::ParseLeadingInt(before.GetKey(pszKey))) << pszKey;
            }
        }
        if (strIs != strWas) transitions.insert(strWas + ">" + strIs);
        if (strIs == "end" && strWas != "end") {
            const bool bTimeUp =
                now.GetKey("Time Limit") != "unlimited" && now.GetKey("roundTimeRemain") == "0";
            EXPECT_TRUE(now.GetKey("tickets1") == "0" || now.GetKey("tickets2") == "0" || bTimeUp);
        }
        EXPECT_LE(now.m_vPlayers.size(), 16u);
    }
    EXPECT_EQ(transitions,
              (std::set<std::string>{"pre>openplaying", "openplaying>pause", "pause>openplaying",
                                     "openplaying>end", "end>pre"}));
    EXPECT_TRUE(limits.count("unlimited") && limits.size() >= 2);
}

// Identities for the statistics: no keyhash is ever on the server twice,
// every player keeps his keyhash while he stays, and players come back
// with theirs, some under another name.
TEST(LiveMatch, PlayersKeepTheirKeyHashAndSomeComeBackUnderAnotherName) {
    CLiveMatch match(9, 24);
    std::map<std::string, std::set<std::string>> namesOf;  // keyhash -> names
    for (int nStep = 0; nStep < 6000; ++nStep) {
        std::map<std::string, std::string> before;  // name -> keyhash
        for (const auto& p : match.State().m_vPlayers) before[p.m_strName] = p.m_strKeyHash;
        match.Step();
        std::set<std::string> hashes;
        for (const auto& p : match.State().m_vPlayers) {
            ASSERT_EQ(p.m_strKeyHash.size(), 32u);
            ASSERT_TRUE(hashes.insert(p.m_strKeyHash).second) << "step " << nStep;
            const auto it = before.find(p.m_strName);
            if (it != before.end()) {
                ASSERT_EQ(it->second, p.m_strKeyHash) << p.m_strName;
            }
            namesOf[p.m_strKeyHash].insert(p.m_strName);
        }
    }
    const CLiveCounts& c = match.Counts();
    EXPECT_GT(c.m_nReturns, 0);
    EXPECT_GT(c.m_nRenames, 0);
    EXPECT_LT(c.m_nRenames, c.m_nReturns);
    int nRenamed = 0;
    for (const auto& [strHash, names] : namesOf) nRenamed += names.size() > 1 ? 1 : 0;
    // One player may be renamed more than once.
    EXPECT_GT(nRenamed, 0);
    EXPECT_LE(nRenamed, c.m_nRenames);
}
