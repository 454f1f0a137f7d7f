#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#endif

#include <atomic>
#include <chrono>
#include <csignal>
#include <string>
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

TEST(Udp, OversizedDatagramIsReportedTruncated) {
    CSocket server = CSocket::CreateUdp();
    ASSERT_TRUE(server.Bind(LoopbackAddress()));
    CSocket client = CSocket::CreateUdp();
    ASSERT_TRUE(client.Connect(LoopbackAddress(server.LocalPort())));
    std::string big(1401, 'x');
    ASSERT_EQ(client.Send(big), 1401);
    ASSERT_EQ(client.Send(big.substr(0, 1400)), 1400);
    char buf[1400];
    bool bTrunc = false;
    ASSERT_EQ(server.WaitReadable(2000), EWaitResult::Readable);
    EXPECT_EQ(server.Recv(buf, sizeof buf, &bTrunc), 1400);
    EXPECT_TRUE(bTrunc);
    ASSERT_EQ(server.WaitReadable(2000), EWaitResult::Readable);
    EXPECT_EQ(server.Recv(buf, sizeof buf, &bTrunc), 1400);
    EXPECT_FALSE(bTrunc);
    EXPECT_EQ(server.WaitReadable(0), EWaitResult::TimedOut);
}

TEST(Udp, ClosedPortIsReportedAsFailedReceive) {
    FR_SKIP_UNDER_WINE("select() does not see a refused UDP port");
    uint16_t nPort;
    {
        CSocket probe = CSocket::CreateUdp();
        ASSERT_TRUE(probe.Bind(LoopbackAddress()));
        nPort = probe.LocalPort();
    }
    CSocket client = CSocket::CreateUdp();
    ASSERT_TRUE(client.Connect(LoopbackAddress(nPort)));
    ASSERT_EQ(client.Send("x", 1), 1);
    ASSERT_EQ(client.WaitReadable(2000), EWaitResult::Readable);
    char buf[16];
    EXPECT_EQ(client.Recv(buf, sizeof buf), -1);
}

TEST(Tcp, StreamKeepsBytesAndSendAfterCloseIsQuiet) {
    CSocket listener = CSocket::CreateTcp();
    ASSERT_TRUE(listener.Bind(LoopbackAddress()));
    ASSERT_TRUE(listener.Listen());
    CSocket client = CSocket::CreateTcp();
    ASSERT_TRUE(client.Connect(LoopbackAddress(listener.LocalPort())));
    CSocket peer = listener.Accept();
    ASSERT_TRUE(peer.IsValid());
    ASSERT_EQ(client.Send("hello world"), 11);
    char buf[64];
    ASSERT_EQ(peer.WaitReadable(2000), EWaitResult::Readable);
    // A small capacity must not lose the rest of the stream.
    ASSERT_EQ(peer.Recv(buf, 5), 5);
    ASSERT_EQ(peer.WaitReadable(2000), EWaitResult::Readable);
    ASSERT_EQ(peer.Recv(buf + 5, sizeof buf - 5), 6);
    EXPECT_EQ(std::string(buf, 11), "hello world");
    peer.Close();
    // Writing into a connection the peer closed must fail, not raise SIGPIPE.
    int nLast = 0;
    for (int i = 0; i < 50 && nLast >= 0; ++i) nLast = client.Send(std::string(4096, 'y'));
    EXPECT_EQ(nLast, -1);
    ASSERT_EQ(client.WaitReadable(2000), EWaitResult::Readable);
}

