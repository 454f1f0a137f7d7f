#include "tools/bf42sim/Scenario.h"

#include <gtest/gtest.h>

#include "tests/tools/SimTestSupport.h"
#include "tools/bf42sim/SimResponder.h"

using namespace bf42sim;

namespace {

const char* const kGoodScenario =
    "# warm-up: two players on wake\r\n"
    "state 3\r\n"
    "set hostname = My Server\r\n"
    "set Time Limit = unlimited\r\n"
    "set password =\r\n"
    "player 0 1 10 5 2 80 Ann Smith\r\n"
    "player 1 2 3 1 4 60 Bob\r\n"
    "\r\n"
    "state 1\n"
    "  player 0 1 11 6 2 80 Ann Smith   \n"
    "player 1 2 3 1 5 60 Bob\n"
    "player 2 2 0 0 0 99\n"
    "set numplayers = 7\n"
    "unset tickets1\n"
    "info hostname = Info Name\n"
    "state 2\n"
    "remove 0\n"
    "set numplayers = auto\n"
    "set mapname = berlin\n"
    "state 1\n"
    "clear players\n";

}  // namespace

TEST(Scenario, ParsesStatesThatBuildOnEachOther) {
    CScenario scenario;
    std::string strError;
    ASSERT_TRUE(ParseScenario(kGoodScenario, &scenario, &strError)) << strError;
    ASSERT_EQ(scenario.m_vSteps.size(), 4u);

    const auto& first = scenario.m_vSteps[0];
    EXPECT_EQ(first.m_nHold, 3);
    EXPECT_EQ(first.m_nLine, 2);
    EXPECT_EQ(first.m_state.GetKey("hostname"), "My Server");
    EXPECT_EQ(first.m_state.GetKey("Time Limit"), "unlimited");
    EXPECT_TRUE(first.m_state.HasKey("password"));
    EXPECT_EQ(first.m_state.GetKey("gameId"), "bf1942");  // from the fresh server
    ASSERT_EQ(first.m_state.m_vPlayers.size(), 2u);
    EXPECT_EQ(first.m_state.m_vPlayers[0], (CSimPlayer{"Ann Smith", 1, 10, 5, 2, 80, ""}));

    const auto& second = scenario.m_vSteps[1];
    EXPECT_EQ(second.m_state.GetKey("hostname"), "My Server");  // carried over
    ASSERT_EQ(second.m_state.m_vPlayers.size(), 3u);
    EXPECT_EQ(second.m_state.m_vPlayers[0].m_nScore, 11);
    EXPECT_EQ(second.m_state.m_vPlayers[2].m_strName, "");  // a name may be empty
    EXPECT_EQ(second.m_state.m_vPlayers[2].m_nPing, 99);
    EXPECT_FALSE(second.m_state.m_bAutoNumPlayers);
    EXPECT_EQ(second.m_state.GetKey("numplayers"), "7");
    EXPECT_FALSE(second.m_state.HasKey("tickets1"));
    ASSERT_EQ(second.m_state.m_vInfoExtra.size(), 1u);

    const auto& third = scenario.m_vSteps[2];
    ASSERT_EQ(third.m_state.m_vPlayers.size(), 2u);
    EXPECT_EQ(third.m_state.m_vPlayers[0].m_strName, "Bob");  // moved down a slot
    EXPECT_TRUE(third.m_state.m_bAutoNumPlayers);
    EXPECT_TRUE(scenario.m_vSteps[3].m_state.m_vPlayers.empty());
}

