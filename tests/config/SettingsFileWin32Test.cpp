// settings.ini on Windows' file system: the atomic replacement through
// MoveFileExW, the owner-only access list, the files Windows protects, and
// that a file saved on either system loads the same on both.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SettingsPrint.h"
#include "TempFolder.h"
#include "config/SettingsFile.h"
#include "framework/MessageBox.h"
#include "ui/WindowSettings.h"
// After the framework's headers: windows.h defines IDOK and MessageBox as
// macros, which would rename the framework's own names.
#include <windows.h>
// After windows.h, which it needs.
#include <aclapi.h>

#include "support/Wine.h"

namespace {

using config::CSettings;
using config::LoadSettingsFile;
using testsupport::CTempFolder;
using testsupport::ReadWholeFile;
using testsupport::WriteWholeFile;

// What the window's Apply does with a file it has read: write it, and tell
// the operator when that fails.
bool SaveSettingsFile(const std::string& strPath, const config::CSettings& values,
                      framework::IMessageSink* pSink) {
    ui::CWindowSettings file(strPath);
    file.Load();
    return file.Save(values, pSink);
}

const framework::CMessage kWriteFailed{"Couldn't write to file.", "Error", framework::EIcon::Error};

std::wstring Wide(const std::string& str) {
    return std::wstring(str.begin(), str.end());  // the temporary folder's name is ASCII
}

CSettings Custom() {
    CSettings v = config::DefaultSettings();
    v.m_irc.m_strChannel = "#clan";
    v.m_irc.m_strPassword = "secret";
    v.m_irc.m_bAuth = true;
    return v;
}

class SettingsFileWin32 : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_folder.IsValid()); }
    std::string File() const { return m_folder / "settings.ini"; }

    CTempFolder m_folder;
    framework::CRecordingMessageSink m_sink;
};

TEST_F(SettingsFileWin32, SaveReplacesTheFileWholeAndLeavesNoTemporary) {
    // A longer old file: nothing of it may remain behind the new text.
    ASSERT_TRUE(WriteWholeFile(File(), std::string(5000, 'x')));
    ASSERT_TRUE(SaveSettingsFile(File(), Custom(), &m_sink));
    EXPECT_EQ(ReadWholeFile(File()), config::FormatSettings(Custom()));
    EXPECT_EQ(m_folder.Names(), std::vector<std::string>{"settings.ini"});
    CSettings loaded;
    EXPECT_TRUE(LoadSettingsFile(File(), loaded));
    EXPECT_EQ(loaded, Custom());
    EXPECT_EQ(m_sink.Count(), 0u);
}

TEST_F(SettingsFileWin32, LineEndsOfEitherSystemLoadTheSame) {
    const std::string strCrLf = config::FormatSettings(Custom());
    std::string strLf;
    for (char c : strCrLf)
        if (c != '\r') strLf += c;
    ASSERT_NE(strLf, strCrLf);
    ASSERT_TRUE(WriteWholeFile(m_folder / "crlf.ini", strCrLf));
    ASSERT_TRUE(WriteWholeFile(m_folder / "lf.ini", strLf));
    CSettings fromWindows, fromLinux;
    ASSERT_TRUE(LoadSettingsFile(m_folder / "crlf.ini", fromWindows));
    ASSERT_TRUE(LoadSettingsFile(m_folder / "lf.ini", fromLinux));
    EXPECT_EQ(fromWindows, Custom());
    EXPECT_EQ(fromLinux, Custom());
}

TEST_F(SettingsFileWin32, SavedFileIsForItsOwnerOnly) {
    FR_SKIP_UNDER_WINE("access lists are made up from the Linux mode bits");
    ASSERT_TRUE(SaveSettingsFile(File(), Custom(), &m_sink));
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
    // One entry: the user this test runs as.
    ASSERT_EQ(pDacl->AceCount, 1);
    void* pAce = nullptr;
    ASSERT_TRUE(::GetAce(pDacl, 0, &pAce));
    auto* pAllowed = static_cast<ACCESS_ALLOWED_ACE*>(pAce);
    EXPECT_EQ(pAllowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    HANDLE hToken = nullptr;
    ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &hToken));
    std::vector<unsigned char> user(256);
    DWORD dwSize = 0;
    ASSERT_TRUE(::GetTokenInformation(hToken, TokenUser, user.data(),
                                      static_cast<DWORD>(user.size()), &dwSize));
    ::CloseHandle(hToken);
    EXPECT_TRUE(::EqualSid(reinterpret_cast<PSID>(&pAllowed->SidStart),
                           reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid));
    ::LocalFree(pSd);
}

TEST_F(SettingsFileWin32, ReadOnlyFileStaysAndTheOperatorIsTold) {
    ASSERT_TRUE(WriteWholeFile(File(), "irc_Nick=kept\r\n"));
    ASSERT_TRUE(::SetFileAttributesW(Wide(File()).c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(SaveSettingsFile(File(), Custom(), &m_sink));
    EXPECT_EQ(m_sink.Last(), kWriteFailed);
    ::SetFileAttributesW(Wide(File()).c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadWholeFile(File()), "irc_Nick=kept\r\n");
    EXPECT_EQ(m_folder.Names(), std::vector<std::string>{"settings.ini"});
}

TEST_F(SettingsFileWin32, WhatIsNoPlainFileIsRefusedAndGivesTheDefaults) {
    ASSERT_TRUE(::CreateDirectoryW(Wide(m_folder / "dir.ini").c_str(), nullptr));
    EXPECT_FALSE(SaveSettingsFile(m_folder / "dir.ini", Custom(), &m_sink));
    EXPECT_EQ(m_sink.Last(), kWriteFailed);
    const struct {
        const char* pszName;
        std::string strPath;
    } kRows[] = {
        {"folder", m_folder / "dir.ini"},
        {"missing", m_folder / "none.ini"},
        {"console device", "CON"},
        {"pipe namespace", "\\\\.\\pipe\\fragrelay-no-such-pipe"},
    };
    for (const auto& row : kRows) {
        CSettings values = Custom();
        EXPECT_FALSE(LoadSettingsFile(row.strPath, values)) << row.pszName;
        EXPECT_EQ(values, config::DefaultSettings()) << row.pszName;
    }
    EXPECT_EQ(m_folder.Names(), std::vector<std::string>{"dir.ini"});
}

TEST_F(SettingsFileWin32, RelativeNameIsInTheWorkingFolder) {
    wchar_t szOld[MAX_PATH];
    ASSERT_GT(::GetCurrentDirectoryW(MAX_PATH, szOld), 0u);
    ASSERT_TRUE(::SetCurrentDirectoryW(Wide(m_folder.Path()).c_str()));
    const bool bSaved = SaveSettingsFile(config::kSettingsFileName, Custom(), &m_sink);
    CSettings loaded;
    const bool bLoaded = LoadSettingsFile(config::kSettingsFileName, loaded);
    ASSERT_TRUE(::SetCurrentDirectoryW(szOld));
    EXPECT_TRUE(bSaved);
    EXPECT_TRUE(bLoaded);
    EXPECT_EQ(loaded, Custom());
    EXPECT_EQ(m_folder.Names(), std::vector<std::string>{"settings.ini"});
}

}  // namespace
