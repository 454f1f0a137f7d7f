// settings.ini on disk: defaults when there is none, the saved file's bytes
// and permission, and that a file which may not be replaced stays as it is
// while the operator is told.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "SettingsPrint.h"
#include "TempFolder.h"
#include "config/SettingsCheck.h"
#include "config/SettingsFile.h"
#include "framework/MessageBox.h"
#include "ui/WindowSettings.h"

namespace {

using config::CSettings;
using config::LoadSettingsFile;
using testsupport::CTempFolder;
using testsupport::ReadWholeFile;
using testsupport::WriteWholeFile;

// What the window's Apply does with a file it has read: write it, and tell
// the operator when that fails.
bool SaveSettingsFile(const std::string& strPath, const CSettings& values,
                      framework::IMessageSink* pSink) {
    ui::CWindowSettings file(strPath);
    file.Load();
    return file.Save(values, pSink);
}

const framework::CMessage kWriteFailed{"Couldn't write to file.", "Error", framework::EIcon::Error};

CSettings Custom() {
    CSettings v = config::DefaultSettings();
    v.m_irc.m_strChannel = "#clan";
    v.m_irc.m_strPassword = "secret";
    v.m_irc.m_bAuth = true;
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
        CSettings values = Custom();
        EXPECT_FALSE(LoadSettingsFile(m_folder / pszName, values)) << pszName;
        EXPECT_EQ(values, config::DefaultSettings()) << pszName;
    }
    ::close(nFifo);
}

TEST_F(SettingsFile, ExistingFileStartsFromConstructorValues) {
    ASSERT_TRUE(WriteWholeFile(File(), "irc_Nick=bot\r\nbf_Port=2300\r\n"));
    CSettings values = config::DefaultSettings();
    EXPECT_TRUE(LoadSettingsFile(File(), values));
    CSettings expected;
    expected.m_irc.m_strNick = "bot";
    expected.m_game.m_nQueryPort = 2300;
    EXPECT_EQ(values, expected);

    ASSERT_TRUE(WriteWholeFile(File(), ""));
    EXPECT_TRUE(LoadSettingsFile(File(), values));
    EXPECT_EQ(values, CSettings{}) << "an empty file keeps the constructor values";
}

TEST_F(SettingsFile, LoadReadsPastALongLine) {
    // Longer than the loader's read buffer too.
    ASSERT_TRUE(WriteWholeFile(File(), "irc_Nick=a\r\nirc_Password=" + std::string(10000, 'x') +
                                           "\r\nbf_Server=after\r\n"));
    CSettings values;
    EXPECT_TRUE(LoadSettingsFile(File(), values));
    EXPECT_EQ(values.m_irc.m_strNick, "a");
    EXPECT_EQ(values.m_irc.m_strPassword, "");
    EXPECT_EQ(values.m_game.m_strServer, "after");
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

    CSettings loaded;
    EXPECT_TRUE(LoadSettingsFile(File(), loaded));
    EXPECT_EQ(loaded, Custom());
}

