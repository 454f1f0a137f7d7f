#include "fragrelayd/DaemonSettings.h"

#include <cerrno>
#include <string_view>
#include <vector>

#include "config/SettingsCheck.h"
#include "config/SettingsFile.h"
#include "core/Bot.h"
#include "platform/FileInfo.h"
#include "res/Resource.h"
#include "res/StringTable.h"

namespace fragrelayd {

namespace {

constexpr char kNote[] = "fragrelayd: ";

std::string ShownPath(const std::string& strPath) {
    return ConsoleUtf8Text(platform::AbsolutePath(strPath));
}

// The path as a word of a command line, quoted when it needs to be.
std::string ShellWord(const std::string& strPath) {
    return platform::CommandWord(ShownPath(strPath));
}

// Prints each problem behind its side; true when there is any.
bool PrintSideProblems(std::string_view strSide,
                       const std::vector<config::CSettingsProblem>& problems,
                       const config::CSettings& values, CConsoleOutput& out, bool bToErr) {
    for (const config::CSettingsProblem& problem : problems) {
        const std::string strLine =
            kNote + std::string(strSide) + ": " + ConsoleText(config::ProblemText(problem, values));
        bToErr ? out.PrintErr(strLine) : out.PrintOut(strLine);
    }
    return !problems.empty();
}

// Notes hold nothing back; each is said as a warning behind strPrefix (a
// side's "IRC side: ", or nothing for the file's own), the file by its path.
void PrintNotes(std::string_view strPrefix, const std::vector<config::CSettingsNote>& notes,
                const std::string& strPath, CConsoleOutput& out, bool bToErr) {
    for (const config::CSettingsNote& note : notes) {
        const std::string strLine = kNote + std::string(strPrefix) +
                                    "warning: " + config::NoteText(note, ShownPath(strPath));
        bToErr ? out.PrintErr(strLine) : out.PrintOut(strLine);
    }
}

}  // namespace

bool ReadDaemonSettings(const std::string& strPath, config::CSettings& values,
                        CConsoleOutput& out) {
    const std::string strShown = ShownPath(strPath);
    const platform::CPathInfo info = platform::InspectPath(strPath);
    switch (info.m_eKind) {
        case platform::EPathKind::Absent:
            out.PrintErr(kNote + std::string("no settings file at ") + strShown);
            out.PrintErr(kNote + std::string("make one with \"fragrelayd --write-settings ") +
                         ShellWord(strPath) +
                         "\", fill in its keys (fragrelayd --help lists them) and start again");
            return false;
        case platform::EPathKind::Folder:
            out.PrintErr(kNote + strShown + " is a folder, not a settings file");
            return false;
        case platform::EPathKind::Other:
            out.PrintErr(kNote + strShown + " is not a plain file");
            return false;
        case platform::EPathKind::Unknown:
            out.PrintErr(kNote + std::string("cannot look at ") + strShown + ": " +
                         platform::ErrorText(info.m_nError));
            return false;
        case platform::EPathKind::File:
            break;
    }
    const int nReadError = platform::ReadError(strPath);
    if (nReadError != 0 || !config::LoadSettingsFile(strPath, values)) {
        out.PrintErr(kNote + std::string("cannot read ") + strShown + ": " +
                     platform::ErrorText(nReadError != 0 ? nReadError : EIO));
        return false;
    }
    return true;
}

namespace {

// The file's problems on the error stream, or on the output for --check.
CDaemonPrecheck Precheck(const std::string& strPath, CConsoleOutput& out, bool bProblemsToErr) {
    CDaemonPrecheck check;
    config::CSettings& values = check.m_values;
    if (!ReadDaemonSettings(strPath, values, out)) {
        check.m_nExit = kExitUsage;
        return check;
    }
    PrintNotes("", config::SettingsFileNotes(strPath, values), strPath, out, bProblemsToErr);
    check.m_bIrcProblems =
        PrintSideProblems("IRC side", config::IrcSideProblems(values), values, out, bProblemsToErr);
    PrintNotes("IRC side: ", config::IrcSideNotes(values), strPath, out, bProblemsToErr);
    check.m_bGameProblems = PrintSideProblems("game side", config::GameSideProblems(values), values,
                                              out, bProblemsToErr);
    return check;
}

}  // namespace

CDaemonPrecheck PrepareDaemonRun(const std::string& strPath, CConsoleOutput& out) {
    return Precheck(strPath, out, true);
}

int CheckDaemonSettings(const std::string& strPath, CConsoleOutput& out) {
    const CDaemonPrecheck check = Precheck(strPath, out, false);
    if (check.m_nExit != kExitOk) return check.m_nExit;
    const std::string strShown = ShownPath(strPath);
    if (!check.m_bIrcProblems && !check.m_bGameProblems) {
        out.PrintOut(kNote + strShown + ": both sides can start");
        return kExitOk;
    }
    out.PrintOut(kNote + strShown + ": " +
                 (check.m_bIrcProblems && check.m_bGameProblems ? "neither side can start"
                  : check.m_bIrcProblems                        ? "the IRC side cannot start"
                                                                : "the game side cannot start"));
    return kExitUsage;
}

int WriteDaemonSettings(const std::string& strPath, CConsoleOutput& out) {
    const std::string strShown = ShownPath(strPath);
    const platform::CPathInfo info = platform::InspectPath(strPath);
    if (info.m_eKind == platform::EPathKind::Folder) {
        out.PrintErr(kNote + strShown + " is a folder, not a settings file");
        return kExitUsage;
    }
    const config::CSettings values = config::DefaultSettings();
    const int nError = platform::CreateNewFile(strPath, config::FormatSettings(values));
    if (nError == EEXIST) {
        out.PrintErr(kNote + strShown + " exists already; it is not overwritten");
        return kExitUsage;
    }
    if (nError != 0) {
        out.PrintErr(kNote + std::string("cannot write ") + strShown + ": " +
                     platform::ErrorText(nError));
        return kExitUsage;
    }
    out.PrintOut(kNote + std::string("wrote the default settings to ") + strShown);
    std::string strKeys;
    for (const auto& problems :
         {config::IrcSideProblems(values), config::GameSideProblems(values)}) {
        for (const config::CSettingsProblem& problem : problems)
            strKeys += (strKeys.empty() ? "" : ", ") + std::string(problem.m_pszKey);
    }
    if (!strKeys.empty()) out.PrintOut(kNote + std::string("still to fill in: ") + strKeys);
    out.PrintOut(kNote + std::string("then check them with \"fragrelayd --check -c ") +
                 ShellWord(strPath) + "\"");
    return kExitOk;
}

void ReloadDaemonSettings(core::CBot& bot, const std::string& strPath, CConsoleOutput& out) {
    out.PrintErr(kNote + std::string("SIGHUP: reading ") + ShownPath(strPath) + " again");
    config::CSettings values;
    if (!ReadDaemonSettings(strPath, values, out)) {
        out.PrintErr(kNote + std::string("nothing changed; the bot runs on as before"));
        return;
    }
    PrintNotes("", config::SettingsFileNotes(strPath, values), strPath, out, true);
    // What the sides run with now: the bot's settings.
    const config::CSettings running = bot.Settings();
    const std::vector<std::string> keys = config::ChangedSettingsKeys(running, values);
    if (keys.empty()) {
        out.PrintErr(kNote + std::string("the settings are unchanged"));
        return;
    }
    const config::CSidesOfChange sides = config::SidesOfChange(running, values);
    const bool bIrc = sides.m_bIrc;
    const bool bGame = sides.m_bGame;
    const bool bTicket = sides.m_bTicket;
    std::string strKeys;
    for (const std::string& strKey : keys) strKeys += (strKeys.empty() ? "" : ", ") + strKey;
    out.PrintErr(kNote + std::string("changed: ") + strKeys);

    // The problems of each side that starts again: it will refuse to start.
    const bool bIrcProblems =
        bIrc && PrintSideProblems("IRC side", config::IrcSideProblems(values), values, out, true);
    if (bIrc) PrintNotes("IRC side: ", config::IrcSideNotes(values), strPath, out, true);
    const bool bGameProblems =
        bGame &&
        PrintSideProblems("game side", config::GameSideProblems(values), values, out, true);
    if (bTicket && !bIrc) {
        if (values.m_nTicketSecs > 0) {
            out.PrintErr(kNote +
                         std::string("the ticket interval applies from the next report on"));
        } else {
            out.PrintErr(kNote +
                         ConsoleText(config::ProblemText(
                             {"irc_Tickettime", config::EProblem::NoInterval}, values)) +
                         "; the interval stays " + std::to_string(running.m_nTicketSecs));
        }
    }
    // The bot stops and starts the sides; a side that refuses tells why.
    const core::CReloadResult result = bot.Reload(values);
    const auto report = [&](bool bRestart, bool bStarts, bool bProblems, const char* pszSide) {
        if (!bRestart) return;
        out.PrintErr(kNote + std::string(pszSide) +
                     (bStarts     ? " started again with the new settings"
                      : bProblems ? " stays stopped until its settings are mended and SIGHUP "
                                    "comes again"
                                  : " could not start again (its log says why)"));
    };
    report(bIrc, result.m_bIrcStarts, bIrcProblems, "the IRC side");
    report(bGame, result.m_bGameStarts, bGameProblems, "the game side");
}

}  // namespace fragrelayd
