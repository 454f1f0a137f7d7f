// When an outage of the game server is said, and its end: rows of polls.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "monitor/OutageWatch.h"

namespace {

using monitor::COutageWatch;
using EChange = COutageWatch::EChange;

// 'u': unanswered while broadcasting, 'q': unanswered while not, 'a': answered.
struct COutageRow {
    const char* m_pszName;
    int32_t m_nDownAfter;
    const char* m_pszPolls;
    std::vector<EChange> m_expected;  // the changes said, in order
};

const COutageRow kRows[] = {
    {"SaidAfterTheCount", 3, "uuua", {EChange::Down, EChange::Back}},
    {"NotBeforeIt", 3, "uuauua", {}},
    {"OncePerOutage", 2, "uuuuuuaa", {EChange::Down, EChange::Back}},
    {"EachOutageAgain", 1, "uauua", {EChange::Down, EChange::Back, EChange::Down, EChange::Back}},
    {"OnlyWhileBroadcasting", 2, "qqqqa", {}},
    {"QuietPollsBreakNoCountButAddNothing", 2, "uqua", {EChange::Down, EChange::Back}},
    {"ZeroMeansNever", 0, "uuuuuua", {}},
    {"AnswerWithoutOutageSaysNothing", 2, "aaa", {}},
};

class OutageRows : public testing::TestWithParam<COutageRow> {};

TEST_P(OutageRows, SayWhatIsDue) {
    const COutageRow& row = GetParam();
    COutageWatch watch;
    std::vector<EChange> said;
    for (const char* p = row.m_pszPolls; *p != '\0'; ++p) {
        const EChange eChange =
            *p == 'a' ? watch.OnAnswered() : watch.OnUnanswered(row.m_nDownAfter, *p == 'u');
        if (eChange != EChange::None) said.push_back(eChange);
    }
    EXPECT_EQ(said, row.m_expected);
}

INSTANTIATE_TEST_SUITE_P(Polls, OutageRows, testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.m_pszName); });

}  // namespace
