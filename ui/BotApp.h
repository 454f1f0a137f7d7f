#pragma once
// The window program's life from start to end: the settings file read, the
// bot made and started, the main window over it, and at the end the bot's
// threads stopped before the window and its pages go. Which thread is the
// UI thread and how the run waits for its end belong to the program (the Qt
// event loop, or a test); every operation here runs on that UI thread.
#include <memory>
#include <string>

#include "config/SettingsFile.h"
#include "core/Bot.h"
#include "core/UpdateCheck.h"
#include "framework/Dispatcher.h"
#include "framework/MessageBox.h"
#include "platform/Clock.h"
#include "ui/MainDlg.h"
#include "ui/WindowSettings.h"

namespace ui {

// What the window program is started with.
struct CAppOptions {
    // The settings file; relative names are read in the working directory.
    std::string m_strSettingsPath = config::kSettingsFileName;
    // The update check's server; empty: no check.
    std::string m_strUpdateHost = core::BuiltUpdateHost();
    uint16_t m_nUpdatePort = core::kUpdatePort;
};

class CBotApp {
public:

    // The dispatcher whose thread is the UI thread, and the clock; both
    // must outlive the application.
    explicit CBotApp(framework::CDispatcher& dispatcher,
                     platform::CClock& clock = platform::SystemClock(),
                     CAppOptions options = CAppOptions());
    // ExitInstance, when it has not run.
    ~CBotApp();
    CBotApp(const CBotApp&) = delete;
    CBotApp& operator=(const CBotApp&) = delete;

    // Reads the settings, makes the bot and the main window and starts the
    // bot (nothing connects). Message boxes of every page go to the sink,
    // which must outlive ExitInstance. False when it ran before or the
    // window could not be made.
    bool InitInstance(framework::IMessageSink& sink);
    // Between InitInstance and ExitInstance; else nullptr.
    CMainDlg* MainDlg() const { return m_pMainDlg.get(); }
    core::CBot* Bot() const { return m_pBot.get(); }

    // What the Broadcast button does (fragrelay --broadcast).
    void StartAsBroadcast();
    // What the Quit button does.
    void Quit();
    // The run is over (Quit, the close box): the bot's threads end (a Quit
    // under way finishes its QUIT first), then the window with its pages
    // is destroyed and deleted, then the bot. Sends and saves nothing
    // itself. Idempotent.
    void ExitInstance();

private:
    framework::CDispatcher& m_dispatcher;
    platform::CClock& m_clock;
    const CAppOptions m_options;
    CWindowSettings m_file;
    std::unique_ptr<core::CBot> m_pBot;
    std::unique_ptr<CMainDlg> m_pMainDlg;
    bool m_bInitDone = false;
};

}  // namespace ui
