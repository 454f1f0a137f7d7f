#include "tools/bf42sim/ReplyBuilder.h"

#include <gtest/gtest.h>

#include "tests/tools/SimTestSupport.h"

using namespace bf42sim;
using simtest::Find;
using simtest::ReadPairs;

namespace {

CSimState StateWithPlayers(int nPlayers) {
    CSimState state = DefaultSimState();
    for (int n = 0; n < nPlayers; ++n)
        state.m_vPlayers.push_back({"Player Number " + std::to_string(n), 1 + n % 2, 100 + n,
                                    50 + n, 20 + n, 30 + n, std::string(32, 'a' + n % 26)});
    return state;
}

// The datagram without its closing "\final\" and "\queryid\..." pairs.
std::string Body(const std::string& str) {
    std::string strBody = str.substr(0, str.rfind("\\queryid\\"));
    if (strBody.ends_with("\\final\\")) strBody.resize(strBody.size() - 7);
    return strBody;
}

}  // namespace

TEST(ReplyBuilder, FullServerSplitsIntoDatagramsOfAtMost1400WithMarkerOnlyOnTheLast) {
    const auto vPairs = BuildStatusPairs(StateWithPlayers(64), EKeyStyle::Classic);
    const auto vDatagrams = SplitReply(vPairs, "6903");
    ASSERT_GT(vDatagrams.size(), 2u);
    simtest::Pairs vReadBack;
    for (size_t n = 0; n < vDatagrams.size(); ++n) {
        const std::string& str = vDatagrams[n];
        SCOPED_TRACE("datagram " + std::to_string(n + 1));
        EXPECT_LE(str.size(), kMaxDatagram);
        EXPECT_TRUE(str.ends_with("\\queryid\\6903." + std::to_string(n + 1)));
        EXPECT_EQ(str.find("\\final\\\\queryid\\") != std::string::npos,
                  n + 1 == vDatagrams.size());
        // Read each datagram on its own: a pair cut in two would show here.
        for (auto& kv : ReadPairs(Body(str))) vReadBack.push_back(kv);
    }
    EXPECT_EQ(vReadBack, simtest::Pairs(vPairs.begin(), vPairs.end()));
}

TEST(ReplyBuilder, DatagramMayReachTheLimitExactlyButNeverPassIt) {
    // Query id "1", two pairs: the closing part "\final\\queryid\1.N" takes
    // 19 bytes, so 81 bytes of pairs fill a 100-byte datagram exactly.
    auto pairsOf = [](size_t nBytes) {  // "\a\" + value, then "\b\yyy"
        return std::vector<KeyValue>{{"a", std::string(nBytes - 9, 'x')}, {"b", "yyy"}};
    };
    const auto vExact = SplitReply(pairsOf(81), "1", 100);
    ASSERT_EQ(vExact.size(), 1u);
    EXPECT_EQ(vExact[0].size(), 100u);
    const auto vOver = SplitReply(pairsOf(82), "1", 100);
    ASSERT_EQ(vOver.size(), 2u);
    EXPECT_LE(std::max(vOver[0].size(), vOver[1].size()), 100u);
    // Only a pair that cannot fit a datagram alone is cut, and it reads back whole.
    const std::vector<KeyValue> vLong = {{"motd", std::string(250, 'm')}, {"x", "1"}};
    std::string strBodies;
    for (const auto& str : SplitReply(vLong, "5", 100)) {
        EXPECT_LE(str.size(), 100u);
        strBodies += Body(str);
    }
    EXPECT_EQ(ReadPairs(strBodies), simtest::Pairs(vLong.begin(), vLong.end()));
}

