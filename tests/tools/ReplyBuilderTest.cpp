#include "tools/bf42sim/ReplyBuilder.h"

#include <gtest/gtest.h>

#include <cctype>

#include "tests/tools/SimTestSupport.h"

using namespace bf42sim;
using simtest::Find;
using simtest::IndexOf;
using simtest::ReadPairs;

namespace {

CSimState StateWithPlayers(int nPlayers) {
    CSimState state = DefaultSimState();
    for (int n = 0; n < nPlayers; ++n) {
        CSimPlayer p;
        p.m_strName = "Player Number " + std::to_string(n);
        p.m_nTeam = 1 + n % 2;
        p.m_nScore = 100 + n;
        p.m_nFrags = 50 + n;
        p.m_nDeaths = 20 + n;
        p.m_nPing = 30 + n;
        p.m_strKeyHash = std::string(32, 'a' + n % 26);
        state.m_vPlayers.push_back(p);
    }
    return state;
}

// The datagram without its closing "\queryid\..." (and "\final\") pairs.
std::string Body(const std::string& strDatagram) {
    std::string str = strDatagram.substr(0, strDatagram.rfind("\\queryid\\"));
    if (str.size() >= 7 && str.compare(str.size() - 7, 7, "\\final\\") == 0)
        str.resize(str.size() - 7);
    return str;
}

}  // namespace

TEST(ReplyBuilder, FullServerSplitsIntoDatagramsOfAtMost1400WithMarkerOnlyOnTheLast) {
    const auto vPairs = BuildStatusPairs(StateWithPlayers(64), KeyStyle::Classic);
    const auto vDatagrams = SplitReply(vPairs, "6903");
    ASSERT_GT(vDatagrams.size(), 2u);

    simtest::Pairs vReadBack;
    for (size_t n = 0; n < vDatagrams.size(); ++n) {
        const std::string& str = vDatagrams[n];
        SCOPED_TRACE("datagram " + std::to_string(n + 1));
        EXPECT_LE(str.size(), kMaxDatagram);
        const std::string strId = "\\queryid\\6903." + std::to_string(n + 1);
        ASSERT_GE(str.size(), strId.size());
        EXPECT_EQ(str.substr(str.size() - strId.size()), strId);
        const bool bLast = n + 1 == vDatagrams.size();
        EXPECT_EQ(str.find("\\final\\\\queryid\\") != std::string::npos, bLast);
        EXPECT_EQ(str.front(), '\\');
        // Read each datagram on its own: a pair cut in two would show here.
        for (auto& kv : ReadPairs(Body(str))) vReadBack.push_back(kv);
    }
    EXPECT_EQ(vReadBack, vPairs);
}

TEST(ReplyBuilder, SmallReplyIsOneDatagramEndingInTheMarker) {
    const auto vDatagrams = SplitReply({{"hostname", "x"}, {"password", ""}}, "12");
    ASSERT_EQ(vDatagrams.size(), 1u);
    EXPECT_EQ(vDatagrams[0], "\\hostname\\x\\password\\\\final\\\\queryid\\12.1");
}

TEST(ReplyBuilder, DatagramMayReachTheLimitExactlyButNeverPassIt) {
    // Two pairs, query id "1": the closing part is "\final\\queryid\1.N",
    // 19 bytes, so 81 bytes of pairs fill a 100-byte datagram exactly.
    const size_t nMax = 100;
    auto pairsOf = [](size_t nBytes) {
        // "\a\" + value and "\b\" + 3 bytes: 3 + v + 6.
        return std::vector<KeyValue>{{"a", std::string(nBytes - 9, 'x')}, {"b", "yyy"}};
    };
    const auto vExact = SplitReply(pairsOf(81), "1", nMax);
    ASSERT_EQ(vExact.size(), 1u);
    EXPECT_EQ(vExact[0].size(), nMax);

    const auto vOver = SplitReply(pairsOf(82), "1", nMax);
    ASSERT_EQ(vOver.size(), 2u);
    for (const auto& str : vOver) EXPECT_LE(str.size(), nMax);
    EXPECT_EQ(ReadPairs(Body(vOver[0])).size(), 1u);
}

TEST(ReplyBuilder, PairLongerThanADatagramIsTheOnlyOneSplit) {
    const std::vector<KeyValue> vPairs = {
        {"hostname", "h"}, {"motd", std::string(3000, 'm')}, {"x", "1"}};
    const auto vDatagrams = SplitReply(vPairs, "5");
    std::string strBodies;
    for (const auto& str : vDatagrams) {
        EXPECT_LE(str.size(), kMaxDatagram);
        strBodies += Body(str);
    }
    EXPECT_GE(vDatagrams.size(), 3u);
    EXPECT_EQ(ReadPairs(strBodies), simtest::Pairs(vPairs.begin(), vPairs.end()));
}

TEST(ReplyBuilder, MinimumDatagramCountSpreadsEvenASmallReply) {
    const std::vector<KeyValue> vPairs = {{"a", "1"}, {"b", "2"}};
    const auto vDatagrams = SplitReply(vPairs, "3", kMaxDatagram, 2);
    ASSERT_EQ(vDatagrams.size(), 2u);
    EXPECT_EQ(vDatagrams[0], "\\a\\1\\queryid\\3.1");
    EXPECT_EQ(vDatagrams[1], "\\b\\2\\final\\\\queryid\\3.2");
}

