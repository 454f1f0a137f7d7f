#pragma once
// "settings.ini" on disk. Loading never fails loudly: a file that cannot be
// read gives the first-start defaults. Saving never leaves a half-written
// file: the text goes to a temporary file in the same folder, readable by
// its owner only (it holds the IRC password), flushed to disk and renamed
// over the old one. Both run on the UI thread (or the headless program's
// main thread); they share nothing, so any thread may call them.
#include <string>

#include "config/SettingsFormat.h"

namespace config {

// Opened by this relative name, in the working directory.
inline constexpr char kSettingsFileName[] = "settings.ini";

// Reads the file into values. True when it was read: values then hold the
// constructor values changed by its lines (a read error keeps the lines read
// before it). False when it is absent, unreadable or not a plain file:
// values then hold DefaultSettings(). Never blocks on a FIFO or device.
bool LoadSettingsFile(const std::string& strPath, CSettings& values);

// Writes every key's line (FormatSettings). A symbolic link is written
// through: its target is replaced and the link stays. A file replaced this
// way is its owner's only (0600); one rewritten in place, because its folder
// takes no new file, keeps its mode. On failure leaves an existing file as
// it was and returns false (the caller tells the operator). Refused,
// besides what the system refuses: an existing file we may not write, or
// one without any write permission bit (read-only even for root), a
// dangling link, a path that is not a plain file.
bool WriteSettingsFile(const std::string& strPath, const CSettings& values);

}  // namespace config
