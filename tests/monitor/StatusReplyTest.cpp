#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>

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

// The server fields a table row may change, by name, as text.
std::map<std::string, std::string> TableFields(const monitor::CServerStatus& status) {
    return {{"mod", status.m_strMod},
            {"port", std::to_string(status.m_nHostPort)},
            {"players", std::to_string(status.m_nNumPlayers)},
            {"version", status.m_strServerVersion},
            {"delay", status.m_strGameStartDelay},
            {"timelimit", status.m_strTimeLimit},
            {"ratio", status.m_strTicketRatio}};
}

struct ValueCase {
    const char* m_szName;
    std::string m_strPairs;
    std::map<std::string, std::string> m_changed;  // every other field keeps its value
};
// Rows print by name, so test listings stay readable.
void PrintTo(const ValueCase& row, std::ostream* pOut) {
    *pOut << row.m_szName;
}

class ServerValueTable : public ::testing::TestWithParam<ValueCase> {};

// Each row reads its pairs into a record that starts with mod "old", port 1,
// 1 player and "old" in the four texts that v1.61 servers spell their own way
// (version, game_start_delay, time_limit, ticket_ratio): both spellings
// store into the same field.
TEST_P(ServerValueTable, StoresTheValue) {
    const ValueCase& c = GetParam();
    monitor::CServerStatus status;
    status.m_strMod = "old";
    status.m_nHostPort = 1;
    status.m_nNumPlayers = 1;
    status.m_strServerVersion = status.m_strGameStartDelay = "old";
    status.m_strTimeLimit = status.m_strTicketRatio = "old";
    std::map<std::string, std::string> expected = TableFields(status);
    for (const auto& [strField, strValue] : c.m_changed) {
        ASSERT_EQ(expected.count(strField), 1u) << strField;
        expected[strField] = strValue;
    }
    monitor::PlayerTable players;
    monitor::ParseStatusReply(c.m_strPairs + kClose, status, players);
    EXPECT_EQ(TableFields(status), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ServerValueTable,
    ::testing::Values(
        ValueCase{"Xpack1UpperCaseIsRtR", "\\gameId\\XPACK1", {{"mod", "RtR"}}},
        ValueCase{"Xpack1MixedCaseIsRtR", "\\gameId\\xPaCk1", {{"mod", "RtR"}}},
        ValueCase{"OtherModKeepsItsCase", "\\gameId\\DC_Final", {{"mod", "DC_Final"}}},
        ValueCase{"Xpack1PrefixIsNotRtR", "\\gameId\\xpack12", {{"mod", "xpack12"}}},
        ValueCase{"WrongCaseKeyIsIgnored", "\\GameId\\XPACK1", {}},
        ValueCase{"HostPort", "\\hostport\\23000", {{"port", "23000"}}},
        ValueCase{"HostPortAboveSignedRange", "\\hostport\\40000", {{"port", "40000"}}},
        ValueCase{"HostPortOfLetters", "\\hostport\\abc", {{"port", "0"}}},
        ValueCase{"HostPortLow16Bits", "\\hostport\\65537", {{"port", "1"}}},
        ValueCase{"HostPortNegative", "\\hostport\\-1", {{"port", "65535"}}},
        ValueCase{"CountWithTrailingText", "\\numplayers\\ +12abc", {{"players", "12"}}},
        ValueCase{"CountLow16BitsSigned", "\\numplayers\\40000", {{"players", "-25536"}}},
        ValueCase{"CountWraps", "\\numplayers\\70000", {{"players", "4464"}}},
        ValueCase{"CountNegative", "\\numplayers\\-3", {{"players", "-3"}}},
        ValueCase{"CountEmpty", "\\numplayers\\", {{"players", "0"}}},
        ValueCase{"V161Keys",
                  "\\version\\v1.61\\game_start_delay\\15s\\time_limit\\30\\ticket_ratio\\250%",
                  {{"version", "v1.61"}, {"delay", "15s"}, {"timelimit", "30"}, {"ratio", "250%"}}},
        ValueCase{
            "ClassicKeysAsBefore",
            "\\Version\\v1.3\\Game Start Delay\\20\\Time Limit\\unlimited"
            "\\Ticket Ratio\\100%",
            {{"version", "v1.3"}, {"delay", "20"}, {"timelimit", "unlimited"}, {"ratio", "100%"}}},
        ValueCase{"TimeLimitZeroIsUnlimited", "\\time_limit\\0", {{"timelimit", "unlimited"}}},
        ValueCase{"TimeLimitZerosAreUnlimited", "\\time_limit\\000", {{"timelimit", "unlimited"}}},
        ValueCase{"TimeLimitEmptyStaysEmpty", "\\time_limit\\", {{"timelimit", ""}}},
        ValueCase{"TimeLimitZeroWithTextAsItComes", "\\time_limit\\0m", {{"timelimit", "0m"}}},
        ValueCase{"ClassicTimeLimitZeroAsItComes", "\\Time Limit\\0", {{"timelimit", "0"}}},
        ValueCase{"LastOccurrenceWinsOverSpellings",
                  "\\version\\v1.61\\Version\\v1.5\\ticket_ratio\\1%\\Ticket Ratio\\2%"
                  "\\Time Limit\\unlimited\\time_limit\\45",
                  {{"version", "v1.5"}, {"timelimit", "45"}, {"ratio", "2%"}}},
        ValueCase{"LastOccurrenceWinsTheOtherWay",
                  "\\Version\\v1.5\\version\\v1.61\\Game Start Delay\\9\\game_start_delay\\8s"
                  "\\time_limit\\0\\Time Limit\\25",
                  {{"version", "v1.61"}, {"delay", "8s"}, {"timelimit", "25"}}},
        ValueCase{"OtherCasesAreOtherKeys",
                  "\\VERSION\\x\\Game_Start_Delay\\x\\TIME_LIMIT\\x\\ticket ratio\\x",
                  {}}),
    [](const ::testing::TestParamInfo<ValueCase>& info) { return info.param.m_szName; });

TEST(StatusReply, MissingKeysKeepOldValuesAndRepeatedKeysKeepTheLast) {
    monitor::CServerStatus status;
    status.m_strTickets1 = "120";
    status.m_strHostname = "Old";
    monitor::PlayerTable players;
    players[5].m_strName = "Bob";
    players[5].m_nScore = 9;
    monitor::ParseStatusReply(
        "\\Hostname\\Capital\\tickets2\\7\\hostname\\First\\hostname\\Second" + kClose, status,
        players);
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
                                           "kills_", "kills_64", "playername_1x", "keyhash_64",
                                           "keyhash_", "keyhash_1x", "Playername_1", "KeyHash_1"));

