#include "fragrelayd/DaemonCommandLine.h"

#include "config/SettingsHelp.h"

namespace fragrelayd {

namespace {

bool IsOption(const std::string& strArg) {
    return strArg.size() > 1 && strArg[0] == '-';
}

}  // namespace

bool ParseDaemonArgs(const std::vector<std::string>& vArgs, CDaemonOptions* pOptions,
                     std::string* pstrError) {
    CDaemonOptions options;
    bool bCheck = false;
    bool bWrite = false;
    for (size_t n = 0; n < vArgs.size(); ++n) {
        const std::string& strArg = vArgs[n];
        if (strArg == "--help" || strArg == "-h") {
            *pOptions = CDaemonOptions();
            pOptions->m_eAction = EDaemonAction::Help;
            return true;
        }
        if (strArg == "--version") {
            *pOptions = CDaemonOptions();
            pOptions->m_eAction = EDaemonAction::Version;
            return true;
        }
        if (strArg == "--check") {
            bCheck = true;
        } else if (strArg == "--settings" || strArg == "-c") {
            if (n + 1 >= vArgs.size() || vArgs[n + 1].empty()) {
                *pstrError = strArg + " needs the path of a settings file";
                return false;
            }
            options.m_strSettingsPath = vArgs[++n];
        } else if (strArg.rfind("--settings=", 0) == 0) {
            options.m_strSettingsPath = strArg.substr(11);
            if (options.m_strSettingsPath.empty()) {
                *pstrError = "--settings needs the path of a settings file";
                return false;
            }
        } else if (strArg == "--write-settings") {
            bWrite = true;
            if (n + 1 < vArgs.size() && !vArgs[n + 1].empty() && !IsOption(vArgs[n + 1]))
                options.m_strWritePath = vArgs[++n];
        } else if (strArg.rfind("--write-settings=", 0) == 0) {
            bWrite = true;
            options.m_strWritePath = strArg.substr(17);
            if (options.m_strWritePath.empty()) {
                *pstrError = "--write-settings= needs a path";
                return false;
            }
        } else {
            *pstrError = "unknown argument \"" + strArg + "\"";
            return false;
        }
    }
    if (bCheck && bWrite) {
        *pstrError = "--check and --write-settings exclude each other";
        return false;
    }
    if (bWrite && options.m_strWritePath.empty())
        options.m_strWritePath = options.m_strSettingsPath;
    options.m_eAction = bCheck   ? EDaemonAction::Check
                        : bWrite ? EDaemonAction::WriteSettings
                                 : EDaemonAction::Run;
    *pOptions = options;
    return true;
}

std::string DaemonUsage() {
    return std::string(
               "Usage: fragrelayd [-c PATH] [--check | --write-settings [PATH]]\n"
               "\n"
               "The fragrelay bot without a window, for a server. It reads its settings\n"
               "file, then starts as the window's Broadcast button does: it connects to\n"
               "the IRC server and joins the channel, polls the game server and relays\n"
               "what happens in the game into the channel, until it is stopped. A side\n"
               "whose settings are incomplete is named with the keys to fill in, and the\n"
               "other side still starts.\n"
               "\n"
               "Options:\n"
               "  -c, --settings PATH  the settings file (default: settings.ini in the\n"
               "                       working directory)\n"
               "  --write-settings [PATH]\n"
               "                       write the default settings to PATH (default: the\n"
               "                       settings file) for editing, as the window would;\n"
               "                       never overwrites a file\n"
               "  --check              read the settings file, report each problem by its\n"
               "                       key and exit; contacts nothing\n"
               "  -h, --help           print this help and exit\n"
               "  --version            print the version and exit\n"
               "\n"
               "Output:\n"
               "  stdout  every line of the IRC log as \"irc: \" + line, every line of the\n"
               "          game log as \"game: \" + line\n"
               "  stderr  messages as caption \": \" text; the program's own notes behind\n"
               "          \"fragrelayd: \"\n"
               "  Both in UTF-8, one line each, flushed at once. mIRC colour and format\n"
               "  codes are left out; any other control character is shown as \\xNN.\n"
               "\n"
               "Signals:\n"
               "  SIGTERM, SIGINT  end the bot: the QUIT line to the IRC server, exit\n"
               "                   status 0 within two seconds. The settings file is left\n"
               "                   as it is. On Windows: Ctrl-C, Ctrl-Break, closing the\n"
               "                   console window, log-off and shut-down.\n"
               "  SIGHUP           read the settings file again and restart each side whose\n"
               "                   settings changed: the IRC side for the irc_ keys, the game\n"
               "                   side for the bf_, colour and show_ keys; irc_Tickettime\n"
               "                   applies from the next ticket report on, without a restart.\n"
               "                   A file that cannot be read changes nothing. Windows has\n"
               "                   no SIGHUP: there, stop the bot and start it again.\n"
               "\n"
               "Exit status:\n"
               "  0  ended by SIGTERM or SIGINT; with --check: both sides can start;\n"
               "     with --write-settings: the file was written\n"
               "  1  neither side could be started, and not for want of settings (the\n"
               "     program could not set itself up): a service manager may try again.\n"
               "     A side that cannot reach its server keeps trying instead.\n"
               "  2  a usage or configuration error: an unknown argument, no settings\n"
               "     file (or one that cannot be read),\n"
               "     settings with which neither side can start, a file --write-settings\n"
               "     would overwrite\n"
               "\n"
               "Settings file keys (key=value, with what --write-settings writes):\n") +
           config::SettingsKeysHelp() +
           "\n"
           "Files:\n"
           "  settings.ini  the settings, in the working directory unless -c names\n"
           "                another file; only read (--write-settings makes a new one)\n"
           "\n"
           "The systemd unit fragrelayd@INSTANCE keeps the settings of one game\n"
           "server in /var/lib/fragrelayd/INSTANCE/settings.ini.\n";
}

}  // namespace fragrelayd