TEST(TcpConnectWithLimit, ConnectsBlockingOrReportsRefusal) {
    CSocket listener = CSocket::CreateTcp();
    ASSERT_TRUE(listener.Bind(LoopbackAddress()));
    ASSERT_TRUE(listener.Listen());
    CSocket client = CSocket::CreateTcp();
    ASSERT_TRUE(client.Connect(LoopbackAddress(listener.LocalPort()), 5000));
#ifndef _WIN32  // Windows has no call that tells a socket's blocking mode
    // Back to blocking: the session's reads and sends rely on it.
    EXPECT_EQ(::fcntl(client.Handle(), F_GETFL, 0) & O_NONBLOCK, 0);
#endif
    CSocket peer = listener.Accept();
    ASSERT_TRUE(peer.IsValid());
    ASSERT_EQ(client.Send("ping"), 4);
    char buf[8];
    ASSERT_EQ(peer.WaitReadable(2000), EWaitResult::Readable);
    EXPECT_EQ(peer.Recv(buf, sizeof buf), 4);

    uint16_t nClosed = 0;
    {
        CSocket gone = CSocket::CreateTcp();
        ASSERT_TRUE(gone.Bind(LoopbackAddress()));
        nClosed = gone.LocalPort();
    }
    CSocket refused = CSocket::CreateTcp();
    EXPECT_FALSE(refused.Connect(LoopbackAddress(nClosed), 5000));
    CSocket invalid;
    EXPECT_FALSE(invalid.Connect(LoopbackAddress(listener.LocalPort()), 5000));
}

// A listener that never accepts, with its queue full: a new connect gets no
// answer at all, as from a server that is down behind a firewall.
TEST(TcpConnectWithLimit, UnansweredConnectGivesUpOrStops) {
    CSocket listener = CSocket::CreateTcp();
    ASSERT_TRUE(listener.Bind(LoopbackAddress()));
    ASSERT_TRUE(listener.Listen(0));
    std::vector<CSocket> fillers;
    bool bUnanswered = false;
    for (int i = 0; i < 16 && !bUnanswered; ++i) {
        CSocket s = CSocket::CreateTcp();
        bUnanswered = !s.Connect(LoopbackAddress(listener.LocalPort()), 300);
        fillers.push_back(std::move(s));
    }
    ASSERT_TRUE(bUnanswered) << "the queue never filled";

    // A stop before or during the wait ends it, long before the limit.
    CStopSignal stop;
    stop.Stop();
    CSocket early = CSocket::CreateTcp();
    EXPECT_FALSE(early.Connect(LoopbackAddress(listener.LocalPort()), 60000, &stop));
    stop.Reset();
    std::atomic<bool> bDone{false};
    bool bConnected = true;
    std::thread worker([&] {
        CSocket late = CSocket::CreateTcp();
        bConnected = late.Connect(LoopbackAddress(listener.LocalPort()), 20000, &stop);
        bDone = true;
    });
    stop.Stop();
    EXPECT_TRUE(WaitUntil([&] { return bDone.load(); }, std::chrono::seconds(10)));
    worker.join();
    EXPECT_FALSE(bConnected);
}

// ---- Waking a thread that waits for a socket: the IRC loop sleeps until
// its next deadline, and another thread can wake it without touching the
// connection.
TEST(SocketWake, AWakeEndsTheWaitAndDataStillShows) {
    CSocket listener = CSocket::CreateTcp();
    ASSERT_TRUE(listener.Bind(LoopbackAddress()));
    ASSERT_TRUE(listener.Listen());
    CSocket client = CSocket::CreateTcp();
    ASSERT_TRUE(client.Connect(LoopbackAddress(listener.LocalPort())));
    CSocket peer = listener.Accept();
    ASSERT_TRUE(peer.IsValid());
    CSocketWake wake;
    ASSERT_TRUE(wake.IsValid());

    // Nothing there and no wake: the time runs out.
    EXPECT_EQ(WaitReadableOrWoken(client.Handle(), wake, 20), EWaitResult::TimedOut);
    // A wake given before the wait ends it at once, and is taken by it.
    wake.Wake();
    wake.Wake();
    EXPECT_EQ(WaitReadableOrWoken(client.Handle(), wake, 60000), EWaitResult::TimedOut);
    EXPECT_EQ(WaitReadableOrWoken(client.Handle(), wake, 20), EWaitResult::TimedOut);
    // A wake from another thread ends a long wait.
    std::atomic<bool> bDone{false};
    std::thread waiter([&] {
        WaitReadableOrWoken(client.Handle(), wake, 60000);
        bDone = true;
    });
    wake.Wake();
    EXPECT_TRUE(WaitUntil([&] { return bDone.load(); }, std::chrono::seconds(10)));
    waiter.join();
    // Bytes show as readable, and so does the end of the stream.
    ASSERT_EQ(peer.Send("x", 1), 1);
    EXPECT_EQ(WaitReadableOrWoken(client.Handle(), wake, 60000), EWaitResult::Readable);
    char c = 0;
    EXPECT_EQ(client.Recv(&c, 1), 1);
    peer.Close();
    EXPECT_EQ(WaitReadableOrWoken(client.Handle(), wake, 60000), EWaitResult::Readable);
    EXPECT_EQ(WaitReadableOrWoken(kNoSocket, wake, 0), EWaitResult::Failed);
}

