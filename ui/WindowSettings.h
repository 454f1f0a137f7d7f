#pragma once
// settings.ini as the window keeps it: read when the window opens, written
// on Apply and Quit. A file that another program (an editor, fragrelayd's
// --write-settings) changed on disk since the window last read or wrote it
// is never replaced without asking: Yes replaces it, No keeps the file and
// leaves the window's values unsaved. UI thread.
#include <cstdint>
#include <optional>
#include <string>

#include "config/Settings.h"
#include "framework/MessageBox.h"

namespace ui {

// The question's text, naming the file as the operator gave it.
std::string ChangedOnDiskText(const std::string& strPath);

class CWindowSettings {
public:
    explicit CWindowSettings(std::string strPath) : m_strPath(std::move(strPath)) {}

    // The file's values, or the first-start defaults when there is none;
    // remembers what was on disk.
    config::CSettings Load();
    // Writes the values, asking first (through pSink) when the file changed
    // on disk since Load or the last Save. False when the operator said No,
    // or when the write failed ("Couldn't write to file." through pSink).
    bool Save(const config::CSettings& values, framework::IMessageSink* pSink);

    const std::string& Path() const { return m_strPath; }

private:
    // A hash of the file's bytes; nullopt when there is no readable file.
    std::optional<uint64_t> Fingerprint() const;

    const std::string m_strPath;
    std::optional<uint64_t> m_nKnown;  // what the window last read or wrote
};

}  // namespace ui