TEST(StatusReply, PlayerSlotBoundsAndLeadingZeros) {
    monitor::CServerStatus status;
    monitor::PlayerTable players;
    monitor::ParseStatusReply("\\team_063\\2\\player_63\\Zed\\score_00\\3" + kClose, status,
                              players);
    EXPECT_EQ(players[63].m_nTeam, 2);
    EXPECT_EQ(players[63].m_strName, "Zed");
    EXPECT_EQ(players[0].m_nScore, 3);
}

// v1.61 servers spell player_N and frags_N as playername_N and kills_N;
// without them a kill on such a server decoded as change code "000".
TEST(StatusReply, KillReadFromKillsGivesTheKillCode) {
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

// The keyhash is read as sent, including an empty one and one that changes,
// and a reply without it leaves the slot's keyhash as it was.
TEST(StatusReply, KeyHashIsReadIntoItsSlot) {
    struct {
        const char* m_pszName;
        std::string m_strPairs;
        size_t m_nSlot;
        const char* m_pszKeyHash;
    } const kRows[] = {
        {"V161", "\\playername_2\\Ann\\keyhash_2\\0123456789abcdef0123456789abcdef", 2,
         "0123456789abcdef0123456789abcdef"},
        {"LastSlot", "\\keyhash_63\\ff", 63, "ff"},
        {"LeadingZero", "\\keyhash_07\\aa", 7, "aa"},
        {"EmptyValue", "\\keyhash_1\\\\player_1\\Bob", 1, ""},
        {"LastOfTwoWins", "\\keyhash_4\\aa\\keyhash_4\\bb", 4, "bb"},
        {"BytesAsSent", "\\keyhash_5\\x'%\x01\xE9", 5, "x'%\x01\xE9"},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.m_pszName);
        monitor::CServerStatus status;
        monitor::PlayerTable players;
        players[row.m_nSlot].m_strKeyHash = "earlier";
        monitor::ParseStatusReply(row.m_strPairs + kClose, status, players);
        EXPECT_EQ(players[row.m_nSlot].m_strKeyHash, row.m_pszKeyHash);
        EXPECT_EQ(status, monitor::CServerStatus());
    }
    monitor::CServerStatus status;
    monitor::PlayerTable players;
    players[0].m_strKeyHash = "kept";
    monitor::ParseStatusReply("\\player_0\\Ann\\score_0\\3" + kClose, status, players);
    EXPECT_EQ(players[0].m_strKeyHash, "kept");
}

