// What the headless program's messages say about a path on Windows: the
// full path as the system reads it, a file marked read-only or held by
// another program, devices, the new file's access list, and a path as a
// word of cmd.exe's command line.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <aclapi.h>

#include <cerrno>
#include <string>

#include "config/TempFolder.h"
#include "platform/FileInfo.h"
#include "support/Wine.h"

namespace {

using platform::EPathKind;

std::wstring Wide(const std::string& str) {
    return std::wstring(str.begin(), str.end());  // the temporary folder's name is ASCII
}

std::string Backslashed(std::string str) {
    for (char& c : str)
        if (c == '/') c = '\\';
    return str;
}

class FileInfoWin32 : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_folder.IsValid()); }
    std::string File() const { return m_folder / "settings.ini"; }

    testsupport::CTempFolder m_folder;
};

TEST_F(FileInfoWin32, AbsolutePathIsTheOneTheSystemReads) {
    wchar_t szOld[MAX_PATH];
    ASSERT_GT(::GetCurrentDirectoryW(MAX_PATH, szOld), 0u);
    ASSERT_TRUE(::SetCurrentDirectoryW(Wide(m_folder.Path()).c_str()));
    const std::string strDir = Backslashed(m_folder.Path());
    const struct {
        const char* pszPath;
        std::string strAbsolute;
    } rows[] = {
        {"settings.ini", strDir + "\\settings.ini"},
        {"./settings.ini", strDir + "\\settings.ini"},
        {"conf/../a.ini", strDir + "\\a.ini"},
        {"conf/b.ini", strDir + "\\conf\\b.ini"},
        {"C:/srv/bot/settings.ini", "C:\\srv\\bot\\settings.ini"},
        {"\\srv\\a.ini", strDir.substr(0, 2) + "\\srv\\a.ini"},  // on the current drive
    };
    std::vector<std::string> got;
    for (const auto& row : rows) got.push_back(platform::AbsolutePath(row.pszPath));
    ASSERT_TRUE(::SetCurrentDirectoryW(szOld));
    for (size_t n = 0; n < got.size(); ++n)
        EXPECT_EQ(got[n], rows[n].strAbsolute) << rows[n].pszPath;
}

TEST_F(FileInfoWin32, FileMarkedReadOnlyIsProtected) {
    ASSERT_EQ(platform::CreateNewFile(File(), "one"), 0);
    ASSERT_TRUE(::SetFileAttributesW(Wide(File()).c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(platform::ReadError(File()), 0);
    EXPECT_EQ(platform::ReplaceError(File()), EACCES);
    ASSERT_TRUE(::SetFileAttributesW(Wide(File()).c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(platform::ReplaceError(File()), 0);
}

// An editor or a backup program that opened the file for itself alone.
TEST_F(FileInfoWin32, FileHeldByAnotherProgramCannotBeReadNow) {
    ASSERT_EQ(platform::CreateNewFile(File(), "one"), 0);
    const HANDLE h = ::CreateFileW(Wide(File()).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(platform::InspectPath(File()).m_eKind, EPathKind::File);
    EXPECT_EQ(platform::ReadError(File()), EACCES);
    EXPECT_EQ(platform::ReplaceError(File()), EACCES);
    ::CloseHandle(h);
    EXPECT_EQ(platform::ReadError(File()), 0);
}

TEST_F(FileInfoWin32, DevicesAndPipesAreNoPlainFiles) {
    EXPECT_EQ(platform::InspectPath("NUL").m_eKind, EPathKind::Other);
    EXPECT_EQ(platform::InspectPath("\\\\.\\pipe\\fragrelay-no-such-pipe").m_eKind,
              EPathKind::Absent);
    EXPECT_EQ(platform::InspectPath(m_folder.Path() + "\\").m_eKind, EPathKind::Folder);
}

TEST_F(FileInfoWin32, NewFileIsForItsOwnerOnly) {
    FR_SKIP_UNDER_WINE("access lists are made up from the Linux mode bits");
    ASSERT_EQ(platform::CreateNewFile(File(), "x"), 0);
    PACL pDacl = nullptr;
    PSECURITY_DESCRIPTOR pSd = nullptr;
    ASSERT_EQ(
        ::GetNamedSecurityInfoW(Wide(File()).c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                nullptr, nullptr, &pDacl, nullptr, &pSd),
        static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_NE(pDacl, nullptr);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD dwRevision = 0;
    ASSERT_TRUE(::GetSecurityDescriptorControl(pSd, &control, &dwRevision));
    EXPECT_NE(control & SE_DACL_PROTECTED, 0) << "the folder's entries are not inherited";
    EXPECT_EQ(pDacl->AceCount, 1);
    ::LocalFree(pSd);
}

TEST(FileInfoWin32Words, CommandWordQuotesForCmd) {
    const struct {
        const char* pszPath;
        const char* pszWord;
    } rows[] = {
        {"C:\\Users\\me\\fragrelay\\settings.ini", "C:\\Users\\me\\fragrelay\\settings.ini"},
        {"C:\\Program Files\\fragrelay\\settings.ini",
         "\"C:\\Program Files\\fragrelay\\settings.ini\""},
        {"D:\\clan&co\\s.ini", "\"D:\\clan&co\\s.ini\""},
        {"D:\\bots (2)\\s.ini", "\"D:\\bots (2)\\s.ini\""},
    };
    for (const auto& row : rows) EXPECT_EQ(platform::CommandWord(row.pszPath), row.pszWord);
}

}  // namespace