TEST(Scenario, MalformedLinesAreRejectedNamingTheLine) {
    struct Row {
        const char* pszName;
        const char* pszText;
        const char* pszPrefix;  // the message begins with it
        const char* pszWords;   // and contains these words
    };
    const Row rows[] = {
        {"command before any state", "# x\nset a = b\n", "line 2: ", "before the first 'state'"},
        {"unknown command", "state 1\n\nfly away\n", "line 3: ", "unknown command 'fly'"},
        {"zero hold", "state 0\n", "line 1: ", "at least 1"},
        {"hold not a number", "state 1\nstate x2\n", "line 2: ", "'state' needs"},
        {"hold with trailing text", "state 3 times\n", "line 1: ", "'state' needs"},
        {"player too short", "state 1\nplayer 0 1 2 3\n", "line 2: ", "SLOT TEAM SCORE"},
        {"player slot leaves a gap", "state 1\nplayer 0 1 0 0 0 5 a\nplayer 2 1 0 0 0 5 b\n",
         "line 3: ", "from 0 to 1"},
        {"player slot negative", "state 1\nplayer -1 1 0 0 0 5 a\n", "line 2: ", "slot '-1'"},
        {"player score not a number", "state 1\nplayer 0 1 ten 0 0 5 a\n",
         "line 2: ", "'ten' is not a whole number"},
        {"player number overflows", "state 1\nplayer 0 1 99999999999 0 0 5 a\n",
         "line 2: ", "not a whole number"},
        {"remove without players", "state 1\nremove 0\n", "line 2: ", "no players"},
        {"remove past the last player", "state 1\nplayer 0 1 0 0 0 5 a\nremove 1\n",
         "line 3: ", "from 0 to 0"},
        {"unset of a missing key", "state 1\nunset nosuchkey\n", "line 2: ", "no key 'nosuchkey'"},
        {"set without equals", "state 1\nset hostname My Server\n", "line 2: ", "KEY = VALUE"},
        {"set with an empty key", "state 1\nset = x\n", "line 2: ", "KEY = VALUE"},
        {"backslash in a value", "state 1\r\nset hostname = a\\b\r\n", "line 2: ", "backslash"},
        {"clear of something else", "state 1\nclear all\n", "line 2: ", "clear players"},
        {"no state at all", "# only a comment\n\n", "line 3: ", "no 'state' line"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.pszName);
        CScenario scenario;
        scenario.m_vSteps.resize(5);  // must stay untouched on failure
        std::string strError;
        EXPECT_FALSE(ParseScenario(row.pszText, &scenario, &strError));
        EXPECT_EQ(strError.rfind(row.pszPrefix, 0), 0u) << strError;
        EXPECT_NE(strError.find(row.pszWords), std::string::npos) << strError;
        EXPECT_EQ(scenario.m_vSteps.size(), 5u);
    }
}

TEST(Scenario, EachStateServesItsNumberOfStatusRepliesThenTheLastIsHeld) {
    CScenario scenario;
    std::string strError;
    ASSERT_TRUE(
        ParseScenario("state 2\nset mapname = A\nstate 1\nset mapname = B\n"
                      "state 1\nset mapname = C\n",
                      &scenario, &strError))
        << strError;
    CSimResponder responder;
    responder.LoadScenario(scenario);
    auto mapOf = [&](const char* pszRequest) {
        const auto vReply = responder.HandleDatagram(pszRequest);
        return simtest::Find(simtest::ReadPairs(simtest::Joined(vReply)), "mapname")
            .value_or("(none)");
    };
    // Info requests, ignored datagrams and silenced requests do not use up a state.
    EXPECT_EQ(mapOf("\xff\\status\\"), "A");
    EXPECT_EQ(mapOf("\xff\\info\\"), "A");
    EXPECT_EQ(mapOf("\xff\\players\\"), "(none)");
    responder.FallSilent(2);
    EXPECT_EQ(mapOf("\xff\\status\\"), "(none)");
    EXPECT_EQ(mapOf("\\status\\"), "(none)");
    EXPECT_EQ(mapOf("\\status\\"), "A");
    EXPECT_EQ(mapOf("\xff\\status\\"), "B");
    for (int n = 0; n < 3; ++n) EXPECT_EQ(mapOf("\xff\\status\\"), "C");
    EXPECT_EQ(responder.StatusRequests(), 8);
    EXPECT_EQ(responder.SilencedRequests(), 2);
}
