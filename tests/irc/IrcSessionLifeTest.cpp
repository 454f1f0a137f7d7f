// The session as its owner sees it: Open never waits for the network, the
// threads name themselves, the IRC loop sleeps until its next deadline (its
// heartbeat says how long) and a Disconnect wakes it, the figures, and the
// life of the channel's requests.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "irc/IrcSession.h"
#include "platform/Clock.h"
#include "platform/Heartbeat.h"
#include "platform/Socket.h"
#include "support/RecordingIrcSession.h"
#include "support/ScriptedTcpServer.h"
#include "support/Wait.h"

using testsupport::CRecordingIrcSession;
using testsupport::CScriptedTcpServer;
using testsupport::WaitUntil;
using Lines = std::vector<std::string>;

namespace {

// The names of this process's threads, as top -H shows them.
Lines ThreadNames() {
    Lines names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task", error)) {
        std::ifstream comm(entry.path() / "comm");
        std::string strName;
        if (std::getline(comm, strName)) names.push_back(strName);
    }
    return names;
}

#ifdef __linux__
// The process's resident memory in kB, 0 where the system has no /proc.
long ResidentKb() {
    std::ifstream status("/proc/self/status");
    for (std::string strLine; std::getline(status, strLine);)
        if (strLine.rfind("VmRSS:", 0) == 0) return std::stol(strLine.substr(6));
    return 0;
}

// True when the process has a shared library of this name mapped.
bool HasLibrary(const std::string& strName) {
    std::ifstream maps("/proc/self/maps");
    for (std::string strLine; std::getline(maps, strLine);)
        if (strLine.find("/" + strName) != std::string::npos) return true;
    return false;
}
#endif

bool HasThread(const std::string& strName) {
    const Lines names = ThreadNames();
    return std::find(names.begin(), names.end(), strName) != names.end();
}

// A session on the real clock with a heartbeat, against a scripted server.
class SessionLife : public ::testing::Test {
protected:
    SessionLife() { m_session.Configure("127.0.0.1", m_server.Port(), "Bot", "Bot2", "#Chan"); }
    ~SessionLife() override { m_session.EndIrcThread(); }

    void Register() {
        ASSERT_TRUE(m_server.WaitForLine(0, "USER bf1942 * * :v1.3 BETA"));
        ASSERT_TRUE(m_server.Send(0, ":srv 376 Bot :End of MOTD\r\n"));
        ASSERT_TRUE(m_server.WaitForLine(0, "JOIN #Chan"));
        ASSERT_TRUE(m_server.Send(0, ":Bot!b@h JOIN :#Chan\r\n"));
        ASSERT_TRUE(WaitUntil([&] { return m_session.IsInChannel(); }));
    }
    // The loop's last beat promised the next one no sooner than nMs from now.
    bool PromisesAtLeast(uint32_t nMs) {
        return m_beat.IsHealthy(platform::SystemClock().GetTickCount() + nMs, 0);
    }

    platform::CHeartbeat m_beat;
    CScriptedTcpServer m_server;
    CRecordingIrcSession m_session{platform::SystemClock(), m_beat};
};

TEST_F(SessionLife, TheThreadsNameThemselves) {
#ifndef __linux__
    GTEST_SKIP() << "thread names are read from /proc";
#endif
    m_session.OpenSession();
    Register();
    EXPECT_TRUE(HasThread("irc")) << testing::PrintToString(ThreadNames());
    EXPECT_TRUE(HasThread("irc-send")) << testing::PrintToString(ThreadNames());
    m_session.EndIrcThread();
    EXPECT_FALSE(HasThread("irc"));
    EXPECT_FALSE(HasThread("irc-send"));
}

// Regression: the receive loop woke every 100 ms whatever it waited for.
// Now it sleeps until its next deadline, and a Disconnect wakes it for the
// close limit.
TEST_F(SessionLife, TheLoopSleepsUntilItsNextDeadlineAndDisconnectWakesIt) {
    EXPECT_TRUE(m_beat.IsHealthy(0, 0)) << "no loop yet: nothing to watch";
    m_session.OpenSession();
    Register();
    // In the channel and quiet: the next thing to do is the bot's own PING.
    ASSERT_TRUE(WaitUntil([&] { return PromisesAtLeast(irc::CIrcConnection::kQuietMs - 10000); }));
    EXPECT_FALSE(PromisesAtLeast(irc::CIrcConnection::kQuietMs + 1000));
    // The server takes the QUIT and keeps the link open: the loop now waits
    // for the close limit, not for the PING.
    m_session.Disconnect();
    ASSERT_TRUE(m_server.WaitForLine(0, "QUIT :v1.3 BETA /// Battlefield 1942 to IRC relay"));
    ASSERT_TRUE(
        WaitUntil([&] { return !PromisesAtLeast(irc::CIrcConnection::kCloseLimitMs + 1000); }));
    EXPECT_TRUE(m_session.IsIrcThreadRunning());
    m_session.EndIrcThread();
    EXPECT_TRUE(m_beat.IsHealthy(platform::SystemClock().GetTickCount() + 3600000, 0))
        << "no loop runs: idle";
}

