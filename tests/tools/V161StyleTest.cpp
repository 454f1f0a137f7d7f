// bf42sim's v1.61 style: a captured v1.61 server's reply rebuilt byte for
// byte, its datagram split, and the bot's decoder seeing the same match in
// both styles.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "monitor/StatusReply.h"
#include "tests/tools/SimTestSupport.h"
#include "tools/bf42sim/ReplyBuilder.h"
#include "tools/bf42sim/SimResponder.h"

using namespace bf42sim;

namespace {

std::string ReadCaptured(const std::string& strName) {
    std::ifstream in(std::string(FR_CAPTURED_DATA) + "/" + strName, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Body(const std::string& str) {
    return str.substr(0, str.rfind("\\queryid\\"));
}

std::string ClassicName(const std::string& strKey) {
    if (strKey == "version") return "Version";
    if (strKey == "game_start_delay") return "Game Start Delay";
    if (strKey == "time_limit") return "Time Limit";
    if (strKey == "ticket_ratio") return "Ticket Ratio";
    return strKey;
}

// The captured server as a state: its server keys (classic names, each
// once), its players 0 to 10 and player 11, whose keys the capture cut,
// completed, with two more behind it.
CSimState CapturedState() {
    CSimState state;
    state.m_bAutoNumPlayers = false;
    for (const auto& [strKey, strValue] :
         simtest::ReadPairs(Body(ReadCaptured("status-v1.61-datagram1.txt")))) {
        if (!state.HasKey(ClassicName(strKey))) state.SetKey(ClassicName(strKey), strValue);
    }
    const simtest::Pairs vPlayers =
        simtest::ReadPairs(Body(ReadCaptured("status-v1.61-datagram2.txt")));
    for (int n = 0; n < 14; ++n) {
        const std::string strN = std::to_string(n);
        auto value = [&](const char* pszPrefix, const char* pszElse) {
            return simtest::Find(vPlayers, pszPrefix + strN).value_or(pszElse);
        };
        CSimPlayer p;
        p.m_strName = value("playername_", "Late Player");
        p.m_nTeam = std::stoi(value("team_", "1"));
        p.m_nScore = std::stoi(value("score_", "3"));
        p.m_nFrags = std::stoi(value("kills_", "2"));
        p.m_nDeaths = std::stoi(value("deaths_", "1"));
        p.m_nPing = std::stoi(value("ping_", "70"));
        p.m_strKeyHash = value("keyhash_", "0123456789abcdef0123456789abcdef");
        state.m_vPlayers.push_back(p);
    }
    return state;
}

}  // namespace

TEST(V161Style, RebuildsTheCapturedDatagramsByteForByte) {
    const auto vDatagrams = SplitStatusReply(CapturedState(), EKeyStyle::V161, "6903");
    ASSERT_EQ(vDatagrams.size(), 3u);
    EXPECT_EQ(vDatagrams[0], ReadCaptured("status-v1.61-datagram1.txt"));
    EXPECT_EQ(vDatagrams[1], ReadCaptured("status-v1.61-datagram2.txt"));
    EXPECT_TRUE(vDatagrams[2].starts_with("\\keyhash_11\\"));
    EXPECT_TRUE(vDatagrams[2].ends_with("\\team_13\\1\\final\\\\queryid\\6903.3"));
}

TEST(V161Style, SplitsOnePlayersKeysAcrossTwoDatagramsHoweverFewPlayers) {
    for (int nPlayers : {1, 2, 5, 12, 40, 64}) {
        SCOPED_TRACE(std::to_string(nPlayers) + " players");
        CSimState state = DefaultSimState();
        for (int n = 0; n < nPlayers; ++n)
            state.m_vPlayers.push_back({"Soldier " + std::to_string(n), 1 + n % 2, n, n, 0, 50,
                                        std::string(32, 'a' + n % 26)});
        const auto vDatagrams = SplitStatusReply(state, EKeyStyle::V161, "77");
        ASSERT_GE(vDatagrams.size(), 3u);
        simtest::Pairs vAll;
        bool bStraddles = false;
        for (size_t d = 0; d < vDatagrams.size(); ++d) {
            EXPECT_LE(vDatagrams[d].size(), d == 0 ? kMaxDatagram : kV161PlayerDatagram);
            EXPECT_EQ(vDatagrams[d].find("\\final\\") != std::string::npos,
                      d + 1 == vDatagrams.size());
            const auto vPairs = simtest::ReadPairs(Body(vDatagrams[d]));
            // The first datagram holds the server keys alone.
            EXPECT_EQ(d == 0, simtest::Find(vPairs, "hostname").has_value());
            if (d > 0 && d + 1 < vDatagrams.size() && !vPairs.back().first.starts_with("team_"))
                bStraddles = true;
            vAll.insert(vAll.end(), vPairs.begin(), vPairs.end());
        }
        EXPECT_TRUE(bStraddles);
        // Nothing lost or cut: the pairs read back whole, in order.
        vAll.pop_back();  // the closing "final" pair
        const auto vExpected = BuildStatusPairs(state, EKeyStyle::V161);
        EXPECT_EQ(vAll, simtest::Pairs(vExpected.begin(), vExpected.end()));
    }
    // No players: the server keys and the closing pair in one datagram.
    const auto vEmpty = SplitStatusReply(DefaultSimState(), EKeyStyle::V161, "1");
    ASSERT_EQ(vEmpty.size(), 1u);
    EXPECT_TRUE(vEmpty[0].ends_with("\\final\\\\queryid\\1.1"));
}

TEST(V161Style, KeysInTheCapturedOrderWithTheirEmptyValues) {
    CSimState state = DefaultSimState();
    state.SetKey("Time Limit", "unlimited");
    state.SetKey("my_extra", "x");
    state.SetKey("my_extra2", "y");
    state.RemoveKey("Ticket Ratio");
    state.SetKey("ticket_ratio", "300%");  // already spelled as such a server does
    const auto vPairs = BuildStatusPairs(state, EKeyStyle::V161);
    std::vector<std::string> vKeys;
    for (const auto& kv : vPairs) vKeys.push_back(kv.first);
    std::vector<std::string> vCaptured;
    for (const auto& kv : simtest::ReadPairs(Body(ReadCaptured("status-v1.61-datagram1.txt"))))
        vCaptured.push_back(kv.first);
    // Keys the captured server did not send come last.
    vCaptured.push_back("my_extra");
    vCaptured.push_back("my_extra2");
    EXPECT_EQ(vKeys, vCaptured);
    EXPECT_EQ(simtest::Find(simtest::Pairs(vPairs.begin(), vPairs.end()), "time_limit"), "0");
    EXPECT_EQ(simtest::Find(simtest::Pairs(vPairs.begin(), vPairs.end()), "ticket_ratio"), "300%");
    EXPECT_EQ(std::count(vPairs.begin(), vPairs.end(), KeyValue("unpure_mods", "")), 2);
    EXPECT_EQ(simtest::Find(simtest::Pairs(vPairs.begin(), vPairs.end()), "gamename"),
              "bfield1942");
    EXPECT_EQ(simtest::Find(simtest::Pairs(vPairs.begin(), vPairs.end()), "gamever"), "v1.61");
}

// The bot must see the same match whichever way the server spells it.
TEST(V161Style, DecoderSeesTheSameLiveMatchInBothStyles) {
    CSimResponder classic, modern;
    classic.StartLive(5, 30, true);
    modern.StartLive(5, 30, true);
    modern.SetKeyStyle(EKeyStyle::V161);
    monitor::CServerStatus statusClassic, statusModern;
    monitor::PlayerTable playersClassic{}, playersModern{};
    bool bUnlimitedSeen = false;
    for (int n = 0; n < 1500; ++n) {
        monitor::ParseStatusReply(simtest::Joined(classic.HandleDatagram("\xff\\status\\")),
                                  statusClassic, playersClassic);
        const auto vModern = modern.HandleDatagram("\xff\\status\\");
        monitor::ParseStatusReply(simtest::Joined(vModern), statusModern, playersModern);
        ASSERT_EQ(statusModern, statusClassic) << "poll " << n;
        ASSERT_EQ(playersModern, playersClassic) << "poll " << n;
        ASSERT_GE(vModern.size(), 3u);
        bUnlimitedSeen |= statusModern.m_strTimeLimit == "unlimited";
    }
    EXPECT_EQ(statusModern.m_strServerVersion, "v1.61");
    EXPECT_FALSE(playersModern[0].m_strName.empty());
    EXPECT_TRUE(bUnlimitedSeen) << "a map without a time limit came up";
}
