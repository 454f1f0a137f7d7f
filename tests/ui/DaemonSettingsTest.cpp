// fragrelayd and its settings file before it starts: every way the file can
// be missing or unusable, the problems of each side by key, --check and
// --write-settings, word for word with their exit statuses. "{dir}" in an
// expected text stands for the test's folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "config/SettingsFormat.h"
#include "config/TempFolder.h"
#include "ui/DaemonCommandLine.h"
#include "ui/DaemonSettings.h"

namespace {

using testsupport::ReadWholeFile;
using testsupport::WriteWholeFile;

// Both sides can start: the writer's 24 lines, complete.
const std::string kComplete =
    "irc_Server=127.0.0.1\r\nirc_Port=6667\r\nirc_Nick=bot\r\nirc_altNick=bot2\r\n"
    "irc_Channel=#relay\r\nirc_Auth=no\r\nirc_Username=\r\nirc_Password=\r\nirc_Network=0\r\n"
    "irc_Tickettime=60\r\nbf_Language=0\r\nbf_Server=127.0.0.1\r\nbf_Port=23000\r\n"
    "allied_farbe_kill=02\r\nallied_farbe_flagge=12\r\naxis_farbe_kill=05\r\n"
    "axis_farbe_flagge=04\r\nstatus_farbe=14\r\nkey_farbe=10\r\nvalue_farbe=14\r\n"
    "show_flag=yes\r\nshow_kill=yes\r\nshow_ticket=yes\r\nshow_tk=yes\r\n";

std::string Replaced(std::string str, const std::string& strFrom, const std::string& strTo) {
    for (size_t nAt = str.find(strFrom); nAt != std::string::npos;
         nAt = str.find(strFrom, nAt + strTo.size()))
        str.replace(nAt, strFrom.size(), strTo);
    return str;
}

class DaemonSettingsTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.IsValid());
        ASSERT_NE(m_pOut, nullptr);
        ASSERT_NE(m_pErr, nullptr);
    }
    ~DaemonSettingsTest() override {
        if (m_pOut) std::fclose(m_pOut);
        if (m_pErr) std::fclose(m_pErr);
    }
    static std::string Contents(std::FILE* pFile) {
        std::string str;
        std::rewind(pFile);
        char buf[4096];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, pFile)) > 0;) str.append(buf, n);
        std::fseek(pFile, 0, SEEK_END);
        return str;
    }
    std::string Out() const { return Contents(m_pOut); }
    std::string Err() const { return Contents(m_pErr); }
    std::string Expected(const std::string& str) const {
        return Replaced(str, "{dir}", m_folder.Path());
    }
    std::string Path() const { return m_folder / "settings.ini"; }

    testsupport::CTempFolder m_folder;
    std::FILE* m_pOut = std::tmpfile();
    std::FILE* m_pErr = std::tmpfile();
    ui::CConsoleOutput m_console{m_pOut, m_pErr};
};

// ---- A file that cannot be used: the same words for the start and --check.

struct CUnusableRow {
    const char* pszName;
    std::function<std::string(const testsupport::CTempFolder&)> make;  // the path to use
    const char* pszErr;
};

class DaemonUnusableFile : public DaemonSettingsTest,
                           public testing::WithParamInterface<CUnusableRow> {};

TEST_P(DaemonUnusableFile, StopsTheStartAndTheCheckWithExitTwo) {
    const CUnusableRow& row = GetParam();
    const std::string strPath = row.make(m_folder);
    const std::vector<std::string> before = m_folder.Names();

    const ui::CDaemonPrecheck check = ui::PrepareDaemonRun(strPath, m_console);
    EXPECT_EQ(check.nExit, ui::kExitUsage);
    const std::string strErr = Err();
    EXPECT_EQ(strErr, Expected(row.pszErr));

    EXPECT_EQ(ui::CheckDaemonSettings(strPath, m_console), ui::kExitUsage);
    EXPECT_EQ(Err(), strErr + strErr);
    EXPECT_EQ(Out(), "");
    EXPECT_EQ(m_folder.Names(), before);  // nothing written
}

const CUnusableRow kUnusableRows[] = {
    {"NoFile", [](const auto& folder) { return folder / "settings.ini"; },
     "fragrelayd: no settings file at {dir}/settings.ini\n"
     "fragrelayd: make one with \"fragrelayd --write-settings {dir}/settings.ini\", fill in its "
     "keys (fragrelayd --help lists them) and start again\n"},
    // The path is shown safe for a terminal and quoted for the shell.
    {"NoFileAtAnOddPath",
     [](const auto& folder) {
         ::mkdir((folder / "it's \x1B[1m").c_str(), 0700);
         return folder / "it's \x1B[1m/s.ini";
     },
     "fragrelayd: no settings file at {dir}/it's \\x1B[1m/s.ini\n"
     "fragrelayd: make one with \"fragrelayd --write-settings '{dir}/it'\\''s \\x1B[1m/s.ini'\", "
     "fill in its keys (fragrelayd --help lists them) and start again\n"},
    {"Folder", [](const auto& folder) { return folder.Path(); },
     "fragrelayd: {dir} is a folder, not a settings file\n"},
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
INSTANTIATE_TEST_SUITE_P(Rows, DaemonUnusableFile, testing::ValuesIn(kUnusableRows),
                         [](const auto& info) { return std::string(info.param.pszName); });

TEST_F(DaemonSettingsTest, UnreadableFileIsNamedWithTheReason) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
    ASSERT_TRUE(WriteWholeFile(Path(), kComplete));
    ASSERT_EQ(::chmod(Path().c_str(), 0200), 0);
    EXPECT_EQ(ui::PrepareDaemonRun(Path(), m_console).nExit, ui::kExitUsage);
    EXPECT_EQ(Err(), Expected("fragrelayd: cannot read {dir}/settings.ini: Permission denied\n"));
}

