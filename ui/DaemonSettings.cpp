#include "ui/DaemonSettings.h"

#include <cerrno>
#include <string_view>
#include <vector>

#include "config/SettingsCheck.h"
#include "config/SettingsFile.h"
#include "platform/FileInfo.h"
#include "res/Resource.h"
#include "res/StringTable.h"
#include "ui/ColorDlg.h"
#include "ui/GameDlg.h"
#include "ui/IrcDlg.h"
#include "ui/MainDlg.h"
#include "ui/SettingsPages.h"

namespace ui {

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
                       const config::CSettingsValues& values, CConsoleOutput& out, bool bToErr) {
    for (const config::CSettingsProblem& problem : problems) {
        const std::string strLine =
            kNote + std::string(strSide) + ": " + ConsoleText(config::ProblemText(problem, values));
        bToErr ? out.PrintErr(strLine) : out.PrintOut(strLine);
    }
    return !problems.empty();
}

}  // namespace

bool ReadDaemonSettings(const std::string& strPath, config::CSettingsValues& values,
                        CConsoleOutput& out) {
    const std::string strShown = ShownPath(strPath);
    const platform::CPathInfo info = platform::InspectPath(strPath);
    switch (info.eKind) {
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
                         platform::ErrorText(info.nError));
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
    config::CSettingsValues values;
    if (!ReadDaemonSettings(strPath, values, out)) {
        check.nExit = kExitUsage;
        return check;
    }
    const int nWriteError = platform::ReplaceError(strPath);
    if (nWriteError == EROFS) {
        out.PrintErr(kNote + ShownPath(strPath) +
                     " lies on a read-only file system; the bot writes its settings there when "
                     "it stops");
        check.nExit = kExitUsage;
        return check;
    }
    if (nWriteError != 0) {
        out.PrintErr(kNote + ShownPath(strPath) + " cannot be written (" +
                     platform::ErrorText(nWriteError) +
                     "); the settings will not be saved when the bot stops");
    }
    check.bIrcProblems =
        PrintSideProblems("IRC side", config::IrcSideProblems(values), values, out, bProblemsToErr);
    check.bGameProblems = PrintSideProblems("game side", config::GameSideProblems(values), values,
                                            out, bProblemsToErr);
    return check;
}

}  // namespace

CDaemonPrecheck PrepareDaemonRun(const std::string& strPath, CConsoleOutput& out) {
    return Precheck(strPath, out, true);
}

int CheckDaemonSettings(const std::string& strPath, CConsoleOutput& out) {
    const CDaemonPrecheck check = Precheck(strPath, out, false);
    if (check.nExit != kExitOk) return check.nExit;
    const std::string strShown = ShownPath(strPath);
    if (!check.bIrcProblems && !check.bGameProblems) {
        out.PrintOut(kNote + strShown + ": both sides can start");
        return kExitOk;
    }
    out.PrintOut(kNote + strShown + ": " +
                 (check.bIrcProblems && check.bGameProblems ? "neither side can start"
                  : check.bIrcProblems                      ? "the IRC side cannot start"
                                                            : "the game side cannot start"));
    return kExitUsage;
}

int WriteDaemonSettings(const std::string& strPath, CConsoleOutput& out) {
    const std::string strShown = ShownPath(strPath);
    const platform::CPathInfo info = platform::InspectPath(strPath);
    if (info.eKind == platform::EPathKind::Folder) {
        out.PrintErr(kNote + strShown + " is a folder, not a settings file");
        return kExitUsage;
    }
    const config::CSettingsValues values = config::DefaultSettings();
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
            strKeys += (strKeys.empty() ? "" : ", ") + std::string(problem.pszKey);
    }
    if (!strKeys.empty()) out.PrintOut(kNote + std::string("still to fill in: ") + strKeys);
    out.PrintOut(kNote + std::string("then check them with \"fragrelayd --check -c ") +
                 ShellWord(strPath) + "\"");
    return kExitOk;
}

