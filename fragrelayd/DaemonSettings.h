#pragma once
// fragrelayd and its settings file: reading it with a clear word for every
// way it can fail, the checks of --check and of the start (each problem by
// its key), --write-settings, and the new reading on SIGHUP. Every note goes
// to the console as "fragrelayd: " + text, with the full path of the file.
#include <string>

#include "config/Settings.h"
#include "fragrelayd/ConsoleOutput.h"
#include "fragrelayd/DaemonCommandLine.h"

namespace core {
class CBot;
}

namespace fragrelayd {

// What the start found in the settings.
struct CDaemonPrecheck {
    int m_nExit = 0;              // kExitOk: go on; else the exit status
    bool m_bIrcProblems = false;  // the IRC side cannot start with these settings
    bool m_bGameProblems = false;
    config::CSettings m_values;  // what the file says
};

// Reads the file into values. False when there is none or it cannot be
// read; the reason and what to do are printed on the error stream.
bool ReadDaemonSettings(const std::string& strPath, config::CSettings& values, CConsoleOutput& out);

// Before the run: the file must be readable (fragrelayd only ever reads
// it, so a read-only one is fine). Each problem of either side is printed
// on the error stream, and each note as a warning: a password in a file
// others may read, a password the login sends in plain text. Any thread;
// before the bot starts.
CDaemonPrecheck PrepareDaemonRun(const std::string& strPath, CConsoleOutput& out);

// --check: the same, each problem and note on standard output, and a
// verdict; kExitOk only when both sides can start (notes do not count),
// else kExitUsage. Contacts nothing.
int CheckDaemonSettings(const std::string& strPath, CConsoleOutput& out);

// --write-settings: the defaults of a first start, as the window writes
// them, into a new file readable by its owner only, and the keys still to
// fill in. Never overwrites: kExitUsage when anything is at the path.
int WriteDaemonSettings(const std::string& strPath, CConsoleOutput& out);

// SIGHUP: reads the file again; each side whose settings changed is stopped
// and started with the new ones (the IRC side for its connection keys, the
// game side for server, port, language, colours and filters); the ticket
// interval applies at the next report without a restart. A file that
// cannot be read changes nothing. Says what it does. Main thread.
void ReloadDaemonSettings(core::CBot& bot, const std::string& strPath, CConsoleOutput& out);

}  // namespace fragrelayd
