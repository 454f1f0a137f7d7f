#pragma once
// A fresh folder under /tmp for one test, removed with everything in it.
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace testsupport {

class CTempFolder {
public:
    CTempFolder() {
        std::string strTemplate = "/tmp/fr-settings-XXXXXX";
        if (::mkdtemp(strTemplate.data()) != nullptr) m_strPath = strTemplate;
    }
    ~CTempFolder() {
        if (m_strPath.empty()) return;
        ::chmod(m_strPath.c_str(), 0700);  // a test may have made it read-only
        std::error_code ec;
        std::filesystem::remove_all(m_strPath, ec);
    }
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    bool IsValid() const { return !m_strPath.empty(); }
    const std::string& Path() const { return m_strPath; }
    std::string operator/(const std::string& strName) const { return m_strPath + "/" + strName; }

    // The names in the folder, sorted.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(m_strPath, ec))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string m_strPath;
};

inline std::string ReadWholeFile(const std::string& strPath) {
    std::ifstream in(strPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool WriteWholeFile(const std::string& strPath, const std::string& strText) {
    std::ofstream out(strPath, std::ios::binary | std::ios::trunc);
    out << strText;
    return static_cast<bool>(out);
}

}  // namespace testsupport
