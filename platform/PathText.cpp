#include "platform/PathText.h"

namespace platform {

namespace {

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

bool IsAbsolutePath(std::string_view strPath) {
    if (!strPath.empty() && IsSeparator(strPath[0])) return true;
    return strPath.size() >= 3 && IsLetter(strPath[0]) && strPath[1] == ':' &&
           IsSeparator(strPath[2]);
}

std::string FolderOf(std::string_view strPath) {
    const size_t nLast = strPath.find_last_of("/\\");
    if (nLast == std::string_view::npos) return ".";
    if (nLast == 0) return std::string(strPath.substr(0, 1));
    return std::string(strPath.substr(0, nLast));
}

std::string JoinPath(std::string_view strFolder, std::string_view strName) {
    std::string strPath(strFolder);
    if (!strPath.empty() && !IsSeparator(strPath.back())) strPath += '/';
    strPath += strName;
    return strPath;
}

}  // namespace platform