TEST(ReplyBuilder, StatusCarriesNumplayersBeforeThePlayersAndEmptyValues) {
    const CSimState state = StateWithPlayers(3);
    const auto vPairs =
        ReadPairs(simtest::Joined(SplitReply(BuildStatusPairs(state, KeyStyle::Classic), "1")));

    EXPECT_EQ(Find(vPairs, "numplayers"), "3");
    const int nNum = IndexOf(vPairs, "numplayers");
    const int nFirstPlayer = IndexOf(vPairs, "deaths_0");
    ASSERT_GE(nNum, 0);
    ASSERT_GE(nFirstPlayer, 0);
    EXPECT_LT(nNum, nFirstPlayer);
    for (const auto& kv : vPairs) {
        const bool bPlayerKey = kv.first.find('_') != std::string::npos &&
                                std::isdigit(static_cast<unsigned char>(kv.first.back()));
        if (bPlayerKey) {
            EXPECT_GT(IndexOf(vPairs, kv.first), nNum) << kv.first;
        }
    }
    // Empty values as real servers send them, read back as empty.
    EXPECT_EQ(Find(vPairs, "password"), "");
    int nUnpure = 0;
    for (const auto& kv : vPairs) nUnpure += kv.first == "unpure_mods" && kv.second.empty();
    EXPECT_EQ(nUnpure, 2);
    EXPECT_EQ(Find(vPairs, "final"), "");
}

TEST(ReplyBuilder, KeySpellingsFollowTheStyle) {
    const CSimState state = StateWithPlayers(2);
    struct Row {
        const char* pszName;
        KeyStyle style;
        std::vector<std::pair<std::string, std::string>> vPresent;
        std::vector<std::string> vAbsent;
    };
    const Row rows[] = {
        {"classic: the spellings the bot reads",
         KeyStyle::Classic,
         {{"Version", "v1.61"},
          {"Game Start Delay", "15s"},
          {"Time Limit", "30"},
          {"Ticket Ratio", "100%"},
          {"gameId", "bf1942"},
          {"hostport", "14567"},
          {"player_1", "Player Number 1"},
          {"frags_1", "51"},
          {"score_1", "101"},
          {"deaths_1", "21"},
          {"ping_1", "31"},
          {"team_1", "2"}},
         {"playername_1", "kills_1", "version", "time_limit"}},
        {"v1.61: a modern server's spellings",
         KeyStyle::V161,
         {{"version", "v1.61"},
          {"game_start_delay", "15s"},
          {"time_limit", "30"},
          {"ticket_ratio", "100%"},
          {"playername_1", "Player Number 1"},
          {"kills_1", "51"},
          {"score_1", "101"}},
         {"player_1", "frags_1", "Version", "Time Limit"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.pszName);
        const auto vPairs =
            ReadPairs(simtest::Joined(SplitReply(BuildStatusPairs(state, row.style), "1")));
        for (const auto& [strKey, strValue] : row.vPresent)
            EXPECT_EQ(Find(vPairs, strKey), strValue) << strKey;
        for (const auto& strKey : row.vAbsent) EXPECT_EQ(IndexOf(vPairs, strKey), -1) << strKey;
    }
}

TEST(ReplyBuilder, FixedNumplayersAndHostileTextsStayInsideTheGrammar) {
    CSimState state = StateWithPlayers(2);
    state.m_bAutoNumPlayers = false;
    state.SetKey("numplayers", "abc");
    state.SetKey("hostname", "back\\slash\\server");
    state.m_vPlayers[0].m_strName = std::string("nul\0name", 8);
    const auto vPairs =
        ReadPairs(simtest::Joined(SplitReply(BuildStatusPairs(state, KeyStyle::Classic), "1")));
    EXPECT_EQ(Find(vPairs, "numplayers"), "abc");
    EXPECT_EQ(Find(vPairs, "hostname"), "back/slash/server");
    EXPECT_EQ(Find(vPairs, "player_0"), "nul name");
    EXPECT_EQ(Find(vPairs, "queryid"), "1.1");
}

TEST(ReplyBuilder, InfoReplyCarriesTheSummaryKeys) {
    CSimState state = StateWithPlayers(5);
    state.SetKey("gameId", "XPACK1");
    state.m_vInfoExtra = {{"hostname", "second name"}};
    const auto vPairs =
        ReadPairs(simtest::Joined(SplitReply(BuildInfoPairs(state, KeyStyle::Classic), "1")));
    EXPECT_EQ(Find(vPairs, "gameId"), "XPACK1");
    EXPECT_EQ(Find(vPairs, "version"), "v1.61");
    EXPECT_EQ(Find(vPairs, "numplayers"), "5");
    EXPECT_EQ(Find(vPairs, "maxplayers"), "64");
    EXPECT_EQ(Find(vPairs, "hostport"), "14567");
    EXPECT_EQ(Find(vPairs, "mapname"), "wake");
    EXPECT_EQ(Find(vPairs, "password"), "");
    EXPECT_EQ(Find(vPairs, "hostname"), "second name");  // the extra comes last
    EXPECT_EQ(IndexOf(vPairs, "player_0"), -1);

    state.RemoveKey("numplayers");
    state.RemoveKey("maxplayers");
    const auto vWithout = BuildInfoPairs(state, KeyStyle::Classic);
    EXPECT_EQ(IndexOf(simtest::Pairs(vWithout.begin(), vWithout.end()), "numplayers"), -1);
}

TEST(ReplyBuilder, OversizedReplyIsOneDatagramAboveTheLimitWithEveryPair) {
    const auto vPairs = BuildStatusPairs(StateWithPlayers(1), KeyStyle::Classic);
    const std::string str = BuildOversizedReply(vPairs, "9");
    EXPECT_GT(str.size(), kMaxDatagram);
    EXPECT_TRUE(str.ends_with("\\final\\\\queryid\\9.1")) << str.substr(str.size() - 30);
    const auto vRead = ReadPairs(str);
    for (const auto& kv : vPairs) EXPECT_EQ(Find(vRead, kv.first), kv.second) << kv.first;
}
