// fragrelayd: the bot without a window, for a server. It reads its settings
// file (settings.ini in the working directory, or the one -c names), starts
// as the Broadcast button does, prints both logs on standard output and
// message boxes on standard error, reads its settings again when asked
// (SIGHUP on Linux) and ends on a stop request (SIGTERM or SIGINT; Ctrl-C or
// the console's close on Windows) as the Quit button does. See
// DaemonUsage().
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "framework/Dispatcher.h"
#include "platform/Console.h"
#include "res/Resource.h"
#include "res/Version.h"
#include "ui/BotApp.h"
#include "ui/ConsoleOutput.h"
#include "ui/DaemonCommandLine.h"
#include "ui/DaemonSettings.h"
#include "ui/GameDlg.h"
#include "ui/IrcDlg.h"

namespace {

// Longest wait for work still in progress on the UI thread (a start or a
// new reading of the settings, whose connect the network keeps waiting)
// once a stop signal has come.
constexpr auto kBusyWaitOnStop = std::chrono::milliseconds(1500);

enum class EStart { Running, NoneStarted, Started };

void PrintNote(ui::CConsoleOutput& console, const std::string& strText) {
    console.PrintErr("fragrelayd: " + strText);
}

}  // namespace

int main(int argc, char** argv) {
    // A Windows console shows the UTF-8 we print.
    platform::PrepareConsoleOutput();
    ui::CConsoleOutput console(stdout, stderr);
    const std::vector<std::string> vArgs(argv + (argc > 0 ? 1 : 0), argv + argc);
    ui::CDaemonOptions options;
    std::string strError;
    if (!ui::ParseDaemonArgs(vArgs, &options, &strError)) {
        PrintNote(console, ui::ConsoleUtf8Text(strError) + " (see fragrelayd --help)");
        return ui::kExitUsage;
    }
    switch (options.eAction) {
        case ui::EDaemonAction::Help:
            std::fputs(ui::DaemonUsage().c_str(), stdout);
            return ui::kExitOk;
        case ui::EDaemonAction::Version:
            std::fputs(res::VersionText("fragrelayd").c_str(), stdout);
            return ui::kExitOk;
        case ui::EDaemonAction::WriteSettings:
            return ui::WriteDaemonSettings(options.strWritePath, console);
        case ui::EDaemonAction::Check:
            return ui::CheckDaemonSettings(options.strSettingsPath, console);
        case ui::EDaemonAction::Run:
            break;
    }
    const ui::CDaemonPrecheck precheck = ui::PrepareDaemonRun(options.strSettingsPath, console);
    if (precheck.nExit != ui::kExitOk) return precheck.nExit;

    // The requests are taken by the main thread alone: caught before any
    // thread starts, so every thread inherits the mask.
    platform::CatchStopRequests();
    platform::CatchReloadRequests();

    framework::CDispatcher dispatcher;  // its thread is the UI thread
    dispatcher.StartThread();
    ui::CMainDlg::COptions mainOptions;
    mainOptions.strSettingsPath = options.strSettingsPath;
    ui::CBotApp app(dispatcher, platform::SystemClock(), mainOptions);
    std::unique_ptr<ui::CLogPrinter> pIrcLog;
    std::unique_ptr<ui::CLogPrinter> pGameLog;

    bool bCreated = false;
    dispatcher.Invoke([&] {
        bCreated = app.InitInstance(console);
        if (!bCreated) return;
        ui::CMainDlg& main = *app.MainDlg();
        pIrcLog =
            std::make_unique<ui::CLogPrinter>(*main.IrcPage(), res::IDC_IRC_LOG, "irc: ", console);
        pGameLog = std::make_unique<ui::CLogPrinter>(*main.GamePage(), res::IDC_GAME_LOG,
                                                     "game: ", console);
    });
    if (!bCreated) {
        PrintNote(console, "the main window could not be created");
        return ui::kExitNothingStarted;
    }

    // The start and each new reading of the settings run on the UI thread
    // while this thread listens, so that a stop during a long connect is
    // still heard.
    std::atomic<EStart> eStart{EStart::Running};
    std::atomic<int> nUiBusy{1};
    std::atomic<bool> bStopping{false};  // a reading still queued is skipped
    dispatcher.Post([&] {
        eStart = app.StartAsBroadcast() ? EStart::Started : EStart::NoneStarted;
        --nUiBusy;
    });
    platform::EConsoleRequest eRequest = platform::EConsoleRequest::None;
    while (eRequest != platform::EConsoleRequest::Stop && eStart.load() != EStart::NoneStarted) {
        eRequest = platform::WaitForConsoleRequest(200);
        if (eRequest != platform::EConsoleRequest::Reload) continue;
        ++nUiBusy;
        dispatcher.Post([&] {
            ui::CMainDlg* pMain = app.MainDlg();
            if (pMain != nullptr && !bStopping.load())
                ui::ReloadDaemonSettings(*pMain, options.strSettingsPath, console);
            --nUiBusy;
        });
    }
    bStopping = true;

    if (eRequest != platform::EConsoleRequest::Stop) {
        PrintNote(console, "neither the IRC side nor the game side could be started");
        dispatcher.Invoke([&] { app.ExitInstance(); });
        pIrcLog.reset();
        pGameLog.reset();
        dispatcher.Stop();
        // Settings that neither side can start with are a configuration
        // error, which trying again does not mend.
        return precheck.bIrcProblems && precheck.bGameProblems ? ui::kExitUsage
                                                               : ui::kExitNothingStarted;
    }

    const auto busyWaitEnd = std::chrono::steady_clock::now() + kBusyWaitOnStop;
    while (nUiBusy.load() > 0 && std::chrono::steady_clock::now() < busyWaitEnd)
        platform::WaitForConsoleRequest(20);
    if (nUiBusy.load() > 0) {
        // The UI thread is held by a connect that the network keeps waiting:
        // nothing was connected and nothing changed, so nothing to send or
        // save (a new reading took its values from the file).
        PrintNote(console, "stopped while still connecting; ending without saving");
        std::fflush(stdout);
        std::_Exit(ui::kExitOk);
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
    return ui::kExitOk;
}
