#include "config/SettingsHelp.h"

#include <string_view>

#include "config/SettingsKeys.h"

namespace config {

namespace {

constexpr size_t kMeaningColumn = 31;

}  // namespace

std::string SettingsKeysHelp() {
    std::string strHelp;
    for (const CSettingKey& key : SettingKeys()) {
        std::string strEntry =
            "  " + std::string(key.m_strName) + "=" + std::string(key.m_strDefault);
        strEntry += strEntry.size() + 2 <= kMeaningColumn
                        ? std::string(kMeaningColumn - strEntry.size(), ' ')
                        : "\n" + std::string(kMeaningColumn, ' ');
        for (const char* psz = key.m_pszHelp; psz != nullptr && *psz != '\0'; ++psz) {
            strEntry += *psz;
            if (*psz == '\n') strEntry += std::string(kMeaningColumn, ' ');
        }
        strHelp += strEntry + "\n";
    }
    return strHelp;
}

}  // namespace config
