#include "config/SettingsFile.h"

#include "platform/File.h"

namespace config {

bool LoadSettingsFile(const std::string& strPath, CSettings& values) {
    platform::CFileReader file;
    if (!file.Open(strPath)) {
        values = DefaultSettings();
        return false;
    }
    CSettingsParser parser;
    char buf[4096];
    for (;;) {
        const int n = file.Read(buf, sizeof buf);
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
    values = parser.Values();
    return true;
}

bool WriteSettingsFile(const std::string& strPath, const CSettings& values) {
    return platform::ReplaceFileWhole(strPath, FormatSettings(values));
}

}  // namespace config
