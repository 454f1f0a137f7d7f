#pragma once
// Whether a Windows test runs under Wine rather than Windows: a few things
// Windows does, Wine does not (yet); those tests say so and skip there.
// On Linux FR_SKIP_UNDER_WINE does nothing. (No <windows.h> here: its
// macros would rename the framework's IDOK and MessageBox.)
#ifdef _WIN32
namespace testsupport {

bool RunningUnderWine();  // Wine.cpp, linked into every Windows test

}  // namespace testsupport

#define FR_SKIP_UNDER_WINE(pszWhy) \
    if (testsupport::RunningUnderWine()) GTEST_SKIP() << "Wine: " << (pszWhy)
#else
#define FR_SKIP_UNDER_WINE(pszWhy) static_cast<void>(0)
#endif
