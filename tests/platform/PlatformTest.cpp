#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#endif

#include <atomic>
#include <csignal>
#include <thread>
#include <vector>

#include "platform/Clock.h"
#include "platform/Gate.h"
#include "platform/Socket.h"
#include "platform/Text.h"
#include "support/Wait.h"
#include "support/Wine.h"

using namespace platform;
using testsupport::WaitUntil;

TEST(HostLookup, DottedAddressResolvesWithoutNetwork) {
    uint32_t nAddr = 0;
    ASSERT_TRUE(LookupHostIPv4("127.0.0.1", &nAddr));
    EXPECT_EQ(nAddr, LoopbackAddress());
    EXPECT_EQ(AddressText(nAddr), "127.0.0.1");
    EXPECT_TRUE(LookupHostIPv4("localhost", &nAddr));
    EXPECT_FALSE(LookupHostIPv4("", &nAddr));
    EXPECT_FALSE(LookupHostIPv4("no..such..host", &nAddr));
    EXPECT_FALSE(LookupHostIPv4(std::string("127.0.0.1\0x", 11), &nAddr));
}

TEST(Udp, OversizedDatagramIsReportedTruncated) {
    CSocket server = CSocket::CreateUdp();
    ASSERT_TRUE(server.Bind(LoopbackAddress(), 0));
    CSocket client = CSocket::CreateUdp();
    ASSERT_TRUE(client.Connect(LoopbackAddress(), server.LocalPort()));
    std::string big(1401, 'x');
    ASSERT_EQ(client.Send(big), 1401);
    ASSERT_EQ(client.Send(big.substr(0, 1400)), 1400);
    char buf[1400];
    bool bTrunc = false;
    ASSERT_EQ(server.WaitReadable(2000), WaitResult::Readable);
    EXPECT_EQ(server.Recv(buf, sizeof buf, &bTrunc), 1400);
    EXPECT_TRUE(bTrunc);
    ASSERT_EQ(server.WaitReadable(2000), WaitResult::Readable);
    EXPECT_EQ(server.Recv(buf, sizeof buf, &bTrunc), 1400);
    EXPECT_FALSE(bTrunc);
    EXPECT_EQ(server.WaitReadable(0), WaitResult::TimedOut);
}

TEST(Udp, ClosedPortIsReportedAsFailedReceive) {
    FR_SKIP_UNDER_WINE("select() does not see a refused UDP port");
    uint16_t nPort;
    {
        CSocket probe = CSocket::CreateUdp();
        ASSERT_TRUE(probe.Bind(LoopbackAddress(), 0));
        nPort = probe.LocalPort();
    }
    CSocket client = CSocket::CreateUdp();
    ASSERT_TRUE(client.Connect(LoopbackAddress(), nPort));
    ASSERT_EQ(client.Send("x", 1), 1);
    ASSERT_EQ(client.WaitReadable(2000), WaitResult::Readable);
    char buf[16];
    EXPECT_EQ(client.Recv(buf, sizeof buf), -1);
}

TEST(Tcp, StreamKeepsBytesAndSendAfterCloseIsQuiet) {
    CSocket listener = CSocket::CreateTcp();
    ASSERT_TRUE(listener.Bind(LoopbackAddress(), 0));
    ASSERT_TRUE(listener.Listen());
    CSocket client = CSocket::CreateTcp();
    ASSERT_TRUE(client.Connect(LoopbackAddress(), listener.LocalPort()));
    CSocket peer = listener.Accept();
    ASSERT_TRUE(peer.IsValid());
    ASSERT_EQ(client.Send("hello world"), 11);
    char buf[64];
    ASSERT_EQ(peer.WaitReadable(2000), WaitResult::Readable);
    // A small capacity must not lose the rest of the stream.
    ASSERT_EQ(peer.Recv(buf, 5), 5);
    ASSERT_EQ(peer.WaitReadable(2000), WaitResult::Readable);
    ASSERT_EQ(peer.Recv(buf + 5, sizeof buf - 5), 6);
    EXPECT_EQ(std::string(buf, 11), "hello world");
    peer.Close();
    // Writing into a connection the peer closed must fail, not raise SIGPIPE.
    int nLast = 0;
    for (int i = 0; i < 50 && nLast >= 0; ++i) nLast = client.Send(std::string(4096, 'y'));
    EXPECT_EQ(nLast, -1);
    ASSERT_EQ(client.WaitReadable(2000), WaitResult::Readable);
}

TEST(TcpConnectWithLimit, ConnectsBlockingOrReportsRefusal) {
    CSocket listener = CSocket::CreateTcp();
    ASSERT_TRUE(listener.Bind(LoopbackAddress(), 0));
    ASSERT_TRUE(listener.Listen());
    CSocket client = CSocket::CreateTcp();
    ASSERT_TRUE(client.Connect(LoopbackAddress(), listener.LocalPort(), 5000));
#ifndef _WIN32  // Windows has no call that tells a socket's blocking mode
    // Back to blocking: the session's reads and sends rely on it.
    EXPECT_EQ(::fcntl(client.Handle(), F_GETFL, 0) & O_NONBLOCK, 0);
#endif
    CSocket peer = listener.Accept();
    ASSERT_TRUE(peer.IsValid());
    ASSERT_EQ(client.Send("ping"), 4);
    char buf[8];
    ASSERT_EQ(peer.WaitReadable(2000), WaitResult::Readable);
    EXPECT_EQ(peer.Recv(buf, sizeof buf), 4);

    uint16_t nClosed = 0;
    {
        CSocket gone = CSocket::CreateTcp();
        ASSERT_TRUE(gone.Bind(LoopbackAddress(), 0));
        nClosed = gone.LocalPort();
    }
    CSocket refused = CSocket::CreateTcp();
    EXPECT_FALSE(refused.Connect(LoopbackAddress(), nClosed, 5000));
    CSocket invalid;
    EXPECT_FALSE(invalid.Connect(LoopbackAddress(), listener.LocalPort(), 5000));
}