// The password is the file's secret: a mode that lets the group or anyone
// read it is named, by the file's path; without a password it does not matter.
TEST_F(SettingsFile, APasswordOthersCanReadIsNoted) {
    ASSERT_TRUE(SaveSettingsFile(File(), Custom(), &m_sink));
    CSettings loaded;
    ASSERT_TRUE(LoadSettingsFile(File(), loaded));
    ASSERT_EQ(loaded.m_irc.m_strPassword, "secret");
    const std::vector<config::CSettingsNote> kReadable = {
        {"irc_Password", config::ENote::ReadableFile}};
    const struct {
        mode_t m_nMode;
        bool m_bNoted;
    } kRows[] = {{0600, false}, {0400, false}, {0640, true}, {0604, true}, {0644, true}};
    for (const auto& row : kRows) {
        ASSERT_EQ(::chmod(File().c_str(), row.m_nMode), 0);
        EXPECT_EQ(config::SettingsFileNotes(File(), loaded),
                  row.m_bNoted ? kReadable : std::vector<config::CSettingsNote>{})
            << std::oct << row.m_nMode;
    }
    EXPECT_EQ(config::NoteText(kReadable[0], "/srv/bot/settings.ini"),
              "/srv/bot/settings.ini holds irc_Password and can be read by others; chmod 600 it");
    loaded.m_irc.m_strPassword.clear();
    EXPECT_EQ(config::SettingsFileNotes(File(), loaded), std::vector<config::CSettingsNote>{});
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

// A folder no new file can go into, for as long as it lives: immutable for
// root (who passes every permission check), else read-only by its mode.
class CClosedFolder {
public:
    explicit CClosedFolder(const std::string& strPath) : m_strPath(strPath) {
        if (::geteuid() != 0) {
            m_bClosed = ::chmod(m_strPath.c_str(), 0500) == 0;
            return;
        }
        const int nFd = ::open(m_strPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (nFd < 0) return;
        int nFlags = 0;
        if (::ioctl(nFd, FS_IOC_GETFLAGS, &nFlags) == 0) {
            nFlags |= FS_IMMUTABLE_FL;
            m_bClosed = m_bImmutable = ::ioctl(nFd, FS_IOC_SETFLAGS, &nFlags) == 0;
        }
        ::close(nFd);
    }
    ~CClosedFolder() {
        if (!m_bImmutable) {
            ::chmod(m_strPath.c_str(), 0700);
            return;
        }
        const int nFd = ::open(m_strPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        int nFlags = 0;
        if (nFd >= 0 && ::ioctl(nFd, FS_IOC_GETFLAGS, &nFlags) == 0) {
            nFlags &= ~FS_IMMUTABLE_FL;
            ::ioctl(nFd, FS_IOC_SETFLAGS, &nFlags);
        }
        if (nFd >= 0) ::close(nFd);
    }
    bool IsClosed() const { return m_bClosed; }

private:
    std::string m_strPath;
    bool m_bClosed = false;
    bool m_bImmutable = false;
};

// Regression: a writable settings.ini in a folder the user may not write
// was refused ("Couldn't write to file."). It is rewritten in place, and
// keeps its mode, its inode and so its hard links.
TEST_F(SettingsFile, ReadOnlyFolderWithAWritableFileIsWrittenInPlace) {
    ASSERT_TRUE(WriteWholeFile(File(), "irc_Nick=old\n"));
    ASSERT_EQ(::chmod(File().c_str(), 0640), 0);
    ASSERT_EQ(::link(File().c_str(), (m_folder / "linked.ini").c_str()), 0);
    struct stat before {};
    ASSERT_EQ(::stat(File().c_str(), &before), 0);
    {
        CClosedFolder closed(m_folder.Path());
        if (!closed.IsClosed()) GTEST_SKIP() << "no way to close the folder here";
        const bool bSaved = SaveSettingsFile(File(), Custom(), &m_sink);
        // A read-only file there is still refused.
        ASSERT_TRUE(WriteWholeFile(m_folder / "linked.ini", ReadWholeFile(File())));
        ASSERT_EQ(::chmod((m_folder / "linked.ini").c_str(), 0440), 0);
        const bool bReadOnlySaved = SaveSettingsFile(File(), config::DefaultSettings(), &m_sink);
        ASSERT_EQ(::chmod((m_folder / "linked.ini").c_str(), 0640), 0);

        EXPECT_TRUE(bSaved);
        EXPECT_FALSE(bReadOnlySaved);
    }
    EXPECT_EQ(ReadWholeFile(File()), config::FormatSettings(Custom()));
    EXPECT_EQ(ReadWholeFile(m_folder / "linked.ini"), config::FormatSettings(Custom()));
    struct stat after {};
    ASSERT_EQ(::stat(File().c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_nlink, 2u);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(Mode(File()), 0640u);
    EXPECT_EQ(m_sink.Messages(), std::vector<framework::CMessage>{kWriteFailed});
    EXPECT_EQ(m_folder.Names(), (std::vector<std::string>{"linked.ini", "settings.ini"}));
}

// Root saving the settings of a service that runs as its own user: a new
// file would be root's and for root alone, and the service could no longer
// read it. The file keeps its owner and its mode.
TEST_F(SettingsFile, AnotherUsersFileKeepsItsOwnerAndMode) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root writes another user's file";
    ASSERT_TRUE(WriteWholeFile(File(), "irc_Nick=old\n"));
    ASSERT_EQ(::chown(File().c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(File().c_str(), 0644), 0);
    struct stat before {};
    ASSERT_EQ(::stat(File().c_str(), &before), 0);

    ASSERT_TRUE(SaveSettingsFile(File(), Custom(), &m_sink));
    EXPECT_EQ(ReadWholeFile(File()), config::FormatSettings(Custom()));
    struct stat after {};
    ASSERT_EQ(::stat(File().c_str(), &after), 0);
    EXPECT_EQ(after.st_uid, 65534u);
    EXPECT_EQ(after.st_gid, 65534u);
    EXPECT_EQ(Mode(File()), 0644u);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(m_folder.Names(), std::vector<std::string>{"settings.ini"});
}

TEST_F(SettingsFile, PlacesThatCannotHoldTheFileAreRefused) {
    ASSERT_EQ(::mkdir((m_folder / "dir.ini").c_str(), 0700), 0);
    ASSERT_EQ(::symlink("nowhere.ini", (m_folder / "dangling.ini").c_str()), 0);
    const struct {
        const char* m_pszName;
        std::string m_strPath;
    } kRows[] = {
        {"MissingFolder", m_folder / "missing/settings.ini"},
        {"DirectoryInItsPlace", m_folder / "dir.ini"},
        {"DanglingLink", m_folder / "dangling.ini"},
        {"EmptyPath", ""},
    };
    for (const auto& row : kRows) {
        m_sink.Clear();
        EXPECT_FALSE(SaveSettingsFile(row.m_strPath, Custom(), &m_sink)) << row.m_pszName;
        ASSERT_EQ(m_sink.Count(), 1u) << row.m_pszName;
        EXPECT_EQ(m_sink.Last(), kWriteFailed) << row.m_pszName;
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
    CSettings loaded;
    const bool bLoaded = LoadSettingsFile(config::kSettingsFileName, loaded);
    ASSERT_EQ(::chdir(szOld), 0);

    EXPECT_TRUE(bSaved);
    EXPECT_TRUE(bLoaded);
    EXPECT_EQ(loaded, Custom());
    EXPECT_EQ(m_folder.Names(), std::vector<std::string>{"settings.ini"});
}

}  // namespace