// ---- Sends that never wait: what the IRC writer thread is built on.

namespace {

// A connected pair on 127.0.0.1; the client's send buffer capped as the IRC
// session caps it, before connecting.
struct CTcpPair {
    CTcpPair() {
        m_listener = CSocket::CreateTcp();
        m_client = CSocket::CreateTcp();
        m_bCapped = m_client.SetSendBuffer(16384);
        if (m_listener.Bind(LoopbackAddress()) && m_listener.Listen() &&
            m_client.Connect(LoopbackAddress(m_listener.LocalPort())))
            m_peer = m_listener.Accept();
    }
    CSocket m_listener, m_client, m_peer;
    bool m_bCapped = false;
};

// Byte i of the stream the tests send: a pattern with no short period, so
// that a lost, doubled or reordered chunk shows.
char StreamByte(size_t i) {
    return static_cast<char>((i % 251) ^ (i / 251 % 256));
}

}  // namespace

TEST(TcpSendNow, FillsWithoutAWaitWhenThePeerStopsReadingAndLosesNoByte) {
    CTcpPair pair;
    ASSERT_TRUE(pair.m_peer.IsValid());
    ASSERT_TRUE(pair.m_bCapped);
    EXPECT_TRUE(pair.m_client.WaitWritable(2000));

    // The peer reads nothing. The client sends as the IRC writer does: what
    // the connection takes, then a wait for room, until no room comes. On
    // another thread, so that a send that waits after all fails the test
    // instead of hanging it.
    constexpr size_t kChunk = 4096;
    constexpr size_t kMaxBytes = size_t{64} << 20;
    size_t nTaken = 0;
    int nFull = 0;
    bool bFailed = false;
    bool bStuck = false;
    std::atomic<bool> bDone{false};
    std::thread filler([&] {
        char chunk[kChunk];
        for (int i = 0; i < 1000000 && nTaken < kMaxBytes && !bFailed && !bStuck; ++i) {
            for (size_t j = 0; j < kChunk; ++j) chunk[j] = StreamByte(nTaken + j);
            const int n = pair.m_client.SendNow(chunk, kChunk);
            bFailed = n < 0;
            if (n > 0) nTaken += static_cast<size_t>(n);
            if (n == 0) {
                ++nFull;
                bStuck = !pair.m_client.WaitWritable(300);
            }
        }
        bDone = true;
    });
    const bool bReturned = WaitUntil([&] { return bDone.load(); }, std::chrono::seconds(30));
    if (!bReturned) pair.m_client.Shutdown();  // ends a send that waits
    filler.join();
    ASSERT_TRUE(bReturned) << "SendNow waited for a peer that does not read";
    ASSERT_FALSE(bFailed) << "a full connection is no failure";
    ASSERT_TRUE(bStuck) << nTaken << " bytes taken, full " << nFull << " times";
    // Kilobytes, not megabytes: so a peer that stopped reading is noticed soon.
    EXPECT_LT(nTaken, size_t{4} << 20);

    // Once the peer reads, sends go on, and it gets every byte in order.
    std::string strGot;
    char buf[8192];
    while (strGot.size() < nTaken && pair.m_peer.WaitReadable(5000) == EWaitResult::Readable) {
        const int n = pair.m_peer.Recv(buf, sizeof buf);
        if (n <= 0) break;
        strGot.append(buf, static_cast<size_t>(n));
    }
    ASSERT_EQ(strGot.size(), nTaken);
    for (size_t i = 0; i < nTaken; ++i) ASSERT_EQ(strGot[i], StreamByte(i)) << "byte " << i;
    EXPECT_TRUE(pair.m_client.WaitWritable(5000));
    EXPECT_EQ(pair.m_client.SendNow("more", 4), 4);
}

