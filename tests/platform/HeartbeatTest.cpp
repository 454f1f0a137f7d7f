// A worker loop's heartbeat as a watchdog reads it, and thread names as the
// system shows them (/proc on Linux, the thread's description on Windows).
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <thread>

#include "platform/Heartbeat.h"
#include "platform/ThreadName.h"

#ifdef _WIN32
#include <windows.h>
#endif

using platform::CHeartbeat;

namespace {

TEST(Heartbeat, HealthyWhileTheLoopKeepsItsPromise) {
    CHeartbeat beat;
    // No loop yet: nothing to watch.
    EXPECT_TRUE(beat.IsHealthy(123456, 0));
    beat.Beat(1000, 500);
    EXPECT_TRUE(beat.IsHealthy(1000, 0));
    EXPECT_TRUE(beat.IsHealthy(1500, 0));
    EXPECT_FALSE(beat.IsHealthy(1501, 0));
    EXPECT_TRUE(beat.IsHealthy(1600, 100));
    EXPECT_FALSE(beat.IsHealthy(1601, 100));
    // A new beat renews the promise.
    beat.Beat(1600, 20);
    EXPECT_TRUE(beat.IsHealthy(1620, 0));
    EXPECT_FALSE(beat.IsHealthy(1621, 0));
    // A beat stamped a moment after the watchdog read its time is no delay.
    EXPECT_TRUE(beat.IsHealthy(1590, 0));
    // The loop has ended: nothing to watch any more.
    beat.SetIdle();
    EXPECT_TRUE(beat.IsHealthy(99999999, 0));
}

TEST(Heartbeat, RightAcrossTheTickCountsWrap) {
    CHeartbeat beat;
    beat.Beat(UINT32_MAX - 100, 500);
    EXPECT_TRUE(beat.IsHealthy(UINT32_MAX, 0));
    EXPECT_TRUE(beat.IsHealthy(399, 0));
    EXPECT_FALSE(beat.IsHealthy(400, 0));
    // A promise and grace beyond the tick count's range never overflow.
    beat.Beat(10, UINT32_MAX - 5);
    EXPECT_TRUE(beat.IsHealthy(1000000, UINT32_MAX));
}

#ifdef _WIN32
// The thread's description as the debugger reads it; found at run time, as
// the code under test finds its counterpart (Windows 10 1607 and later).
using GetDescriptionFn = HRESULT(WINAPI*)(HANDLE, PWSTR*);

GetDescriptionFn FindGetThreadDescription() {
    const HMODULE hKernel = ::GetModuleHandleW(L"kernel32.dll");
    return hKernel != nullptr ? reinterpret_cast<GetDescriptionFn>(reinterpret_cast<void*>(
                                    ::GetProcAddress(hKernel, "GetThreadDescription")))
                              : nullptr;
}

std::string ThisThreadsName() {
    PWSTR pszWide = nullptr;
    if (FAILED(FindGetThreadDescription()(::GetCurrentThread(), &pszWide))) return "(failed)";
    std::string strName;
    for (const wchar_t* p = pszWide; p != nullptr && *p != L'\0'; ++p)
        strName += static_cast<char>(*p);  // the names are plain ASCII
    ::LocalFree(pszWide);
    return strName;
}
#endif

TEST(ThreadName, ShowsAsTheThreadsNameCutTo15Characters) {
#if !defined(__linux__) && !defined(_WIN32)
    GTEST_SKIP() << "no way to read a thread's name here";
#else
#ifdef _WIN32
    if (FindGetThreadDescription() == nullptr) GTEST_SKIP() << "this system keeps no thread names";
#endif
    auto nameOf = [](const char* pszName) {
        std::string strName;
        std::thread worker([&] {
            platform::NameThisThread(pszName);
#ifdef _WIN32
            strName = ThisThreadsName();
#else
            std::ifstream comm("/proc/thread-self/comm");
            std::getline(comm, strName);
#endif
        });
        worker.join();
        return strName;
    };
    EXPECT_EQ(nameOf("irc"), "irc");
    EXPECT_EQ(nameOf("a-name-of-twenty-chars"), "a-name-of-twent");
    // Nothing to name it: the name it had stays (on Linux the program's; a
    // new Windows thread has none).
#ifdef _WIN32
    EXPECT_EQ(nameOf(""), "");
#else
    EXPECT_NE(nameOf(""), "");
#endif
#endif
}

}  // namespace
