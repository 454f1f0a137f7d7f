#include "tools/bf42sim/SimServer.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/Text.h"
#include "query/ServerQuery.h"
#include "tests/support/Ipv6Loopback.h"
#include "tests/support/Wait.h"
#include "tests/tools/SimTestSupport.h"

using namespace bf42sim;
using namespace std::string_literals;
using simtest::Find;

namespace {

// A query client on 127.0.0.1; every receive waits at most three seconds.
class CTestClient {
public:
    explicit CTestClient(uint16_t nPort) : m_socket(platform::CSocket::CreateUdp()) {
        m_socket.Connect(platform::LoopbackAddress(nPort));
    }

    void Send(const std::string& str) { m_socket.Send(str); }

    std::optional<std::string> ReceiveOne(size_t nCap = 65536, bool* pTruncated = nullptr) {
        if (m_socket.WaitReadable(3000) != platform::EWaitResult::Readable) return std::nullopt;
        std::string str(nCap, '\0');
        const int n = m_socket.Recv(str.data(), str.size(), pTruncated);
        if (n < 0) return std::nullopt;
        str.resize(std::min(static_cast<size_t>(n), nCap));
        return str;
    }

    // Sends a request and gathers as many datagrams as the closing one's
    // number says, in arrival order; empty when nothing came.
    std::vector<std::string> Ask(const std::string& strRequest) {
        Send(strRequest);
        std::vector<std::string> vReply;
        size_t nExpected = 0;
        while (vReply.size() < 100 && (nExpected == 0 || vReply.size() < nExpected)) {
            auto str = ReceiveOne();
            if (!str) break;
            if (str->find("\\final\\\\queryid\\") != std::string::npos)
                nExpected = static_cast<size_t>(
                    platform::ParseLeadingInt(str->substr(str->rfind('.') + 1)));
            vReply.push_back(*str);
        }
        return vReply;
    }

private:
    platform::CSocket m_socket;
};

CSimState FullServer() {
    CSimState state = DefaultSimState();
    for (int n = 0; n < kMaxPlayers; ++n)
        state.m_vPlayers.push_back(
            {"Soldier " + std::to_string(n), 1 + n % 2, n, n, 0, 50, std::string(32, '0')});
    return state;
}

}  // namespace

TEST(SimServer, AnswersTheFourRequestFormsOverUdpAndIgnoresOthers) {
    CSimServer server;
    server.SetState(FullServer());
    ASSERT_TRUE(server.Start());
    ASSERT_NE(server.Port(), 0);
    CTestClient client(server.Port());
    int nReply = 0;
    for (const std::string& strRequest :
         {"\xff\\status\\"s, "\\status\\"s, "\xff\\info\\"s, "\\info\\"s}) {
        SCOPED_TRACE(strRequest);
        // Junk first: were it answered, its reply would arrive before the real one.
        client.Send("\xff\\players\\");
        client.Send("");
        const auto vReply = client.Ask(strRequest);
        ASSERT_FALSE(vReply.empty());
        EXPECT_EQ(Find(vReply, "queryid"),
                  std::to_string(++nReply) + "." + std::to_string(vReply.size()));
        for (const auto& str : vReply) EXPECT_LE(str.size(), kMaxDatagram);
        EXPECT_EQ(Find(vReply, "numplayers"), "64");
        const bool bStatus = strRequest.find("status") != std::string::npos;
        EXPECT_EQ(Find(vReply, "player_63"),
                  bStatus ? std::optional<std::string>("Soldier 63") : std::nullopt);
    }
    EXPECT_EQ(server.StatusRequests(), 2);
    EXPECT_EQ(server.InfoRequests(), 2);
    EXPECT_TRUE(testsupport::WaitUntil([&] { return server.IgnoredDatagrams() == 8; }));
}

TEST(SimServer, FaultSwitchesActOnTheWire) {
    CSimServer server;
    server.SetState(FullServer());
    ASSERT_TRUE(server.Start());
    CTestClient client(server.Port());

    // Two requests go unanswered: the next reply is the first one sent.
    server.FallSilent(2);
    client.Send("\xff\\status\\");
    client.Send("\\status\\");
    EXPECT_EQ(Find(client.Ask("\xff\\status\\"), "queryid").value_or("").substr(0, 2), "1.");
    EXPECT_EQ(server.SilencedRequests(), 2);

    server.SetOutOfOrder(true);
    const auto vShuffled = client.Ask("\xff\\status\\");
    ASSERT_GT(vShuffled.size(), 1u);
    EXPECT_NE(vShuffled.front().find("\\final\\\\queryid\\"), std::string::npos);
    EXPECT_EQ(vShuffled.back().find("\\final\\"), std::string::npos);
    server.SetOutOfOrder(false);

    // A receive of 1400 bytes sees the oversized datagram cut.
    server.SetOversized(true);
    client.Send("\xff\\status\\");
    bool bTruncated = false;
    ASSERT_TRUE(client.ReceiveOne(1400, &bTruncated).has_value());
    EXPECT_TRUE(bTruncated);
}

