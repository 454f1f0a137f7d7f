// Today's (v1.61) servers spell six of the keys differently. The decoder
// reads both spellings into the same fields; without them a kill on such a
// server decoded as change code "000" and went unannounced.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "monitor/StatusReply.h"

namespace {

const std::string kClose = "\\final\\\\queryid\\6903.3";

std::string ReadDataFile(const std::string& strName) {
    std::ifstream in(std::string(FR_MONITOR_TEST_DATA) + "/" + strName, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string CapturedReply() {
    return ReadDataFile("status-v1.61-datagram1.txt") + ReadDataFile("status-v1.61-datagram2.txt") +
           kClose;
}

TEST(StatusReplyV161, CapturedDatagramsDecodeIntoTheSnapshotAndPlayerTable) {
    const std::string strReply = CapturedReply();
    ASSERT_EQ(strReply.size(), 979u + 1337u + kClose.size());
    monitor::CServerStatus status;
    monitor::PlayerTable players;
    monitor::ParseStatusReply(strReply, status, players);

    monitor::CServerStatus expected;
    expected.m_strMod = "bf1942";
    expected.m_strServerVersion = "v1.61";
    expected.m_strGameMode = "openplaying";
    expected.m_nMaxPlayers = 64;
    expected.m_nNumPlayers = 36;
    expected.m_strGameType = "ctf";
    expected.m_strMapName = "wake";
    expected.m_nHostPort = 14567;
    expected.m_strHostname = "NOME DO SERVIDOR | LOL NOME DO SERVIDOR";
    expected.m_strTicketRatio = "250%";
    expected.m_strGameStartDelay = "15s";  // sent with its unit; shown as it comes
    expected.m_strTimeLimit = "30";
    expected.m_strTickets1 = "0";
    expected.m_strTickets2 = "4";
    EXPECT_EQ(status, expected);

    // Name, score, frags (from kills_N), deaths, ping, team.
    const monitor::CPlayerRecord kPlayers[] = {
        {"[Admin]Cher", 0, 0, 2, 41, 1},
        {"Jim Lahey", 13, 0, 10, 52, 1},
        {"jake from state farm", 0, 0, 0, 17, 1},
        {"TheCalmingClam", 34, 17, 7, 24, 2},
        {"mediocre", 23, 19, 2, 21, 2},
        {"*Incognito*", 26, 10, 4, 25, 2},
        {"GLIER", 13, 4, 12, 151, 2},
        {"Lagtastic", 26, 7, 6, 31, 1},
        {"papi", 12, 1, 7, 77, 2},
        {"Meuse", 13, 7, 9, 59, 1},
        {"Sorrowful Rice", 40, 7, 7, 44, 2},
    };
    for (size_t n = 0; n < std::size(kPlayers); ++n)
        EXPECT_EQ(players[n], kPlayers[n]) << "slot " << n;
    // Player 11's other keys were in the datagram that is missing.
    monitor::CPlayerRecord split;
    split.m_nDeaths = 17;
    EXPECT_EQ(players[11], split);
    for (size_t n = 12; n < monitor::kPlayerSlots; ++n)
        EXPECT_EQ(players[n], monitor::CPlayerRecord()) << n;
}

struct SpellingCase {
    const char* szName;
    std::string strPairs;
    std::string strVersion, strDelay, strTimeLimit, strRatio;
};

class Spelling : public ::testing::TestWithParam<SpellingCase> {};

// Each row starts from a snapshot holding "old" in the four text fields.
TEST_P(Spelling, StoresIntoTheSameField) {
    const SpellingCase& c = GetParam();
    monitor::CServerStatus status;
    status.m_strServerVersion = status.m_strGameStartDelay = "old";
    status.m_strTimeLimit = status.m_strTicketRatio = "old";
    monitor::PlayerTable players;
    monitor::ParseStatusReply(c.strPairs + kClose, status, players);
    EXPECT_EQ(status.m_strServerVersion, c.strVersion);
    EXPECT_EQ(status.m_strGameStartDelay, c.strDelay);
    EXPECT_EQ(status.m_strTimeLimit, c.strTimeLimit);
    EXPECT_EQ(status.m_strTicketRatio, c.strRatio);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Spelling,
    ::testing::Values(
        SpellingCase{"V161Keys",
                     "\\version\\v1.61\\game_start_delay\\15s\\time_limit\\30"
                     "\\ticket_ratio\\250%",
                     "v1.61", "15s", "30", "250%"},
        SpellingCase{"ClassicKeysAsBefore",
                     "\\Version\\v1.3\\Game Start Delay\\20\\Time Limit\\unlimited"
                     "\\Ticket Ratio\\100%",
                     "v1.3", "20", "unlimited", "100%"},
        SpellingCase{"TimeLimitZeroIsUnlimited", "\\time_limit\\0", "old", "old", "unlimited",
                     "old"},
        SpellingCase{"TimeLimitZerosAreUnlimited", "\\time_limit\\000", "old", "old", "unlimited",
                     "old"},
        SpellingCase{"TimeLimitEmptyStaysEmpty", "\\time_limit\\", "old", "old", "", "old"},
        SpellingCase{"TimeLimitZeroWithTextAsItComes", "\\time_limit\\0m", "old", "old", "0m",
                     "old"},
        SpellingCase{"ClassicTimeLimitZeroAsItComes", "\\Time Limit\\0", "old", "old", "0", "old"},
        SpellingCase{"LastOccurrenceWinsOverSpellings",
                     "\\version\\v1.61\\Version\\v1.5\\ticket_ratio\\1%\\Ticket Ratio\\2%"
                     "\\Time Limit\\unlimited\\time_limit\\45",
                     "v1.5", "old", "45", "2%"},
        SpellingCase{"LastOccurrenceWinsTheOtherWay",
                     "\\Version\\v1.5\\version\\v1.61\\Game Start Delay\\9\\game_start_delay\\8s"
                     "\\time_limit\\0\\Time Limit\\25",
                     "v1.61", "8s", "25", "old"},
        SpellingCase{"OtherCasesAreOtherKeys",
                     "\\VERSION\\x\\Game_Start_Delay\\x\\TIME_LIMIT\\x\\ticket ratio\\x", "old",
                     "old", "old", "old"}),
    [](const ::testing::TestParamInfo<SpellingCase>& info) { return info.param.szName; });

TEST(StatusReplyV161, KillReadFromKillsGivesTheKillCode) {
    const std::string strBefore =
        "\\playername_0\\Ann\\kills_0\\4\\score_0\\5\\deaths_0\\1\\team_0\\1\\ping_0\\40"
        "\\playername_1\\Bob\\kills_1\\0\\score_1\\0\\deaths_1\\2\\team_1\\2\\ping_1\\60" +
        kClose;
    const std::string strAfter =
        "\\playername_0\\Ann\\kills_0\\5\\score_0\\6\\deaths_0\\1\\team_0\\1\\ping_0\\40"
        "\\playername_1\\Bob\\kills_1\\0\\score_1\\0\\deaths_1\\3\\team_1\\2\\ping_1\\60" +
        kClose;
    monitor::CServerStatus status;
    monitor::PlayerTable before, after;
    monitor::ParseStatusReply(strBefore, status, before);
    after = before;
    monitor::ParseStatusReply(strAfter, status, after);
    EXPECT_EQ(after[0].m_strName, "Ann");
    EXPECT_EQ(before[0].ChangeCode(after[0]), "110");
    EXPECT_EQ(before[1].ChangeCode(after[1]), "001");
}

TEST(StatusReplyV161, BothSpellingsOfAPlayerKeyKeepTheLastValue) {
    monitor::CServerStatus status;
    monitor::PlayerTable players;
    monitor::ParseStatusReply(
        "\\player_3\\Old\\frags_3\\9\\playername_3\\New\\kills_3\\4\\frags_63\\1"
        "\\kills_63\\2\\kills_64\\7\\playername_64\\X" +
            kClose,
        status, players);
    EXPECT_EQ(players[3].m_strName, "New");
    EXPECT_EQ(players[3].m_nFrags, 4);
    EXPECT_EQ(players[63].m_nFrags, 2);
    monitor::ParseStatusReply("\\kills_3\\5\\frags_3\\6\\playername_3\\A\\player_3\\B" + kClose,
                              status, players);
    EXPECT_EQ(players[3].m_strName, "B");
    EXPECT_EQ(players[3].m_nFrags, 6);
}

// Replies cut anywhere, or mixing both spellings, never crash and never
// reach outside the table (the sanitizer builds watch the reads).
TEST(StatusReplyV161, EveryCutOfTheCapturedReplyDecodesSafely) {
    const std::string strReply = CapturedReply();
    for (size_t n = 0; n <= strReply.size(); n += 7) {
        const std::string strCut = strReply.substr(0, n);
        monitor::CServerStatus status;
        monitor::PlayerTable players;
        monitor::ParseStatusReply(strCut, status, players);
        ASSERT_LE(status.m_strHostname.size(), n);
        // The second datagram's players alone, as a late datagram brings them.
        monitor::ParseStatusReply(std::string_view(strReply).substr(n), status, players);
    }
    // Both spellings of every key in one reply, with the classic ones last.
    std::string strMixed = strReply;
    for (const char* pszPair : {"\\Version\\v1.3", "\\Time Limit\\20", "\\player_0\\Zed",
                                "\\frags_0\\99", "\\Game Start Delay\\5"})
        strMixed.insert(strMixed.size() - kClose.size(), pszPair);
    monitor::CServerStatus status;
    monitor::PlayerTable players;
    monitor::ParseStatusReply(strMixed, status, players);
    EXPECT_EQ(status.m_strServerVersion, "v1.3");
    EXPECT_EQ(status.m_strTimeLimit, "20");
    EXPECT_EQ(status.m_strGameStartDelay, "5");
    EXPECT_EQ(status.m_strTicketRatio, "250%");
    EXPECT_EQ(players[0].m_strName, "Zed");
    EXPECT_EQ(players[0].m_nFrags, 99);
    EXPECT_EQ(players[1].m_strName, "Jim Lahey");
}

}  // namespace
