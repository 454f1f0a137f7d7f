#pragma once
// The main window (template 102): the tab control with the four tab pages,
// Broadcast, Apply, Quit and the traffic read-out. It owns the pages from
// its initialisation until its window is destroyed, loads the settings into
// them before their windows exist, links the game page to the IRC and
// Settings pages, and runs the two threads of the shell: the traffic meter
// and the update check.
//
// Every handler fetches the pages from the tab items by index (0 IRC,
// 1 BF42, 2 Settings, 3 Information). Handlers run on the UI thread: the
// dispatcher's thread, or the test acting as the operator.
//
// Before any page is deleted, every worker thread is stopped and joined:
// IRC, monitor, ticket reporter, quick info, traffic meter, update check.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "bridge/GameShared.h"
#include "config/SettingsFile.h"
#include "framework/ControlHandles.h"
#include "framework/Dispatcher.h"
#include "framework/Page.h"
#include "platform/Clock.h"
#include "ui/UpdateCheck.h"

namespace ui {

class CIrcDlg;
class CGameDlg;
class CColorDlg;
class CAboutDlg;
class CTrafficMeter;

class CMainDlg : public framework::CPage {
public:
    // Tab indices: every handler fetches its page by these.
    static constexpr int kTabIrc = 0;
    static constexpr int kTabGame = 1;
    static constexpr int kTabSettings = 2;
    static constexpr int kTabAbout = 3;
    static constexpr int kTabCount = 4;
    // Where the pages sit in the tab control, in pixels.
    static constexpr int kPageX = 10;
    static constexpr int kPageY = 30;
    // Pauses of Quit (after the QUIT line) and of Broadcast off (between
    // the game side and the IRC side).
    static constexpr uint32_t kQuitPauseMs = 50;
    static constexpr uint32_t kBroadcastOffPauseMs = 500;

    struct COptions {
        // The settings file; relative names are read in the working directory.
        std::string strSettingsPath = config::kSettingsFileName;
        // The update check's server; empty: no check.
        std::string strUpdateHost = ui::BuiltUpdateHost();
        uint16_t nUpdatePort = ui::kUpdatePort;
    };

    // The dispatcher runs the UI thread's work (the IRC page hands its
    // window updates to it); the clock paces the pages' threads, the
    // shell's threads and the pauses of Broadcast and Quit. Both must
    // outlive the window.
    explicit CMainDlg(framework::CDispatcher& dispatcher,
                      platform::CClock& clock = platform::SystemClock());
    CMainDlg(framework::CDispatcher& dispatcher, platform::CClock& clock, COptions options);
    // Destroys the window when that has not happened yet.
    ~CMainDlg() override;

    framework::CTabCtrl m_tabCtrl;  // control 1001

    // ---- The pages, from their tab items; nullptr before the window is
    // created and after it is destroyed. Any thread.
    CIrcDlg* IrcPage() const;
    CGameDlg* GamePage() const;
    CColorDlg* SettingsPage() const;
    CAboutDlg* AboutPage() const;
    // The shell's threads (nullptr outside the window's life). For tests.
    ui::CTrafficMeter* TrafficMeter() const { return m_pTrafficMeter.get(); }
    ui::CUpdateCheck* UpdateCheck() const { return m_pUpdateCheck.get(); }

    // ---- Buttons and tab notifications (UI thread).
    // Broadcast: connects both sides and switches relaying on, or stops
    // both and switches it off. The caption of the button is the state.
    void OnBroadcast();
    // Apply: the IRC, game and Settings pages take their control values,
    // in that order, then the settings file is written (its message on a
    // failure). True when the file was written.
    bool OnApply();
    // Quit: the QUIT line (sent whether connected or not; the IRC side
    // does not reconnect after it), 50 ms, Apply, then the run ends with
    // IDCANCEL.
    void OnQuit();
    void OnTabSelChanging();
    void OnTabSelChange();

    // Stops and joins every worker thread of the window and its pages;
    // broadcasting goes off first, so that no line leaves while the
    // threads end. Nothing is sent and nothing saved. The pages stay.
    // Idempotent. UI thread (DestroyWindow calls it).
    void StopThreads();

protected:
    void DoDataExchange(framework::CDataExchange& dx) override;
    // Read-out and captions, the tab items with their pages, the settings,
    // the page windows and links, then the traffic meter and the update check.
    bool OnInitDialog() override;
    // Enter and Escape never close the window. The close box keeps the
    // base behaviour: the run ends with IDOK, without QUIT and without saving.
    void OnOK() override {}
    void OnCancel() override {}
    // Stops the threads, then destroys and deletes the pages in the order
    // Information, Settings, game, IRC.
    void OnDestroy() override;

private:
    framework::CPage* TabPage(int nIndex) const;
    void StartBroadcast(CIrcDlg& irc, CGameDlg& game);
    void StopBroadcast(CIrcDlg& irc, CGameDlg& game);

    framework::CDispatcher& m_dispatcher;
    platform::CClock& m_clock;
    const COptions m_options;
    // The owners of the pages (the tab items hold the same pointers).
    // What both sides read; before the pages, which it outlives.
    bridge::CGameShared m_gameShared;
    std::unique_ptr<CIrcDlg> m_pIrcDlg;
    std::unique_ptr<CGameDlg> m_pGameDlg;
    std::unique_ptr<CColorDlg> m_pColorDlg;
    std::unique_ptr<CAboutDlg> m_pAboutDlg;
    std::unique_ptr<ui::CTrafficMeter> m_pTrafficMeter;
    std::unique_ptr<ui::CUpdateCheck> m_pUpdateCheck;
    std::atomic<bool> m_bPagesAlive{false};  // between OnInitDialog and OnDestroy
};

}  // namespace ui
