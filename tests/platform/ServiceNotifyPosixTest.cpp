// The service notifier against a stand-in for systemd: a datagram socket of
// the test's own, named by NOTIFY_SOCKET as a path in a temporary folder or
// as an abstract name, from which the test reads what arrives and who sent it.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>

#include "config/TempFolder.h"
#include "platform/ServiceNotify.h"
#include "support/NotifyStandIn.h"

namespace {

using platform::CServiceNotifier;

// The manager's end.
using CStandIn = testsupport::CNotifyStandIn;

std::string AbstractName(const char* pszWhat) {
    return "@fragrelay-notify-test-" + std::to_string(::getpid()) + "-" + pszWhat;
}

// The daemon's way in: the variables systemd sets, read at start.
TEST(ServiceNotifyPosix, PathFromEnvironmentGetsEachMessageAsOneDatagram) {
    testsupport::CTempFolder folder;
    ASSERT_TRUE(folder.IsValid());
    const std::string strSocket = folder / "notify";
    CStandIn manager(strSocket);
    ASSERT_TRUE(manager.IsBound());
    ::setenv("NOTIFY_SOCKET", strSocket.c_str(), 1);
    ::unsetenv("WATCHDOG_USEC");
    ::unsetenv("WATCHDOG_PID");
    CServiceNotifier notifier;
    ::unsetenv("NOTIFY_SOCKET");
    ASSERT_TRUE(notifier.IsActive()) << notifier.Problem();
    EXPECT_EQ(notifier.Problem(), "");
    EXPECT_EQ(notifier.WatchdogUsec(), 0u);

    EXPECT_TRUE(notifier.Ready());
    EXPECT_EQ(manager.Next(), "READY=1");
    EXPECT_EQ(manager.SenderPid(), ::getpid());
    EXPECT_TRUE(notifier.Status("IRC: in #chan; game: answering"));
    EXPECT_EQ(manager.Next(), "STATUS=IRC: in #chan; game: answering");
    EXPECT_TRUE(notifier.Reloading());
    const std::string strReloading = manager.Next().value_or("");
    const std::string strPrefix = "RELOADING=1\nMONOTONIC_USEC=";
    ASSERT_EQ(strReloading.substr(0, strPrefix.size()), strPrefix);
    const std::string strUsec = strReloading.substr(strPrefix.size());
    EXPECT_FALSE(strUsec.empty());
    EXPECT_EQ(strUsec.find_first_not_of("0123456789"), std::string::npos) << strUsec;
    EXPECT_TRUE(notifier.Stopping());
    EXPECT_EQ(manager.Next(), "STOPPING=1");
}

// The beat comes from the worker threads; NotifyAccess=main still takes it,
// because the credentials name the process, not the thread.
TEST(ServiceNotifyPosix, AbstractSocketTakesTheWatchdogBeatFromAnyThread) {
    const std::string strName = AbstractName("watchdog");
    CStandIn manager(strName);
    ASSERT_TRUE(manager.IsBound());
    const std::string strPid = std::to_string(::getpid());
    CServiceNotifier notifier(strName.c_str(), "60000000", strPid.c_str());
    ASSERT_TRUE(notifier.IsActive()) << notifier.Problem();
    EXPECT_EQ(notifier.WatchdogUsec(), 60000000u);

    bool bSent = false;
    std::thread beat([&] { bSent = notifier.Watchdog(); });
    beat.join();
    EXPECT_TRUE(bSent);
    EXPECT_EQ(manager.Next(), "WATCHDOG=1");
    EXPECT_EQ(manager.SenderPid(), ::getpid());
}

// A watchdog meant for another process, or a limit that is not a positive
// number, watches nothing: no beat goes out (the READY=1 that follows is
// the next datagram).
TEST(ServiceNotifyPosix, WatchdogOnlyForThisProcessAndAPositiveLimit) {
    const std::string strName = AbstractName("limits");
    CStandIn manager(strName);
    ASSERT_TRUE(manager.IsBound());
    const std::string strPid = std::to_string(::getpid());
    const std::string strOtherPid = std::to_string(::getpid() + 1);
    const std::string strPidAndMore = strPid + "x";
    const struct {
        const char* m_pszUsec;
        const char* m_pszPid;
        uint64_t m_nExpected;
    } rows[] = {
        {"30000000", nullptr, 30000000u},
        {"30000000", strPid.c_str(), 30000000u},
        {"18446744073709551615", nullptr, UINT64_MAX},
        {"30000000", strOtherPid.c_str(), 0},
        {"30000000", strPidAndMore.c_str(), 0},
        {nullptr, strPid.c_str(), 0},
        {"", nullptr, 0},
        {"0", nullptr, 0},
        {"-30000000", nullptr, 0},
        {"3e7", nullptr, 0},
        {" 30000000", nullptr, 0},
        {"18446744073709551616", nullptr, 0},
    };
    for (const auto& row : rows) {
        const std::string strRow = std::string(row.m_pszUsec ? row.m_pszUsec : "(unset)") + " / " +
                                   (row.m_pszPid ? row.m_pszPid : "(unset)");
        CServiceNotifier notifier(strName.c_str(), row.m_pszUsec, row.m_pszPid);
        ASSERT_TRUE(notifier.IsActive()) << strRow;
        EXPECT_EQ(notifier.WatchdogUsec(), row.m_nExpected) << strRow;
        EXPECT_EQ(notifier.Watchdog(), row.m_nExpected != 0) << strRow;
        ASSERT_TRUE(notifier.Ready()) << strRow;
        if (row.m_nExpected != 0) {
            EXPECT_EQ(manager.Next(), "WATCHDOG=1") << strRow;
        }
        EXPECT_EQ(manager.Next(), "READY=1") << strRow;
    }
}

// The status carries text from IRC and the game server: it must not add a
// line of its own (a forged READY=1 or MAINPID=), and it reaches systemctl
// as UTF-8.
TEST(ServiceNotifyPosix, StatusIsOneLineOfUtf8) {
    const std::string strName = AbstractName("status");
    CStandIn manager(strName);
    ASSERT_TRUE(manager.IsBound());
    CServiceNotifier notifier(strName.c_str(), nullptr, nullptr);
    ASSERT_TRUE(notifier.IsActive()) << notifier.Problem();

    const struct {
        std::string m_strText;
        std::string m_strSent;
    } rows[] = {
        {"IRC: in #x\nREADY=1\r\nMAINPID=1", "STATUS=IRC: in #x READY=1  MAINPID=1"},
        {"game: Caf\xE9 \x80", "STATUS=game: Caf\xC3\xA9 \xE2\x82\xAC"},
        {std::string("a\0b", 3), "STATUS=a b"},
        {std::string(5000, 'x'), "STATUS=" + std::string(CServiceNotifier::MaxStatusBytes, 'x')},
        {"", "STATUS="},
    };
    for (const auto& row : rows) {
        EXPECT_TRUE(notifier.Status(row.m_strText));
        EXPECT_EQ(manager.Next(), row.m_strSent);
    }
}

// A manager that stops reading never holds the daemon: once its queue is
// full a message is dropped, and the next goes once there is room again.
TEST(ServiceNotifyPosix, FullSocketDropsInsteadOfBlocking) {
    const std::string strName = AbstractName("full");
    CStandIn manager(strName);
    ASSERT_TRUE(manager.IsBound());
    CServiceNotifier notifier(strName.c_str(), "60000000", nullptr);
    ASSERT_TRUE(notifier.IsActive()) << notifier.Problem();
    int nSent = 0;
    while (nSent < 100000 && notifier.Watchdog()) ++nSent;
    ASSERT_GT(nSent, 0);
    ASSERT_LT(nSent, 100000) << "the queue never filled";
    EXPECT_EQ(manager.Next(), "WATCHDOG=1");
    EXPECT_TRUE(notifier.Watchdog());
}

// A NOTIFY_SOCKET we cannot use is said, so that the operator learns why a
// Type=notify unit waits; a socket nobody listens on only fails the sends.
TEST(ServiceNotifyPosix, UnusableSocketNameIsSaid) {
    const std::string strLongPath = "/" + std::string(200, 'p');
    const std::string strLongName = "@" + std::string(200, 'n');
    for (const char* pszName :
         {"run/notify", "@", "vsock:2:1234", strLongPath.c_str(), strLongName.c_str()}) {
        CServiceNotifier notifier(pszName, "60000000", nullptr);
        EXPECT_FALSE(notifier.IsActive()) << pszName;
        EXPECT_NE(notifier.Problem().find(pszName), std::string::npos) << notifier.Problem();
        EXPECT_EQ(notifier.WatchdogUsec(), 0u) << pszName;
        EXPECT_FALSE(notifier.Ready()) << pszName;
    }
    testsupport::CTempFolder folder;
    ASSERT_TRUE(folder.IsValid());
    const std::string strNobody = folder / "nobody";
    CServiceNotifier notifier(strNobody.c_str(), nullptr, nullptr);
    EXPECT_TRUE(notifier.IsActive());
    EXPECT_EQ(notifier.Problem(), "");
    EXPECT_FALSE(notifier.Ready());
}

}  // namespace
