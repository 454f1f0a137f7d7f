// Real peers check the stand-in: Debian's qstat must list the players and
// the rules of bf42sim's replies, and the bf42sim program must start, serve
// and stop as its command line says.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "QstatFixture.h"
#include "support/ChildProcess.h"
#include "tools/bf42sim/SimServer.h"

using namespace bf42sim;
using namespace std::chrono_literals;

class QstatPeer : public CQstatFixture {};

// qstat reads the v1.61 style as it reads a real v1.61 server: every player
// listed, the players' keys split across datagrams.
class QstatReads : public CQstatFixture, public ::testing::WithParamInterface<EKeyStyle> {
protected:
    static size_t CountPlayerLines(const std::string& strOut) {
        size_t nLines = 0;
        for (size_t nAt = strOut.find("team#"); nAt != std::string::npos;
             nAt = strOut.find("team#", nAt + 1))
            ++nLines;
        return nLines;
    }
};

TEST_P(QstatReads, ThePlayersAndRulesOfAScriptedServer) {
    CSimServer server;
    std::string strError;
    ASSERT_TRUE(
        server.LoadScenario("state 1\n"
                            "set hostname = Scripted Server\n"
                            "set mapname = berlin\n"
                            "player 0 1 12 10 3 45 Ann Smith\n"
                            "player 1 2 7 7 9 60 Bob\n"
                            "player 2 2 -2 0 1 99 Cid\n",
                            &strError))
        << strError;
    server.SetKeyStyle(GetParam());
    ASSERT_TRUE(server.Start());
    int nExit = -1;
    const std::string strOut = Query(server.Port(), &nExit);
    ASSERT_EQ(nExit, 0) << strOut;
    EXPECT_EQ(strOut.find("no response"), std::string::npos) << strOut;
    for (const char* pszText : {"3/64", "berlin", "Scripted Server", "Ann Smith", "Bob", "Cid"})
        EXPECT_NE(strOut.find(pszText), std::string::npos) << pszText << "\n" << strOut;
    EXPECT_EQ(CountPlayerLines(strOut), 3u) << strOut;
    // The rules in the style's spellings, empty values included.
    const bool bV161 = GetParam() == EKeyStyle::V161;
    for (const char* pszRule :
         {bV161 ? "time_limit=30" : "Time Limit=30", bV161 ? "version=v1.61" : "Version=v1.61",
          "gamemode=openplaying", "password=,", "unpure_mods=,"})
        EXPECT_NE(strOut.find(pszRule), std::string::npos) << pszRule << "\n" << strOut;
    EXPECT_GE(server.StatusRequests(), 1);
}

TEST_P(QstatReads, EveryPlayerOfAFullLiveServerSentInSeveralDatagrams) {
    CSimServer server;
    server.StartLive(9, 64, -1);
    server.StepLive(40);
    server.SetKeyStyle(GetParam());
    ASSERT_TRUE(server.Start());
    int nExit = -1;
    const std::string strOut = Query(server.Port(), &nExit);
    ASSERT_EQ(nExit, 0) << strOut;
    const CSimState state = server.CurrentState();
    EXPECT_NE(strOut.find(std::to_string(state.m_vPlayers.size()) + "/64"), std::string::npos)
        << strOut;
    EXPECT_EQ(CountPlayerLines(strOut), state.m_vPlayers.size()) << strOut;
    EXPECT_NE(strOut.find(state.GetKey("mapname")), std::string::npos) << strOut;
    EXPECT_NE(strOut.find("gamemode=" + state.GetKey("gamemode")), std::string::npos) << strOut;
    // qstat re-encodes names beyond ASCII, so those are left out here.
    for (const CSimPlayer& player : state.m_vPlayers) {
        const bool bAscii =
            std::all_of(player.m_strName.begin(), player.m_strName.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        if (bAscii) {
            EXPECT_NE(strOut.find(player.m_strName), std::string::npos) << player.m_strName;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Styles, QstatReads, ::testing::Values(EKeyStyle::Classic, EKeyStyle::V161),
                         [](const ::testing::TestParamInfo<EKeyStyle>& info) {
                             return info.param == EKeyStyle::V161 ? "V161" : "Classic";
                         });

TEST_F(QstatPeer, ProgramServesALiveMatchAndStopsOnSigterm) {
    testsupport::CChildProcess sim;
    ASSERT_TRUE(sim.Start({BF42SIM_PROGRAM, "--port", "0", "--seed", "4", "--players", "12"}));
    ASSERT_TRUE(sim.ReadUntil("\n", 10s)) << sim.Output();
    const size_t nAt = sim.Output().find("127.0.0.1:");
    ASSERT_NE(nAt, std::string::npos) << sim.Output();
    const int nPort = std::atoi(sim.Output().c_str() + nAt + 10);
    ASSERT_GT(nPort, 0);

    int nExit = -1;
    const std::string strOut = Query(static_cast<uint16_t>(nPort), &nExit);
    EXPECT_EQ(nExit, 0);
    EXPECT_NE(strOut.find("12/64"), std::string::npos) << strOut;

    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.Wait(10s), 0) << sim.Output();
    EXPECT_NE(sim.Output().find("stopped after 1 status"), std::string::npos) << sim.Output();
}

TEST(Bf42simProgram, RejectsAMalformedScenarioNamingTheLine) {
    const std::string strFile = ::testing::TempDir() + "bf42sim_bad_scenario.txt";
    {
        std::ofstream file(strFile);
        file << "# a scenario\nstate 2\nset mapname = wake\nplayer 0 1 2 3\n";
    }
    testsupport::CChildProcess sim;
    ASSERT_TRUE(sim.Start({BF42SIM_PROGRAM, "--port", "0", "--scenario", strFile}));
    EXPECT_EQ(sim.Wait(10s), 2) << sim.Output();
    EXPECT_NE(sim.Output().find("line 4: "), std::string::npos) << sim.Output();
    std::remove(strFile.c_str());
}

TEST(Bf42simProgram, HelpDescribesTheOptionsAndTheScenarioFormat) {
    testsupport::CChildProcess sim;
    ASSERT_TRUE(sim.Start({BF42SIM_PROGRAM, "--help"}));
    EXPECT_EQ(sim.Wait(10s), 0);
    for (const char* pszWord : {"--port", "--scenario", "--seed", "--players", "--silent-after",
                                "--oversized", "--out-of-order", "state N", "player SLOT"})
        EXPECT_NE(sim.Output().find(pszWord), std::string::npos) << pszWord;
}
