#pragma once
// The BF42 tab: server, port, language, the quick-info panel, the log and
// the Connect, Pause and Check buttons. The monitor's life cycle (the run
// state, the thread, keep-alive) is the page's CMonitorRunner; the page
// gives a run its settings and log and sets its controls from the run
// state, never reading them back.
//
// Threads: flags and counters are atomics, written by one thread and read
// by others; the fields that data exchange fills (server, port, language, the
// quick-info texts) and the colour scheme are private and read and written
// under LockFields() by the page's own accessors.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "bridge/GameShared.h"
#include "bridge/IrcLink.h"
#include "monitor/ColorScheme.h"
#include "framework/ControlHandles.h"
#include "framework/Page.h"
#include "monitor/Announcements.h"
#include "monitor/ServerStatus.h"
#include "platform/Clock.h"
#include "ui/MonitorRunner.h"
#include "ui/QuickInfoCheck.h"

namespace ui {

class CColorDlg;

class CGameDlg : public framework::CPage, public ui::CMonitorRunner::IPage {
public:
    // From the BF42 template; strings empty, no language chosen, nothing
    // running. The clock paces the monitor and the ticket reporter.
    // game is what the game side shares with the IRC side; it outlives the page.
    explicit CGameDlg(bridge::CGameShared& game, platform::CClock& clock = platform::SystemClock());
    // Stops and joins the worker threads of the page (StopThreads).
    ~CGameDlg() override;

    framework::CLogCtrl m_log;  // control 1012

    // The game server the operator chose, as the settings file keeps it.
    struct CServerChoice {
        std::string m_strServer;   // host name or dotted address as typed
        int32_t m_nQueryPort = 0;  // the query uses its low 16 bits
        int32_t m_nLanguage = -1;  // index of the language list; -1 none

        bool operator==(const CServerChoice&) const = default;
    };
    // The page's server, port and language as last transferred, taken or
    // replaced whole under the fields lock. Any thread.
    CServerChoice ServerChoice() const;
    void SetServerChoice(const CServerChoice& choice);
    // The quick-info panel's fields as last shown (status included). Any thread.
    ui::CQuickInfoResult QuickInfoShown() const;
    bridge::IIrcLink* m_pIrcLink = nullptr;   // the IRC side; set once by SetIrcLink
    CColorDlg* m_pColorDlg = nullptr;         // the Settings page; set once by SetColorDlg
    std::atomic<int32_t> m_nTrafficBytes{0};  // received from the game server since last read
    std::atomic<bool> m_bBroadcast{false};    // relaying into the channel is on
    std::atomic<int32_t> m_nLangBase{0};      // phrase base of the language, set at Connect

    // ---- Keep-alive: while on, a monitor run that fails is followed by
    // another after a growing wait, and the tab stays running; off, a
    // failure returns the tab to idle. Broadcast switches it on before it
    // connects and off after it has disconnected. UI thread; read by the
    // monitor.
    void SetKeepAlive(bool bOn) { m_runner.SetKeepAlive(bOn); }
    bool IsKeepAlive() const { return m_runner.IsKeepAlive(); }

    // ---- Links to the other pages; the main window sets them right after
    // creating the pages, before anything runs (UI thread).
    void SetIrcLink(bridge::IIrcLink* pIrcLink) { m_pIrcLink = pIrcLink; }
    void SetColorDlg(CColorDlg* pColorDlg) { m_pColorDlg = pColorDlg; }

    // ---- The server snapshot of the last poll: the monitor replaces it,
    // the ticket reporter and the request answer read it. Any thread.
    monitor::CServerStatus GetStatus() const { return m_runner.GetStatus(); }
    void SetStatus(const monitor::CServerStatus& status) { m_runner.SetStatus(status); }

    // ---- Shared operations
    // One line for the log: colour codes out (0x03 and a digit: three
    // characters; any other 0x03: itself alone), CR, LF and NUL out, then
    // appended after the others; an empty text adds nothing. Any thread;
    // appends are applied one at a time, in order.
    void AppendLog(std::string strText) override;
    // The string-table text with that id; empty when there is none. Any thread.
    std::string LoadResString(int nId) const;
    // The clock that paces the page's threads. Any thread.
    platform::CClock& Clock() const { return m_clock; }
    // What the operator wants of the game side: idle, running or paused.
    // Written under the run lock on the UI thread (and by a failing monitor,
    // which only ever turns it idle); any thread reads it.
    bridge::EGameState RunState() const { return m_runner.RunState(); }
    // What the game side shares with the IRC side. Any thread.
    bridge::CGameShared& GameShared() const { return m_runner.GameShared(); }
    // A monitor run is under way (set by the monitor). Any thread.
    bool IsMonitoring() const { return m_runner.IsMonitoring(); }
    // Start half of Connect: nothing when a run is wanted already. UI thread.
    void StartMonitoring();
    // Stop half of Disconnect: nothing when the page is idle, so that it can
    // never start a run. UI thread.
    void StopMonitoring();
    // ---- The quick-info check. StartQuickInfo shows "receive status ..."
    // and starts a check of the page's server and port; false while one
    // still runs. The check shows its result in the panel (only the panel's
    // controls, so the operator's pending language choice stays), is over,
    // then gives Check, server and port back unless monitoring has started
    // meanwhile. UI thread; IsQuickInfoRunning any thread.
    bool StartQuickInfo();
    bool IsQuickInfoRunning() const { return m_quickInfo.IsRunning(); }
    void StopQuickInfo() { m_quickInfo.Stop(); }
    // Check enabled, server and port writable again, unless monitoring has
    // started meanwhile (its inputs stay locked until Disconnect).
    // Quick-info thread, once the check is over.
    void EnableQuickInfoInputs();