TEST(ReplyBuilder, StatusPairsCarryWhatTheReadersNeedInTheirOrder) {
    CSimState state = StateWithPlayers(3);
    state.SetKey("hostname", "back\\slash");
    state.m_vPlayers[2].m_strName = std::string("nul\0name", 8);
    const auto vClassic = BuildStatusPairs(state, EKeyStyle::Classic);
    const simtest::Pairs vPairs(vClassic.begin(), vClassic.end());

    // numplayers (qstat needs it) before the first player key.
    const auto itNum = std::find_if(vPairs.begin(), vPairs.end(),
                                    [](auto& kv) { return kv.first == "numplayers"; });
    const auto itPlayer = std::find_if(vPairs.begin(), vPairs.end(),
                                       [](auto& kv) { return kv.first.ends_with("_0"); });
    ASSERT_NE(itNum, vPairs.end());
    EXPECT_EQ(itNum->second, "3");
    EXPECT_LT(itNum, itPlayer);
    // Empty values as real servers send them, "unpure_mods" twice.
    EXPECT_EQ(Find(vPairs, "password"), "");
    EXPECT_EQ(std::count(vPairs.begin(), vPairs.end(),
                         std::pair<std::string, std::string>("unpure_mods", "")),
              2);
    // No text from a state can break the grammar.
    EXPECT_EQ(Find(vPairs, "hostname"), "back/slash");
    EXPECT_EQ(Find(vPairs, "player_2"), "nul name");

    state.m_bAutoNumPlayers = false;
    state.SetKey("numplayers", "abc");
    const auto v161 = BuildStatusPairs(state, EKeyStyle::V161);
    const simtest::Pairs vModern(v161.begin(), v161.end());
    EXPECT_EQ(Find(vModern, "numplayers"), "abc");
    struct Row {
        const char* m_pszClassic;
        const char* m_pszModern;
        const char* m_pszValue;
    };
    for (const Row& row :
         {Row{"Version", "version", "v1.61"}, Row{"Game Start Delay", "game_start_delay", "15s"},
          Row{"Time Limit", "time_limit", "30"}, Row{"Ticket Ratio", "ticket_ratio", "100%"},
          Row{"player_1", "playername_1", "Player Number 1"}, Row{"frags_1", "kills_1", "51"},
          Row{"score_1", "score_1", "101"}, Row{"deaths_1", "deaths_1", "21"},
          Row{"ping_1", "ping_1", "31"}, Row{"team_1", "team_1", "2"},
          Row{"gameId", "gameId", "bf1942"}, Row{"hostport", "hostport", "14567"}}) {
        EXPECT_EQ(Find(vPairs, row.m_pszClassic), row.m_pszValue) << row.m_pszClassic;
        EXPECT_EQ(Find(vModern, row.m_pszModern), row.m_pszValue) << row.m_pszModern;
        if (std::string(row.m_pszClassic) != row.m_pszModern) {
            EXPECT_FALSE(Find(vPairs, row.m_pszModern)) << row.m_pszModern;
            EXPECT_FALSE(Find(vModern, row.m_pszClassic)) << row.m_pszClassic;
        }
    }
}

TEST(ReplyBuilder, InfoReplyCarriesTheSummaryKeysThenItsExtras) {
    CSimState state = StateWithPlayers(5);
    state.SetKey("gameId", "XPACK1");
    state.m_vInfoExtra = {{"hostname", "second name"}};
    state.RemoveKey("maxplayers");
    const auto vInfo = BuildInfoPairs(state, EKeyStyle::Classic);
    const simtest::Pairs vPairs(vInfo.begin(), vInfo.end());
    for (const auto& [strKey, strValue] : simtest::Pairs{{"gameId", "XPACK1"},
                                                         {"version", "v1.61"},
                                                         {"numplayers", "5"},
                                                         {"hostport", "14567"},
                                                         {"mapname", "wake"},
                                                         {"password", ""},
                                                         {"hostname", "second name"}})
        EXPECT_EQ(Find(vPairs, strKey), strValue) << strKey;
    EXPECT_FALSE(Find(vPairs, "maxplayers"));
    EXPECT_FALSE(Find(vPairs, "player_0"));
}

// A v1.61 server sends every player's keyhash; a scripted player without one
// gets a keyhash of his name, the same in every reply, so that the bot's
// statistics see one identity per name.
TEST(ReplyBuilder, V161StyleSendsAStableKeyHashForAPlayerWithoutOne) {
    CSimState state = DefaultSimState();
    state.m_vPlayers.push_back({"Ann", 1, 0, 0, 0, 40, ""});
    state.m_vPlayers.push_back({"Bob", 2, 0, 0, 0, 40, ""});
    state.m_vPlayers.push_back({"Own", 2, 0, 0, 0, 40, "feedfacefeedfacefeedfacefeedface"});
    const simtest::Pairs vModern = [&] {
        const auto v = BuildStatusPairs(state, EKeyStyle::V161);
        return simtest::Pairs(v.begin(), v.end());
    }();
    const std::string strAnn = Find(vModern, "keyhash_0").value_or("");
    EXPECT_EQ(strAnn, StableKeyHash("Ann"));
    EXPECT_EQ(strAnn.size(), 32u);
    EXPECT_EQ(strAnn.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_NE(Find(vModern, "keyhash_1"), strAnn);
    EXPECT_EQ(Find(vModern, "keyhash_2"), "feedfacefeedfacefeedfacefeedface");
    // The same name in another slot, in a later reply: the same keyhash.
    std::swap(state.m_vPlayers[0], state.m_vPlayers[1]);
    const auto vLater = BuildStatusPairs(state, EKeyStyle::V161);
    EXPECT_EQ(Find(simtest::Pairs(vLater.begin(), vLater.end()), "keyhash_1"), strAnn);
    // The classic style sends what the state holds.
    const auto vClassic = BuildStatusPairs(state, EKeyStyle::Classic);
    EXPECT_EQ(Find(simtest::Pairs(vClassic.begin(), vClassic.end()), "keyhash_0"), "");
    EXPECT_NE(StableKeyHash(""), StableKeyHash(" "));
}