// A listener that never accepts, with its queue full: a new connect gets no
// answer at all, as from a server that is down behind a firewall.
TEST(TcpConnectWithLimit, UnansweredConnectGivesUpOrStops) {
    CSocket listener = CSocket::CreateTcp();
    ASSERT_TRUE(listener.Bind(LoopbackAddress(), 0));
    ASSERT_TRUE(listener.Listen(0));
    std::vector<CSocket> fillers;
    bool bUnanswered = false;
    for (int i = 0; i < 16 && !bUnanswered; ++i) {
        CSocket s = CSocket::CreateTcp();
        bUnanswered = !s.Connect(LoopbackAddress(), listener.LocalPort(), 300);
        fillers.push_back(std::move(s));
    }
    ASSERT_TRUE(bUnanswered) << "the queue never filled";

    // A stop before or during the wait ends it, long before the limit.
    CStopSignal stop;
    stop.Stop();
    CSocket early = CSocket::CreateTcp();
    EXPECT_FALSE(early.Connect(LoopbackAddress(), listener.LocalPort(), 60000, &stop));
    stop.Reset();
    std::atomic<bool> bDone{false};
    bool bConnected = true;
    std::thread worker([&] {
        CSocket late = CSocket::CreateTcp();
        bConnected = late.Connect(LoopbackAddress(), listener.LocalPort(), 20000, &stop);
        bDone = true;
    });
    stop.Stop();
    EXPECT_TRUE(WaitUntil([&] { return bDone.load(); }, std::chrono::seconds(10)));
    worker.join();
    EXPECT_FALSE(bConnected);
}

TEST(Clock, ManualClockSleepsWithoutWaitingAndWraps) {
    CManualClock clock(0xFFFFFF00u);
    EXPECT_TRUE(clock.Sleep(30000));
    EXPECT_EQ(clock.GetTickCount(), 0xFFFFFF00u + 30000u);  // wrapped
    EXPECT_EQ(clock.SleptMs(), 30000u);
    CStopSignal stop;
    stop.Stop();
    EXPECT_FALSE(clock.Sleep(1000, &stop));
    EXPECT_EQ(clock.SleptMs(), 30000u);
}

TEST(Clock, StopSignalWakesRealSleeper) {
    CStopSignal stop;
    std::atomic<bool> bReturned{false}, bResult{true};
    std::thread t([&] {
        bResult = SystemClock().Sleep(60000, &stop);
        bReturned = true;
    });
    stop.Stop();
    EXPECT_TRUE(WaitUntil([&] { return bReturned.load(); }));
    t.join();
    EXPECT_FALSE(bResult);
    stop.Reset();
    EXPECT_FALSE(stop.IsStopped());
}

TEST(Gate, HoldsWorkerAtSafePointUntilReleasedOrStopped) {
    CThreadGate gate;
    CStopSignal stop;
    std::atomic<int> nPassed{0};
    gate.Hold();
    std::thread t([&] {
        while (gate.Pass(&stop)) {
            ++nPassed;
            std::this_thread::yield();
        }
    });
    EXPECT_TRUE(WaitUntil([&] { return gate.IsWaiting(); }));
    EXPECT_EQ(nPassed.load(), 0);
    gate.Release();
    EXPECT_TRUE(WaitUntil([&] { return nPassed.load() > 0; }));
    gate.Hold();
    EXPECT_TRUE(WaitUntil([&] { return gate.IsWaiting(); }));
    stop.Stop();  // a held worker ends cleanly when stopped
    t.join();
    EXPECT_FALSE(gate.IsWaiting());
}

TEST(Text, ParseLeadingIntReadsLikeAtoi) {
    struct Row {
        const char* in;
        int32_t out;
    } rows[] = {{"42", 42},
                {"  -7x", -7},
                {"+3", 3},
                {"abc", 0},
                {"", 0},
                {"\t12", 12},
                {"23000", 23000},
                {"- 5", 0},
                {"99999999999", INT32_MAX},
                {"-99999999999", INT32_MIN},
                {"70000", 70000}};
    for (const Row& r : rows) EXPECT_EQ(ParseLeadingInt(r.in), r.out) << r.in;
}

TEST(Text, CodePageRoundTrip) {
    EXPECT_EQ(Cp1252ToUtf8("caf\xE9"), "caf\xC3\xA9");
    EXPECT_EQ(Cp1252ToUtf8("\x80"), "\xE2\x82\xAC");
    EXPECT_EQ(Cp1252ToUtf8("\x9F"), "\xC5\xB8");
    std::string all;
    for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
    EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
    EXPECT_EQ(Utf8ToCp1252("\xE4\xB8\xAD"), "?");  // not in the code page
    EXPECT_EQ(Utf8ToCp1252("a\xFF"
                           "b"),
              "a?b");
    EXPECT_EQ(ToLowerAscii("XPack1\xC9"), "xpack1\xC9");
}
