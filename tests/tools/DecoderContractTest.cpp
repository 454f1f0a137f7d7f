// The bot's own decoder reads the stand-in's replies: every server value it
// needs arrives under the spelling it reads, and a live match moves the
// players' totals in the ways its change codes tell apart.
#include <gtest/gtest.h>

#include <map>

#include "monitor/StatusReply.h"
#include "tests/tools/SimTestSupport.h"
#include "tools/bf42sim/SimResponder.h"

using namespace bf42sim;

TEST(DecoderContract, LiveMatchDecodesIntoTheChangeCodesOfEveryEventKind) {
    CSimResponder responder;
    responder.StartLive(2, 24, true);  // one step per status reply
    monitor::CServerStatus status;
    monitor::PlayerTable previous{}, current{};
    std::map<std::string, int> codes;
    for (int n = 0; n < 2000; ++n) {
        const CSimState state = responder.CurrentState();
        monitor::ParseStatusReply(simtest::Joined(responder.HandleDatagram("\xff\\status\\")),
                                  status, current);
        const CSimState now = responder.CurrentState();
        ASSERT_EQ(status.m_nNumPlayers, static_cast<int>(now.m_vPlayers.size()));
        ASSERT_EQ(status.m_strGameMode, now.GetKey("gamemode"));
        ASSERT_EQ(status.m_strTimeLimit, now.GetKey("Time Limit"));
        ASSERT_EQ(status.m_strTickets2, now.GetKey("tickets2"));
        // Only polls where nobody came or went and the map stayed compare slot by slot.
        if (n > 0 && state.m_vPlayers.size() == now.m_vPlayers.size() &&
            state.GetKey("mapname") == now.GetKey("mapname")) {
            for (int s = 0; s < status.m_nNumPlayers; ++s) {
                if (state.m_vPlayers[s].m_strName == now.m_vPlayers[s].m_strName)
                    ++codes[previous[s].ChangeCode(current[s])];
            }
        }
        previous = current;
    }
    EXPECT_EQ(status.m_strServerVersion, "v1.61");
    EXPECT_EQ(status.m_nHostPort, 14567);
    EXPECT_EQ(status.m_strGameStartDelay, "8s");
    EXPECT_EQ(status.m_strTicketRatio, "100%");
    // kill, death, suicide, teamkill, flag capture, and no change
    for (const char* pszCode : {"110", "001", "301", "300", "200", "000"})
        EXPECT_GT(codes[pszCode], 0) << pszCode;
    EXPECT_EQ(codes.size(), 6u) << "no other change between two polls";
}
