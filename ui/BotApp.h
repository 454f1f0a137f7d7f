#pragma once
// The application: the main window's life from start to end, the same for
// the window program and the headless one. Which thread is the UI thread
// and how the run waits for its end belong to the program (the Qt event
// loop, or the headless program's wait for a signal); every operation here
// runs on that UI thread.
#include <memory>

#include "framework/Dispatcher.h"
#include "framework/MessageBox.h"
#include "platform/Clock.h"
#include "ui/MainDlg.h"

namespace ui {

class CBotApp {
public:
    // The dispatcher whose thread is the UI thread, and the clock; both
    // must outlive the application.
    explicit CBotApp(framework::CDispatcher& dispatcher,
                     platform::CClock& clock = platform::SystemClock(),
                     CMainDlg::COptions options = CMainDlg::COptions());
    // ExitInstance, when it has not run.
    ~CBotApp();
    CBotApp(const CBotApp&) = delete;
    CBotApp& operator=(const CBotApp&) = delete;

    // Constructs the main window and creates it: pages, settings, the
    // shell's threads. Message boxes of every page go to the sink, which
    // must outlive ExitInstance. False when it ran before.
    bool InitInstance(framework::IMessageSink& sink);
    // The main window between InitInstance and ExitInstance; else nullptr.
    CMainDlg* MainDlg() const { return m_pMainDlg.get(); }

    // The headless start: what the Broadcast button does. True when at
    // least one side started (the IRC session or the monitor); a side that
    // refused has shown its message.
    bool StartAsBroadcast();
    // What the Quit button does: QUIT line, 50 ms, save, the run ends.
    void Quit();
    // The run is over (Quit, the close box): stops and joins every worker
    // thread, destroys the window with its pages and deletes it. Sends and
    // saves nothing itself. Idempotent.
    void ExitInstance();

private:
    framework::CDispatcher& m_dispatcher;
    platform::CClock& m_clock;
    const CMainDlg::COptions m_options;
    std::unique_ptr<CMainDlg> m_pMainDlg;
    bool m_bInitDone = false;
};

}  // namespace ui