// ---- A readable file: each side's problems by key.

struct CProblemsRow {
    const char* pszName;
    std::string strText;  // the file
    bool bIrcProblems;
    bool bGameProblems;
    const char* pszProblems;  // each "fragrelayd: SIDE: problem" line
    const char* pszVerdict;   // the last line of --check
};

class DaemonSettingsProblems : public DaemonSettingsTest,
                               public testing::WithParamInterface<CProblemsRow> {};

TEST_P(DaemonSettingsProblems, AreNamedByKeyAtTheStartAndByCheck) {
    const CProblemsRow& row = GetParam();
    ASSERT_TRUE(WriteWholeFile(Path(), row.strText));

    const ui::CDaemonPrecheck check = ui::PrepareDaemonRun(Path(), m_console);
    EXPECT_EQ(check.nExit, ui::kExitOk);
    EXPECT_EQ(check.bIrcProblems, row.bIrcProblems);
    EXPECT_EQ(check.bGameProblems, row.bGameProblems);
    EXPECT_EQ(Err(), row.pszProblems);
    EXPECT_EQ(Out(), "");

    // --check: the same lines on standard output, then the verdict.
    const int nExit = ui::CheckDaemonSettings(Path(), m_console);
    EXPECT_EQ(nExit, row.bIrcProblems || row.bGameProblems ? ui::kExitUsage : ui::kExitOk);
    EXPECT_EQ(Out(), row.pszProblems + Expected(row.pszVerdict));
    EXPECT_EQ(Err(), row.pszProblems);  // nothing more on the error stream
    EXPECT_EQ(ReadWholeFile(Path()), row.strText);
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
                         [](const auto& info) { return std::string(info.param.pszName); });

// The bot writes its settings when it stops; a file its owner protected is
// no reason not to start, but the operator hears of it.
TEST_F(DaemonSettingsTest, ProtectedFileStartsWithAWarning) {
    ASSERT_TRUE(WriteWholeFile(Path(), kComplete));
    ASSERT_EQ(::chmod(Path().c_str(), 0400), 0);
    const ui::CDaemonPrecheck check = ui::PrepareDaemonRun(Path(), m_console);
    EXPECT_EQ(check.nExit, ui::kExitOk);
    EXPECT_EQ(Err(), Expected("fragrelayd: {dir}/settings.ini cannot be written (Permission "
                              "denied); the settings will not be saved when the bot stops\n"));
}

// ---- --write-settings

TEST_F(DaemonSettingsTest, WriteSettingsWritesTheDefaultsForEditing) {
    EXPECT_EQ(ui::WriteDaemonSettings(Path(), m_console), ui::kExitOk);
    EXPECT_EQ(Out(), Expected("fragrelayd: wrote the default settings to {dir}/settings.ini\n"
                              "fragrelayd: still to fill in: irc_altNick, irc_Channel, "
                              "irc_Tickettime, bf_Server\n"
                              "fragrelayd: then check them with \"fragrelayd --check -c "
                              "{dir}/settings.ini\"\n"));
    EXPECT_EQ(Err(), "");
    // What the window writes on a first start's Apply.
    EXPECT_EQ(ReadWholeFile(Path()), config::FormatSettings(config::DefaultSettings()));
    struct stat st {};
    ASSERT_EQ(::stat(Path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

struct CWriteRow {
    const char* pszName;
    std::function<std::string(const testsupport::CTempFolder&)> make;  // the path to write
    const char* pszErr;
};

class DaemonWriteRefused : public DaemonSettingsTest,
                           public testing::WithParamInterface<CWriteRow> {};

TEST_P(DaemonWriteRefused, LeavesEverythingAsItWas) {
    const CWriteRow& row = GetParam();
    const std::string strPath = row.make(m_folder);
    const std::vector<std::string> before = m_folder.Names();
    EXPECT_EQ(ui::WriteDaemonSettings(strPath, m_console), ui::kExitUsage);
    EXPECT_EQ(Err(), Expected(row.pszErr));
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
    // Nothing is written through a link, even one that points nowhere.
    {"DanglingLink",
     [](const auto& folder) {
         [[maybe_unused]] const int n =
             ::symlink((folder / "elsewhere.ini").c_str(), (folder / "link.ini").c_str());
         return folder / "link.ini";
     },
     "fragrelayd: {dir}/link.ini exists already; it is not overwritten\n"},
    {"Folder", [](const auto& folder) { return folder.Path(); },
     "fragrelayd: {dir} is a folder, not a settings file\n"},
    {"NoSuchFolder", [](const auto& folder) { return folder / "none/settings.ini"; },
     "fragrelayd: cannot write {dir}/none/settings.ini: No such file or directory\n"},
};
INSTANTIATE_TEST_SUITE_P(Rows, DaemonWriteRefused, testing::ValuesIn(kWriteRows),
                         [](const auto& info) { return std::string(info.param.pszName); });

}  // namespace
