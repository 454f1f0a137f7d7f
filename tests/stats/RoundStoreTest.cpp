// Rounds written into the file and read back: the figures of a player over
// his rounds and names, the top lists by period, the last round, a round
// written again, names byte for byte, and a write that fails half way.
#include "stats/RoundStore.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "stats/StatsQueries.h"
#include "stats/StatsSchema.h"
#include "tests/config/TempFolder.h"
#include "tests/stats/StoreSupport.h"

using namespace stats;
using statstest::CPart;
using statstest::MakeRound;

namespace {

constexpr int64_t kNow = 1700000000;
constexpr int64_t kDay = 86400;

class RoundStore : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.IsValid());
        std::string strWhy;
        ASSERT_EQ(OpenForWriting(m_db, Path(), COpenOptions(), &strWhy), EOpenResult::Ok) << strWhy;
    }
    std::string Path() const { return m_folder / "stats.db"; }
    void Write(CRoundRecord r) { ASSERT_EQ(m_store.Write(r), SQLITE_OK) << m_db.ErrorText(); }
    std::vector<std::string> TopNames(ETopKind eKind, ETopPeriod ePeriod) {
        std::vector<std::string> names;
        for (const CTopEntry& e : m_queries.Top(eKind, ePeriod, kNow)) names.push_back(e.m_strName);
        return names;
    }

    testsupport::CTempFolder m_folder;
    CSqlDatabase m_db;
    CRoundStore m_store{m_db};
    CStatsQueries m_queries{m_db};
};

TEST_F(RoundStore, APlayersFiguresAddUpOverHisRoundsAndNames) {
    Write(MakeRound("wake", kNow - 3 * kDay,
                    {{"Ann", "aaaa", 10, 4, 1, 2, 14, 2}, {"Bob", "", 4, 10, 0, 0, 4, 1}}));
    Write(MakeRound("berlin", kNow - 2 * kDay,
                    {{"Annie", "aaaa", 5, 1, 0, 1, 7, 2}, {"Bob", "", 1, 5, 2, 0, -3, 1}}));
    // A short round counts for the player's own figures, not in rankings.
    Write(MakeRound("wake", kNow - kDay, {{"Annie", "aaaa", 3, 0, 0, 0, 3, 2}}, 60));

    const std::optional<CPlayerStats> ann = m_queries.PlayerStats("Ann");
    ASSERT_TRUE(ann);
    EXPECT_EQ(ann->m_strName, "Annie");  // the name used last
    EXPECT_EQ(ann->m_nKills, 18);
    EXPECT_EQ(ann->m_nDeaths, 5);
    EXPECT_EQ(ann->m_nTeamkills, 1);
    EXPECT_EQ(ann->m_nFlags, 3);
    EXPECT_EQ(ann->m_nScore, 24);
    EXPECT_EQ(ann->m_nRounds, 3);
    EXPECT_EQ(ann->m_nSeconds, 1260);
    EXPECT_EQ(ann->m_nLastSeen, kNow - kDay);
    EXPECT_EQ(ann->m_vOtherNames, std::vector<std::string>{"Ann"});
    EXPECT_EQ(m_queries.PlayerStats("annie"), ann);
    EXPECT_FALSE(m_queries.PlayerStats("Zed"));
    EXPECT_EQ(m_queries.RoundCount(), 3);

    // The players' all-time totals hold the ranked rounds only.
    EXPECT_EQ(
        statstest::Peek(Path(),
                        "SELECT kills||'/'||rounds FROM players WHERE name=CAST('Annie' AS BLOB)"),
        "15/2");
}

