// fragrelayd: the bot without a window, for a server. It reads settings.ini
// from the working directory, starts as the Broadcast button does, prints
// both logs on standard output and message boxes on standard error, and
// ends on SIGTERM or SIGINT as the Quit button does.
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "framework/Dispatcher.h"
#include "platform/Console.h"
#include "platform/Text.h"
#include "res/Resource.h"
#include "res/StringTable.h"
#include "ui/BotApp.h"
#include "ui/ConsoleOutput.h"
#include "ui/GameDlg.h"
#include "ui/IrcDlg.h"

namespace {

constexpr char kUsage[] =
    "Usage: fragrelayd [--help | --version]\n"
    "\n"
    "The fragrelay bot without a window. Reads settings.ini from the working\n"
    "directory (the window program writes the same file), then starts as the\n"
    "Broadcast button does: connects to the IRC server and joins the channel,\n"
    "polls the game server and relays what happens there into the channel.\n"
    "\n"
    "Standard output: every line of the IRC log as \"irc: \" + line and every\n"
    "line of the game log as \"game: \" + line. Standard error: messages as\n"
    "caption \": \" text. Both in UTF-8, one line each, flushed at once.\n"
    "\n"
    "SIGTERM or SIGINT ends it as Quit does: the QUIT line, the settings\n"
    "saved, exit status 0. Exit status 1 when neither the IRC side nor the\n"
    "game side could be started; 2 for an unknown argument.\n";

// Longest wait for a start-up still in progress (a connect the network
// keeps waiting) once a stop signal has come.
constexpr auto kStartWaitOnStop = std::chrono::milliseconds(1500);

enum class EStart { Running, NoneStarted, Started };

void PrintError(const std::string& strText) {
    const std::string strLine = "fragrelayd: " + strText + "\n";
    std::fwrite(strLine.data(), 1, strLine.size(), stderr);
    std::fflush(stderr);
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string strArg = argv[i];
        if (strArg == "--help" || strArg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (strArg == "--version") {
            std::printf("fragrelayd (%s) %s\n", res::LoadResString(res::IDS_APPNAME).c_str(),
                        res::LoadResString(res::IDS_VERSION).c_str());
            return 0;
        }
        PrintError("unknown argument \"" + platform::Cp1252ToUtf8(strArg) + "\"");
        std::fputs(kUsage, stderr);
        return 2;
    }

    // The stop requests are taken by the main thread alone, before any
    // thread starts. A reader that went away must not end the bot: output
    // to it just fails.
    platform::CatchStopRequests();
    platform::PrepareConsoleOutput();

    ui::CConsoleOutput console(stdout, stderr);
    framework::CDispatcher dispatcher;  // its thread is the UI thread
    dispatcher.StartThread();
    CBotApp app(dispatcher);
    std::unique_ptr<ui::CLogPrinter> pIrcLog;
    std::unique_ptr<ui::CLogPrinter> pGameLog;

    bool bCreated = false;
    dispatcher.Invoke([&] {
        bCreated = app.InitInstance(console);
        if (!bCreated) return;
        CMainDlg& main = *app.MainDlg();
        pIrcLog =
            std::make_unique<ui::CLogPrinter>(*main.IrcPage(), res::IDC_IRC_LOG, "irc: ", console);
        pGameLog = std::make_unique<ui::CLogPrinter>(*main.GamePage(), res::IDC_GAME_LOG,
                                                     "game: ", console);
    });
    if (!bCreated) {
        PrintError("the main window could not be created");
        return 1;
    }

    // The start runs on the UI thread while this thread listens for a stop,
    // so that a stop during a long connect is still heard.
    std::atomic<EStart> eStart{EStart::Running};
    dispatcher.Post(
        [&] { eStart = app.StartAsBroadcast() ? EStart::Started : EStart::NoneStarted; });
    bool bStopRequested = false;
    while (!bStopRequested && eStart.load() != EStart::NoneStarted)
        bStopRequested = platform::WaitForStopRequest(200);

    if (!bStopRequested) {
        PrintError("neither the IRC side nor the game side could be started");
        dispatcher.Invoke([&] { app.ExitInstance(); });
        pIrcLog.reset();
        pGameLog.reset();
        dispatcher.Stop();
        return 1;
    }

    const auto startWaitEnd = std::chrono::steady_clock::now() + kStartWaitOnStop;
    while (eStart.load() == EStart::Running && std::chrono::steady_clock::now() < startWaitEnd)
        platform::WaitForStopRequest(20);
    if (eStart.load() == EStart::Running) {
        // The UI thread is held by a connect that the network keeps waiting:
        // nothing was connected and nothing changed, so nothing to send or save.
        PrintError("stopped while still connecting; ending without saving");
        std::fflush(stdout);
        std::_Exit(0);
    }

    dispatcher.Invoke([&] {
        app.Quit();
        // The printers stay attached to the end, so that the last lines the
        // threads log while they end are printed too.
        app.ExitInstance();
    });
    pIrcLog.reset();
    pGameLog.reset();
    dispatcher.Stop();
    std::fflush(stdout);
    return 0;
}
