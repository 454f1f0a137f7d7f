#include "tools/bf42sim/Scenario.h"

#include <gtest/gtest.h>

#include "tests/tools/SimTestSupport.h"
#include "tools/bf42sim/SimResponder.h"

using namespace bf42sim;

TEST(Scenario, ParsesStatesThatBuildOnEachOther) {
    const char* pszText =
        "# warm-up: two players\r\n"
        "state 3\r\n"
        "set Time Limit = unlimited\r\n"
        "set password =\r\n"
        "player 0 1 10 5 2 80 Ann Smith  \r\n"
        "player 1 2 3 1 4 60 Bob\r\n"
        "\n"
        "state 1\n"
        "  player 2 2 0 0 0 99\n"
        "set numplayers = 7\n"
        "unset tickets1\n"
        "info hostname = Info Name\n"
        "state 2\n"
        "remove 0\n"
        "set numplayers = auto\n"
        "state 1\n"
        "clear players\n";
    CScenario scenario;
    std::string strError;
    ASSERT_TRUE(ParseScenario(pszText, &scenario, &strError)) << strError;
    ASSERT_EQ(scenario.m_vSteps.size(), 4u);
    const CSimState& first = scenario.m_vSteps[0].m_state;
    EXPECT_EQ(scenario.m_vSteps[0].m_nHold, 3);
    EXPECT_EQ(first.GetKey("Time Limit"), "unlimited");
    EXPECT_TRUE(first.HasKey("password"));
    ASSERT_EQ(first.m_vPlayers.size(), 2u);
    EXPECT_EQ(first.m_vPlayers[0], (CSimPlayer{"Ann Smith", 1, 10, 5, 2, 80, ""}));

    const CSimState& second = scenario.m_vSteps[1].m_state;
    EXPECT_EQ(second.GetKey("Time Limit"), "unlimited");  // carried over
    ASSERT_EQ(second.m_vPlayers.size(), 3u);
    EXPECT_EQ(second.m_vPlayers[2], (CSimPlayer{"", 2, 0, 0, 0, 99, ""}));
    EXPECT_FALSE(second.m_bAutoNumPlayers);
    EXPECT_FALSE(second.HasKey("tickets1"));
    EXPECT_EQ(second.m_vInfoExtra.size(), 1u);

    const CSimState& third = scenario.m_vSteps[2].m_state;
    ASSERT_EQ(third.m_vPlayers.size(), 2u);
    EXPECT_EQ(third.m_vPlayers[0].m_strName, "Bob");  // moved down a slot
    EXPECT_TRUE(third.m_bAutoNumPlayers);
    EXPECT_TRUE(scenario.m_vSteps[3].m_state.m_vPlayers.empty());
}

TEST(Scenario, MalformedLinesAreRejectedNamingTheLine) {
    struct Row {
        const char* m_pszText;
        const char* m_pszMessage;  // the start of the expected message
    };
    const Row rows[] = {
        {"# x\nset a = b\n", "line 2: 'set' before the first 'state' line"},
        {"state 1\n\nfly away\n", "line 3: unknown command 'fly'"},
        {"state 0\n", "line 1: 'state' needs"},
        {"state 3 times\n", "line 1: 'state' needs"},
        {"state 1\nplayer 0 1 2 3\n", "line 2: 'player' needs SLOT"},
        {"state 1\nplayer 0 1 0 0 0 5 a\nplayer 2 1 0 0 0 5 b\n",
         "line 3: player slot '2' must be a number from 0 to 1"},
        {"state 1\nplayer 0 1 ten 0 0 5 a\n", "line 2: 'ten' is not a whole number"},
        {"state 1\nplayer 0 1 99999999999 0 0 5 a\n", "line 2: '99999999999' is not"},
        {"state 1\nplayer 0 1 0 0 0 5 a\nremove 1\n",
         "line 3: player slot '1' must be a number from 0 to 0"},
        {"state 1\nunset nosuchkey\n", "line 2: no key 'nosuchkey'"},
        {"state 1\nset hostname My Server\n", "line 2: 'set' needs KEY = VALUE"},
        {"state 1\r\nset hostname = a\\b\r\n", "line 2: a backslash"},
        {"state 1\nclear all\n", "line 2: did you mean 'clear players'"},
        {"# only a comment\n\n", "line 3: the scenario has no 'state' line"},
    };
    for (const Row& row : rows) {
        CScenario scenario;
        scenario.m_vSteps.resize(5);  // must stay untouched on failure
        std::string strError;
        EXPECT_FALSE(ParseScenario(row.m_pszText, &scenario, &strError)) << row.m_pszText;
        EXPECT_EQ(strError.rfind(row.m_pszMessage, 0), 0u) << strError;
        EXPECT_EQ(scenario.m_vSteps.size(), 5u);
    }
}

TEST(Scenario, EachStateServesItsNumberOfStatusRepliesThenTheLastIsHeld) {
    CScenario scenario;
    std::string strError;
    ASSERT_TRUE(ParseScenario(
        "state 2\nset mapname = A\nstate 1\nset mapname = B\nstate 1\nset mapname = C\n", &scenario,
        &strError));
    CSimResponder responder;
    responder.LoadScenario(scenario);
    auto mapOf = [&](const char* pszRequest) {
        return simtest::Find(responder.HandleDatagram(pszRequest), "mapname").value_or("-");
    };
    // Info requests, ignored datagrams and silenced requests use up no state.
    EXPECT_EQ(mapOf("\xff\\status\\"), "A");
    EXPECT_EQ(mapOf("\xff\\info\\"), "A");
    EXPECT_EQ(mapOf("\xff\\players\\"), "-");
    responder.FallSilent(2);
    EXPECT_EQ(mapOf("\xff\\status\\"), "-");
    EXPECT_EQ(mapOf("\\status\\"), "-");
    EXPECT_EQ(mapOf("\\status\\"), "A");
    EXPECT_EQ(mapOf("\xff\\status\\"), "B");
    for (int n = 0; n < 3; ++n) EXPECT_EQ(mapOf("\xff\\status\\"), "C");
    EXPECT_EQ(responder.StatusRequests(), 8);
}
