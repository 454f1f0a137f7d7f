// fragrelayd's settings file on Linux: paths a shell must quote, what is no
// plain file, links, and a file its owner may not read.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "DaemonSettingsFixture.h"
#include "fragrelayd/DaemonSettings.h"

namespace daemontest {
namespace {

using testsupport::WriteWholeFile;

const CUnusableRow kPosixUnusableRows[] = {
    // The path is shown safe for a terminal and quoted for the shell.
    {"NoFileAtAnOddPath",
     [](const auto& folder) {
         ::mkdir((folder / "it's \x1B[1m").c_str(), 0700);
         return folder / "it's \x1B[1m/s.ini";
     },
     "fragrelayd: no settings file at {dir}/it's \\x1B[1m/s.ini\n"
     "fragrelayd: make one with \"fragrelayd --write-settings '{dir}/it'\\''s \\x1B[1m/s.ini'\", "
     "fill in its keys (fragrelayd --help lists them) and start again\n"},
    {"Fifo",
     [](const auto& folder) {
         ::mkfifo((folder / "settings.ini").c_str(), 0600);
         return folder / "settings.ini";
     },
     "fragrelayd: {dir}/settings.ini is not a plain file\n"},
    {"DanglingLink",
     [](const auto& folder) {
         [[maybe_unused]] const int n =
             ::symlink((folder / "gone.ini").c_str(), (folder / "settings.ini").c_str());
         return folder / "settings.ini";
     },
     "fragrelayd: no settings file at {dir}/settings.ini\n"
     "fragrelayd: make one with \"fragrelayd --write-settings {dir}/settings.ini\", fill in its "
     "keys (fragrelayd --help lists them) and start again\n"},
};
INSTANTIATE_TEST_SUITE_P(Posix, DaemonUnusableFile, testing::ValuesIn(kPosixUnusableRows),
                         [](const auto& info) { return std::string(info.param.pszName); });

TEST_F(DaemonSettingsTest, UnreadableFileIsNamedWithTheReason) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
    ASSERT_TRUE(WriteWholeFile(Path(), kComplete));
    ASSERT_EQ(::chmod(Path().c_str(), 0200), 0);
    EXPECT_EQ(fragrelayd::PrepareDaemonRun(Path(), m_console).nExit, fragrelayd::kExitUsage);
    EXPECT_EQ(Err(), Expected("fragrelayd: cannot read {dir}/settings.ini: Permission denied\n"));
}

const CWriteRow kPosixWriteRows[] = {
    // Nothing is written through a link, even one that points nowhere.
    {"DanglingLink",
     [](const auto& folder) {
         [[maybe_unused]] const int n =
             ::symlink((folder / "elsewhere.ini").c_str(), (folder / "link.ini").c_str());
         return folder / "link.ini";
     },
     "fragrelayd: {dir}/link.ini exists already; it is not overwritten\n"},
};
INSTANTIATE_TEST_SUITE_P(Posix, DaemonWriteRefused, testing::ValuesIn(kPosixWriteRows),
                         [](const auto& info) { return std::string(info.param.pszName); });

}  // namespace
}  // namespace daemontest