TEST(SimServer, LiveMatchIsPacedByItsClockOrByRequests) {
    platform::CManualClock clock(1000);
    CSimServer server(clock);
    server.StartLive(11, 8, 1000);
    ASSERT_TRUE(server.Start());
    CTestClient client(server.Port());
    EXPECT_EQ(server.LiveCounts().m_nSteps, 0);
    clock.Advance(3500);
    EXPECT_TRUE(testsupport::WaitUntil([&] { return server.LiveCounts().m_nSteps == 3; }));
    ASSERT_FALSE(client.Ask("\xff\\status\\").empty());  // the thread has looped again
    EXPECT_EQ(server.LiveCounts().m_nSteps, 3);
    clock.Advance(500);
    EXPECT_TRUE(testsupport::WaitUntil([&] { return server.LiveCounts().m_nSteps == 4; }));

    server.StartLive(11, 8, 0);  // one step per status reply
    for (int n = 0; n < 5; ++n) ASSERT_FALSE(client.Ask("\\status\\").empty());
    ASSERT_FALSE(client.Ask("\\info\\").empty());
    EXPECT_EQ(server.LiveCounts().m_nSteps, 5);
    server.StepLive(2);
    EXPECT_EQ(server.LiveCounts().m_nSteps, 7);
}

TEST(SimServer, StartsOnAFreePortAndReleasesItOnStop) {
    uint16_t nPort = 0;
    {
        CSimServer first, second;
        ASSERT_TRUE(first.Start());
        ASSERT_TRUE(second.Start());
        EXPECT_NE(first.Port(), second.Port());
        std::string strError;
        EXPECT_FALSE(first.Start(0, &strError));  // already running: the thread keeps its socket
        EXPECT_FALSE(strError.empty());
        EXPECT_FALSE(CTestClient(first.Port()).Ask("\\status\\").empty());
        nPort = first.Port();
        first.Stop();
        first.Stop();
    }
    CSimServer again;
    std::string strError;
    EXPECT_TRUE(again.Start(nPort, &strError)) << strError;
    EXPECT_FALSE(CTestClient(again.Port()).Ask("\\status\\").empty());
}

TEST(SimServer, ClientsAndControlCallsRunConcurrently) {
    CSimServer server;
    server.StartLive(3, 32, 0);
    ASSERT_TRUE(server.Start());
    constexpr int kClients = 3, kQueries = 20;
    std::atomic<int> nComplete{0};
    std::vector<std::thread> vThreads;
    for (int c = 0; c < kClients; ++c) {
        vThreads.emplace_back([&] {
            CTestClient client(server.Port());
            for (int n = 0; n < kQueries; ++n)
                if (!client.Ask(n % 2 ? "\\status\\" : "\xff\\info\\").empty()) ++nComplete;
        });
    }
    for (int n = 0; n < 50; ++n) {
        server.SetOutOfOrder(n % 2 == 0);
        server.StepLive(1);
        EXPECT_FALSE(server.CurrentState().m_vPlayers.empty());
    }
    for (auto& t : vThreads) t.join();
    EXPECT_EQ(nComplete.load(), kClients * kQueries);
    EXPECT_EQ(server.StatusRequests() + server.InfoRequests(), kClients * kQueries);
}

// The game query of the bot against the stand-in on ::1: the address as the
// operator types it, the whole reply back.
TEST(SimServer, ServesTheGameQueryOverIpv6) {
    FR_SKIP_WITHOUT_IPV6();
    CSimServer server;
    server.SetState(FullServer());
    std::string strError;
    ASSERT_TRUE(
        server.StartOn(platform::CNetAddress::Loopback(platform::EAddressFamily::IPv6), &strError))
        << strError;
    ASSERT_NE(server.Port(), 0);
    query::CServerQuery query(query::kStatusRequest, query::kStatusRecvFailLimit);
    ASSERT_EQ(query.Open("::1", server.Port()), query::QUERY_OK);
    std::string strReply;
    ASSERT_EQ(query.Exchange(strReply), query::QUERY_OK);
    EXPECT_NE(strReply.find("\\player_63\\Soldier 63\\"), std::string::npos) << strReply;
    EXPECT_EQ(server.StatusRequests(), 1);
}

TEST(SimServer, ServesOnLoopbackOnly) {
    CSimServer server;
    std::string strError;
    platform::CNetAddress elsewhere;
    ASSERT_TRUE(platform::CNetAddress::Parse("192.0.2.1", &elsewhere));
    EXPECT_FALSE(server.StartOn(elsewhere, &strError));
    EXPECT_EQ(strError, "not a loopback address: 192.0.2.1");
    EXPECT_EQ(server.Port(), 0);
}