TEST_F(RoundStore, TopListsCountRankedRoundsOfThePeriodBestFirst) {
    Write(MakeRound("wake", kNow - 10 * kDay,
                    {{"Old", "o", 100, 1, 9, 50, 100}, {"Ann", "a", 1, 1, 0, 0, 1}}));
    Write(MakeRound("wake", kNow - 3 * kDay,
                    {{"Ann", "a", 20, 10, 0, 3, 26}, {"Bob", "b", 12, 2, 1, 0, 10}}));
    Write(
        MakeRound("wake", kNow - 3600, {{"Cid", "c", 9, 1, 3, 1, 5}, {"Bob", "b", 1, 1, 0, 0, 1}}));
    Write(MakeRound("wake", kNow - 60, {{"Solo", "s", 500, 0, 0, 0, 500}}));  // one player
    Write(MakeRound("wake", kNow - 60, {{"Dan", "d", 400, 0, 0, 0, 400}, {"Eve", "e"}}, 100));

    using V = std::vector<std::string>;
    EXPECT_EQ(TopNames(ETopKind::Kills, ETopPeriod::All), (V{"Old", "Ann", "Bob", "Cid"}));
    EXPECT_EQ(TopNames(ETopKind::Kills, ETopPeriod::Week), (V{"Ann", "Bob", "Cid"}));
    EXPECT_EQ(TopNames(ETopKind::Kills, ETopPeriod::Today), (V{"Cid", "Bob"}));
    EXPECT_EQ(TopNames(ETopKind::Flags, ETopPeriod::Week), (V{"Ann", "Cid"}));
    EXPECT_EQ(TopNames(ETopKind::Teamkills, ETopPeriod::All), (V{"Old", "Cid", "Bob"}));
    // By kills per death only with enough kills: Cid's 9 are too few.
    EXPECT_EQ(TopNames(ETopKind::KillsPerDeath, ETopPeriod::All), (V{"Old", "Bob", "Ann"}));
    const std::vector<CTopEntry> kd = m_queries.Top(ETopKind::KillsPerDeath, ETopPeriod::All, kNow);
    ASSERT_EQ(kd.size(), 3u);
    EXPECT_EQ(kd[1], (CTopEntry{"Bob", 433, 13, 3}));

    // Five places at most.
    for (int n = 0; n < 8; ++n)
        Write(
            MakeRound("wake", kNow - 100,
                      {{"P" + std::to_string(n), "p" + std::to_string(n), 200 + n}, {"Foe", "f"}}));
    EXPECT_EQ(TopNames(ETopKind::Kills, ETopPeriod::Today), (V{"P7", "P6", "P5", "P4", "P3"}));
}

TEST_F(RoundStore, TheLastRoundIsTheLastTheGameEndedWithItsTopThree) {
    EXPECT_FALSE(m_queries.LastRound());
    Write(MakeRound("wake", kNow - 100,
                    {{"Ann", "a", 5, 1, 0, 0, 9, 2},
                     {"Bob", "b", 5, 2, 0, 0, 9, 1},
                     {"Cid", "c", 6, 0, 0, 0, 9, 1},
                     {"Dan", "d", 1, 0, 0, 0, 1, 2}}));
    Write(MakeRound("berlin", kNow, {{"Ann", "a", 1}}, 600, EEndReason::Stopped));
    const std::optional<CRoundSummary> last = m_queries.LastRound();
    ASSERT_TRUE(last);
    EXPECT_EQ(last->m_strMap, "wake");
    EXPECT_EQ(last->m_nWinner, kWinnerAllies);
    EXPECT_EQ(last->m_nTicketsAllies, 10);
    EXPECT_EQ(last->m_nPlayers, 4);
    EXPECT_TRUE(last->m_bRanked);
    ASSERT_EQ(last->m_vTop.size(), 3u);
    // Score, then kills, then fewer deaths.
    EXPECT_EQ(last->m_vTop[0], (CRoundPlace{"Cid", 1, 9, 6, 0}));
    EXPECT_EQ(last->m_vTop[1].m_strName, "Ann");
    EXPECT_EQ(last->m_vTop[2].m_strName, "Bob");
}

TEST_F(RoundStore, ARoundWrittenAgainReplacesItsRowsAndItsRankedTotals) {
    CRoundRecord r = MakeRound("wake", kNow, {{"Ann", "a", 4, 1, 0, 1, 6}, {"Bob", "b", 1, 4}}, 600,
                               EEndReason::Stopped);
    ASSERT_EQ(m_store.Write(r), SQLITE_OK);
    ASSERT_NE(r.m_nId, 0);
    ASSERT_EQ(m_store.Write(r), SQLITE_OK);  // the id is kept: the same round again
    const std::optional<CRoundRecord> left = m_store.LastStoppedRound();
    ASSERT_TRUE(left);
    EXPECT_EQ(left->m_nId, r.m_nId);
    EXPECT_EQ(left->m_vPlayers.size(), 2u);
    EXPECT_EQ(left->m_vPlayers[0].m_nKills, 4);
    EXPECT_EQ(left->m_vPlayers[0].m_strIdent, "k:a");
    EXPECT_EQ(left->m_vPlayers[0].m_nSessionFrags, 4);

    CRoundRecord ended = *left;
    ended.m_eEnd = EEndReason::Ended;
    ended.m_vPlayers[0].m_nKills = 9;
    ended.m_nEndTime += 300;
    Write(ended);
    EXPECT_FALSE(m_store.LastStoppedRound());
    EXPECT_EQ(m_queries.RoundCount(), 1);
    EXPECT_EQ(m_queries.PlayerStats("Ann")->m_nKills, 9);
    EXPECT_EQ(m_queries.PlayerStats("Ann")->m_nRounds, 1);
    EXPECT_EQ(statstest::Peek(
                  Path(), "SELECT kills||'/'||rounds FROM players WHERE name=CAST('Ann' AS BLOB)"),
              "9/1");
    // A round that is ranked no more takes its totals along.
    ended.m_nSeconds = 10;
    Write(ended);
    EXPECT_EQ(statstest::Peek(
                  Path(), "SELECT kills||'/'||rounds FROM players WHERE name=CAST('Ann' AS BLOB)"),
              "0/0");
}

