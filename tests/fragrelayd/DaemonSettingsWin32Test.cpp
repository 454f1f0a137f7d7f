// fragrelayd's settings file on Windows: paths cmd.exe must quote and that
// hold more than ASCII, devices, and a file another program holds.
#include <gtest/gtest.h>

#include <string>

#include "DaemonSettingsFixture.h"
#include "fragrelayd/DaemonSettings.h"
// After the project's headers: windows.h defines macros such as MessageBox.
#include <windows.h>

namespace daemontest {
namespace {

using testsupport::WriteWholeFile;

const CUnusableRow kWin32UnusableRows[] = {
    // Made through the wide-character call, shown as UTF-8, quoted for cmd.
    {"NoFileInAFolderWithBlanksAndAccents",
     [](const auto& folder) {
         std::wstring strDir(folder.Path().begin(), folder.Path().end());
         ::CreateDirectoryW((strDir + L"/my bot \u00E9").c_str(), nullptr);
         return folder / "my bot \xC3\xA9/s.ini";
     },
     "fragrelayd: no settings file at {dir}\\my bot \xC3\xA9\\s.ini\n"
     "fragrelayd: make one with \"fragrelayd --write-settings \"{dir}\\my bot \xC3\xA9\\s.ini\"\", "
     "fill in its keys (fragrelayd --help lists them) and start again\n"},
    {"Device", [](const auto&) { return std::string("NUL"); },
     "fragrelayd: \\\\.\\NUL is not a plain file\n"},
};
INSTANTIATE_TEST_SUITE_P(Win32, DaemonUnusableFile, testing::ValuesIn(kWin32UnusableRows),
                         [](const auto& info) { return std::string(info.param.m_pszName); });

// An editor or a backup program that opened the file for itself alone.
TEST_F(DaemonSettingsTest, FileHeldByAnotherProgramIsNamedWithTheReason) {
    ASSERT_TRUE(WriteWholeFile(Path(), kComplete));
    const std::string strNarrow = Path();  // one string: begin and end of the same object
    const std::wstring strPath(strNarrow.begin(), strNarrow.end());
    const HANDLE h = ::CreateFileW(strPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    const int nExit = fragrelayd::PrepareDaemonRun(Path(), m_console).m_nExit;
    ::CloseHandle(h);
    EXPECT_EQ(nExit, fragrelayd::kExitUsage);
    EXPECT_EQ(Err(), Expected("fragrelayd: cannot read {dir}/settings.ini: Permission denied\n"));
}

}  // namespace
}  // namespace daemontest
