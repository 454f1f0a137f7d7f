#include "ui/WindowSettings.h"

#include "config/SettingsFile.h"
#include "platform/File.h"
#include "res/Resource.h"
#include "res/StringTable.h"

namespace ui {

std::string ChangedOnDiskText(const std::string& strPath) {
    return strPath +
           " was changed by another program since fragrelay read it.\n"
           "Replace it with the values shown here?";
}

std::optional<uint64_t> CWindowSettings::Fingerprint() const {
    platform::CFileReader file;
    if (!file.Open(m_strPath)) return std::nullopt;
    // FNV-1a over every byte: a changed value changes it, whatever its length.
    uint64_t nHash = 14695981039346656037ull;
    char buf[4096];
    for (;;) {
        const int n = file.Read(buf, sizeof buf);
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        for (int i = 0; i < n; ++i) {
            nHash ^= static_cast<unsigned char>(buf[i]);
            nHash *= 1099511628211ull;
        }
    }
    return nHash;
}

config::CSettings CWindowSettings::Load() {
    config::CSettings values;
    config::LoadSettingsFile(m_strPath, values);
    m_nKnown = Fingerprint();
    return values;
}

bool CWindowSettings::Save(const config::CSettings& values, framework::IMessageSink* pSink) {
    const std::optional<uint64_t> nNow = Fingerprint();
    // A file that is gone holds nothing to lose.
    if (nNow && nNow != m_nKnown) {
        const int nAnswer =
            pSink == nullptr
                ? framework::IDNO
                : pSink->ShowMessage(framework::CMessage{
                      ChangedOnDiskText(m_strPath), res::LoadResString(res::IDS_APPNAME),
                      framework::EIcon::Question, framework::EButtons::YesNo});
        if (nAnswer != framework::IDYES) return false;
    }
    if (!config::WriteSettingsFile(m_strPath, values)) {
        if (pSink != nullptr) {
            pSink->ShowMessage(framework::CMessage{res::LoadResString(res::IDS_WRITE_FAILED),
                                                   res::LoadResString(res::IDS_ERROR),
                                                   framework::EIcon::Error});
        }
        return false;
    }
    m_nKnown = Fingerprint();
    return true;
}

}  // namespace ui
