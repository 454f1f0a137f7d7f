#pragma once
// The command line of fragrelayd, the bot without a window, and its help
// text (which the man page is made from). Pure; any thread.
#include <string>
#include <vector>

#include "config/SettingsFile.h"

namespace fragrelayd {

// Exit statuses of fragrelayd.
inline constexpr int kExitOk = 0;
inline constexpr int kExitNothingStarted = 1;  // neither side could start
inline constexpr int kExitUsage = 2;           // a usage or configuration error

enum class EDaemonAction { Run, Help, Version, WriteSettings, Check };

struct CDaemonOptions {
    EDaemonAction m_eAction = EDaemonAction::Run;
    // --settings PATH, -c PATH: the settings file.
    std::string m_strSettingsPath = config::kSettingsFileName;
    // --write-settings PATH; empty: the settings file.
    std::string m_strWritePath;

    bool operator==(const CDaemonOptions&) const = default;
};

// Reads the arguments after the program name. --help and --version win over
// everything after them; "--settings PATH", "--settings=PATH" and "-c PATH"
// name the file, "--write-settings" takes a path when the next argument is
// no option (or "--write-settings=PATH"); --check and --write-settings
// exclude each other. False, with *pstrError in UTF-8 for the operator, on
// a usage error.
bool ParseDaemonArgs(const std::vector<std::string>& vArgs, CDaemonOptions* pOptions,
                     std::string* pstrError);

// The text of --help: options, output, signals, exit statuses, the settings
// keys with their defaults, files.
std::string DaemonUsage();

}  // namespace fragrelayd
