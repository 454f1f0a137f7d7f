#pragma once
// Whether a Windows test runs under Wine rather than Windows: a few things
// Windows does, Wine does not (yet); those tests say so and skip there.
// On Linux FR_SKIP_UNDER_WINE does nothing.
#ifdef _WIN32
#include <windows.h>

namespace testsupport {

inline bool RunningUnderWine() {
    HMODULE hNtdll = ::GetModuleHandleW(L"ntdll.dll");
    return hNtdll != nullptr && ::GetProcAddress(hNtdll, "wine_get_version") != nullptr;
}

}  // namespace testsupport

#define FR_SKIP_UNDER_WINE(pszWhy) \
    if (testsupport::RunningUnderWine()) GTEST_SKIP() << "Wine: " << (pszWhy)
#else
#define FR_SKIP_UNDER_WINE(pszWhy) static_cast<void>(0)
#endif
