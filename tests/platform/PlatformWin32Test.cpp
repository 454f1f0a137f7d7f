// What platform/ mends on Windows beyond the shared socket tests: a
// receive blocked in another thread ends when the socket is shut down, and
// the console's stop requests reach the waiting main thread once each.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <thread>

#include "platform/Console.h"
#include "platform/Socket.h"
#include "support/Wait.h"

using namespace platform;
using testsupport::WaitUntil;

TEST(SocketWin32, ShutdownEndsAReceiveBlockedInAnotherThread) {
    CSocket listener = CSocket::CreateTcp();
    ASSERT_TRUE(listener.Bind(LoopbackAddress()));
    ASSERT_TRUE(listener.Listen());
    CSocket client = CSocket::CreateTcp();
    ASSERT_TRUE(client.Connect(LoopbackAddress(listener.LocalPort()), 5000));
    CSocket peer = listener.Accept();
    ASSERT_TRUE(peer.IsValid());
    std::atomic<bool> bDone{false};
    std::atomic<int> nResult{-2};
    std::thread reader([&] {
        char buf[16];
        nResult = client.Recv(buf, sizeof buf);
        bDone = true;
    });
    // The peer stays silent and open: only the shutdown can end the wait.
    EXPECT_FALSE(WaitUntil([&] { return bDone.load(); }, std::chrono::milliseconds(200)));
    client.Shutdown();
    EXPECT_TRUE(WaitUntil([&] { return bDone.load(); }, std::chrono::seconds(10)));
    if (!bDone) peer.Close();  // never leave the thread blocked
    reader.join();
    EXPECT_EQ(nResult.load(), 0) << "the end of the stream, as on Linux";
}

TEST(ConsoleWin32, EachCtrlCReachesTheWaitOnceAsAStop) {
    CatchStopRequests(true);
    CatchReloadRequests();  // Windows has none: nothing changes
    EXPECT_EQ(WaitForConsoleRequest(0), EConsoleRequest::None);
    if (!::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0))
        GTEST_SKIP() << "no console to send the event through";
    EXPECT_EQ(WaitForConsoleRequest(10000), EConsoleRequest::Stop);
    EXPECT_EQ(WaitForConsoleRequest(0), EConsoleRequest::None);
}
