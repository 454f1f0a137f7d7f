#include "platform/FileInfo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

namespace platform {

namespace {

std::string FolderOf(const std::string& strPath) {
    const size_t nSlash = strPath.rfind('/');
    if (nSlash == std::string::npos) return ".";
    return nSlash == 0 ? "/" : strPath.substr(0, nSlash);
}

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

// strerror_r comes in two forms: the GNU one returns the text (which may
// not be in buf), the XSI one fills buf.
[[maybe_unused]] std::string TextOfStrerror(const char* pszText, const char* /*pszBuf*/) {
    return pszText != nullptr ? pszText : "";
}
[[maybe_unused]] std::string TextOfStrerror(int /*nResult*/, const char* pszBuf) {
    return pszBuf;
}

}  // namespace

CPathInfo InspectPath(const std::string& strPath) {
    struct stat st {};
    if (::stat(strPath.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return {EPathKind::Absent, 0};
        return {EPathKind::Unknown, errno};
    }
    if (S_ISREG(st.st_mode)) return {EPathKind::File, 0};
    if (S_ISDIR(st.st_mode)) return {EPathKind::Folder, 0};
    return {EPathKind::Other, 0};
}

int ReadError(const std::string& strPath) {
    const int nFd = ::open(strPath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (nFd < 0) return errno;
    ::close(nFd);
    return 0;
}

bool ReadableByOthers(const std::string& strPath) {
    struct stat st {};
    return ::stat(strPath.c_str(), &st) == 0 && (st.st_mode & (S_IRGRP | S_IROTH)) != 0;
}

int ReplaceError(const std::string& strPath) {
    struct stat st {};
    if (::stat(strPath.c_str(), &st) == 0) {
        if (::access(strPath.c_str(), W_OK) != 0) return errno;
        // Root passes every access check; a file without any write bit is
        // one its owner protected, and the writer leaves it alone.
        if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return EACCES;
    }
    // The new text goes to a file made beside the old one. A link is
    // written through, so its target's folder is the one that counts.
    std::string strTarget = strPath;
    std::vector<char> vReal(PATH_MAX + 1, '\0');
    if (::realpath(strPath.c_str(), vReal.data()) != nullptr) strTarget = vReal.data();
    if (::access(FolderOf(strTarget).c_str(), W_OK | X_OK) != 0) return errno;
    return 0;
}

int CreateNewFile(const std::string& strPath, const std::string& strText) {
    // O_EXCL also refuses a link, dangling or not: nothing is written through it.
    const int nFd = ::open(strPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC,
                           S_IRUSR | S_IWUSR);
    if (nFd < 0) return errno;
    int nError = 0;
    // Root making a file in another user's folder (a service's state folder)
    // makes it that user's, so that the service can read it.
    struct stat folder {};
    if (::geteuid() == 0 && ::stat(FolderOf(strPath).c_str(), &folder) == 0 && folder.st_uid != 0 &&
        ::fchown(nFd, folder.st_uid, folder.st_gid) != 0)
        nError = errno;
    if (nError == 0 && (!WriteAll(nFd, strText) || ::fsync(nFd) != 0))
        nError = errno != 0 ? errno : EIO;
    if (::close(nFd) != 0 && nError == 0) nError = errno;
    if (nError != 0) ::unlink(strPath.c_str());
    return nError;
}

std::string AbsolutePath(const std::string& strPath) {
    if (!strPath.empty() && strPath[0] == '/') return strPath;
    std::vector<char> vDir(PATH_MAX + 1, '\0');
    if (::getcwd(vDir.data(), vDir.size()) == nullptr) return strPath;
    std::string strDir = vDir.data();
    if (strDir.empty() || strDir.back() != '/') strDir += '/';
    std::string strRest = strPath;
    while (strRest.rfind("./", 0) == 0) strRest.erase(0, 2);
    return strDir + strRest;
}

std::string CommandWord(const std::string& strPath) {
    for (const char c : strPath) {
        const bool bPlain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                            (c >= '0' && c <= '9') || c == '/' || c == '.' || c == '_' ||
                            c == '-' || c == '+' || c == ',' || c == ':' || c == '@';
        if (!bPlain) {
            std::string strQuoted = "'";
            for (const char q : strPath)
                strQuoted += q == '\'' ? std::string("'\\''") : std::string(1, q);
            return strQuoted + "'";
        }
    }
    return strPath;
}

std::string ErrorText(int nError) {
    char buf[256] = {};
    return TextOfStrerror(::strerror_r(nError, buf, sizeof buf), buf);
}

}  // namespace platform