TEST(TcpSendNow, FailsOnAClosedConnectionOrSocketAndBadBufferSizesAreRefused) {
    CTcpPair pair;
    ASSERT_TRUE(pair.m_peer.IsValid());
    pair.m_peer.Close();
    // The first sends may still be taken; the reset after them is a failure,
    // never a wait or SIGPIPE.
    int nLast = 0;
    for (int i = 0; i < 50 && nLast >= 0; ++i) nLast = pair.m_client.SendNow("x", 1);
    EXPECT_EQ(nLast, -1);
    // Ready, so that the writer's next send reports the failure at once.
    EXPECT_TRUE(pair.m_client.WaitWritable(2000));

    EXPECT_FALSE(pair.m_client.SetSendBuffer(0));
    EXPECT_FALSE(pair.m_client.SetSendBuffer(-1));
    CSocket none;
    EXPECT_EQ(none.SendNow("x", 1), -1);
    EXPECT_TRUE(none.WaitWritable(2000));
    EXPECT_FALSE(none.SetSendBuffer(16384));
}

// The IRC session writes with SendNow on its writer thread while the IRC
// thread receives: neither may disturb the other, even a receive that
// starts while a send is under way.
TEST(TcpSendNow, AReceiveOnAnotherThreadGoesOnUndisturbed) {
    CTcpPair pair;
    ASSERT_TRUE(pair.m_peer.IsValid());
    constexpr size_t kBytes = 200;
    std::string strGot;
    std::atomic<size_t> nGot{0};
    std::atomic<bool> bFailed{false};
    std::atomic<bool> bDone{false};
    std::thread reader([&] {
        char c = 0;
        while (strGot.size() < kBytes) {
            // Blocking, without waiting for readability first: the worst case.
            if (pair.m_client.Recv(&c, 1) != 1) {
                bFailed = true;
                break;
            }
            strGot += c;
            nGot = strGot.size();
        }
        bDone = true;
    });
    std::thread writer([&] {
        for (int i = 0; i < 1000000 && !bDone.load(); ++i) pair.m_client.SendNow("w", 1);
    });
    // One byte at a time, the next once the last arrived, so the reader
    // mostly waits on an empty connection while the writer sends.
    for (size_t i = 0; i < kBytes && !bFailed.load(); ++i) {
        const char c = StreamByte(i);
        ASSERT_EQ(pair.m_peer.Send(&c, 1), 1);
        if (!WaitUntil([&] { return nGot.load() > i || bFailed.load(); }, std::chrono::seconds(10)))
            break;
    }
    pair.m_peer.Shutdown();  // ends a reader that would still wait
    reader.join();
    bDone = true;
    writer.join();
    EXPECT_FALSE(bFailed.load()) << "a receive failed after " << strGot.size() << " bytes";
    ASSERT_EQ(strGot.size(), kBytes);
    for (size_t i = 0; i < kBytes; ++i) EXPECT_EQ(strGot[i], StreamByte(i)) << "byte " << i;
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
        const char* m_in;
        int32_t m_out;
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
    for (const Row& r : rows) EXPECT_EQ(ParseLeadingInt(r.m_in), r.m_out) << r.m_in;
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
