#include "config/SettingsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "framework/MessageBox.h"
#include "res/Resource.h"
#include "res/StringTable.h"

namespace config {

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

void SyncFolder(const std::string& strFolder) {
    const int nFd = ::open(strFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (nFd < 0) return;
    ::fsync(nFd);  // best effort: the rename is done either way
    ::close(nFd);
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
    if (nFd < 0) return false;
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

bool LoadSettingsFile(const std::string& strPath, CSettingsValues& values) {
    // Non-blocking open: a FIFO in its place must not hang the start.
    const int nFd = ::open(strPath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (nFd < 0) {
        values = DefaultSettings();
        return false;
    }
    struct stat st {};
    if (::fstat(nFd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(nFd);
        values = DefaultSettings();
        return false;
    }
    CSettingsParser parser;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(nFd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            parser.Abandon();
            break;
        }
        if (n == 0) {
            parser.Finish();
            break;
        }
        parser.Feed(std::string_view(buf, static_cast<size_t>(n)));
    }
    ::close(nFd);
    values = parser.Values();
    return true;
}

bool SaveSettingsFile(const std::string& strPath, const CSettingsValues& values,
                      framework::IMessageSink* pSink) {
    const std::string strTarget = TargetPath(strPath);
    const bool bOk = !strTarget.empty() && MayReplace(strTarget) &&
                     WriteReplacing(strTarget, FormatSettings(values));
    if (!bOk && pSink != nullptr) {
        pSink->ShowMessage(framework::CMessage{res::LoadResString(res::IDS_WRITE_FAILED),
                                               res::LoadResString(res::IDS_ERROR),
                                               framework::EIcon::Error});
    }
    return bOk;
}

}  // namespace config
