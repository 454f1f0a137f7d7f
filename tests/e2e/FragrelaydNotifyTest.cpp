// fragrelayd under a stand-in for systemd: NOTIFY_SOCKET names a datagram
// socket of the test's, WATCHDOG_USEC asks for a beat twice a second and
// WATCHDOG_PID names the program itself, as a Type=notify unit with
// WatchdogSec= sets them. The program says when it is ready, a status line
// whenever a side's state changes, beats while its threads keep going (an
// IRC server that goes away does not stop the beat: the bot is not stuck,
// it waits for its next attempt), and says it is stopping on SIGTERM.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "e2e/DaemonPeers.h"
#include "support/NotifyStandIn.h"

namespace {

using e2e::kLong;

const char kMatch[] =
    "state 1\nset Time Limit = unlimited\n"
    "player 0 1 10 5 2 40 Hans\nplayer 1 2 4 2 6 40 Tom\n";

class FragrelaydNotify : public e2e::DaemonPeersTest {
protected:
    // Reads what the program sends until pred holds for all of it (false
    // when the time is up first). Every message must come from the program
    // itself, as NotifyAccess=main demands.
    template <typename Pred>
    bool ReadUntil(testsupport::CNotifyStandIn& manager, Pred pred,
                   std::chrono::milliseconds timeout = kLong) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!pred()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            if (std::optional<std::string> message = manager.Next(static_cast<int>(left.count()))) {
                EXPECT_EQ(manager.SenderPid(), m_daemon.Pid()) << *message;
                m_vMessages.push_back(*message);
            }
        }
        return true;
    }
    int Count(const std::string& strMessage, size_t nFrom = 0) const {
        return static_cast<int>(std::count(m_vMessages.begin() + static_cast<long>(nFrom),
                                           m_vMessages.end(), strMessage));
    }
    // Where the first message that starts with strStart is; npos if none.
    size_t Find(const std::string& strStart) const {
        for (size_t n = 0; n < m_vMessages.size(); ++n)
            if (m_vMessages[n].rfind(strStart, 0) == 0) return n;
        return std::string::npos;
    }
    std::string Messages() const {
        std::string str;
        for (const std::string& strMessage : m_vMessages) str += strMessage + " | ";
        return str;
    }

    std::vector<std::string> m_vMessages;
};

TEST_F(FragrelaydNotify, SaysReadyAndStatusBeatsTheWatchdogAndSaysStopping) {
    std::string strError;
    ASSERT_TRUE(m_sim.LoadScenario(kMatch, &strError)) << strError;
    const std::string strSocket = m_folder / "notify";
    testsupport::CNotifyStandIn manager(strSocket);
    ASSERT_TRUE(manager.IsBound());
    ASSERT_TRUE(
        StartDaemon("", {"NOTIFY_SOCKET=" + strSocket, "WATCHDOG_USEC=1000000"}, "WATCHDOG_PID"));

    // Ready, both sides where they should be, and the watchdog's beat.
    const std::string strBothUp = "STATUS=IRC: in #relay; game: answering";
    ASSERT_TRUE(ReadUntil(manager,
                          [&] {
                              const size_t nAt = Find(strBothUp);
                              return nAt != std::string::npos && Count("WATCHDOG=1", nAt) >= 3;
                          }))
        << Messages() << m_daemon.Output();
    ASSERT_NE(Find("READY=1"), std::string::npos) << Messages();
    EXPECT_LT(Find("READY=1"), Find("WATCHDOG=1")) << "the first beat comes once it is ready";
    EXPECT_LT(Find("READY=1"), Find(strBothUp));
    // One line per change: the same status twice in a row is never sent.
    std::vector<std::string> vStatus;
    for (const std::string& str : m_vMessages)
        if (str.rfind("STATUS=", 0) == 0) vStatus.push_back(str);
    EXPECT_EQ(std::adjacent_find(vStatus.begin(), vStatus.end()), vStatus.end()) << Messages();
    EXPECT_EQ(Count("READY=1"), 1) << Messages();

    // The IRC server goes away: the status says when the IRC side tries
    // again, and the beat goes on, since no thread of the bot is stuck.
    m_ngircd.Stop();
    const std::string strWaiting = "STATUS=IRC: next attempt in ";
    ASSERT_TRUE(ReadUntil(manager,
                          [&] {
                              const size_t nAt = Find(strWaiting);
                              return nAt != std::string::npos && Count("WATCHDOG=1", nAt) >= 2;
                          }))
        << Messages() << m_daemon.Output();
    const std::string strLine = m_vMessages[Find(strWaiting)];
    EXPECT_NE(strLine.find(" s; game: answering"), std::string::npos) << strLine;

    m_daemon.Signal(SIGTERM);
    ASSERT_TRUE(ReadUntil(manager, [&] { return Count("STOPPING=1") == 1; }))
        << Messages() << m_daemon.Output();
    EXPECT_EQ(m_daemon.Wait(kLong), 0) << m_daemon.Output();
}

}  // namespace
