// The word functions of the line checks and the log's colour rule.
#include <gtest/gtest.h>

#include <ostream>

#include <string>

#include "irc/IrcText.h"

namespace {

struct WordRow {
    const char* m_name;
    std::string m_text;
    std::string m_nick;
    std::string m_command;
    std::string m_lastWord;
};
// Rows print by name, so test listings stay readable.
void PrintTo(const WordRow& row, std::ostream* pOut) {
    *pOut << row.m_name;
}

class WordTable : public ::testing::TestWithParam<WordRow> {};

TEST_P(WordTable, NickCommandLastWord) {
    const WordRow& row = GetParam();
    EXPECT_EQ(irc::NickOf(row.m_text), row.m_nick);
    EXPECT_EQ(irc::CommandOf(row.m_text), row.m_command);
    EXPECT_EQ(irc::LastWordOf(row.m_text), row.m_lastWord);
}

// clang-format off
const WordRow kWordRows[] = {
    {"FullPrefix", "Al!a@host PRIVMSG #chan", "Al", "PRIVMSG", "#chan"},
    {"ServerPrefix", "irc.test 376 Bot", "", "376", "Bot"},
    {"OneWord", "PING", "", "PING", "PING"},
    {"Empty", "", "", "", ""},
    {"TwoSpaces", "a  b", "", "", "b"},
    {"TrailingSpace", "a b ", "", "b", ""},
    {"BangLate", "x y!z", "x y", "y!z", "y!z"},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Words, WordTable, ::testing::ValuesIn(kWordRows),
                         [](const auto& info) { return std::string(info.param.m_name); });

struct ConvertRow {
    const char* m_name;
    std::string m_in;
    std::string m_out;
};
// Rows print by name, so test listings stay readable.
void PrintTo(const ConvertRow& row, std::ostream* pOut) {
    *pOut << row.m_name;
}

class LogColourTable : public ::testing::TestWithParam<ConvertRow> {};

TEST_P(LogColourTable, Strips) {
    EXPECT_EQ(irc::StripLogColours(GetParam().m_in), GetParam().m_out);
}

// clang-format off
const ConvertRow kColourRows[] = {
    {"Plain", "no colour", "no colour"},
    {"TwoDigits", "\x03" "04red\x03 plain", "red plain"},
    {"OneDigit", "\x03" "4x", "x"},
    {"BareCode", "a\x03" "b", "ab"},
    {"ThirdDigitStays", "\x03" "123", "3"},
    {"BackgroundKeepsCommaAndDigits", "\x03" "04,02text", ",02text"},
    {"CodeAtEnd", "end\x03", "end"},
    {"CodesBackToBack", "\x03\x03" "12\x03" "1", ""},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Colours, LogColourTable, ::testing::ValuesIn(kColourRows),
                         [](const auto& info) { return std::string(info.param.m_name); });

class ErrorTextTable : public ::testing::TestWithParam<ConvertRow> {};

TEST_P(ErrorTextTable, Shortens) {
    EXPECT_EQ(irc::ShortenErrorText(GetParam().m_in), GetParam().m_out);
}

// clang-format off
const ConvertRow kErrorRows[] = {
    {"ClosingLink", "Closing Link: nick[host] (Quit: bye)", "Closing Link (Quit: bye)"},
    {"Throttle", "Your host is trying to (re)connect too fast -- throttled",
     "(re)connect too fast -- throttled"},
    {"PingTimeout", "Closing Link: nick by server (Ping timeout)", "Closing Link (Ping timeout)"},
    {"NoParenthesis", "Server going down", "Server going down"},
    {"ColonWithoutParenthesis", "Closing Link: bye", "Closing Link: bye"},
    {"ParenthesisBeforeColon", "(why: not) x", "(why: not) x"},
    {"ParenthesisRightAfterColon", "a:(b)", "a:(b)"},
    {"ParenthesisTwoAfterColon", "a: (b)", "a (b)"},
    {"Empty", "", ""},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Errors, ErrorTextTable, ::testing::ValuesIn(kErrorRows),
                         [](const auto& info) { return std::string(info.param.m_name); });

TEST(IrcText, QuitLineAndServices) {
    EXPECT_EQ(irc::QuitLine("v1.3 BETA"), "QUIT :v1.3 BETA /// Battlefield 1942 to IRC relay");
    EXPECT_EQ(irc::AuthServiceOf(irc::AuthNetworkOf(0)), "Q@CServe.quakenet.org");
    EXPECT_EQ(irc::AuthServiceOf(irc::AuthNetworkOf(1)), "AuthServ@Services.GamesNET.net");
    EXPECT_EQ(irc::AuthServiceOf(irc::AuthNetworkOf(irc::kNetworkSasl)), "");
    EXPECT_EQ(irc::AuthServiceOf(irc::AuthNetworkOf(-1)), "");
    EXPECT_EQ(irc::AuthServiceOf(irc::AuthNetworkOf(3)), "");
    EXPECT_EQ(irc::WithoutLineBreaks("a\r\nQUIT\rb\n"), "aQUITb");
    EXPECT_EQ(irc::WithoutLineBreaks(std::string("a\0b", 3)), "ab");
}

TEST(IrcText, GreetingBytes) {
    // The literals are split so that escapes do not swallow digits.
    EXPECT_EQ(std::string(irc::NoticeOffline()), std::string("\x03") + "10fragrelay " + "\x03" +
                                                     "[" + "\x03" + "05OFFLINE" + "\x03" + "]");
    EXPECT_EQ(std::string(irc::NoticePaused()), std::string("\x03") + "10fragrelay " + "\x03" +
                                                    "[" + "\x03" + "07PAUSED" + "\x03" + "]");
}

}  // namespace