void ReloadDaemonSettings(CMainDlg& main, const std::string& strPath, CConsoleOutput& out) {
    CIrcDlg* pIrc = main.IrcPage();
    CGameDlg* pGame = main.GamePage();
    CColorDlg* pColors = main.SettingsPage();
    if (pIrc == nullptr || pGame == nullptr || pColors == nullptr) return;
    out.PrintErr(kNote + std::string("SIGHUP: reading ") + ShownPath(strPath) + " again");
    config::CSettingsValues values;
    if (!ReadDaemonSettings(strPath, values, out)) {
        out.PrintErr(kNote + std::string("nothing changed; the bot runs on as before"));
        return;
    }
    // What the sides run with now: their pages' fields.
    const config::CSettingsValues running = ui::CollectSettings(*pIrc, *pGame, *pColors);
    const std::vector<std::string> keys = config::ChangedSettingsKeys(running, values);
    if (keys.empty()) {
        out.PrintErr(kNote + std::string("the settings are unchanged"));
        return;
    }
    bool bIrc = false;
    bool bGame = false;
    bool bTicket = false;
    std::string strKeys;
    for (const std::string& strKey : keys) {
        strKeys += (strKeys.empty() ? "" : ", ") + strKey;
        if (strKey == "irc_Tickettime")
            bTicket = true;
        else if (strKey.rfind("irc_", 0) == 0)
            bIrc = true;
        else
            bGame = true;
    }
    out.PrintErr(kNote + std::string("changed: ") + strKeys);

    // The problems of each side that starts again: it will refuse to start.
    const bool bIrcProblems =
        bIrc && PrintSideProblems("IRC side", config::IrcSideProblems(values), values, out, true);
    const bool bGameProblems =
        bGame &&
        PrintSideProblems("game side", config::GameSideProblems(values), values, out, true);
    if (bTicket && !bIrc) {
        if (values.m_nTicketSecs > 0) {
            // The reporter reads it before each wait: no restart needed.
            pIrc->GameShared().SetTicketSecs(values.m_nTicketSecs);
            pIrc->UpdateData(false);
            out.PrintErr(kNote +
                         std::string("the ticket interval applies from the next report on"));
        } else {
            out.PrintErr(kNote +
                         ConsoleText(config::ProblemText(
                             {"irc_Tickettime", config::EProblem::NoInterval}, values)) +
                         "; the interval stays " + std::to_string(pIrc->GameShared().TicketSecs()));
        }
    }
    if (!bIrc && !bGame) return;

    // Stop what starts again: the game side first, so that its closing line
    // reaches the channel before the IRC side goes (as Broadcast off does).
    // Each side's own state says whether it is wanted.
    const bool bBroadcasting = pGame->m_bBroadcast.load();
    if (bGame) pGame->StopMonitoring();
    if (bIrc && pIrc->IsSessionActive()) pIrc->EndSession();
    if (bIrc) ui::ApplyIrcSettings(values, *pIrc);
    if (bGame) {
        ui::ApplyGameSettings(values, *pGame);
        ui::ApplyColorSettings(values, *pColors);
    }
    // Each Connect takes its values from the controls.
    pIrc->UpdateData(false);
    pGame->UpdateData(false);
    pColors->UpdateData(false);
    // The game's Connect waits for the stopped monitor to end. A side that
    // refuses shows its message, as at the start. A side that starts keeps
    // relaying on its own afterwards, as Broadcast's start makes it: a
    // server that refuses now or drops it later is tried again.
    if (bIrc) {
        pIrc->SetKeepAlive(true);
        pIrc->Connect();
        if (!pIrc->IsSessionActive()) pIrc->SetKeepAlive(false);
    }
    if (bGame) {
        pGame->SetKeepAlive(true);
        pGame->StartMonitoring();
    }
    // Relaying goes on when both sides run, as Broadcast does.
    if (!bBroadcasting && pIrc->IsSessionActive() && pGame->IsMonitoring()) main.OnBroadcast();
    const auto report = [&](bool bRestart, bool bRunning, bool bProblems, const char* pszSide) {
        if (!bRestart) return;
        out.PrintErr(kNote + std::string(pszSide) +
                     (bRunning    ? " started again with the new settings"
                      : bProblems ? " stays stopped until its settings are mended and SIGHUP "
                                    "comes again"
                                  : " could not start again (its log says why)"));
    };
    report(bIrc, pIrc->IsSessionActive(), bIrcProblems, "the IRC side");
    report(bGame, pGame->IsMonitoring(), bGameProblems, "the game side");
}

}  // namespace ui
