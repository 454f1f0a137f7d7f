// The stand-in server's live match, read as the monitor reads it (its v1.61
// replies decoded), gives rounds whose figures add up to what the match did.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>

#include "monitor/StatusReply.h"
#include "stats/RoundTracker.h"
#include "tools/bf42sim/LiveMatch.h"
#include "tools/bf42sim/ReplyBuilder.h"

namespace {

TEST(LiveMatchStats, RoundsAndFiguresAddUpToWhatTheMatchDid) {
    bf42sim::CLiveMatch match(3, 24);
    stats::CRoundTracker tracker;
    monitor::CServerStatus status;
    monitor::PlayerTable players;
    std::vector<stats::CRoundRecord> vRounds;
    uint32_t nTick = 0;
    for (int nStep = 0; nStep < 5000; ++nStep) {
        std::string strReply;
        for (const std::string& str :
             bf42sim::SplitStatusReply(match.State(), bf42sim::EKeyStyle::V161, "1"))
            strReply += str;
        monitor::ParseStatusReply(strReply, status, players);
        monitor::CPollReport report{nTick += 1000, 1700000000 + nStep, status, players};
        if (tracker.WantsResumeCandidate()) tracker.SetResumeCandidate(std::nullopt);
        for (auto& round : tracker.OnPoll(report)) vRounds.push_back(std::move(round));
        match.Step();
    }
    if (auto round = tracker.OnStopped()) vRounds.push_back(std::move(*round));

    const bf42sim::CLiveCounts& c = match.Counts();
    int nEnded = 0;
    int64_t nKills = 0, nDeaths = 0, nFlags = 0, nTeamkills = 0, nSuicides = 0;
    std::map<std::string, std::set<std::string>> namesOf;
    for (const stats::CRoundRecord& r : vRounds) {
        nEnded += r.m_eEnd == stats::EEndReason::Ended ? 1 : 0;
        for (const stats::CRoundPlayer& p : r.m_vPlayers) {
            EXPECT_TRUE(p.m_strIdent.starts_with("k:")) << p.m_strIdent;
            nKills += p.m_nKills;
            nDeaths += p.m_nDeaths;
            nFlags += p.m_nFlags;
            nTeamkills += p.m_nTeamkills;
            nSuicides += p.m_nSuicides;
            for (const stats::CRoundName& name : p.m_vNames)
                namesOf[p.m_strIdent].insert(name.m_strName);
        }
    }
    // Every round the match ended, and the one it was in.
    EXPECT_GE(c.m_nRounds, 6);
    EXPECT_EQ(nEnded, c.m_nRounds - 1);
    EXPECT_EQ(vRounds.back().m_eEnd, stats::EEndReason::Stopped);
    // Totals are exact but for one thing: whoever leaves takes the change of
    // his last second along (one event at most).
    EXPECT_LE(nKills, c.m_nKills);
    EXPECT_GE(nKills, c.m_nKills - c.m_nLeaves);
    const int64_t nAllDeaths = c.m_nKills + c.m_nTeamkills + c.m_nSuicides + c.m_nDeaths;
    EXPECT_LE(nDeaths, nAllDeaths);
    EXPECT_GE(nDeaths, nAllDeaths - c.m_nLeaves);
    // Events come from the inference, which skips the second someone leaves.
    for (const auto& [nSeen, nDone] :
         {std::pair{nFlags, c.m_nFlags}, std::pair{nTeamkills, c.m_nTeamkills},
          std::pair{nSuicides, c.m_nSuicides}}) {
        EXPECT_LE(nSeen, nDone);
        EXPECT_GE(nSeen * 10, nDone * 8);
    }
    // A player back under another name is one player with two names.
    int nRenamed = 0;
    for (const auto& [strIdent, names] : namesOf) nRenamed += names.size() > 1 ? 1 : 0;
    EXPECT_GT(c.m_nRenames, 0);
    EXPECT_GT(nRenamed, 0);
    std::printf("rounds %zu, kills %lld of %d, flags %lld of %d, teamkills %lld of %d\n",
                vRounds.size(), static_cast<long long>(nKills), c.m_nKills,
                static_cast<long long>(nFlags), c.m_nFlags, static_cast<long long>(nTeamkills),
                c.m_nTeamkills);
}

}  // namespace
