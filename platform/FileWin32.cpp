// platform/File.h on Windows. The new text is written to a temporary file
// beside the old one whose access list names its owner alone (on NTFS; FAT
// keeps none), flushed, and moved over the old file with MoveFileExW, which
// replaces it in one step. The moved file keeps the temporary's access list.
#include <windows.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <vector>

#include "platform/File.h"
#include "platform/FileWin32.h"

namespace platform {

namespace win32 {

std::wstring Wide(const std::string& strUtf8) {
    if (strUtf8.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, strUtf8.data(),
                                        static_cast<int>(strUtf8.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring str(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, strUtf8.data(), static_cast<int>(strUtf8.size()), str.data(),
                          n);
    return str;
}

std::string Utf8(const std::wstring& strWide) {
    if (strWide.empty()) return {};
    const int n = ::WideCharToMultiByte(
        CP_UTF8, 0, strWide.data(), static_cast<int>(strWide.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string str(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, strWide.data(), static_cast<int>(strWide.size()), str.data(),
                          n, nullptr, nullptr);
    return str;
}

}  // namespace win32

namespace {

using win32::Wide;

struct CHandleCloser {
    void operator()(void* h) const {
        if (h != nullptr && h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
    }
};
using CHandle = std::unique_ptr<void, CHandleCloser>;

CHandle OpenExisting(const std::wstring& strPath, DWORD dwAccess, DWORD dwFlags = 0) {
    HANDLE h = ::CreateFileW(strPath.c_str(), dwAccess,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | dwFlags, nullptr);
    return CHandle(h == INVALID_HANDLE_VALUE ? nullptr : h);
}

}  // namespace

std::wstring win32::TargetPath(const std::wstring& strPath) {
    const DWORD dwAttr = ::GetFileAttributesW(strPath.c_str());
    if (dwAttr == INVALID_FILE_ATTRIBUTES || (dwAttr & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return strPath;
    const CHandle hFile = OpenExisting(strPath, 0);
    if (!hFile) return {};
    wchar_t szFinal[MAX_PATH * 4];
    const DWORD n = ::GetFinalPathNameByHandleW(hFile.get(), szFinal, MAX_PATH * 4, 0);
    if (n == 0 || n >= MAX_PATH * 4) return {};
    return std::wstring(szFinal, n);
}

namespace {

// An existing file is replaced only when it is a plain file that is not
// marked read-only and that we may write.
bool MayReplace(const std::wstring& strTarget) {
    const DWORD dwAttr = ::GetFileAttributesW(strTarget.c_str());
    if (dwAttr == INVALID_FILE_ATTRIBUTES) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    if ((dwAttr & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DEVICE)) !=
        0)
        return false;
    return static_cast<bool>(OpenExisting(strTarget, GENERIC_WRITE));
}

}  // namespace

bool win32::OwnerOnlySecurity(std::vector<unsigned char>& user, std::vector<unsigned char>& acl,
                              SECURITY_DESCRIPTOR& sd) {
    HANDLE hToken = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &hToken)) return false;
    DWORD dwSize = 0;
    ::GetTokenInformation(hToken, TokenUser, nullptr, 0, &dwSize);
    user.resize(dwSize);
    const bool bUser =
        dwSize > 0 && ::GetTokenInformation(hToken, TokenUser, user.data(), dwSize, &dwSize);
    ::CloseHandle(hToken);
    if (!bUser) return false;
    PSID pSid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
    acl.resize(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + ::GetLengthSid(pSid));
    PACL pAcl = reinterpret_cast<PACL>(acl.data());
    return ::InitializeAcl(pAcl, static_cast<DWORD>(acl.size()), ACL_REVISION) &&
           ::AddAccessAllowedAce(pAcl, ACL_REVISION, FILE_ALL_ACCESS, pSid) &&
           ::InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) &&
           ::SetSecurityDescriptorDacl(&sd, TRUE, pAcl, FALSE) &&
           ::SetSecurityDescriptorControl(&sd, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
}

namespace {

bool WriteAll(HANDLE hFile, const std::string& strText) {
    size_t nDone = 0;
    while (nDone < strText.size()) {
        const DWORD dwChunk =
            static_cast<DWORD>(std::min<size_t>(strText.size() - nDone, 1u << 30));
        DWORD dwWritten = 0;
        if (!::WriteFile(hFile, strText.data() + nDone, dwChunk, &dwWritten, nullptr) ||
            dwWritten == 0)
            return false;
        nDone += dwWritten;
    }
    return true;
}

// The fallback when no temporary file can be made beside the file: it is
// cut to nothing and written where it is, then flushed, so its owner, access
// list and hard links stay; only here can an interrupted write leave it short.
bool WriteInPlace(const std::wstring& strTarget, const std::string& strText) {
    const CHandle hFile = OpenExisting(strTarget, GENERIC_WRITE);
    if (!hFile || ::GetFileType(hFile.get()) != FILE_TYPE_DISK) return false;
    return ::SetFilePointer(hFile.get(), 0, nullptr, FILE_BEGIN) == 0 &&
           ::SetEndOfFile(hFile.get()) && WriteAll(hFile.get(), strText) &&
           ::FlushFileBuffers(hFile.get());
}

bool WriteReplacing(const std::wstring& strTarget, const std::string& strText) {
    const size_t nSlash = strTarget.find_last_of(L"\\/");
    const std::wstring strFolder =
        nSlash == std::wstring::npos ? std::wstring() : strTarget.substr(0, nSlash + 1);
    const std::wstring strBase =
        nSlash == std::wstring::npos ? strTarget : strTarget.substr(nSlash + 1);

    std::vector<unsigned char> user, acl;
    SECURITY_DESCRIPTOR sd{};
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, FALSE};
    if (win32::OwnerOnlySecurity(user, acl, sd)) sa.lpSecurityDescriptor = &sd;

    // A name nobody else uses: CREATE_NEW refuses one that exists.
    std::wstring strTemp;
    HANDLE hFile = INVALID_HANDLE_VALUE;
    for (unsigned n = 0; n < 100 && hFile == INVALID_HANDLE_VALUE; ++n) {
        strTemp = strFolder + L"." + strBase + L"." + std::to_wstring(::GetCurrentProcessId()) +
                  L"-" + std::to_wstring(::GetTickCount() + n);
        hFile = ::CreateFileW(strTemp.c_str(), GENERIC_WRITE, 0, &sa, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
        if (hFile == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (hFile == INVALID_HANDLE_VALUE) {
        // A folder we may not write around a file we may: the file itself
        // is rewritten.
        return ::GetLastError() == ERROR_ACCESS_DENIED && WriteInPlace(strTarget, strText);
    }
    bool bOk = WriteAll(hFile, strText) && ::FlushFileBuffers(hFile);
    bOk = ::CloseHandle(hFile) && bOk;
    bOk = bOk && ::MoveFileExW(strTemp.c_str(), strTarget.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!bOk) {
        ::DeleteFileW(strTemp.c_str());
        return false;
    }
    return true;
}

}  // namespace

CFileReader::~CFileReader() {
    Close();
}

bool CFileReader::Open(const std::string& strPath) {
    Close();
    const std::wstring strWide = Wide(strPath);
    if (strWide.empty()) return false;
    // A folder does not open without backup semantics; a pipe or a device
    // opens but is not a disk file.
    CHandle hFile = OpenExisting(strWide, GENERIC_READ);
    if (!hFile || ::GetFileType(hFile.get()) != FILE_TYPE_DISK) return false;
    m_nHandle = reinterpret_cast<intptr_t>(hFile.release());
    return true;
}

int CFileReader::Read(char* pBuf, size_t nCap) {
    if (m_nHandle == -1) return -1;
    DWORD dwRead = 0;
    const DWORD dwCap = static_cast<DWORD>(std::min<size_t>(nCap, INT_MAX));
    if (!::ReadFile(reinterpret_cast<HANDLE>(m_nHandle), pBuf, dwCap, &dwRead, nullptr)) return -1;
    return static_cast<int>(dwRead);
}

void CFileReader::Close() {
    if (m_nHandle != -1) {
        ::CloseHandle(reinterpret_cast<HANDLE>(m_nHandle));
        m_nHandle = -1;
    }
}

bool ReplaceFileWhole(const std::string& strPath, const std::string& strText) {
    const std::wstring strWide = Wide(strPath);
    if (strWide.empty()) return false;
    const std::wstring strTarget = win32::TargetPath(strWide);
    return !strTarget.empty() && MayReplace(strTarget) && WriteReplacing(strTarget, strText);
}

}  // namespace platform
