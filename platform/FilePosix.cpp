#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "platform/File.h"

namespace platform {

namespace {

bool WriteAll(int nFd, const std::string& strText) {
    size_t nDone = 0;
    while (nDone < strText.size()) {
        const ssize_t n = ::write(nFd, strText.data() + nDone, strText.size() - nDone);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        nDone += static_cast<size_t>(n);
    }
    return true;
}

// The file the text finally lands in: the path itself, or where its link
// points. Empty when it cannot be replaced.
std::string TargetPath(const std::string& strPath) {
    if (strPath.empty()) return {};
    struct stat st {};
    if (::lstat(strPath.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char* pszReal = ::realpath(strPath.c_str(), nullptr);
        if (pszReal == nullptr) return {};  // dangling link or a loop
        std::string strReal(pszReal);
        std::free(pszReal);
        return strReal;
    }
    return strPath;
}

// An existing file is replaced only when we may write it and it is not
// marked read-only: the rename would otherwise go over a file its owner
// protected (and root passes every access check).
bool MayReplace(const std::string& strTarget) {
    struct stat st {};
    if (::stat(strTarget.c_str(), &st) != 0) return errno == ENOENT;
    if (!S_ISREG(st.st_mode)) return false;
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
    return ::access(strTarget.c_str(), W_OK) == 0;
}

// An existing file another user owns: root saving a service's settings, or
// a file a group shares.
bool IsAnotherUsers(const std::string& strTarget) {
    struct stat st {};
    return ::stat(strTarget.c_str(), &st) == 0 && st.st_uid != ::geteuid();
}

void SyncFolder(const std::string& strFolder) {
    const int nFd = ::open(strFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (nFd < 0) return;
    ::fsync(nFd);  // best effort: the rename is done either way
    ::close(nFd);
}

// When no temporary file can be made beside the file, or a new one would
// take the file from its owner: it is truncated and written where it is,
// then flushed, so its owner, mode and hard links stay; only here can an
// interrupted write leave it short.
bool WriteInPlace(const std::string& strTarget, const std::string& strText) {
    const int nFd = ::open(strTarget.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (nFd < 0) return false;
    struct stat st {};
    bool bOk = ::fstat(nFd, &st) == 0 && S_ISREG(st.st_mode) && ::ftruncate(nFd, 0) == 0 &&
               WriteAll(nFd, strText) && ::fsync(nFd) == 0;
    bOk = ::close(nFd) == 0 && bOk;
    return bOk;
}

bool WriteReplacing(const std::string& strTarget, const std::string& strText) {
    const size_t nSlash = strTarget.rfind('/');
    const std::string strFolder = nSlash == std::string::npos ? std::string(".")
                                  : nSlash == 0               ? std::string("/")
                                                              : strTarget.substr(0, nSlash);
    const std::string strBase =
        nSlash == std::string::npos ? strTarget : strTarget.substr(nSlash + 1);
    std::string strTemp = strFolder + "/." + strBase + ".XXXXXX";

    const int nFd = ::mkostemp(strTemp.data(), O_CLOEXEC);
    if (nFd < 0) {
        // A folder we may not write around a file we may: the file itself
        // is rewritten.
        return (errno == EACCES || errno == EPERM) && WriteInPlace(strTarget, strText);
    }
    bool bOk = ::fchmod(nFd, S_IRUSR | S_IWUSR) == 0 && WriteAll(nFd, strText) && ::fsync(nFd) == 0;
    bOk = ::close(nFd) == 0 && bOk;
    bOk = bOk && ::rename(strTemp.c_str(), strTarget.c_str()) == 0;
    if (!bOk) {
        ::unlink(strTemp.c_str());
        return false;
    }
    SyncFolder(strFolder);
    return true;
}

}  // namespace

CFileReader::~CFileReader() {
    Close();
}

bool CFileReader::Open(const std::string& strPath) {
    Close();
    // Non-blocking open: a FIFO in its place must not hang the caller.
    const int nFd = ::open(strPath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (nFd < 0) return false;
    struct stat st {};
    if (::fstat(nFd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(nFd);
        return false;
    }
    m_nHandle = nFd;
    return true;
}

int CFileReader::Read(char* pBuf, size_t nCap) {
    if (m_nHandle < 0) return -1;
    for (;;) {
        const ssize_t n =
            ::read(static_cast<int>(m_nHandle), pBuf, std::min<size_t>(nCap, INT_MAX));
        if (n < 0 && errno == EINTR) continue;
        return n < 0 ? -1 : static_cast<int>(n);
    }
}

void CFileReader::Close() {
    if (m_nHandle >= 0) {
        ::close(static_cast<int>(m_nHandle));
        m_nHandle = -1;
    }
}

bool ReplaceFileWhole(const std::string& strPath, const std::string& strText) {
    const std::string strTarget = TargetPath(strPath);
    if (strTarget.empty() || !MayReplace(strTarget)) return false;
    // A new file would be ours and for us alone: its owner might no longer
    // read it. Another user's file keeps its owner and mode.
    if (IsAnotherUsers(strTarget)) return WriteInPlace(strTarget, strText);
    return WriteReplacing(strTarget, strText);
}

}  // namespace platform
