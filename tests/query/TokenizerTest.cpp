#include <gtest/gtest.h>

#include <ostream>

#include <string>
#include <vector>

#include "query/Tokenizer.h"

namespace {

std::vector<std::string> AllTokens(const std::string& strText, const std::string& strDelims) {
    query::CTokenizer tokenizer(strText, strDelims);
    std::vector<std::string> tokens;
    std::string strToken;
    for (int i = 0; i < 1000 && tokenizer.NextToken(strToken); ++i) tokens.push_back(strToken);
    return tokens;
}

struct TokenizerCase {
    const char* m_szName;
    std::string m_strText;
    std::string m_strDelims;
    std::vector<std::string> m_expected;
};
// Rows print by name, so test listings stay readable.
void PrintTo(const TokenizerCase& row, std::ostream* pOut) {
    *pOut << row.m_szName;
}

class TokenizerTable : public ::testing::TestWithParam<TokenizerCase> {};

TEST_P(TokenizerTable, YieldsTheTokens) {
    const TokenizerCase& c = GetParam();
    EXPECT_EQ(AllTokens(c.m_strText, c.m_strDelims), c.m_expected);
}

using S = std::string;

INSTANTIATE_TEST_SUITE_P(
    Cases, TokenizerTable,
    ::testing::Values(
        TokenizerCase{"RunsOfBackslashesAreOneSeparator", "\\a\\\\b\\", "\\", {"a", "b"}},
        TokenizerCase{"OnlyDelimiters", "\\\\\\", "\\", {}},
        TokenizerCase{"EmptyText", "", "\\", {}},
        TokenizerCase{
            "EmptyLineBetweenIrcLinesIsSkipped", "one\r\n\r\ntwo\r\n", "\r\n", {"one", "two"}},
        TokenizerCase{"NoDelimiterInText", "abc def", "\\", {"abc def"}},
        TokenizerCase{"EmptyDelimiterSetKeepsWholeText", "\\a\\b", "", {"\\a\\b"}},
        TokenizerCase{"RepeatedDelimitersInSetAreOne", "a\\b", "\\\\\\", {"a", "b"}},
        TokenizerCase{"ByteFFIsItsOwnDelimiter",
                      "a\xff"
                      "b\xfe"
                      "c",
                      "\xff",
                      {"a",
                       "b\xfe"
                       "c"}},
        // 0xE1, 'a' (0x61) and '!' (0x21) share their bit position within a word.
        TokenizerCase{"HighByteDoesNotAliasLowByte",
                      "!a\xe1"
                      "b",
                      "\xe1",
                      {"!a", "b"}},
        TokenizerCase{"NulByteIsOrdinaryText", S("a\0b", 3), "\\", {S("a\0b", 3)}},
        TokenizerCase{"NulByteAsDelimiter", S("a\0\0b", 4), S("\0", 1), {"a", "b"}}),
    [](const ::testing::TestParamInfo<TokenizerCase>& info) { return info.param.m_szName; });

TEST(Tokenizer, EndIsFinalAndEmptiesTheToken) {
    query::CTokenizer tokenizer("\\a\\", "\\");
    std::string strToken = "stale";
    ASSERT_TRUE(tokenizer.NextToken(strToken));
    EXPECT_EQ(strToken, "a");
    EXPECT_FALSE(tokenizer.NextToken(strToken));
    EXPECT_EQ(strToken, "");
    strToken = "stale";
    EXPECT_FALSE(tokenizer.NextToken(strToken));
    EXPECT_EQ(strToken, "");
}

}  // namespace