// The keyhash is no total: a record that differs only in it gives no change.
TEST(StatusReply, KeyHashMakesNoChangeCode) {
    monitor::CPlayerRecord before;
    before.m_strName = "Ann";
    before.m_nScore = 4;
    before.m_nPing = 40;
    monitor::CPlayerRecord after = before;
    after.m_strKeyHash = "0123456789abcdef0123456789abcdef";
    EXPECT_EQ(before.ChangeCode(after), "000");
    EXPECT_EQ(after.ChangeCode(before), "000");
}

TEST(StatusReply, BothSpellingsOfAPlayerKeyKeepTheLastValue) {
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

TEST_F(CapturedReply, DecodesIntoTheSnapshotAndPlayerTable) {
    const std::string& strReply = m_strReply;
    monitor::CServerStatus status;
    monitor::PlayerTable players;
    monitor::ParseStatusReply(strReply, status, players);

    monitor::CServerStatus expected;
    expected.m_strMod = "bf1942";
    expected.m_strServerVersion = "v1.61";  // spelled "version" by this server
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

    // Name, score, frags (from kills_N), deaths, ping, team, keyhash.
    const monitor::CPlayerRecord kPlayers[] = {
        {"[Admin]Cher", 0, 0, 2, 41, 1, "e09833b4065c325fbe042d4c7cf8bba9"},
        {"Jim Lahey", 13, 0, 10, 52, 1, "d8e803a4c432c5dbc129805bb13c5ae9"},
        {"jake from state farm", 0, 0, 0, 17, 1, "92ff73033c3351d61131b3129990aa77"},
        {"TheCalmingClam", 34, 17, 7, 24, 2, "114d0844ea3df43d48840016f2b4a7ae"},
        {"mediocre", 23, 19, 2, 21, 2, "93b6ad5f0452ee5ff76702ae3f071e9e"},
        {"*Incognito*", 26, 10, 4, 25, 2, "860bd844411700821c06d91751a22f13"},
        {"GLIER", 13, 4, 12, 151, 2, "e189e41fc7254f4f1ad351b0aadeeeeb"},
        {"Lagtastic", 26, 7, 6, 31, 1, "8f2cbe5d55b6f974199a0136b91791c4"},
        {"papi", 12, 1, 7, 77, 2, "d0db7b12341ec39e07dbf686d7c0663e"},
        {"Meuse", 13, 7, 9, 59, 1, "57592dcf0786e10a376577ad33c9d8d6"},
        {"Sorrowful Rice", 40, 7, 7, 44, 2, "8e024e9945e8cef5565e7eb67c63356b"},
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

// Replies cut anywhere, or mixing both spellings, never crash and never
// reach outside the table (the sanitizer builds watch the reads).
TEST_F(CapturedReply, EveryCutDecodesSafely) {
    const std::string& strReply = m_strReply;
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
