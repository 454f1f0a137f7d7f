#pragma once
// A fresh folder in the system's temporary folder for one test, removed
// with everything in it.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <system_error>
#include <vector>
#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace testsupport {

class CTempFolder {
public:
    CTempFolder() {
#ifdef _WIN32
        std::error_code ec;
        const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
        std::random_device random;
        for (int nTry = 0; nTry < 100 && m_strPath.empty() && !ec; ++nTry) {
            const std::filesystem::path path = base / ("fr-settings-" + std::to_string(random()));
            if (std::filesystem::create_directory(path, ec)) m_strPath = path.generic_string();
        }
#else
        std::string strTemplate = "/tmp/fr-settings-XXXXXX";
        if (::mkdtemp(strTemplate.data()) != nullptr) m_strPath = strTemplate;
#endif
    }
    ~CTempFolder() {
        if (m_strPath.empty()) return;
        std::error_code ec;
        // A test may have made it read-only.
        std::filesystem::permissions(m_strPath, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_strPath, ec);
    }
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    bool IsValid() const {
        return !m_strPath.empty();
    }
    const std::string& Path() const {
        return m_strPath;
    }
    std::string operator/(const std::string& strName) const {
        return m_strPath + "/" + strName;
    }

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
