#include "tools/bf42sim/SimServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/Text.h"
#include "tests/support/Wait.h"
#include "tests/tools/SimTestSupport.h"

using namespace bf42sim;
using namespace std::string_literals;
using simtest::Find;
using simtest::Joined;
using simtest::ReadPairs;

namespace {

// A query client on 127.0.0.1 for the fixture's tests.
class CTestClient {
public:
    explicit CTestClient(uint16_t nPort) : m_socket(platform::CSocket::CreateUdp()) {
        m_socket.Connect(platform::LoopbackAddress(), nPort);
    }

    void Send(const std::string& str) { m_socket.Send(str); }

    // One datagram, or nullopt when none came before the deadline.
    std::optional<std::string> ReceiveOne(int nTimeoutMs = 3000, size_t nCap = 65536,
                                          bool* pTruncated = nullptr) {
        if (m_socket.WaitReadable(nTimeoutMs) != platform::WaitResult::Readable)
            return std::nullopt;
        std::string str(nCap, '\0');
        const int n = m_socket.Recv(str.data(), str.size(), pTruncated);
        if (n < 0) return std::nullopt;
        str.resize(std::min(static_cast<size_t>(n), nCap));
        return str;
    }

    // Datagrams up to the whole reply: as many as the closing datagram's
    // number says, in arrival order. Empty when nothing came in time.
    std::vector<std::string> ReceiveReply(int nTimeoutMs = 3000) {
        std::vector<std::string> vDatagrams;
        size_t nExpected = 0;
        for (int nGuard = 0; nGuard < 200; ++nGuard) {
            auto str = ReceiveOne(nTimeoutMs);
            if (!str) break;
            vDatagrams.push_back(*str);
            if (str->find("\\final\\\\queryid\\") != std::string::npos)
                nExpected = static_cast<size_t>(
                    platform::ParseLeadingInt(str->substr(str->rfind('.') + 1)));
            if (nExpected > 0 && vDatagrams.size() >= nExpected) break;
        }
        return vDatagrams;
    }

    std::vector<std::string> Ask(const std::string& strRequest) {
        Send(strRequest);
        return ReceiveReply();
    }

private:
    platform::CSocket m_socket;
};

std::string QueryIdOf(const std::vector<std::string>& vReply) {
    return Find(ReadPairs(Joined(vReply)), "queryid").value_or("");
}

CSimState FullServer() {
    CSimState state = DefaultSimState();
    for (int n = 0; n < kMaxPlayers; ++n) {
        CSimPlayer p;
        p.m_strName = "Soldier " + std::to_string(n);
        p.m_nTeam = 1 + n % 2;
        p.m_strKeyHash = std::string(32, '0');
        state.m_vPlayers.push_back(p);
    }
    return state;
}

}  // namespace

TEST(SimServer, AnswersTheFourRequestFormsOverUdpAndIgnoresOthers) {
    CSimServer server;
    ASSERT_TRUE(server.Start());
    ASSERT_NE(server.Port(), 0);
    CTestClient client(server.Port());

    struct Row {
        const char* pszName;
        std::string strRequest;
        const char* pszKey;  // a key only that reply carries
    };
    const Row rows[] = {
        {"status", "\xff\\status\\"s, "Time Limit"},
        {"bare status", "\\status\\"s, "Time Limit"},
        {"info", "\xff\\info\\"s, "version"},
        {"bare info", "\\info\\"s, "version"},
    };
    int nRow = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.pszName);
        // Junk first: were it answered, its reply would arrive before the real one.
        client.Send("\xff\\players\\"s);
        client.Send(""s);
        const auto vReply = client.Ask(row.strRequest);
        ASSERT_EQ(vReply.size(), 1u);
        EXPECT_EQ(QueryIdOf(vReply), std::to_string(++nRow) + ".1");
        EXPECT_TRUE(Find(ReadPairs(vReply[0]), row.pszKey).has_value());
    }
    EXPECT_EQ(server.StatusRequests(), 2);
    EXPECT_EQ(server.InfoRequests(), 2);
    EXPECT_TRUE(testsupport::WaitUntil([&] { return server.IgnoredDatagrams() == 8; }));
}

