// What the headless program's messages say about a path: the full path
// looked for, and what is there.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "config/TempFolder.h"
#include "platform/FileInfo.h"

namespace {

TEST(FileInfo, AbsolutePathPutsTheWorkingFolderInFront) {
    char buf[4096];
    ASSERT_NE(::getcwd(buf, sizeof buf), nullptr);
    const std::string strCwd = buf;
    const std::string strDir = strCwd == "/" ? "" : strCwd;
    const struct {
        const char* pszPath;
        std::string strAbsolute;
    } rows[] = {
        {"settings.ini", strDir + "/settings.ini"},
        {"./settings.ini", strDir + "/settings.ini"},
        {"conf/../a.ini", strDir + "/conf/../a.ini"},  // as given, not resolved
        {"/srv/bot/settings.ini", "/srv/bot/settings.ini"},
    };
    for (const auto& row : rows) EXPECT_EQ(platform::AbsolutePath(row.pszPath), row.strAbsolute);
}

TEST(FileInfo, TellsWhatIsThereAndNeverReplacesOnCreate) {
    testsupport::CTempFolder folder;
    ASSERT_TRUE(folder.IsValid());
    const std::string strFile = folder / "a.ini";
    EXPECT_EQ(platform::InspectPath(strFile).eKind, platform::EPathKind::Absent);
    EXPECT_EQ(platform::InspectPath(folder / "a.ini/b").eKind, platform::EPathKind::Absent);
    EXPECT_EQ(platform::InspectPath(folder.Path()).eKind, platform::EPathKind::Folder);

    ASSERT_EQ(platform::CreateNewFile(strFile, "one"), 0);
    EXPECT_EQ(platform::InspectPath(strFile).eKind, platform::EPathKind::File);
    EXPECT_EQ(platform::CreateNewFile(strFile, "two"), EEXIST);
    EXPECT_EQ(testsupport::ReadWholeFile(strFile), "one");
    EXPECT_EQ(platform::ReadError(strFile), 0);
    EXPECT_EQ(platform::ReplaceError(strFile), 0);
    ASSERT_EQ(::chmod(strFile.c_str(), 0400), 0);
    EXPECT_EQ(platform::ReplaceError(strFile), EACCES);  // its owner protected it

    EXPECT_EQ(platform::ErrorText(ENOENT), "No such file or directory");
}

// fragrelayd --write-settings as root into a service's state folder: the
// service must be able to read what root made for it.
TEST(FileInfo, RootMakesTheFileTheFoldersOwners) {
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

}  // namespace