// The TLS library is set up by the first TLS connection, never before: a
// bot without TLS does not pay for it.
TEST_F(SessionLife, APlainTextSessionNeverLoadsTheTlsLibrary) {
#ifndef __linux__
    GTEST_SKIP() << "the mapped libraries are read from /proc";
#else
    m_session.OpenSession();
    Register();
    std::printf("[ figure ] resident memory with a plain-text session in the channel: %ld kB\n",
                ResidentKb());
    EXPECT_FALSE(HasLibrary("libssl.so"));
    EXPECT_FALSE(HasLibrary("libcrypto.so"));
#endif
}

TEST_F(SessionLife, FiguresCountWhatLeft) {
    m_session.OpenSession();
    Register();
    m_session.SendToChannel("one");
    ASSERT_TRUE(m_server.WaitForLine(0, "PRIVMSG #Chan :one"));
    // NICK and USER in one write, the JOIN, the line.
    ASSERT_TRUE(WaitUntil([&] { return m_session.Figures().m_nLinesSent == 4; }));
    EXPECT_EQ(m_session.Figures(), (irc::CIrcFigures{4, 0, 0, 0}));
}

// A request asked of an earlier session, or before a run started, is never
// answered from a snapshot that has nothing to do with it.
TEST_F(SessionLife, RequestsWakeTheOwnerAndGoWhenASessionOrARunStarts) {
    m_session.OpenSession();
    Register();
    ASSERT_TRUE(m_server.Send(0,
                              ":Al!a@h PRIVMSG #Chan :!lastround\r\n"
                              ":Al!a@h PRIVMSG #Chan :!top kd\r\n"));
    ASSERT_TRUE(WaitUntil([&] { return m_session.Requests() == 2; }));
    m_session.DropRequests();
    EXPECT_EQ(m_session.TakeRequest(), std::nullopt);
    ASSERT_TRUE(m_server.Send(0, ":Al!a@h PRIVMSG #Chan :!seen Tom\r\n"));
    ASSERT_TRUE(WaitUntil([&] { return m_session.Requests() == 3; }));
    m_session.Disconnect();
    m_session.OpenSession();
    EXPECT_EQ(m_session.TakeRequest(), std::nullopt);
}

// The connect runs on the IRC thread: Open returns while a server that never
// answers is still being reached, and Disconnect ends the attempt.
TEST(SessionConnect, OpenReturnsAtOnceAndDisconnectEndsAnUnansweredConnect) {
    platform::CSocket listener = platform::CSocket::CreateTcp();
    ASSERT_TRUE(listener.Bind(platform::LoopbackAddress()));
    ASSERT_TRUE(listener.Listen(0));
    // A full backlog: the next connect is never answered.
    std::vector<platform::CSocket> fillers;
    bool bUnanswered = false;
    for (int i = 0; i < 16 && !bUnanswered; ++i) {
        platform::CSocket s = platform::CSocket::CreateTcp();
        bUnanswered = !s.Connect(platform::LoopbackAddress(listener.LocalPort()), 300);
        fillers.push_back(std::move(s));
    }
    ASSERT_TRUE(bUnanswered) << "the queue never filled";
    CRecordingIrcSession session(platform::SystemClock());
    session.Configure("127.0.0.1", listener.LocalPort(), "Bot", "Bot2", "#Chan");
    session.OpenSession();
    EXPECT_TRUE(session.IsSessionActive());
    EXPECT_EQ(session.State(), irc::EIrcState::Connecting);
    session.Disconnect();
    // Cut short, not left to the connect limit.
    ASSERT_TRUE(WaitUntil([&] { return !session.IsIrcThreadRunning(); },
                          std::chrono::milliseconds(irc::CIrcConnection::kConnectTimeoutMs / 2)));
    // The operator ended it: the server is not blamed for it.
    EXPECT_EQ(session.Logs(), Lines{});
    // And End, during another such attempt, is as prompt.
    session.OpenSession();
    session.EndIrcThread();
    EXPECT_FALSE(session.IsIrcThreadRunning());
}

}  // namespace