    // Ends the page's worker threads and joins them: the monitor (which
    // announces "Broadcast closed" while broadcasting) and the quick-info
    // check. The page's controls stay as they are. UI thread, before the
    // other pages go away; the destructor calls it, too.
    void StopThreads();
    // True while a monitor thread runs (also while it is still ending).
    bool IsMonitorRunning() const { return m_runner.IsMonitorRunning(); }
    // True while the operator's Pause holds the monitor at its safe point.
    bool IsMonitorHeld() const { return m_runner.IsMonitorHeld(); }
    // The monitor's life cycle, for measuring its thread.
    const ui::CMonitorRunner& Runner() const { return m_runner; }

    // ---- For a run (CMonitorRunner::IPage): the monitor, the ticket
    // reporter and the announcer. Any thread.
    // Colours, language base, server and port of the current run.
    monitor::CAnnounceSettings AnnounceSettings() const override;
    monitor::CEventFilters EventFilters() const override;
    bool IsTicketShown() const override;
    // The Settings page's scheme as Connect copied it, two digits a colour.
    monitor::CColorScheme ColorScheme() const;
    bool IsBroadcasting() const override { return m_bBroadcast.load(); }
    bridge::IIrcLink* IrcLink() const override { return m_pIrcLink; }
    std::atomic<int32_t>* TrafficCounter() override { return &m_nTrafficBytes; }

    // ---- Buttons (UI thread).
    // Connect/Disconnect. Starting waits a little for a previous monitor
    // that is still ending (and refuses, with a log line, if it does not
    // end), validates the inputs, locks them, copies the colours (one digit
    // gets a "0" in front), filters and language base, switches the page to
    // "Disconnect" and starts the monitor. Stopping returns the page to
    // idle and tells the monitor, which ends at its next safe point; Connect
    // stays disabled until it has ended.
    void OnConnect();
    // Pause/Unpause: the monitor is held at its next safe point (no query,
    // no line) and the paused line goes to the channel (paced) and the log;
    // Unpause lets it go on with the resumed line.
    void OnPause();
    // Check: validates server and port, blanks the quick-info fields, locks
    // the inputs and starts the quick-info check.
    void OnCheck();

    // Longest wait of a Connect for the previous monitor to end.
    static constexpr int kMonitorEndWaitMs = 5000;

protected:
    void DoDataExchange(framework::CDataExchange& dx) override;
    // Puts the fields into the controls, clears the run flags, makes the
    // log read-only and sets the button captions.
    bool OnInitDialog() override;
    // Enter and Escape do nothing on this page.
    void OnOK() override {}
    void OnCancel() override {}

private:
    bool StartInputsValid();
    void CopyColorsAndFilters();
    void SetSettingsInputsLocked(bool bLocked);
    // The stop half of OnConnect; a page that is idle already stays so.
    void StopRun();
    // Puts the panel's seven fields into their controls. Fields lock held.
    void RefreshQuickInfoPanel();
    // Quick-info thread: the check's result into the fields and the panel,
    // the status cleared before its new text as every panel text is.
    void ShowQuickInfo(const ui::CQuickInfoResult& result);
    // CMonitorRunner::IPage: the controls that follow the run state.
    void ShowRunning() override;
    void ShowIdle() override;
    void SetConnectUsable(bool bUsable) override;

    // Fields, in the page's order; the data exchange fills them, any other
    // reader or writer holds LockFields().
    std::string m_strServer;
    int32_t m_nQueryPort = 0;
    std::string m_strQiGamePort;
    std::string m_strQiHostname;
    std::string m_strQiMap;
    std::string m_strQiMod;
    std::string m_strQiPlayers;
    std::string m_strQiVersion;
    std::string m_strQiStatus;
    int32_t m_nLanguage = -1;

    platform::CClock& m_clock;
    monitor::CColorScheme m_scheme;    // copied at Connect; read under LockFields()
    ui::CMonitorRunner m_runner;      // after the fields a run reads: it ends first
    ui::CQuickInfoCheck m_quickInfo;  // last: its thread ends before the page's fields go
};

}  // namespace ui
