// platform/FileInfo.h on Windows: wide-character paths, the system's errors
// as the nearest errno values (which the messages word through the C
// library, as on Linux).
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/FileInfo.h"
#include "platform/FileWin32.h"

namespace platform {

namespace {

using win32::Wide;

int ErrnoOf(DWORD dwError) {
    switch (dwError) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_BAD_PATHNAME:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_PRIVILEGE_NOT_HELD:
            return EACCES;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_WRITE_PROTECT:
            return EROFS;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        case ERROR_DIRECTORY:
            return ENOTDIR;
        default:
            return EIO;
    }
}

int LastErrno() {
    return ErrnoOf(::GetLastError());
}

// The full path the system reads; the path itself when that fails.
std::wstring FullPath(const std::wstring& strPath) {
    const DWORD n = ::GetFullPathNameW(strPath.c_str(), 0, nullptr, nullptr);
    if (n == 0) return strPath;
    std::wstring strFull(n, L'\0');
    const DWORD nDone = ::GetFullPathNameW(strPath.c_str(), n, strFull.data(), nullptr);
    if (nDone == 0 || nDone >= n) return strPath;
    strFull.resize(nDone);
    return strFull;
}

std::wstring FolderOf(const std::wstring& strFull) {
    const size_t nSlash = strFull.find_last_of(L"\\/");
    return nSlash == std::wstring::npos ? std::wstring(L".") : strFull.substr(0, nSlash + 1);
}

// True when the volume that holds the folder takes no writes at all. Asked
// through a handle and for the flags alone: a volume's label would need
// the device itself, which only an administrator may read.
bool OnReadOnlyVolume(const std::wstring& strFolder) {
    const HANDLE h =
        ::CreateFileW(strFolder.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;  // no folder: the new file says why
    DWORD dwFlags = 0;
    const bool bKnown = ::GetVolumeInformationByHandleW(h, nullptr, 0, nullptr, nullptr, &dwFlags,
                                                        nullptr, 0) != FALSE;
    ::CloseHandle(h);
    return bKnown && (dwFlags & FILE_READ_ONLY_VOLUME) != 0;
}

// Whether the folder takes a new file: tried, since its access list alone
// does not say (the volume, a share or a policy may refuse too). The try
// leaves nothing: the file goes when its handle closes.
int NewFileError(const std::wstring& strFolder) {
    for (unsigned n = 0; n < 100; ++n) {
        const std::wstring strProbe = strFolder + L".fragrelay-probe-" +
                                      std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                      std::to_wstring(::GetTickCount() + n);
        const HANDLE h = ::CreateFileW(
            strProbe.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
            FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            ::CloseHandle(h);
            return 0;
        }
        if (::GetLastError() != ERROR_FILE_EXISTS) return LastErrno();
    }
    return EEXIST;
}

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

}  // namespace

CPathInfo InspectPath(const std::string& strPath) {
    const std::wstring strWide = Wide(strPath);
    if (strWide.empty()) return {EPathKind::Absent, 0};
    // No access asked for: the look needs no right to the file itself, and
    // a link is followed (a dangling one is absent, as on Linux).
    const HANDLE h =
        ::CreateFileW(strWide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const int nError = LastErrno();
        if (nError == ENOENT || nError == ENOTDIR) return {EPathKind::Absent, 0};
        return {EPathKind::Unknown, nError};
    }
    CPathInfo info{EPathKind::Other, 0};
    BY_HANDLE_FILE_INFORMATION file{};
    if (::GetFileType(h) == FILE_TYPE_DISK) {
        if (::GetFileInformationByHandle(h, &file))
            info.m_eKind = (file.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                               ? EPathKind::Folder
                               : EPathKind::File;
        else
            info = {EPathKind::Unknown, LastErrno()};
    }
    ::CloseHandle(h);
    return info;
}

int ReadError(const std::string& strPath) {
    const std::wstring strWide = Wide(strPath);
    if (strWide.empty()) return ENOENT;
    // Shared as the settings reader shares it: a file that another program
    // holds for itself cannot be read now.
    const HANDLE h = ::CreateFileW(strWide.c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return LastErrno();
    ::CloseHandle(h);
    return 0;
}

bool ReadableByOthers(const std::string&) {
    // The settings writer gives its files an access list for their owner
    // alone; another list is the administrator's choice, not judged here.
    return false;
}

int ReplaceError(const std::string& strPath) {
    const std::wstring strWide = Wide(strPath);
    if (strWide.empty()) return ENOENT;
    // A link is written through, so its target's folder is the one that counts.
    std::wstring strTarget = win32::TargetPath(strWide);
    if (strTarget.empty()) strTarget = strWide;
    const std::wstring strFull = FullPath(strTarget);
    const std::wstring strFolder = FolderOf(strFull);
    if (OnReadOnlyVolume(strFolder)) return EROFS;
    const DWORD dwAttr = ::GetFileAttributesW(strFull.c_str());
    if (dwAttr != INVALID_FILE_ATTRIBUTES) {
        // Marked read-only: its owner protected it, and the writer leaves it.
        if ((dwAttr & FILE_ATTRIBUTE_READONLY) != 0) return EACCES;
        const HANDLE h = ::CreateFileW(strFull.c_str(), GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return LastErrno();
        ::CloseHandle(h);
    }
    return NewFileError(strFolder);
}

int CreateNewFile(const std::string& strPath, const std::string& strText) {
    const std::wstring strWide = Wide(strPath);
    if (strWide.empty()) return ENOENT;
    // A link is something at the path too, dangling or not: nothing is
    // written through it.
    if (::GetFileAttributesW(strWide.c_str()) != INVALID_FILE_ATTRIBUTES) return EEXIST;
    std::vector<unsigned char> user, acl;
    SECURITY_DESCRIPTOR sd{};
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, FALSE};
    if (win32::OwnerOnlySecurity(user, acl, sd)) sa.lpSecurityDescriptor = &sd;
    const HANDLE h = ::CreateFileW(strWide.c_str(), GENERIC_WRITE, 0, &sa, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return LastErrno();
    int nError = 0;
    if (!WriteAll(h, strText) || !::FlushFileBuffers(h)) nError = LastErrno();
    if (!::CloseHandle(h) && nError == 0) nError = LastErrno();
    if (nError != 0) ::DeleteFileW(strWide.c_str());
    return nError;
}

std::string AbsolutePath(const std::string& strPath) {
    const std::wstring strWide = Wide(strPath);
    if (strWide.empty()) return strPath;
    const std::string strFull = win32::Utf8(FullPath(strWide));
    return strFull.empty() ? strPath : strFull;
}

std::string CommandWord(const std::string& strPath) {
    // cmd.exe splits at blanks and acts on a few marks outside quotes; a
    // Windows path holds no double quote, so quoting it whole is enough.
    const bool bPlain =
        !strPath.empty() && strPath.find_first_of(" \t&()[]{}^=;!'+,`~<>|") == std::string::npos;
    return bPlain ? strPath : "\"" + strPath + "\"";
}

std::string ErrorText(int nError) {
    char buf[256] = {};
    if (::strerror_s(buf, sizeof buf, nError) != 0) return "error " + std::to_string(nError);
    return buf;
}

}  // namespace platform