TEST(SimServer, FullServerReplyArrivesWholeInDatagramsOfAtMost1400) {
    CSimServer server;
    server.SetState(FullServer());
    ASSERT_TRUE(server.Start());
    CTestClient client(server.Port());
    const auto vReply = client.Ask("\xff\\status\\");
    ASSERT_GT(vReply.size(), 1u);
    for (const auto& str : vReply) EXPECT_LE(str.size(), 1400u);
    const auto vPairs = ReadPairs(Joined(vReply));
    EXPECT_EQ(Find(vPairs, "numplayers"), "64");
    EXPECT_EQ(Find(vPairs, "player_63"), "Soldier 63");
}

TEST(SimServer, FaultSwitchesActOnTheWire) {
    CSimServer server;
    server.SetState(FullServer());
    ASSERT_TRUE(server.Start());
    CTestClient client(server.Port());

    // Silence: two requests go unanswered; the next reply is the first one sent.
    server.FallSilent(2);
    client.Send("\xff\\status\\");
    client.Send("\\status\\");
    EXPECT_EQ(QueryIdOf(client.Ask("\xff\\status\\")).substr(0, 2), "1.");
    EXPECT_EQ(server.SilencedRequests(), 2);

    // Out of order: the closing datagram comes first.
    server.SetOutOfOrder(true);
    const auto vShuffled = client.Ask("\xff\\status\\");
    ASSERT_GT(vShuffled.size(), 1u);
    EXPECT_NE(vShuffled.front().find("\\final\\\\queryid\\"), std::string::npos);
    EXPECT_EQ(vShuffled.back().find("\\final\\"), std::string::npos);
    server.SetOutOfOrder(false);

    // Oversized: a receive of 1400 bytes sees the datagram cut.
    server.SetOversized(true);
    client.Send("\xff\\status\\");
    bool bTruncated = false;
    ASSERT_TRUE(client.ReceiveOne(3000, 1400, &bTruncated).has_value());
    EXPECT_TRUE(bTruncated);
    server.SetOversized(false);

    server.SetSilentAfter(1, 1);
    EXPECT_FALSE(client.Ask("\xff\\info\\").empty());
    client.Send("\xff\\info\\");  // the silenced one
    const auto vAfter = client.Ask("\xff\\info\\");
    ASSERT_FALSE(vAfter.empty());
    EXPECT_EQ(server.SilencedRequests(), 3);
}

TEST(SimServer, ScenarioAndStateReplacementReachTheWire) {
    CSimServer server;
    std::string strError;
    EXPECT_FALSE(server.LoadScenario("state 1\nplayer 5 1 0 0 0 1 x\n", &strError));
    EXPECT_EQ(strError.rfind("line 2: ", 0), 0u) << strError;
    ASSERT_TRUE(
        server.LoadScenario("state 1\nset mapname = one\nstate 1\nset mapname = two\n", &strError))
        << strError;
    ASSERT_TRUE(server.Start());
    CTestClient client(server.Port());
    EXPECT_EQ(Find(ReadPairs(Joined(client.Ask("\\status\\"))), "mapname"), "one");
    EXPECT_EQ(Find(ReadPairs(Joined(client.Ask("\\status\\"))), "mapname"), "two");

    CSimState state = server.CurrentState();
    state.SetKey("mapname", "three");
    server.SetState(state);
    EXPECT_EQ(Find(ReadPairs(Joined(client.Ask("\\status\\"))), "mapname"), "three");
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
        EXPECT_FALSE(first.Start(0, &strError));
        EXPECT_FALSE(strError.empty());
        nPort = first.Port();
        first.Stop();
        first.Stop();  // twice is harmless
    }
    CSimServer again;
    std::string strError;
    EXPECT_TRUE(again.Start(nPort, &strError)) << strError;
    CTestClient client(again.Port());
    EXPECT_FALSE(client.Ask("\\status\\").empty());
}

TEST(SimServer, ClientsAndControlCallsRunConcurrently) {
    CSimServer server;
    server.StartLive(3, 32, 0);
    ASSERT_TRUE(server.Start());
    constexpr int kClients = 3;
    constexpr int kQueries = 20;
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
        (void)server.CurrentState();
        server.StepLive(1);
    }
    for (auto& t : vThreads) t.join();
    EXPECT_EQ(nComplete.load(), kClients * kQueries);
    EXPECT_EQ(server.StatusRequests() + server.InfoRequests(), kClients * kQueries);
}
