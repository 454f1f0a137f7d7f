#pragma once
// The main window (template 102): the tab control with the four tab pages,
// Broadcast, Apply, Quit and the traffic read-out. A face over the bot:
// the pages turn clicks into its commands, and the bot's events come back
// here on whichever thread the bot raises them, are handed to the UI
// thread and shown by the pages. No thread of the bot ever holds a page.
//
// The window keeps the settings as the operator typed them; every page's
// controls are bound to that one value, which goes to the bot when a side
// starts and to settings.ini on Apply and Quit.
//
// Every handler runs on the UI thread: the dispatcher's thread, or the test
// acting as the operator.
#include <memory>
#include <mutex>
#include <string>

#include "config/Settings.h"
#include "core/Bot.h"
#include "framework/ControlHandles.h"
#include "framework/Dispatcher.h"
#include "framework/Page.h"
#include "ui/WindowSettings.h"

namespace ui {

class CIrcDlg;
class CGameDlg;
class CColorDlg;
class CAboutDlg;

class CMainDlg : public framework::CPage, public core::IBotObserver {
public:
    // Tab indices.
    static constexpr int kTabIrc = 0;
    static constexpr int kTabGame = 1;
    static constexpr int kTabSettings = 2;
    static constexpr int kTabAbout = 3;
    static constexpr int kTabCount = 4;
    // Where the pages sit in the tab control, in pixels.
    static constexpr int kPageX = 10;
    static constexpr int kPageY = 30;

    // The dispatcher runs the UI thread's work; the bot is the one the
    // window shows; the settings file holds the values it was made with.
    // All three outlive the window.
    CMainDlg(framework::CDispatcher& dispatcher, core::CBot& bot, CWindowSettings& file);
    // Destroys the window when that has not happened yet.
    ~CMainDlg() override;

    framework::CTabCtrl m_tabCtrl;  // control 1001

    // ---- The pages; nullptr before the window is created and after it is
    // destroyed. UI thread.
    CIrcDlg* IrcPage() const;
    CGameDlg* GamePage() const;
    CColorDlg* SettingsPage() const;
    CAboutDlg* AboutPage() const;
    // The window's settings as last taken from the controls.
    const config::CSettings& WindowSettings() const { return m_settings; }
    // The bot's state as last shown.
    const core::CBotState& ShownState() const { return m_state; }

    // ---- Buttons and tab notifications (UI thread).
    // Broadcast: both sides start and relaying goes on, or both stop and it
    // goes off; the bot's state says which.
    void OnBroadcast();
    // Apply: the IRC, game and Settings pages take their control values, in
    // that order; the values go to the bot and into the settings file (a
    // file changed on disk meanwhile is replaced only when the operator
    // says so). True when the file was written.
    bool OnApply();
    // Quit: the QUIT line (sent whether connected or not), Apply, and the
    // run ends with IDCANCEL; the bot's threads end on their own.
    void OnQuit();
    void OnTabSelChanging();
    void OnTabSelChange();

    // ---- core::IBotObserver: any thread; each event is handed to the UI
    // thread, where the pages show it (dropped once the window is gone).
    void OnLog(core::ESide eSide, const std::string& strLine) override;
    void OnStateChanged(const core::CBotState& state) override;
    void OnQuickInfo(const query::CQuickInfoResult& result) override;
    void OnTraffic(int32_t nBytes) override;
    void OnMessage(const core::COperatorMessage& message) override;
    void OnEnded() override {}

protected:
    void DoDataExchange(framework::CDataExchange& dx) override;
    // Read-out and captions, the tab items with their pages, the page
    // windows and their links.
    bool OnInitDialog() override;
    // Enter and Escape never close the window. The close box keeps the base
    // behaviour: the run ends with IDOK, without QUIT and without saving.
    void OnOK() override {}
    void OnCancel() override {}
    // Destroys and deletes the pages in the order Information, Settings,
    // game, IRC. The bot is not stopped here: its owner stops it first.
    void OnDestroy() override;

private:
    // Lets work handed to the UI thread find out whether the window is still there.
    // Recursive: a message box shown by one piece of work runs the next
    // pieces on the same thread before it returns.
    struct CLifeGuard {
        std::recursive_mutex m_mutex;
        CMainDlg* m_pMain = nullptr;
    };

    framework::CPage* TabPage(int nIndex) const;
    // Runs fn on the UI thread while the window exists.
    void OnUiThread(std::function<void(CMainDlg&)> fn);
    void ShowState(const core::CBotState& state);
    void ShowMessage(const core::COperatorMessage& message);

    framework::CDispatcher& m_dispatcher;
    core::CBot& m_bot;
    CWindowSettings& m_file;
    config::CSettings m_settings;  // the pages' fields
    core::CBotState m_state;
    std::unique_ptr<CIrcDlg> m_pIrcDlg;
    std::unique_ptr<CGameDlg> m_pGameDlg;
    std::unique_ptr<CColorDlg> m_pColorDlg;
    std::unique_ptr<CAboutDlg> m_pAboutDlg;
    bool m_bPagesAlive = false;  // between OnInitDialog and OnDestroy
    std::shared_ptr<CLifeGuard> m_pLife;
};

}  // namespace ui
