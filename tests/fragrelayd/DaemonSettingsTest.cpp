// fragrelayd and its settings file before it starts: every way the file can
// be missing or unusable, the problems of each side by key, --check and
// --write-settings, word for word with their exit statuses. "{dir}" in an
// expected text stands for the test's folder. What only one system has is
// in DaemonSettingsPosixTest.cpp and DaemonSettingsWin32Test.cpp.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <string>
#include <vector>

#include "DaemonSettingsFixture.h"
#include "config/SettingsFormat.h"
#include "fragrelayd/DaemonCommandLine.h"
#include "fragrelayd/DaemonSettings.h"

namespace daemontest {
namespace {

using testsupport::ReadWholeFile;
using testsupport::WriteWholeFile;

// ---- A file that cannot be used: the same words for the start and --check.

TEST_P(DaemonUnusableFile, StopsTheStartAndTheCheckWithExitTwo) {
    const CUnusableRow& row = GetParam();
    const std::string strPath = row.m_make(m_folder);
    const std::vector<std::string> before = m_folder.Names();

    const fragrelayd::CDaemonPrecheck check = fragrelayd::PrepareDaemonRun(strPath, m_console);
    EXPECT_EQ(check.m_nExit, fragrelayd::kExitUsage);
    const std::string strErr = Err();
    EXPECT_EQ(strErr, Expected(row.m_pszErr));

    EXPECT_EQ(fragrelayd::CheckDaemonSettings(strPath, m_console), fragrelayd::kExitUsage);
    EXPECT_EQ(Err(), strErr + strErr);
    EXPECT_EQ(Out(), "");
    EXPECT_EQ(m_folder.Names(), before);  // nothing written
}

const CUnusableRow kUnusableRows[] = {
    {"NoFile", [](const auto& folder) { return folder / "settings.ini"; },
     "fragrelayd: no settings file at {dir}/settings.ini\n"
     "fragrelayd: make one with \"fragrelayd --write-settings {dir}/settings.ini\", fill in its "
     "keys (fragrelayd --help lists them) and start again\n"},
    {"NoFolder", [](const auto& folder) { return folder / "conf/bot.ini"; },
     "fragrelayd: no settings file at {dir}/conf/bot.ini\n"
     "fragrelayd: make one with \"fragrelayd --write-settings {dir}/conf/bot.ini\", fill in its "
     "keys (fragrelayd --help lists them) and start again\n"},
    {"Folder", [](const auto& folder) { return folder.Path(); },
     "fragrelayd: {dir} is a folder, not a settings file\n"},
};
INSTANTIATE_TEST_SUITE_P(Rows, DaemonUnusableFile, testing::ValuesIn(kUnusableRows),
                         [](const auto& info) { return std::string(info.param.m_pszName); });

// ---- A readable file: each side's problems by key.

struct CProblemsRow {
    const char* m_pszName;
    std::string m_strText;  // the file
    bool m_bIrcProblems;
    bool m_bGameProblems;
    const char* m_pszProblems;  // each "fragrelayd: SIDE: problem" line
    const char* m_pszVerdict;   // the last line of --check
};

class DaemonSettingsProblems : public DaemonSettingsTest,
                               public testing::WithParamInterface<CProblemsRow> {};

TEST_P(DaemonSettingsProblems, AreNamedByKeyAtTheStartAndByCheck) {
    const CProblemsRow& row = GetParam();
    ASSERT_TRUE(WriteWholeFile(Path(), row.m_strText));

    const fragrelayd::CDaemonPrecheck check = fragrelayd::PrepareDaemonRun(Path(), m_console);
    EXPECT_EQ(check.m_nExit, fragrelayd::kExitOk);
    EXPECT_EQ(check.m_bIrcProblems, row.m_bIrcProblems);
    EXPECT_EQ(check.m_bGameProblems, row.m_bGameProblems);
    EXPECT_EQ(Err(), row.m_pszProblems);
    EXPECT_EQ(Out(), "");

    // --check: the same lines on standard output, then the verdict.
    const int nExit = fragrelayd::CheckDaemonSettings(Path(), m_console);
    EXPECT_EQ(nExit, row.m_bIrcProblems || row.m_bGameProblems ? fragrelayd::kExitUsage
                                                               : fragrelayd::kExitOk);
    EXPECT_EQ(Out(), row.m_pszProblems + Expected(row.m_pszVerdict));
    EXPECT_EQ(Err(), row.m_pszProblems);  // nothing more on the error stream
    EXPECT_EQ(ReadWholeFile(Path()), row.m_strText);
}

const CProblemsRow kProblemsRows[] = {
    {"Complete", kComplete, false, false, "",
     "fragrelayd: {dir}/settings.ini: both sides can start\n"},
    {"EmptyFile", "", true, true,
     "fragrelayd: IRC side: irc_Port is 0, not a port\n"
     "fragrelayd: IRC side: irc_Server is empty\n"
     "fragrelayd: IRC side: irc_Nick is empty\n"
     "fragrelayd: IRC side: irc_altNick is empty\n"
     "fragrelayd: IRC side: irc_Channel is empty\n"
     "fragrelayd: IRC side: irc_Tickettime is 0, not a number of seconds above 0\n"
     "fragrelayd: game side: bf_Port is 0, not a port\n"
     "fragrelayd: game side: bf_Server is empty\n"
     "fragrelayd: game side: allied_farbe_kill is empty\n"
     "fragrelayd: game side: axis_farbe_kill is empty\n"
     "fragrelayd: game side: status_farbe is empty\n"
     "fragrelayd: game side: allied_farbe_flagge is empty\n"
     "fragrelayd: game side: axis_farbe_flagge is empty\n"
     "fragrelayd: game side: value_farbe is empty\n"
     "fragrelayd: game side: key_farbe is empty\n",
     "fragrelayd: {dir}/settings.ini: neither side can start\n"},
    // A later line wins; the value is printed as UTF-8, controls escaped.
    {"IrcSideOnly", kComplete + "irc_Channel=caf\xE9\x1B\r\nirc_Auth=yes\r\n", true, false,
     "fragrelayd: IRC side: irc_Username is empty\n"
     "fragrelayd: IRC side: irc_Password is empty\n"
     "fragrelayd: IRC side: irc_Channel \"caf\xC3\xA9\\x1B\" is no channel name (it needs a #)\n",
     "fragrelayd: {dir}/settings.ini: the IRC side cannot start\n"},
    {"GameSideOnly", kComplete + "bf_Port=x\r\nkey_farbe=\r\n", false, true,
     "fragrelayd: game side: bf_Port is 0, not a port\n"
     "fragrelayd: game side: key_farbe is empty\n",
     "fragrelayd: {dir}/settings.ini: the game side cannot start\n"},
};
INSTANTIATE_TEST_SUITE_P(Rows, DaemonSettingsProblems, testing::ValuesIn(kProblemsRows),
                         [](const auto& info) { return std::string(info.param.m_pszName); });

// fragrelayd only reads its settings: a file its owner protected (no write
// permission; on Windows marked read-only) starts without a word, and its
// values are those of a writable one.
TEST_F(DaemonSettingsTest, ReadOnlyFileStartsWithoutAWord) {
    ASSERT_TRUE(WriteWholeFile(Path(), kComplete));
    std::filesystem::permissions(Path(), std::filesystem::perms::owner_read);
    const fragrelayd::CDaemonPrecheck check = fragrelayd::PrepareDaemonRun(Path(), m_console);
    const int nCheck = fragrelayd::CheckDaemonSettings(Path(), m_console);
    std::filesystem::permissions(Path(), std::filesystem::perms::owner_all);
    EXPECT_EQ(check.m_nExit, fragrelayd::kExitOk);
    EXPECT_FALSE(check.m_bIrcProblems);
    EXPECT_FALSE(check.m_bGameProblems);
    EXPECT_EQ(check.m_values, config::ParseSettings(kComplete));
    EXPECT_EQ(nCheck, fragrelayd::kExitOk);
    EXPECT_EQ(Err(), "");
    EXPECT_EQ(Out(), Expected("fragrelayd: {dir}/settings.ini: both sides can start\n"));
    EXPECT_EQ(ReadWholeFile(Path()), kComplete);
}

// ---- --write-settings

TEST_F(DaemonSettingsTest, WriteSettingsWritesTheDefaultsForEditing) {
    EXPECT_EQ(fragrelayd::WriteDaemonSettings(Path(), m_console), fragrelayd::kExitOk);
    EXPECT_EQ(Out(), Expected("fragrelayd: wrote the default settings to {dir}/settings.ini\n"
                              "fragrelayd: still to fill in: irc_altNick, irc_Channel, "
                              "irc_Tickettime, bf_Server\n"
                              "fragrelayd: then check them with \"fragrelayd --check -c "
                              "{dir}/settings.ini\"\n"));
    EXPECT_EQ(Err(), "");
    // What the window writes on a first start's Apply.
    EXPECT_EQ(ReadWholeFile(Path()), config::FormatSettings(config::DefaultSettings()));
#ifndef _WIN32
    // Windows keeps it for its owner by its access list (FileInfoWin32Test).
    struct stat st {};
    ASSERT_EQ(::stat(Path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
#endif
}

TEST_P(DaemonWriteRefused, LeavesEverythingAsItWas) {
    const CWriteRow& row = GetParam();
    const std::string strPath = row.m_make(m_folder);
    const std::vector<std::string> before = m_folder.Names();
    EXPECT_EQ(fragrelayd::WriteDaemonSettings(strPath, m_console), fragrelayd::kExitUsage);
    EXPECT_EQ(Err(), Expected(row.m_pszErr));
    EXPECT_EQ(Out(), "");
    EXPECT_EQ(m_folder.Names(), before);
    if (before.size() == 1 && before[0] == "settings.ini") {
        EXPECT_EQ(ReadWholeFile(m_folder / "settings.ini"), "// mine\r\n");
    }
}

const CWriteRow kWriteRows[] = {
    {"ExistingFile",
     [](const auto& folder) {
         WriteWholeFile(folder / "settings.ini", "// mine\r\n");
         return folder / "settings.ini";
     },
     "fragrelayd: {dir}/settings.ini exists already; it is not overwritten\n"},
    {"Folder", [](const auto& folder) { return folder.Path(); },
     "fragrelayd: {dir} is a folder, not a settings file\n"},
    {"NoSuchFolder", [](const auto& folder) { return folder / "none/settings.ini"; },
     "fragrelayd: cannot write {dir}/none/settings.ini: No such file or directory\n"},
};
INSTANTIATE_TEST_SUITE_P(Rows, DaemonWriteRefused, testing::ValuesIn(kWriteRows),
                         [](const auto& info) { return std::string(info.param.m_pszName); });

}  // namespace
}  // namespace daemontest
