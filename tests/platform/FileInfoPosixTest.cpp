// What the headless program's messages say about a path on Linux: the full
// path looked for, a file its owner protected, the file root makes for a
// service, and a path as a shell word.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "config/TempFolder.h"
#include "platform/FileInfo.h"

namespace {

TEST(FileInfoPosix, AbsolutePathPutsTheWorkingFolderInFront) {
    char buf[4096];
    ASSERT_NE(::getcwd(buf, sizeof buf), nullptr);
    const std::string strCwd = buf;
    const std::string strDir = strCwd == "/" ? "" : strCwd;
    const struct {
        const char* m_pszPath;
        std::string m_strAbsolute;
    } rows[] = {
        {"settings.ini", strDir + "/settings.ini"},
        {"./settings.ini", strDir + "/settings.ini"},
        {"conf/../a.ini", strDir + "/conf/../a.ini"},  // as given, not resolved
        {"/srv/bot/settings.ini", "/srv/bot/settings.ini"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(platform::AbsolutePath(row.m_pszPath), row.m_strAbsolute);
}

TEST(FileInfoPosix, FileWithoutWriteBitsIsProtected) {
    testsupport::CTempFolder folder;
    ASSERT_TRUE(folder.IsValid());
    const std::string strFile = folder / "a.ini";
    ASSERT_EQ(platform::CreateNewFile(strFile, "one"), 0);
    struct stat st {};
    ASSERT_EQ(::stat(strFile.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::chmod(strFile.c_str(), 0400), 0);
    EXPECT_EQ(platform::ReplaceError(strFile), EACCES);  // its owner protected it
}

// fragrelayd --write-settings as root into a service's state folder: the
// service must be able to read what root made for it.
TEST(FileInfoPosix, RootMakesTheFileTheFoldersOwners) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root gives files away";
    testsupport::CTempFolder folder;
    ASSERT_TRUE(folder.IsValid());
    ASSERT_EQ(::chown(folder.Path().c_str(), 65534, 65534), 0);
    ASSERT_EQ(platform::CreateNewFile(folder / "settings.ini", "x"), 0);
    struct stat st {};
    ASSERT_EQ(::stat((folder / "settings.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(FileInfoPosix, ReadableByOthersByTheGroupAndOtherReadBits) {
    testsupport::CTempFolder folder;
    ASSERT_TRUE(folder.IsValid());
    const std::string strFile = folder / "a.ini";
    ASSERT_EQ(platform::CreateNewFile(strFile, "one"), 0);
    ASSERT_EQ(::symlink("a.ini", (folder / "link.ini").c_str()), 0);
    const struct {
        mode_t m_nMode;
        bool m_bOthers;
    } rows[] = {{0600, false}, {0400, false}, {0620, false}, {0602, false},
                {0640, true},  {0604, true},  {0644, true},  {0040, true}};
    for (const auto& row : rows) {
        ASSERT_EQ(::chmod(strFile.c_str(), row.m_nMode), 0);
        EXPECT_EQ(platform::ReadableByOthers(strFile), row.m_bOthers) << std::oct << row.m_nMode;
        EXPECT_EQ(platform::ReadableByOthers(folder / "link.ini"), row.m_bOthers)
            << "through a link " << std::oct << row.m_nMode;
    }
    EXPECT_FALSE(platform::ReadableByOthers(folder / "missing.ini"));
}

TEST(FileInfoPosix, CommandWordQuotesForTheShell) {
    const struct {
        const char* m_pszPath;
        const char* m_pszWord;
    } rows[] = {
        {"/var/lib/fragrelayd/my-clan_1/settings.ini",
         "/var/lib/fragrelayd/my-clan_1/settings.ini"},
        {"/srv/my bot/s.ini", "'/srv/my bot/s.ini'"},
        {"/srv/it's/s.ini", "'/srv/it'\\''s/s.ini'"},
        {"/srv/$HOME/s.ini", "'/srv/$HOME/s.ini'"},
    };
    for (const auto& row : rows) EXPECT_EQ(platform::CommandWord(row.m_pszPath), row.m_pszWord);
}

}  // namespace
