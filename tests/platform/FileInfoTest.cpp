// What the headless program's messages say about a path, on every system:
// what is there, whether it could be read or replaced, and that making a
// new file never replaces anything.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "config/TempFolder.h"
#include "platform/FileInfo.h"

namespace {

using platform::EPathKind;

// The test's own way to a UTF-8 name, through the wide names on Windows.
std::filesystem::path Utf8Path(const std::string& str) {
    return std::filesystem::path(std::u8string(str.begin(), str.end()));
}

TEST(FileInfo, TellsWhatIsThereAndNeverReplacesOnCreate) {
    testsupport::CTempFolder folder;
    ASSERT_TRUE(folder.IsValid());
    const std::string strFile = folder / "a.ini";
    EXPECT_EQ(platform::InspectPath(strFile).m_eKind, EPathKind::Absent);
    EXPECT_EQ(platform::InspectPath(folder / "a.ini/b").m_eKind, EPathKind::Absent);
    EXPECT_EQ(platform::InspectPath(folder.Path()).m_eKind, EPathKind::Folder);
    EXPECT_EQ(platform::ReadError(strFile), ENOENT);
    EXPECT_EQ(platform::ReplaceError(strFile), 0);  // a new one may be made
    EXPECT_EQ(platform::ReplaceError(folder / "none/a.ini"), ENOENT);

    ASSERT_EQ(platform::CreateNewFile(strFile, "one"), 0);
    EXPECT_EQ(platform::InspectPath(strFile).m_eKind, EPathKind::File);
    EXPECT_EQ(platform::CreateNewFile(strFile, "two"), EEXIST);
    EXPECT_EQ(platform::CreateNewFile(folder.Path(), "two"), EEXIST);
    EXPECT_EQ(platform::CreateNewFile(folder / "none/a.ini", "two"), ENOENT);
    EXPECT_EQ(testsupport::ReadWholeFile(strFile), "one");
    EXPECT_EQ(platform::ReadError(strFile), 0);
    EXPECT_EQ(platform::ReplaceError(strFile), 0);
    // The checks leave nothing behind.
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"a.ini"});

    EXPECT_EQ(platform::ErrorText(ENOENT), "No such file or directory");
    EXPECT_EQ(platform::ErrorText(EROFS), "Read-only file system");
}

// Names beyond ASCII come as UTF-8 and reach the file system as such.
TEST(FileInfo, NamesBeyondAsciiAreTheSameFile) {
    testsupport::CTempFolder folder;
    ASSERT_TRUE(folder.IsValid());
    const std::string strName = "caf\xC3\xA9 \xE2\x82\xAC.ini";  // "café €.ini"
    ASSERT_EQ(platform::CreateNewFile(folder / strName, "x"), 0);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(Utf8Path(folder.Path()))) {
        const std::u8string strU8 = entry.path().filename().u8string();
        names.emplace_back(strU8.begin(), strU8.end());
    }
    EXPECT_EQ(names, std::vector<std::string>{strName});
    std::ifstream in(Utf8Path(folder / strName), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()),
              "x");
    EXPECT_EQ(platform::InspectPath(folder / strName).m_eKind, EPathKind::File);
    EXPECT_EQ(platform::ReadError(folder / strName), 0);
    EXPECT_EQ(platform::CreateNewFile(folder / strName, "y"), EEXIST);
    const std::string strAbsolute = platform::AbsolutePath(folder / strName);
    EXPECT_EQ(strAbsolute.substr(strAbsolute.size() - strName.size()), strName);
}

}  // namespace
