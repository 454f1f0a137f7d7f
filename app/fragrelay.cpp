// fragrelay: the bot's window. The main window of four tabs runs on the Qt
// event loop; its handlers run on the GUI thread through the dispatcher,
// and message boxes show as Qt dialogs.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "config/SettingsHelp.h"
#include "qt/DialogUnits.h"
#include "qt/QtDispatcherHost.h"
#include "qt/QtMainWindow.h"
#include "qt/QtMessageSink.h"
#include "res/Resource.h"
#include "res/Version.h"
#include "ui/BotApp.h"

namespace {

std::string Usage() {
    return std::string(
               "Usage: fragrelay [--broadcast] [Qt options]\n"
               "\n"
               "The fragrelay bot in its window of four tabs: IRC (the connection, the\n"
               "channel's log and a chat line), BF42 (the game server, its log and a quick\n"
               "check), Settings (colours and what to announce) and Information. It reads\n"
               "settings.ini from the working directory when it starts (without one it\n"
               "starts with the values below); Apply and Quit write it. Start Broadcast\n"
               "connects both sides and relays the game into the channel. For a server\n"
               "without a display, run fragrelayd instead.\n"
               "\n"
               "Options:\n"
               "  --broadcast  press Start Broadcast once the window shows\n"
               "  -h, --help   print this help and exit\n"
               "  --version    print the version and exit\n"
               "  Qt's own options (-platform NAME and the like) go to Qt.\n"
               "\n"
               "Signals:\n"
               "  SIGTERM, SIGINT  end it as Quit does: the QUIT line to the IRC server, the\n"
               "                   settings saved; a second one ends it at once.\n"
               "\n"
               "Exit status:\n"
               "  0  the window was closed (Quit, the close box or a signal)\n"
               "  1  the main window could not be created\n"
               "\n"
               "Settings file keys (key=value, with the values of a first start):\n") +
           config::SettingsKeysHelp() +
           "\n"
           "Files:\n"
           "  settings.ini  the settings, in the working directory, readable by its\n"
           "                owner only (it holds the IRC password)\n"
           "\n"
           "See also fragrelayd(8), the bot without a window, and bf42sim(1).\n";
}

// The write end of the pipe through which a stop signal reaches the event
// loop (a signal handler may do next to nothing itself).
int g_nSignalWriteFd = -1;
// SIGINT stays ignored when it was ignored at start (a background job of a
// script), as the shell meant.
bool g_bHandleInt = false;

void OnStopSignal(int /*nSignal*/) {
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_nSignalWriteFd, &c, 1);
    // A second signal ends the program at once, should the first be stuck.
    ::signal(SIGTERM, SIG_DFL);
    if (g_bHandleInt) ::signal(SIGINT, SIG_DFL);
}

}  // namespace

int main(int argc, char** argv) {
    bool bBroadcast = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--broadcast") == 0) bBroadcast = true;
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(Usage().c_str(), stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs(res::VersionText("fragrelay").c_str(), stdout);
            return 0;
        }
    }

    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("fragrelay"));
    QApplication::setDesktopFileName(QStringLiteral("fragrelay"));

    // Created on the GUI thread, which becomes the dispatcher's UI thread.
    qt::CQtDispatcherHost host;
    qt::CQtMessageSink sink;
    ui::CBotApp app(host.Dispatcher());
    if (!app.InitInstance(sink)) {
        std::fputs("fragrelay: the main window could not be created\n", stderr);
        return 1;
    }
    const qt::CDialogUnits units;
    auto pWindow = std::make_unique<qt::CQtMainWindow>(*app.MainDlg(), host.Dispatcher(), units,
                                                       res::IDR_MAINFRAME);
    sink.SetParentWidget(pWindow.get());
    // Quit and the close box end the main window's run; the loop ends with it.
    QObject::connect(pWindow.get(), &qt::CQtMainWindow::Ended, &qapp, &QCoreApplication::quit);
    // A stop signal does what Quit does, on the GUI thread.
    int vSignalPipe[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> pSignals;
    if (::pipe2(vSignalPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        g_nSignalWriteFd = vSignalPipe[1];
        pSignals = std::make_unique<QSocketNotifier>(vSignalPipe[0], QSocketNotifier::Read);
        QObject::connect(pSignals.get(), &QSocketNotifier::activated, [&] {
            char buf[16];
            while (::read(vSignalPipe[0], buf, sizeof buf) > 0) {
            }
            host.Dispatcher().Post([&app] {
                ui::CMainDlg* pMain = app.MainDlg();
                if (pMain != nullptr && !pMain->IsEnded()) pMain->OnQuit();
            });
        });
        struct sigaction before {};
        ::sigaction(SIGINT, nullptr, &before);
        g_bHandleInt = before.sa_handler != SIG_IGN;
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGTERM, &action, nullptr);
        if (g_bHandleInt) ::sigaction(SIGINT, &action, nullptr);
    }
    pWindow->show();
    if (bBroadcast) host.Dispatcher().Post([&app] { app.MainDlg()->OnBroadcast(); });
    QApplication::exec();

    // A notice still waiting for the GUI returns now; the views let go of
    // their pages before the threads stop and the pages go.
    sink.Shutdown();
    sink.SetParentWidget(nullptr);
    pWindow.reset();
    app.ExitInstance();
    return 0;
}
