#pragma once
// Expected texts that name paths are written with "{dir}" for the test's
// folder and "/" between the names that follow it. A Windows program shows
// such a path with backslashes: FolderText turns the folder and the rest of
// each path that follows it into that form.
#include <string>

namespace testsupport {

// Every "{dir}" replaced with strDir; with bBackslashes, every "/" from
// there to the end of the path (a blank, a quote, a colon or a line end)
// becomes "\".
inline std::string FolderText(const std::string& strText, const std::string& strDir,
                              bool bBackslashes) {
    static const std::string kMark = "{dir}";
    std::string str;
    size_t nAt = 0;
    for (size_t nMark = strText.find(kMark); nMark != std::string::npos;
         nMark = strText.find(kMark, nAt)) {
        str += strText.substr(nAt, nMark - nAt) + strDir;
        nAt = nMark + kMark.size();
        const size_t nEnd = strText.find_first_of(" \"':\n", nAt);
        std::string strRest =
            strText.substr(nAt, nEnd == std::string::npos ? std::string::npos : nEnd - nAt);
        if (bBackslashes) {
            for (char& c : strRest)
                if (c == '/') c = '\\';
        }
        str += strRest;
        nAt += strRest.size();
    }
    return str + strText.substr(nAt);
}

}  // namespace testsupport
