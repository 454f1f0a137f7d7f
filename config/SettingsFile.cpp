#include "config/SettingsFile.h"

#include "framework/MessageBox.h"
#include "platform/File.h"
#include "res/Resource.h"
#include "res/StringTable.h"

namespace config {

bool LoadSettingsFile(const std::string& strPath, CSettingsValues& values) {
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

bool SaveSettingsFile(const std::string& strPath, const CSettingsValues& values,
                      framework::IMessageSink* pSink) {
    const bool bOk = platform::ReplaceFileWhole(strPath, FormatSettings(values));
    if (!bOk && pSink != nullptr) {
        pSink->ShowMessage(framework::CMessage{res::LoadResString(res::IDS_WRITE_FAILED),
                                               res::LoadResString(res::IDS_ERROR),
                                               framework::EIcon::Error});
    }
    return bOk;
}

}  // namespace config
