// fragrelayd: the bot without a window, for a server. It reads its settings
// file (settings.ini in the working directory, or the one -c names), starts
// as the Broadcast button does, prints both logs on standard output and the
// operator's messages on standard error, reads its settings again when
// asked (SIGHUP on Linux) and ends on a stop request (SIGTERM or SIGINT;
// Ctrl-C or the console's close on Windows) with its QUIT line. It never
// writes the settings file, except --write-settings into a new one. See
// DaemonUsage().
#include <cstdio>
#include <string>
#include <vector>

#include "fragrelayd/ConsoleOutput.h"
#include "fragrelayd/Daemon.h"
#include "fragrelayd/DaemonCommandLine.h"
#include "fragrelayd/DaemonSettings.h"
#include "platform/Console.h"
#include "res/Version.h"

int main(int argc, char** argv) {
    // A Windows console shows the UTF-8 we print.
    platform::PrepareConsoleOutput();
    fragrelayd::CConsoleOutput console(stdout, stderr);
    const std::vector<std::string> vArgs(argv + (argc > 0 ? 1 : 0), argv + argc);
    fragrelayd::CDaemonOptions options;
    std::string strError;
    if (!fragrelayd::ParseDaemonArgs(vArgs, &options, &strError)) {
        console.PrintErr("fragrelayd: " + fragrelayd::ConsoleUtf8Text(strError) +
                         " (see fragrelayd --help)");
        return fragrelayd::kExitUsage;
    }
    switch (options.m_eAction) {
        case fragrelayd::EDaemonAction::Help:
            std::fputs(fragrelayd::DaemonUsage().c_str(), stdout);
            return fragrelayd::kExitOk;
        case fragrelayd::EDaemonAction::Version:
            std::fputs(res::VersionText("fragrelayd").c_str(), stdout);
            return fragrelayd::kExitOk;
        case fragrelayd::EDaemonAction::WriteSettings:
            return fragrelayd::WriteDaemonSettings(options.m_strWritePath, console);
        case fragrelayd::EDaemonAction::Check:
            return fragrelayd::CheckDaemonSettings(options.m_strSettingsPath, console);
        case fragrelayd::EDaemonAction::Run:
            break;
    }
    const fragrelayd::CDaemonPrecheck precheck =
        fragrelayd::PrepareDaemonRun(options.m_strSettingsPath, console);
    if (precheck.m_nExit != fragrelayd::kExitOk) return precheck.m_nExit;

    // The requests are taken by the main thread alone: caught before any
    // thread starts, so every thread inherits the mask.
    platform::CatchStopRequests();
    platform::CatchReloadRequests();
    fragrelayd::CDaemon daemon(console, options.m_strSettingsPath);
    const int nExit = daemon.Run(precheck.m_values, precheck);
    std::fflush(stdout);
    return nExit;
}
