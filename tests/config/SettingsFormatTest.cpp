// The text of the settings file: what each kind of line does to the values,
// the written lines (the 24 old ones, then the connection's security), and
// that reading what was written gives it back.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <string>

#include "SettingsPrint.h"
#include "config/SettingsFormat.h"

namespace {

using config::CSettings;
using config::FormatSettings;
using config::ParseSettings;

// Every field differs from both the constructor values and the defaults.
CSettings AllChanged() {
    CSettings v;
    v.m_irc.m_strServer = "irc.example.net";
    v.m_irc.m_nPort = 6668;
    v.m_irc.m_strNick = "relay";
    v.m_irc.m_strAltNick = "relay_";
    v.m_irc.m_strChannel = "#clan";
    v.m_irc.m_bAuth = true;
    v.m_irc.m_strUsername = "acct";
    v.m_irc.m_strPassword = "s3cr=t";
    v.m_irc.m_nNetwork = 1;
    v.m_nTicketSecs = 120;
    v.m_game.m_nLanguage = 5;
    v.m_game.m_strServer = "10.1.2.3";
    v.m_game.m_nQueryPort = 23001;
    v.m_colors.m_strAlliedKillColor = "1";
    v.m_colors.m_strAlliedFlagColor = "2";
    v.m_colors.m_strAxisKillColor = "3";
    v.m_colors.m_strAxisFlagColor = "4";
    v.m_colors.m_strStatusColor = "5";
    v.m_colors.m_strKeyColor = "6";
    v.m_colors.m_strValueColor = "7";
    v.m_colors.m_bShowFlag = false;
    v.m_colors.m_bShowKill = false;
    v.m_colors.m_bShowTicket = false;
    v.m_colors.m_bShowTk = false;
    v.m_irc.m_security.m_bTls = true;
    v.m_irc.m_security.m_strTlsFingerprint = "AB:CD";
    v.m_irc.m_security.m_strClientCert = "/etc/fragrelay/client.pem";
    v.m_game.m_nDownAfter = 0;
    v.m_stats.m_strFile = "/var/lib/fragrelayd/myclan/rounds.db";
    v.m_stats.m_bCommands = false;
    v.m_strWebAddress = "[::1]:8080";
    return v;
}

TEST(ParseSettings, LinesChangeOnlyWhatTheyName) {
    const struct {
        const char* m_pszName;
        std::string m_strText;
        std::function<void(CSettings&)> m_expect;  // applied to the constructor values
    } kRows[] = {
        {"EmptyText", "", [](CSettings&) {}},
        {"BlanksVanishEverywhere", "irc_Nick = my bot\n",
         [](CSettings& v) { v.m_irc.m_strNick = "mybot"; }},
        {"TabsStayInValue", "irc_Nick=\tbot\n", [](CSettings& v) { v.m_irc.m_strNick = "\tbot"; }},
        {"TabInKeyMatchesNothing", "irc_Nick\t=bot\n", [](CSettings&) {}},
        {"CommentChangesNothing", "//irc_Nick=x\n", [](CSettings&) {}},
        {"BlankThenSlashesHasNoEquals", " // note\n", [](CSettings&) {}},
        {"SlashesInsideValue", "irc_Channel=#a//b\n",
         [](CSettings& v) { v.m_irc.m_strChannel = "#a//b"; }},
        {"KeysAreCaseSensitive", "IRC_NICK=x\nirc_nick=y\n", [](CSettings&) {}},
        {"SplitAtFirstEquals", "irc_Password=a=b\n",
         [](CSettings& v) { v.m_irc.m_strPassword = "a=b"; }},
        {"LineWithoutEquals", "irc_Nick\n", [](CSettings&) {}},
        {"UnknownKey", "irc_Nickname=x\nfoo=bar\n", [](CSettings&) {}},
        {"EmptyValueClearsText", "irc_Nick=a\nirc_Nick=\n",
         [](CSettings& v) { v.m_irc.m_strNick = ""; }},
        {"LastOfRepeatedKeysWins", "bf_Port=1\nirc_Nick=a\nbf_Port=2\n",
         [](CSettings& v) {
             v.m_game.m_nQueryPort = 2;
             v.m_irc.m_strNick = "a";
         }},
        {"UpperCaseYesTurnsFilterOff", "show_kill=YES\n",
         [](CSettings& v) { v.m_colors.m_bShowKill = false; }},
        {"ExactYesTurnsOn", "irc_Auth=yes\nshow_flag=yes\n",
         [](CSettings& v) { v.m_irc.m_bAuth = true; }},
        {"AnyOtherWordIsOff", "show_tk=1\nshow_ticket=yess\nirc_Auth=no\n",
         [](CSettings& v) {
             v.m_colors.m_bShowTk = false;
             v.m_colors.m_bShowTicket = false;
         }},
        {"YesWithBlanksIsYes", "irc_Auth = y e s\n", [](CSettings& v) { v.m_irc.m_bAuth = true; }},
        {"PortKeepsLow16Bits", "irc_Port=70000\n", [](CSettings& v) { v.m_irc.m_nPort = 4464; }},
        {"PortAboveSignedRange", "irc_Port=40000\n", [](CSettings& v) { v.m_irc.m_nPort = 40000; }},
        {"IntegerStopsAtNonDigit", "bf_Port=23000abc\nirc_Tickettime=+30s\n",
         [](CSettings& v) {
             v.m_game.m_nQueryPort = 23000;
             v.m_nTicketSecs = 30;
         }},
        {"IntegerWithoutDigitsIsZero", "irc_Network=abc\nbf_Language=-\n",
         [](CSettings& v) {
             v.m_irc.m_nNetwork = 0;
             v.m_game.m_nLanguage = 0;
         }},
        {"IntegerSaturates", "bf_Port=99999999999\nirc_Tickettime=-99999999999\n",
         [](CSettings& v) {
             v.m_game.m_nQueryPort = INT32_MAX;
             v.m_nTicketSecs = INT32_MIN;
         }},
        {"CrBeforeLineFeedDropped", "irc_Nick=bot\r\nirc_altNick=b\rt\n",
         [](CSettings& v) {
             v.m_irc.m_strNick = "bot";
             v.m_irc.m_strAltNick = "b\rt";
         }},
        {"LastLineWithoutLineFeed", "irc_Nick=a\nirc_Channel=#c",
         [](CSettings& v) {
             v.m_irc.m_strNick = "a";
             v.m_irc.m_strChannel = "#c";
         }},
        {"NulEndsTheLineText", std::string("irc_Nick=ab\0cd\nbf_Server=h\n", 26),
         [](CSettings& v) {
             v.m_irc.m_strNick = "ab";
             v.m_game.m_strServer = "h";
         }},
        {"OneLineFile", "bf_Port=2300", [](CSettings& v) { v.m_game.m_nQueryPort = 2300; }},
    };
    for (const auto& row : kRows) {
        CSettings expected;
        row.m_expect(expected);
        EXPECT_EQ(ParseSettings(row.m_strText), expected) << row.m_pszName;
    }
}

TEST(ParseSettings, LineLengthLimit) {
    const size_t nMax = config::CSettingsParser::kMaxLineChars;
    const std::string strKey = "irc_Password=";
    const std::string strFits(nMax - strKey.size(), 'p');
    const std::string strTooLong(nMax - strKey.size() + 1, 'q');
    const struct {
        const char* m_pszName;
        std::string m_strText;
        std::string m_strPassword;
    } kRows[] = {
        {"LongestLineRead", strKey + strFits + "\nirc_Nick=after\n", strFits},
        {"LongestLineWithCrRead", strKey + strFits + "\r\nirc_Nick=after\r\n", strFits},
        {"OneMoreSkipped", "irc_Password=old\n" + strKey + strTooLong + "\nirc_Nick=after\n",
         "old"},
        {"OneMoreWithCrSkipped",
         "irc_Password=old\r\n" + strKey + strTooLong + "\r\nirc_Nick=after\r\n", "old"},
        {"HugeLineSkipped",
         "irc_Password=old\n" + strKey + std::string(200000, 'z') + "\nirc_Nick=after\n", "old"},
        {"HugeLastLineSkipped",
         "irc_Nick=after\nirc_Password=old\n" + strKey + std::string(5000, 'z'), "old"},
    };
    for (const auto& row : kRows) {
        const CSettings v = ParseSettings(row.m_strText);
        EXPECT_EQ(v.m_irc.m_strPassword, row.m_strPassword) << row.m_pszName;
        EXPECT_EQ(v.m_irc.m_strNick, "after")
            << row.m_pszName << ": a long line must not stop the load";
    }
}

TEST(ParseSettings, PiecesGiveTheSameAsTheWhole) {
    // Chunk borders between CR and LF, inside keys and inside a long line.
    const std::string strText =
        "irc_Nick=a\r\n//x\r\nirc_Port=70000\r\nirc_Password=" + std::string(1500, 'w') +
        "\r\nbf_Server=h\r\nshow_kill=no";
    const CSettings whole = ParseSettings(strText);
    ASSERT_EQ(whole.m_game.m_strServer, "h");
    for (size_t nChunk = 1; nChunk <= 9; ++nChunk) {
        config::CSettingsParser parser;
        for (size_t i = 0; i < strText.size(); i += nChunk) {
            parser.Feed(std::string_view(strText).substr(i, nChunk));
        }
        parser.Finish();
        EXPECT_EQ(parser.Values(), whole) << "chunk " << nChunk;
    }
}

TEST(ParseSettings, AbandonDropsAStartedLine) {
    config::CSettingsParser parser;
    parser.Feed("irc_Nick=whole\nirc_Channel=#cut");
    parser.Abandon();
    parser.Finish();
    EXPECT_EQ(parser.Values().m_irc.m_strNick, "whole");
    EXPECT_EQ(parser.Values().m_irc.m_strChannel, "");
}

TEST(FormatSettings, DefaultsGiveTheKnownFile) {
    const std::string strExpected =
        "irc_Server=irc.quakenet.org\r\n"
        "irc_Port=6667\r\n"
        "irc_Nick=fraghorn\r\n"
        "irc_altNick=\r\n"
        "irc_Channel=\r\n"
        "irc_Auth=no\r\n"
        "irc_Username=\r\n"
        "irc_Password=\r\n"
        "irc_Network=0\r\n"
        "irc_Tickettime=0\r\n"
        "bf_Language=0\r\n"
        "bf_Server=\r\n"
        "bf_Port=23000\r\n"
        "allied_farbe_kill=02\r\n"
        "allied_farbe_flagge=12\r\n"
        "axis_farbe_kill=05\r\n"
        "axis_farbe_flagge=04\r\n"
        "status_farbe=14\r\n"
        "key_farbe=10\r\n"
        "value_farbe=14\r\n"
        "show_flag=yes\r\n"
        "show_kill=yes\r\n"
        "show_ticket=yes\r\n"
        "show_tk=yes\r\n"
        "irc_TLS=no\r\n"
        "irc_TLSFingerprint=\r\n"
        "irc_ClientCert=\r\n"
        "bf_DownAfter=10\r\n"
        "stats_File=fragrelay.db\r\n"
        "stats_Commands=yes\r\n"
        "web_Address=\r\n";
    EXPECT_EQ(FormatSettings(config::DefaultSettings()), strExpected);
}

TEST(FormatSettings, ValuesAsWritten) {
    CSettings v;
    v.m_irc.m_nPort = 40000;
    v.m_irc.m_bAuth = true;
    v.m_irc.m_nNetwork = -1;
    v.m_irc.m_strPassword = "a\nirc_Nick=evil";
    v.m_irc.m_strPassword.push_back('\0');
    const std::string strText = FormatSettings(v);
    EXPECT_NE(strText.find("\r\nirc_Port=-25536\r\n"), std::string::npos);
    EXPECT_NE(strText.find("\r\nirc_Auth=yes\r\n"), std::string::npos);
    EXPECT_NE(strText.find("\r\nirc_Network=-1\r\n"), std::string::npos);
    EXPECT_NE(strText.find("\r\nirc_Password=airc_Nick=evil\r\n"), std::string::npos);
    EXPECT_EQ(ParseSettings(strText).m_irc.m_strNick, "") << "a value must not start a line";
    EXPECT_EQ(strText.find('\0'), std::string::npos);
}

TEST(FormatSettings, ReadingTheWrittenTextGivesTheValuesBack) {
    const CSettings rows[] = {CSettings{}, config::DefaultSettings(), AllChanged()};
    for (const CSettings& v : rows) {
        EXPECT_EQ(ParseSettings(FormatSettings(v)), v);
    }
    // The 31 keys are all written: each field comes back from its own line.
    const std::string strText = FormatSettings(AllChanged());
    EXPECT_EQ(std::count(strText.begin(), strText.end(), '\n'), 31);
}

// A file as the program wrote it before the connection's security existed.
constexpr char kFileBeforeTls[] =
    "irc_Server=irc.gamesnet.net\r\n"
    "irc_Port=6668\r\n"
    "irc_Nick=clanbot\r\n"
    "irc_altNick=clanbot_\r\n"
    "irc_Channel=#clan\r\n"
    "irc_Auth=yes\r\n"
    "irc_Username=acct\r\n"
    "irc_Password=pw\r\n"
    "irc_Network=1\r\n"
    "irc_Tickettime=300\r\n"
    "bf_Language=1\r\n"
    "bf_Server=10.1.2.3\r\n"
    "bf_Port=23000\r\n"
    "allied_farbe_kill=02\r\n"
    "allied_farbe_flagge=12\r\n"
    "axis_farbe_kill=05\r\n"
    "axis_farbe_flagge=04\r\n"
    "status_farbe=14\r\n"
    "key_farbe=10\r\n"
    "value_farbe=14\r\n"
    "show_flag=yes\r\n"
    "show_kill=no\r\n"
    "show_ticket=yes\r\n"
    "show_tk=no\r\n";

// The keys added later come after the old ones, each with its default, so
// that an old file saved again keeps its lines as they were.
constexpr char kKeysAddedLater[] =
    "irc_TLS=no\r\nirc_TLSFingerprint=\r\nirc_ClientCert=\r\n"
    "bf_DownAfter=10\r\nstats_File=fragrelay.db\r\nstats_Commands=yes\r\nweb_Address=\r\n";

TEST(FormatSettings, AnOldFileKeepsEveryLineAndGainsTheNewKeys) {
    const CSettings values = ParseSettings(kFileBeforeTls);
    EXPECT_FALSE(values.m_irc.m_security.m_bTls);
    EXPECT_EQ(values.m_irc.m_security.m_strTlsFingerprint, "");
    EXPECT_EQ(values.m_irc.m_security.m_strClientCert, "");
    // Statistics on, the web page off, outages said after ten polls.
    EXPECT_EQ(values.m_stats.m_strFile, "fragrelay.db");
    EXPECT_TRUE(values.m_stats.m_bCommands);
    EXPECT_EQ(values.m_strWebAddress, "");
    EXPECT_EQ(values.m_game.m_nDownAfter, 10);
    EXPECT_EQ(FormatSettings(values), std::string(kFileBeforeTls) + kKeysAddedLater);
}

TEST(ParseSettings, TheConnectionsSecurityKeys) {
    const CSettings values = ParseSettings(
        "irc_TLS=yes\nirc_TLSFingerprint = "
        "ab:cd:ef\nirc_ClientCert=/home/bot/c.pem\nirc_Network=2\n");
    EXPECT_TRUE(values.m_irc.m_security.m_bTls);
    EXPECT_EQ(values.m_irc.m_security.m_strTlsFingerprint, "ab:cd:ef");
    EXPECT_EQ(values.m_irc.m_security.m_strClientCert, "/home/bot/c.pem");
    EXPECT_EQ(values.m_irc.m_nNetwork, 2);
    EXPECT_FALSE(ParseSettings("irc_TLS=1\n").m_irc.m_security.m_bTls)
        << "only yes is on, as for every switch";
}

}  // namespace
