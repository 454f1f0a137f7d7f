#include <gtest/gtest.h>

#include <ostream>

#include <string>
#include <utility>
#include <vector>

#include "query/ReplyReader.h"

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs ReadPairs(std::string_view reply) {
    Pairs pairs;
    query::ForEachReplyPair(reply, [&](std::string_view key, std::string_view value) {
        pairs.emplace_back(std::string(key), std::string(value));
    });
    return pairs;
}

struct ReaderCase {
    const char* m_szName;
    std::string m_strReply;
    Pairs m_expected;
};
// Rows print by name, so test listings stay readable.
void PrintTo(const ReaderCase& row, std::ostream* pOut) {
    *pOut << row.m_szName;
}

class ReplyReaderTable : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(ReplyReaderTable, ReadsThePairs) {
    EXPECT_EQ(ReadPairs(GetParam().m_strReply), GetParam().m_expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReplyReaderTable,
    ::testing::Values(
        ReaderCase{"PlainPairs", "\\a\\1\\b\\2", {{"a", "1"}, {"b", "2"}}},
        // Read through the token scanner, password would take "gameId" as its
        // value and the pairs after it would all shift by one.
        ReaderCase{"EmptyValueDoesNotShiftLaterPairs",
                   "\\hostname\\My Server\\password\\\\gameId\\bf1942\\final\\\\queryid\\7.1",
                   {{"hostname", "My Server"},
                    {"password", ""},
                    {"gameId", "bf1942"},
                    {"final", ""},
                    {"queryid", "7.1"}}},
        ReaderCase{"EmptyValuesInARow", "\\a\\\\b\\\\c\\3", {{"a", ""}, {"b", ""}, {"c", "3"}}},
        ReaderCase{"LastKeyWithoutValueIsDropped", "\\a\\1\\b", {{"a", "1"}}},
        ReaderCase{"TrailingBackslashGivesAnEmptyValue", "\\a\\1\\b\\", {{"a", "1"}, {"b", ""}}},
        ReaderCase{"EmptyValueAtTheEnd", "\\a\\\\", {{"a", ""}}},
        ReaderCase{"TextBeforeFirstBackslashIsNoPair", "junk\\a\\1", {{"a", "1"}}},
        ReaderCase{"EmptyReply", "", {}}, ReaderCase{"NoBackslash", "abc", {}},
        ReaderCase{"SingleBackslash", "\\", {}},
        ReaderCase{"ValuesKeepSpacesAndHighBytes",
                   "\\hostname\\ A \xe9 \\x\\y",
                   {{"hostname", " A \xe9 "}, {"x", "y"}}}),
    [](const ::testing::TestParamInfo<ReaderCase>& info) { return info.param.m_szName; });

TEST(ReplyReader, ViewsStayInsideTheReply) {
    // A view into a buffer that is not NUL-terminated: the reader must stop at its end.
    const std::string strBuffer = "\\k\\v\\key\\valueXXXX";
    const std::string_view reply(strBuffer.data(), strBuffer.size() - 4);
    query::CReplyReader reader(reply);
    std::string_view key;
    std::string_view value;
    std::vector<std::string_view> views;
    while (reader.NextPair(key, value)) {
        views.push_back(key);
        views.push_back(value);
    }
    ASSERT_EQ(views.size(), 4u);
    EXPECT_EQ(views[3], "value");
    for (std::string_view v : views) {
        EXPECT_GE(v.data(), reply.data());
        EXPECT_LE(v.data() + v.size(), reply.data() + reply.size());
    }
    EXPECT_FALSE(reader.NextPair(key, value));
}

}  // namespace
