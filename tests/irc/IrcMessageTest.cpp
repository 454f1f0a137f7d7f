// Server lines taken apart as the protocol defines them, as named rows.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "irc/IrcMessage.h"

namespace {

struct MessageRow {
    const char* m_name;
    std::string m_strLine;
    bool m_bParsed;
    std::string m_strPrefix;
    std::string m_strCommand;
    std::vector<std::string> m_params;
};
void PrintTo(const MessageRow& row, std::ostream* pOut) {
    *pOut << row.m_name;
}

class MessageTable : public ::testing::TestWithParam<MessageRow> {};

TEST_P(MessageTable, LineGivesItsParts) {
    const MessageRow& row = GetParam();
    irc::CIrcMessage msg;
    EXPECT_EQ(irc::ParseIrcMessage(row.m_strLine, &msg), row.m_bParsed);
    EXPECT_EQ(msg.m_strPrefix, row.m_strPrefix);
    EXPECT_EQ(msg.m_strCommand, row.m_strCommand);
    EXPECT_EQ(msg.m_params, row.m_params);
}

// clang-format off
const MessageRow kRows[] = {
    {"PrefixCommandMiddleAndTrailing", ":Al!a@h PRIVMSG #c :hi there: you", true,
     "Al!a@h", "PRIVMSG", {"#c", "hi there: you"}},
    {"TrailingWithoutColon", ":Al!a@h JOIN #c", true, "Al!a@h", "JOIN", {"#c"}},
    {"NoPrefix", "PING :irc.test", true, "", "PING", {"irc.test"}},
    {"NoPrefixNoColon", "PING irc.test", true, "", "PING", {"irc.test"}},
    {"NoParameters", "QUIT", true, "", "QUIT", {}},
    {"EmptyTrailing", ":s 376 bot :", true, "s", "376", {"bot", ""}},
    {"ColonsInsideAPrefix", ":Al!a@2001:db8::1 PRIVMSG #c :x", true,
     "Al!a@2001:db8::1", "PRIVMSG", {"#c", "x"}},
    {"ColonInsideAMiddleParameter", ":s 005 bot A=b:c :are supported", true,
     "s", "005", {"bot", "A=b:c", "are supported"}},
    {"BlanksPadded", ":s   KICK  #c   bot  :bye  ", true, "s", "KICK", {"#c", "bot", "bye  "}},
    {"CommandInCapitals", "privmsg #c :x", true, "", "PRIVMSG", {"#c", "x"}},
    {"TrailingStartsWithColon", "PRIVMSG #c ::-)", true, "", "PRIVMSG", {"#c", ":-)"}},
    {"PrefixAlone", ":irc.test", false, "", "", {}},
    {"ColonsAlone", "::::", false, "", "", {}},
    {"Empty", "", false, "", "", {}},
    {"BlanksAlone", "   ", false, "", "", {}},
    // The lines of capability negotiation and SASL.
    {"CapListAfterPrefix", ":srv CAP * LS :a b=c", true, "srv", "CAP", {"*", "LS", "a b=c"}},
    {"CapWithoutColon", "CAP * ACK sasl", true, "", "CAP", {"*", "ACK", "sasl"}},
    {"CapEmptyTrailing", "CAP * LS :", true, "", "CAP", {"*", "LS", ""}},
    {"ColonInsideTheOnlyMiddle", "AUTHENTICATE a:b", true, "", "AUTHENTICATE", {"a:b"}},
    {"RunsOfBlanksBeforeTrailing", ":srv  904   bot  :fail", true, "srv", "904", {"bot", "fail"}},
    {"TagsSkipped", "@time=x :srv 903 bot :ok", true, "srv", "903", {"bot", "ok"}},
    {"TagsAlone", "@time=x", false, "", "", {}},
    {"LeadingBlanks", "  :srv 903 bot :ok", true, "srv", "903", {"bot", "ok"}},
    {"NoParametersAfterAuthenticate", "AUTHENTICATE", true, "", "AUTHENTICATE", {}},
    {"TheFifteenthTakesTheRest",
     "CMD p1 p2 p3 p4 p5 p6 p7 p8 p9 p10 p11 p12 p13 p14 p15 p16  :p17", true, "", "CMD",
     {"p1", "p2", "p3", "p4", "p5", "p6", "p7", "p8", "p9", "p10", "p11", "p12", "p13", "p14",
      "p15 p16  :p17"}},
    {"FifteenWithTrailing", "CMD p1 p2 p3 p4 p5 p6 p7 p8 p9 p10 p11 p12 p13 p14 :last word", true,
     "", "CMD",
     {"p1", "p2", "p3", "p4", "p5", "p6", "p7", "p8", "p9", "p10", "p11", "p12", "p13", "p14",
      "last word"}},
    {"PrefixAloneWithDots", ":prefix.only", false, "", "", {}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Lines, MessageTable, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.m_name); });

TEST(IrcMessage, MissingParametersReadAsEmpty) {
    irc::CIrcMessage msg;
    ASSERT_TRUE(irc::ParseIrcMessage(":Op!o@h KICK #c", &msg));
    EXPECT_EQ(msg.Param(0), "#c");
    EXPECT_EQ(msg.Param(1), "");
    EXPECT_EQ(msg.LastParam(), "#c");
    ASSERT_TRUE(irc::ParseIrcMessage("QUIT", &msg));
    EXPECT_EQ(msg.LastParam(), "");
}

}  // namespace