TEST_F(RoundStore, NamesAreStoredAndFoundByteForByte) {
    const struct {
        const char* m_pszName;
        std::string m_strName;
        std::string m_strTyped;  // how the channel asks for him
    } kRows[] = {
        {"Quotes", "O'Neil \"Tex\"", "o'neil \"tex\""},
        {"Percent", "100%", "100%"},
        {"Underscore", "a_b", "A_B"},
        {"Backslash", "C:\\dos\\", "c:\\DOS\\"},
        {"ControlBytes",
         "a\x01"
         "b\x03"
         "04c\x7f",
         "A\x01"
         "B\x03"
         "04C\x7f"},
        {"Windows1252", "J\xFCrgen \xC9\x80\x9F", "j\xFCRGEN \xE9\x80\xFF"},
        {"Injection", "x'); DELETE FROM rounds; --", "X'); delete from ROUNDS; --"},
        {"Nul", std::string("nu\0l", 4), std::string("NU\0L", 4)},
        {"Empty", "", ""},
    };
    int64_t nTime = kNow;
    for (const auto& row : kRows)
        Write(MakeRound("wake", ++nTime,
                        {{row.m_strName, "", 1}, {"Foe" + row.m_strName, "", 0, 1}}));
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.m_pszName);
        const std::optional<CPlayerStats> p = m_queries.PlayerStats(row.m_strTyped);
        ASSERT_TRUE(p);
        EXPECT_EQ(p->m_strName, row.m_strName);
        EXPECT_EQ(p->m_nKills, 1);
        const std::optional<CSeen> seen = m_queries.Seen(row.m_strTyped);
        ASSERT_TRUE(seen);
        EXPECT_EQ(seen->m_strName, row.m_strName);
    }
    EXPECT_EQ(m_queries.RoundCount(), static_cast<int64_t>(std::size(kRows)));
    // No LIKE anywhere: a percent sign or an underscore matches only itself.
    EXPECT_FALSE(m_queries.PlayerStats("%"));
    EXPECT_FALSE(m_queries.PlayerStats("a_"));
    EXPECT_EQ(statstest::Peek(Path(), "PRAGMA integrity_check"), "ok");
}

TEST_F(RoundStore, ANameAsTypedComesBeforeOneInAnotherCaseAndTheNewestUserFirst) {
    Write(MakeRound("wake", kNow - 100, {{"Ann", "a", 1}, {"ANN", "b", 2}}));
    EXPECT_EQ(m_queries.PlayerStats("ANN")->m_nKills, 2);
    EXPECT_EQ(m_queries.PlayerStats("Ann")->m_nKills, 1);
    const int64_t nEither = m_queries.PlayerStats("aNN")->m_nKills;  // both seen last alike
    EXPECT_TRUE(nEither == 1 || nEither == 2) << nEither;
    // A name that passed to another player: the one who used it last.
    Write(MakeRound("wake", kNow, {{"Ann", "c", 7}, {"Foe", "f"}}));
    EXPECT_EQ(m_queries.PlayerStats("Ann")->m_nKills, 7);
    EXPECT_EQ(m_queries.Seen("ann")->m_nLastSeen, kNow);
}

TEST_F(RoundStore, AWriteThatFailsLeavesTheFileAsItWas) {
    for (int n = 0; n < 3; ++n)
        Write(MakeRound("wake", kNow + n, {{"Ann", "a", 1}, {"Bob", "b", 0, 1}}));
    const std::string strPages = statstest::Peek(Path(), "PRAGMA page_count");
    // Room for not one page more: the next round cannot go in.
    ASSERT_EQ(m_db.Exec(("PRAGMA max_page_count=" + strPages).c_str()), SQLITE_OK);
    std::vector<CRoundRecord> vRounds;
    for (int n = 0; n < 200; ++n) {
        std::vector<CPart> parts;
        for (int p = 0; p < 32; ++p)
            parts.push_back({"N" + std::to_string(n * 100 + p), "k" + std::to_string(n * 100 + p)});
        vRounds.push_back(MakeRound("wake", kNow + 10 + n, parts));
    }
    const int nResult = m_store.Write(vRounds);
    EXPECT_EQ(ResultOfCode(nResult), EOpenResult::Full) << nResult;
    EXPECT_EQ(vRounds[0].m_nId, 0);  // no id from a write that did not happen
    EXPECT_EQ(m_queries.RoundCount(), 3);
    EXPECT_EQ(m_queries.PlayerStats("Ann")->m_nKills, 3);
    EXPECT_EQ(statstest::Peek(Path(), "PRAGMA integrity_check"), "ok");
}

}  // namespace
