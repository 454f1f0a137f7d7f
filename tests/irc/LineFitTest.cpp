// No line leaves longer than the protocol allows, and a cut never splits a
// colour code.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "irc/LineFit.h"

namespace {

struct CutRow {
    const char* m_name;
    std::string m_strText;
    size_t m_nMax;
    size_t m_nExpected;
};
void PrintTo(const CutRow& row, std::ostream* pOut) {
    *pOut << row.m_name;
}

class ColourSafeCut : public ::testing::TestWithParam<CutRow> {};

TEST_P(ColourSafeCut, KeepsCodesWhole) {
    EXPECT_EQ(irc::ColourSafeLength(GetParam().m_strText, GetParam().m_nMax),
              GetParam().m_nExpected);
}

// clang-format off
const CutRow kCutRows[] = {
    {"ShortTextStays", "abc", 10, 3},
    {"PlainTextCutAtTheLimit", "abcdefgh", 5, 5},
    {"CodeWouldLoseItsDigits", "abc\x03" "04text", 4, 3},
    {"CodeWouldLoseItsSecondDigit", "abc\x03" "04text", 5, 3},
    {"WholeCodeFits", "abc\x03" "04text", 6, 6},
    {"BackgroundWouldBeCut", "abc\x03" "04,12text", 7, 3},
    {"BackgroundWouldLoseADigit", "abc\x03" "04,12text", 8, 3},
    {"CodeWithBackgroundFits", "abc\x03" "04,12text", 9, 9},
    {"BareEndCodeBeforeTheCut", "abc\x03" "xyz", 4, 4},
    {"CodeWithOneDigitFits", "abc\x03" "4x", 5, 5},
    {"CommaWithoutColourIsText", "abc\x03" ",1x", 4, 4},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Rows, ColourSafeCut, ::testing::ValuesIn(kCutRows),
                         [](const auto& info) { return std::string(info.param.m_name); });

TEST(FitLine, MessagesStayUnderTheRelayLimitOtherLinesUnderTheProtocols) {
    const std::string strPrivmsg = "PRIVMSG #chan :" + std::string(2000, 'x');
    EXPECT_EQ(irc::FitLine(strPrivmsg), strPrivmsg.substr(0, irc::kMaxMessageBytes));
    const std::string strNotice = "NOTICE  bob :" + std::string(600, 'y');
    EXPECT_EQ(irc::FitLine(strNotice).size(), irc::kMaxMessageBytes);
    const std::string strJoin = "JOIN #" + std::string(600, 'c');
    EXPECT_EQ(irc::FitLine(strJoin), strJoin.substr(0, irc::kMaxLineBytes));
    // A line that fits is left as it is, whatever its kind.
    EXPECT_EQ(irc::FitLine("PRIVMSG #c :short"), "PRIVMSG #c :short");
    EXPECT_EQ(irc::FitLine(std::string(irc::kMaxLineBytes, 'z')).size(), irc::kMaxLineBytes);
}

TEST(FitLine, ALongColouredLineLosesItsEndNotItsCodes) {
    // A host name of 2 KB from the game server, in colour.
    std::string strText;
    while (strText.size() < 1000)
        strText +=
            "\x03"
            "10ip \x03[\x03"
            "14" +
            std::string(13, 'h');
    const std::string strFitted = irc::FitLine("PRIVMSG #chan :" + strText);
    ASSERT_LE(strFitted.size(), irc::kMaxMessageBytes);
    EXPECT_EQ(strFitted.rfind("PRIVMSG #chan :", 0), 0u);
    // Every code left is a bare end code before "[" or has both its digits.
    for (size_t n = strFitted.find('\x03'); n != std::string::npos;
         n = strFitted.find('\x03', n + 1)) {
        const std::string strRest = strFitted.substr(n + 1, 2);
        if (strRest.size() >= 1 && strRest[0] == '[') continue;
        ASSERT_EQ(strRest.size(), 2u) << "a code cut at the end";
    }
    EXPECT_GT(strFitted.size(), irc::kMaxMessageBytes - 6) << "no more cut than the code";
}

TEST(FitLine, ATargetBeyondTheLimitIsCutHard) {
    const std::string strLine = "PRIVMSG " + std::string(500, 't') + " :x";
    EXPECT_EQ(irc::FitLine(strLine).size(), irc::kMaxMessageBytes);
}

}  // namespace
