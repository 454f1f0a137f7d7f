#pragma once
// The BF42 tab, and at the same time the shared state of the game side: the
// monitor, the ticket reporter and the quick-info check each get this page
// and work on its fields. The caption of the Connect button is the
// monitor's run flag: "Connect" means no monitoring is wanted.
//
// Threads: flags and counters are atomics, written by one thread and read
// by others; the server snapshot is replaced and read whole under its own
// lock; the fields that data exchange fills (server, port, language, the
// quick-info texts) and the colour copies are read under LockFields().
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "framework/ControlHandles.h"
#include "framework/Page.h"
#include "monitor/Announcements.h"
#include "monitor/ServerStatus.h"

namespace irc {
class CIrcSession;
}
class CColorDlg;

class CGameDlg : public framework::CPage, public monitor::IGameOutput {
public:
    // From the BF42 template; strings empty, no language chosen, nothing running.
    CGameDlg();
    // Joins the worker threads of the page (they end at their stop tests).
    ~CGameDlg() override;

    // ---- Fields, in the page's order.
    framework::CLogCtrl m_log;  // control 1012
    std::string m_strServer;    // host name or dotted address as typed
    int32_t m_nQueryPort = 0;   // the query uses its low 16 bits
    std::string m_strQiGamePort;
    std::string m_strQiHostname;
    std::string m_strQiMap;
    std::string m_strQiMod;
    std::string m_strQiPlayers;
    std::string m_strQiVersion;
    std::string m_strQiStatus;
    int32_t m_nLanguage = -1;  // index of the language list; -1 none
    // Colour codes copied from the Settings page at Connect, two digits each.
    std::string m_strAlliedKillColor;
    std::string m_strAlliedFlagColor;
    std::string m_strAxisKillColor;
    std::string m_strAxisFlagColor;
    std::string m_strStatusColor;
    std::string m_strKeyColor;
    std::string m_strValueColor;
    irc::CIrcSession* m_pIrcDlg = nullptr;    // the IRC side; set once by SetIrcDlg
    CColorDlg* m_pColorDlg = nullptr;         // the Settings page; set once by SetColorDlg
    std::atomic<int32_t> m_nTrafficBytes{0};  // received from the game server since last read
    std::atomic<bool> m_bMonitoring{false};   // a monitor run is under way
    std::atomic<bool> m_bBroadcast{false};    // relaying into the channel is on
    std::atomic<int32_t> m_nLangBase{0};      // phrase base of the language, set at Connect
    std::unique_ptr<std::thread> m_pMonitorThread;
    std::unique_ptr<std::thread> m_pQuickInfoThread;
    // Action filters copied from the Settings page at Connect.
    std::atomic<bool> m_bShowKill{false};
    std::atomic<bool> m_bShowTk{false};
    std::atomic<bool> m_bShowFlag{false};
    std::atomic<bool> m_bShowTicket{false};
    std::atomic<bool> m_bGamePaused{false};  // the game on the server is paused

    // ---- Links to the other pages; the main window sets them right after
    // creating the pages, before anything runs (UI thread).
    void SetIrcDlg(irc::CIrcSession* pIrcDlg) { m_pIrcDlg = pIrcDlg; }
    void SetColorDlg(CColorDlg* pColorDlg) { m_pColorDlg = pColorDlg; }

    // ---- The server snapshot of the last poll: the monitor replaces it,
    // the ticket reporter and the request answer read it. Any thread.
    CServerStatus GetStatus() const;
    void SetStatus(const CServerStatus& status);

    // ---- Shared operations
    // One line for the log: colour codes out (0x03 and a digit: three
    // characters; any other 0x03: itself alone), CR, LF and NUL out, then
    // appended after the others; an empty text adds nothing. Any thread;
    // appends are applied one at a time, in order.
    void AppendLog(std::string strText) override;
    // The string-table text with that id; empty when there is none. Any thread.
    std::string LoadResString(int nId) const;
    // What a click on Connect/Disconnect does (OnConnect). Monitor thread
    // (failure path) or UI thread (main window's Broadcast).
    void ToggleConnect();
    // Check enabled, server and port writable again. Quick-info thread.
    void EnableQuickInfoInputs();

    // ---- For the monitor and the announcer. Any thread.
    // Colours, language base, server and port of the current run.
    monitor::CAnnounceSettings AnnounceSettings() const;
    bool IsBroadcasting() const override { return m_bBroadcast.load(); }
    irc::CIrcSession* IrcSession() const override { return m_pIrcDlg; }

    // ---- Buttons (UI thread).
    // Connect/Disconnect. Starting validates the inputs, locks them, copies
    // the colours (one digit gets a "0" in front), filters and language base
    // and switches the page to "Disconnect"; stopping returns it to idle.
    void OnConnect();

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

    mutable std::mutex m_mutexStatus;
    CServerStatus m_status;  // guarded by m_mutexStatus
};
