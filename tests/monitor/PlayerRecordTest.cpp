#include <gtest/gtest.h>

#include <climits>

#include "monitor/PlayerRecord.h"

namespace {

monitor::CPlayerRecord Totals(int32_t nScore, int32_t nFrags, int32_t nDeaths) {
    monitor::CPlayerRecord r;
    r.m_nScore = nScore;
    r.m_nFrags = nFrags;
    r.m_nDeaths = nDeaths;
    r.m_nPing = 50;
    return r;
}

struct ChangeCase {
    const char* m_szName;
    monitor::CPlayerRecord m_older;
    monitor::CPlayerRecord m_newer;
    const char* m_szCode;
};

class ChangeCodeTable : public ::testing::TestWithParam<ChangeCase> {};

TEST_P(ChangeCodeTable, GivesTheCode) {
    const ChangeCase& c = GetParam();
    EXPECT_EQ(c.m_older.ChangeCode(c.m_newer), c.m_szCode);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ChangeCodeTable,
    ::testing::Values(
        ChangeCase{"NoChange", Totals(10, 5, 3), Totals(10, 5, 3), "000"},
        ChangeCase{"Kill", Totals(10, 5, 3), Totals(11, 6, 3), "110"},
        // Equal score and frag change is tested before "+2 alone".
        ChangeCase{"TwoKillsBeatFlagRule", Totals(10, 5, 3), Totals(12, 7, 3), "120"},
        ChangeCase{"FlagCapture", Totals(10, 5, 3), Totals(12, 5, 3), "200"},
        ChangeCase{"Teamkill", Totals(10, 5, 3), Totals(8, 5, 3), "300"},
        ChangeCase{"Suicide", Totals(10, 5, 3), Totals(8, 5, 4), "301"},
        ChangeCase{"TeamkillWithFragsDown", Totals(10, 5, 3), Totals(8, 4, 3), "3-0"},
        ChangeCase{"FragsAndScoreDownTogether", Totals(10, 5, 3), Totals(9, 4, 3), "1-0"},
        ChangeCase{"PlainDeath", Totals(10, 5, 3), Totals(10, 5, 4), "001"},
        ChangeCase{"DeathsWentDown", Totals(10, 5, 9), Totals(10, 5, 0), "000"},
        ChangeCase{"TwelveKillsGiveLeadingDigit", Totals(0, 0, 0), Totals(12, 12, 0), "110"},
        ChangeCase{"OtherScoreChange", Totals(10, 5, 3), Totals(13, 6, 3), "010"},
        ChangeCase{"ScoreStillFragsUp", Totals(10, 5, 3), Totals(10, 7, 3), "020"},
        ChangeCase{"NewPlayerInEmptySlot", monitor::CPlayerRecord(), Totals(5, 4, 2), "041"},
        // 64-bit differences: 32-bit ones would overflow here.
        ChangeCase{"ExtremeFragsDoNotOverflow", Totals(0, INT32_MIN, 0), Totals(0, INT32_MAX, 0),
                   "040"},
        ChangeCase{"ExtremeScoreDoesNotOverflow", Totals(INT32_MAX, 0, INT32_MAX),
                   Totals(INT32_MIN, 0, INT32_MIN), "000"}),
    [](const ::testing::TestParamInfo<ChangeCase>& info) { return info.param.m_szName; });

}  // namespace
