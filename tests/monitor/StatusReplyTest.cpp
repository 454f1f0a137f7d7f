#include <gtest/gtest.h>

#include <ostream>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "monitor/StatusReply.h"
#include "query/ReplyReader.h"

namespace {

const std::string kClose = "\\final\\\\queryid\\6903.3";

TEST(StatusReply, DecodesServerValuesAndAPlayerSlot) {
    const std::string strReply =
        "\\hostname\\My Server\\gamemode\\openplaying\\numplayers\\2\\maxplayers\\16"
        "\\player_0\\Ann\\team_0\\1\\score_0\\5\\frags_0\\4\\deaths_0\\2\\ping_0\\80" +
        kClose;
    monitor::CServerStatus status;
    monitor::PlayerTable players;
    monitor::ParseStatusReply(strReply, status, players);
    EXPECT_EQ(status.m_strHostname, "My Server");
    EXPECT_EQ(status.m_strGameMode, "openplaying");
    EXPECT_EQ(status.m_nNumPlayers, 2);
    EXPECT_EQ(status.m_nMaxPlayers, 16);
    const monitor::CPlayerRecord& ann = players[0];
    EXPECT_EQ(ann.m_strName, "Ann");
    EXPECT_EQ(ann.m_nTeam, 1);
    EXPECT_EQ(ann.m_nScore, 5);
    EXPECT_EQ(ann.m_nFrags, 4);
    EXPECT_EQ(ann.m_nDeaths, 2);
    EXPECT_EQ(ann.m_nPing, 80);
    EXPECT_EQ(players[1], monitor::CPlayerRecord());
}

TEST(StatusReply, EveryServerKeyFillsItsField) {
    const std::string strReply =
        "\\gameId\\bf1942\\Version\\v1.61\\gamemode\\pre\\maxplayers\\32\\numplayers\\7"
        "\\gametype\\conquest\\mapname\\Wake Island\\hostport\\14567\\hostname\\H"
        "\\Ticket Ratio\\100%\\Game Start Delay\\20\\Time Limit\\unlimited"
        "\\tickets1\\150\\tickets2\\98" +
        kClose;
    monitor::CServerStatus status;
    monitor::PlayerTable players;
    monitor::ParseStatusReply(strReply, status, players);
    monitor::CServerStatus expected;
    expected.m_strMod = "bf1942";
    expected.m_strServerVersion = "v1.61";
    expected.m_strGameMode = "pre";
    expected.m_nMaxPlayers = 32;
    expected.m_nNumPlayers = 7;
    expected.m_strGameType = "conquest";
    expected.m_strMapName = "Wake Island";
    expected.m_nHostPort = 14567;
    expected.m_strHostname = "H";
    expected.m_strTicketRatio = "100%";
    expected.m_strGameStartDelay = "20";
    expected.m_strTimeLimit = "unlimited";
    expected.m_strTickets1 = "150";
    expected.m_strTickets2 = "98";
    EXPECT_EQ(status, expected);
}

// Regression: read through the token scanner, each empty value shifted the
// pairs after it, so names became keys and scores became names.
TEST(StatusReply, EmptyValuesBeforeThePlayerKeysShiftNothing) {
    const std::string strReply =
        "\\hostname\\\\password\\\\gamemode\\openplaying\\unpure_mods\\\\numplayers\\1"
        "\\player_0\\Ann\\score_0\\5\\frags_0\\4\\unpure_mods\\\\team_0\\2" +
        kClose;
    monitor::CServerStatus status;
    status.m_strHostname = "Old name";
    monitor::PlayerTable players;
    monitor::ParseStatusReply(strReply, status, players);
    EXPECT_EQ(status.m_strHostname, "");  // present and empty: stored empty
    EXPECT_EQ(status.m_strGameMode, "openplaying");
    EXPECT_EQ(status.m_nNumPlayers, 1);
    EXPECT_EQ(players[0].m_strName, "Ann");
    EXPECT_EQ(players[0].m_nScore, 5);
    EXPECT_EQ(players[0].m_nFrags, 4);
    EXPECT_EQ(players[0].m_nTeam, 2);
}

struct ValueCase {
    const char* szName;
    std::string strKey;
    std::string strValue;
    std::string strMod;
    uint16_t nHostPort;
    int16_t nNumPlayers;
};
// Rows print by name, so test listings stay readable.
void PrintTo(const ValueCase& row, std::ostream* pOut) { *pOut << row.szName; }

class ServerValueTable : public ::testing::TestWithParam<ValueCase> {};

// Each row sets one key on a record that starts with mod "old", port 1 and 1 player.
TEST_P(ServerValueTable, StoresTheValue) {
    const ValueCase& c = GetParam();
    monitor::CServerStatus status;
    status.m_strMod = "old";
    status.m_nHostPort = 1;
    status.m_nNumPlayers = 1;
    monitor::PlayerTable players;
    monitor::ParseStatusReply("\\" + c.strKey + "\\" + c.strValue + kClose, status, players);
    EXPECT_EQ(status.m_strMod, c.strMod);
    EXPECT_EQ(status.m_nHostPort, c.nHostPort);
    EXPECT_EQ(status.m_nNumPlayers, c.nNumPlayers);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ServerValueTable,
    ::testing::Values(ValueCase{"Xpack1UpperCaseIsRtR", "gameId", "XPACK1", "RtR", 1, 1},
                      ValueCase{"Xpack1MixedCaseIsRtR", "gameId", "xPaCk1", "RtR", 1, 1},
                      ValueCase{"OtherModKeepsItsCase", "gameId", "DC_Final", "DC_Final", 1, 1},
                      ValueCase{"Xpack1PrefixIsNotRtR", "gameId", "xpack12", "xpack12", 1, 1},
                      ValueCase{"WrongCaseKeyIsIgnored", "GameId", "XPACK1", "old", 1, 1},
                      ValueCase{"HostPort", "hostport", "23000", "old", 23000, 1},
                      ValueCase{"HostPortAboveSignedRange", "hostport", "40000", "old", 40000, 1},
                      ValueCase{"HostPortOfLetters", "hostport", "abc", "old", 0, 1},
                      ValueCase{"HostPortLow16Bits", "hostport", "65537", "old", 1, 1},
                      ValueCase{"HostPortNegative", "hostport", "-1", "old", 65535, 1},
                      ValueCase{"CountWithTrailingText", "numplayers", " +12abc", "old", 1, 12},
                      ValueCase{"CountLow16BitsSigned", "numplayers", "40000", "old", 1, -25536},
                      ValueCase{"CountWraps", "numplayers", "70000", "old", 1, 4464},
                      ValueCase{"CountNegative", "numplayers", "-3", "old", 1, -3},
                      ValueCase{"CountEmpty", "numplayers", "", "old", 1, 0}),
    [](const ::testing::TestParamInfo<ValueCase>& info) { return info.param.szName; });

TEST(StatusReply, MissingKeysKeepOldValuesAndRepeatedKeysKeepTheLast) {
    monitor::CServerStatus status;
    status.m_strTickets1 = "120";
    status.m_strHostname = "Old";
    monitor::PlayerTable players;
    players[5].m_strName = "Bob";
    players[5].m_nScore = 9;
    monitor::ParseStatusReply("\\Hostname\\Capital\\tickets2\\7\\hostname\\First\\hostname\\Second" + kClose,
                     status, players);
    EXPECT_EQ(status.m_strHostname, "Second");
    EXPECT_EQ(status.m_strTickets1, "120");
    EXPECT_EQ(status.m_strTickets2, "7");
    EXPECT_EQ(players[5].m_strName, "Bob");
    EXPECT_EQ(players[5].m_nScore, 9);
}

class MalformedPlayerKey : public ::testing::TestWithParam<const char*> {};

TEST_P(MalformedPlayerKey, TouchesNoSlot) {
    monitor::CServerStatus status;
    monitor::PlayerTable players;
    monitor::ParseStatusReply(std::string("\\") + GetParam() + "\\77" + kClose, status, players);
    EXPECT_EQ(players, monitor::PlayerTable());
    EXPECT_EQ(status, monitor::CServerStatus());
}

INSTANTIATE_TEST_SUITE_P(Keys, MalformedPlayerKey,
                         ::testing::Values("team_64", "score_100", "ping_", "deaths_x", "frags_1a",
                                           "player_-1", "team_ 1", "team_+1",
                                           "score_99999999999999999999", "Team_1", "team1",
                                           "kills_", "kills_64", "playername_1x", "keyhash_1",
                                           "Playername_1"));

TEST(StatusReply, PlayerSlotBoundsAndLeadingZeros) {
    monitor::CServerStatus status;
    monitor::PlayerTable players;
    monitor::ParseStatusReply("\\team_063\\2\\player_63\\Zed\\score_00\\3" + kClose, status, players);
    EXPECT_EQ(players[63].m_nTeam, 2);
    EXPECT_EQ(players[63].m_strName, "Zed");
    EXPECT_EQ(players[0].m_nScore, 3);
}

std::string ReadDataFile(const std::string& strName) {
    std::ifstream in(std::string(FR_MONITOR_TEST_DATA) + "/" + strName, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Two datagrams of a real v1.61 server, with empty values (unpure_mods twice)
// and one player's keys split across the datagrams.
class CapturedReply : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string strFirst = ReadDataFile("status-v1.61-datagram1.txt");
        const std::string strSecond = ReadDataFile("status-v1.61-datagram2.txt");
        ASSERT_EQ(strFirst.size(), 979u);
        ASSERT_EQ(strSecond.size(), 1337u);
        m_strReply = strFirst + strSecond + kClose;
    }
    std::string m_strReply;
};

TEST_F(CapturedReply, EmptyValuesDoNotShiftThePairs) {
    std::multimap<std::string, std::string> pairs;
    query::ForEachReplyPair(m_strReply, [&](std::string_view key, std::string_view value) {
        pairs.emplace(std::string(key), std::string(value));
    });
    EXPECT_EQ(pairs.count("unpure_mods"), 2u);
    for (auto [it, end] = pairs.equal_range("unpure_mods"); it != end; ++it)
        EXPECT_EQ(it->second, "");
    // Pairs right after each empty value and further on keep their values.
    EXPECT_EQ(pairs.find("version")->second, "v1.61");
    EXPECT_EQ(pairs.find("vehicle_friendly_fire")->second, "40%");
    EXPECT_EQ(pairs.find("game_start_delay")->second, "15s");
    EXPECT_EQ(pairs.find("playername_10")->second, "Sorrowful Rice");
    EXPECT_EQ(pairs.find("deaths_11")->second, "17");
    EXPECT_EQ(pairs.count("queryid"), 3u);
}

TEST_F(CapturedReply, KnownKeysDecode) {
    monitor::CServerStatus status;
    monitor::PlayerTable players;
    monitor::ParseStatusReply(m_strReply, status, players);
    EXPECT_EQ(status.m_strHostname, "NOME DO SERVIDOR | LOL NOME DO SERVIDOR");
    EXPECT_EQ(status.m_nHostPort, 14567);
    EXPECT_EQ(status.m_strMod, "bf1942");
    EXPECT_EQ(status.m_strGameMode, "openplaying");
    EXPECT_EQ(status.m_strGameType, "ctf");
    EXPECT_EQ(status.m_strMapName, "wake");
    EXPECT_EQ(status.m_nMaxPlayers, 64);
    EXPECT_EQ(status.m_nNumPlayers, 36);
    EXPECT_EQ(status.m_strTickets1, "0");
    EXPECT_EQ(status.m_strTickets2, "4");
    EXPECT_EQ(status.m_strServerVersion, "v1.61");  // spelled "version" by this server
    EXPECT_EQ(players[0].m_nDeaths, 2);
    EXPECT_EQ(players[0].m_nPing, 41);
    EXPECT_EQ(players[0].m_nTeam, 1);
    EXPECT_EQ(players[3].m_nScore, 34);
    EXPECT_EQ(players[3].m_nTeam, 2);
    EXPECT_EQ(players[10].m_nScore, 40);
    EXPECT_EQ(players[11].m_nDeaths, 17);
    EXPECT_EQ(players[11].m_nPing, -1);  // its other keys were in the next datagram
    EXPECT_EQ(players[12], monitor::CPlayerRecord());
}

}  // namespace
