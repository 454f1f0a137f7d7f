// Debian's qstat reads bf42sim's v1.61 style as it reads a real v1.61
// server: every player listed, the players' keys split across datagrams.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "QstatFixture.h"
#include "tools/bf42sim/SimServer.h"

using namespace bf42sim;
using namespace std::chrono_literals;

namespace {

class QstatV161 : public CQstatFixture {
protected:
    static size_t CountPlayerLines(const std::string& strOut) {
        size_t nLines = 0;
        for (size_t nAt = strOut.find("team#"); nAt != std::string::npos;
             nAt = strOut.find("team#", nAt + 1))
            ++nLines;
        return nLines;
    }
};

TEST_F(QstatV161, ListsThePlayersOfAScriptedServer) {
    CSimServer server;
    std::string strError;
    ASSERT_TRUE(
        server.LoadScenario("state 1\n"
                            "set hostname = Modern Server\n"
                            "set mapname = berlin\n"
                            "player 0 1 12 10 3 45 Ann Smith\n"
                            "player 1 2 7 7 9 60 Bob\n"
                            "player 2 2 -2 0 1 99 Cid\n",
                            &strError))
        << strError;
    server.SetKeyStyle(KeyStyle::V161);
    ASSERT_TRUE(server.Start());
    int nExit = -1;
    const std::string strOut = Query(server.Port(), &nExit);
    ASSERT_EQ(nExit, 0) << strOut;
    EXPECT_EQ(strOut.find("no response"), std::string::npos) << strOut;
    for (const char* pszText : {"3/64", "berlin", "Modern Server", "Ann Smith", "Bob", "Cid",
                                "time_limit=30", "version=v1.61", "unpure_mods=,"})
        EXPECT_NE(strOut.find(pszText), std::string::npos) << pszText << "\n" << strOut;
    EXPECT_EQ(CountPlayerLines(strOut), 3u) << strOut;
}

TEST_F(QstatV161, ListsEveryPlayerOfAFullLiveServer) {
    CSimServer server;
    server.StartLive(9, 64, -1);
    server.StepLive(40);
    server.SetKeyStyle(KeyStyle::V161);
    ASSERT_TRUE(server.Start());
    int nExit = -1;
    const std::string strOut = Query(server.Port(), &nExit);
    ASSERT_EQ(nExit, 0) << strOut;
    const CSimState state = server.CurrentState();
    EXPECT_NE(strOut.find(std::to_string(state.m_vPlayers.size()) + "/64"), std::string::npos)
        << strOut;
    EXPECT_EQ(CountPlayerLines(strOut), state.m_vPlayers.size()) << strOut;
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

}  // namespace
