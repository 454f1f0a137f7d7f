// settings.ini on disk: defaults when there is none, the saved file's bytes
// and permission, and that a file which may not be replaced stays as it is
// while the operator is told.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "SettingsPrint.h"
#include "TempFolder.h"
#include "config/SettingsFile.h"
#include "framework/MessageBox.h"
#include "ui/SettingsPages.h"

namespace {

using config::CSettingsValues;
using config::LoadSettingsFile;
using testsupport::CTempFolder;
using testsupport::ReadWholeFile;
using testsupport::WriteWholeFile;
using ui::SaveSettingsFile;

const framework::CMessage kWriteFailed{"Couldn't write to file.", "Error", framework::EIcon::Error};

CSettingsValues Custom() {
    CSettingsValues v = config::DefaultSettings();
    v.m_strChannel = "#clan";
    v.m_strPassword = "secret";
    v.m_bAuth = 1;
    return v;
}

unsigned Mode(const std::string& strPath) {
    struct stat st {};
    if (::stat(strPath.c_str(), &st) != 0) return 0xFFFF;
    return st.st_mode & 07777;
}

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_folder.IsValid()); }
    std::string File() const { return m_folder / "settings.ini"; }

    CTempFolder m_folder;
    framework::CRecordingMessageSink m_sink;
};

TEST_F(SettingsFile, WhatCannotBeReadGivesTheDefaults) {
    ASSERT_EQ(::mkdir((m_folder / "folder.ini").c_str(), 0700), 0);
    ASSERT_EQ(::mkfifo((m_folder / "fifo.ini").c_str(), 0600), 0);
    // Keeps a writer on the FIFO so that a blocking open could not hang the test.
    const int nFifo = ::open((m_folder / "fifo.ini").c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(nFifo, 0);
    ASSERT_EQ(::write(nFifo, "irc_Nick=x\n", 11), 11);

    for (const char* pszName : {"absent.ini", "folder.ini", "fifo.ini"}) {
        CSettingsValues values = Custom();
        EXPECT_FALSE(LoadSettingsFile(m_folder / pszName, values)) << pszName;
        EXPECT_EQ(values, config::DefaultSettings()) << pszName;
    }
    ::close(nFifo);
}

TEST_F(SettingsFile, ExistingFileStartsFromConstructorValues) {
    ASSERT_TRUE(WriteWholeFile(File(), "irc_Nick=bot\r\nbf_Port=2300\r\n"));
    CSettingsValues values = config::DefaultSettings();
    EXPECT_TRUE(LoadSettingsFile(File(), values));
    CSettingsValues expected;
    expected.m_strNick = "bot";
    expected.m_nQueryPort = 2300;
    EXPECT_EQ(values, expected);

    ASSERT_TRUE(WriteWholeFile(File(), ""));
    EXPECT_TRUE(LoadSettingsFile(File(), values));
    EXPECT_EQ(values, CSettingsValues{}) << "an empty file keeps the constructor values";
}

TEST_F(SettingsFile, LoadReadsPastALongLine) {
    // Longer than the loader's read buffer too.
    ASSERT_TRUE(WriteWholeFile(File(), "irc_Nick=a\r\nirc_Password=" + std::string(10000, 'x') +
                                           "\r\nbf_Server=after\r\n"));
    CSettingsValues values;
    EXPECT_TRUE(LoadSettingsFile(File(), values));
    EXPECT_EQ(values.m_strNick, "a");
    EXPECT_EQ(values.m_strPassword, "");
    EXPECT_EQ(values.m_strGameServer, "after");
}

TEST_F(SettingsFile, SaveWritesTheLinesForTheOwnerOnly) {
    const mode_t nOldMask = ::umask(0);  // even a permissive umask gives 0600
    ASSERT_TRUE(WriteWholeFile(File(), "old"));
    ASSERT_EQ(::chmod(File().c_str(), 0644), 0);
    const bool bSaved = SaveSettingsFile(File(), Custom(), &m_sink);
    ::umask(nOldMask);

    ASSERT_TRUE(bSaved);
    EXPECT_EQ(ReadWholeFile(File()), config::FormatSettings(Custom()));
    EXPECT_EQ(Mode(File()), 0600u);
    EXPECT_EQ(m_sink.Count(), 0u);
    EXPECT_EQ(m_folder.Names(), std::vector<std::string>{"settings.ini"}) << "no temporary left";

    CSettingsValues loaded;
    EXPECT_TRUE(LoadSettingsFile(File(), loaded));
    EXPECT_EQ(loaded, Custom());
}

TEST_F(SettingsFile, ApplyTwiceWritesTheSameBytes) {
    ASSERT_TRUE(SaveSettingsFile(File(), Custom(), &m_sink));
    const std::string strFirst = ReadWholeFile(File());
    ASSERT_TRUE(SaveSettingsFile(File(), Custom(), &m_sink));
    EXPECT_EQ(ReadWholeFile(File()), strFirst);
    EXPECT_EQ(m_folder.Names(), std::vector<std::string>{"settings.ini"});
}

TEST_F(SettingsFile, ReadOnlyFileStaysAndTheOperatorIsTold) {
    // Refused for root too: the rename would otherwise go over it.
    ASSERT_TRUE(WriteWholeFile(File(), "irc_Nick=kept\n"));
    ASSERT_EQ(::chmod(File().c_str(), 0444), 0);

    EXPECT_FALSE(SaveSettingsFile(File(), Custom(), &m_sink));
    EXPECT_EQ(ReadWholeFile(File()), "irc_Nick=kept\n");
    EXPECT_EQ(Mode(File()), 0444u);
    ASSERT_EQ(m_sink.Count(), 1u);
    EXPECT_EQ(m_sink.Last(), kWriteFailed);
    EXPECT_EQ(m_folder.Names(), std::vector<std::string>{"settings.ini"});
}

TEST_F(SettingsFile, ReadOnlyFolderStaysAndTheOperatorIsTold) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into a read-only folder";
    ASSERT_TRUE(WriteWholeFile(File(), "irc_Nick=kept\n"));
    ASSERT_EQ(::chmod(m_folder.Path().c_str(), 0500), 0);

    EXPECT_FALSE(SaveSettingsFile(File(), Custom(), &m_sink));
    ::chmod(m_folder.Path().c_str(), 0700);
    EXPECT_EQ(ReadWholeFile(File()), "irc_Nick=kept\n");
    EXPECT_EQ(m_sink.Last(), kWriteFailed);
}

TEST_F(SettingsFile, PlacesThatCannotHoldTheFileAreRefused) {
    ASSERT_EQ(::mkdir((m_folder / "dir.ini").c_str(), 0700), 0);
    ASSERT_EQ(::symlink("nowhere.ini", (m_folder / "dangling.ini").c_str()), 0);
    const struct {
        const char* pszName;
        std::string strPath;
    } kRows[] = {
        {"MissingFolder", m_folder / "missing/settings.ini"},
        {"DirectoryInItsPlace", m_folder / "dir.ini"},
        {"DanglingLink", m_folder / "dangling.ini"},
        {"EmptyPath", ""},
    };
    for (const auto& row : kRows) {
        m_sink.Clear();
        EXPECT_FALSE(SaveSettingsFile(row.strPath, Custom(), &m_sink)) << row.pszName;
        ASSERT_EQ(m_sink.Count(), 1u) << row.pszName;
        EXPECT_EQ(m_sink.Last(), kWriteFailed) << row.pszName;
    }
    EXPECT_EQ(m_folder.Names(), (std::vector<std::string>{"dangling.ini", "dir.ini"}));
    EXPECT_FALSE(SaveSettingsFile(m_folder / "missing/settings.ini", Custom(), nullptr))
        << "without a sink the failure is only returned";
}

TEST_F(SettingsFile, LinkIsWrittenThroughAndStaysALink) {
    ASSERT_EQ(::mkdir((m_folder / "real").c_str(), 0700), 0);
    const std::string strTarget = m_folder / "real/settings.ini";
    ASSERT_TRUE(WriteWholeFile(strTarget, "irc_Nick=old\n"));
    ASSERT_EQ(::symlink("real/settings.ini", File().c_str()), 0);

    ASSERT_TRUE(SaveSettingsFile(File(), Custom(), &m_sink));
    struct stat st {};
    ASSERT_EQ(::lstat(File().c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadWholeFile(strTarget), config::FormatSettings(Custom()));
    EXPECT_EQ(Mode(strTarget), 0600u);
    EXPECT_EQ(m_sink.Count(), 0u);

    // A read-only target is refused through the link as well.
    ASSERT_EQ(::chmod(strTarget.c_str(), 0400), 0);
    EXPECT_FALSE(SaveSettingsFile(File(), config::DefaultSettings(), &m_sink));
    EXPECT_EQ(ReadWholeFile(strTarget), config::FormatSettings(Custom()));
}

TEST_F(SettingsFile, RelativeNameIsInTheWorkingFolder) {
    char szOld[4096];
    ASSERT_NE(::getcwd(szOld, sizeof szOld), nullptr);
    ASSERT_EQ(::chdir(m_folder.Path().c_str()), 0);
    const bool bSaved = SaveSettingsFile(config::kSettingsFileName, Custom(), &m_sink);
    CSettingsValues loaded;
    const bool bLoaded = LoadSettingsFile(config::kSettingsFileName, loaded);
    ASSERT_EQ(::chdir(szOld), 0);

    EXPECT_TRUE(bSaved);
    EXPECT_TRUE(bLoaded);
    EXPECT_EQ(loaded, Custom());
    EXPECT_EQ(m_folder.Names(), std::vector<std::string>{"settings.ini"});
}

}  // namespace
