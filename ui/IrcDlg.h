#pragma once
// The IRC tab, and at the same time the IRC side's shared state: the
// connection fields, the sends and the IRC thread come from
// irc::CIrcSession (so the game page and the settings keep taking the page
// as a session); this class adds the window: the controls bound to the
// fields, Connect/Disconnect, the authentication look, the chat input and
// the log.
//
// Threads: the operator's actions run on the UI thread, the one that runs
// the dispatcher's work. The IRC thread writes the log through the page's
// thread-safe control state and hands the return to the disconnected state
// to the dispatcher, so that it never interleaves with a Connect.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "framework/ControlHandles.h"
#include "framework/Dispatcher.h"
#include "framework/Page.h"
#include "irc/IrcSession.h"
#include "platform/Clock.h"

namespace ui {

class CIrcDlg : public framework::CPage, public irc::CIrcSession {
public:
    // From the IRC template; fields empty, port and interval 0, no network
    // chosen. The dispatcher runs the UI thread's work; the clock paces the
    // send queue and times the connection's waits.
    // game is what the game side shares with the IRC side (the ticket
    // interval field writes into it); it outlives the page.
    CIrcDlg(framework::CDispatcher& dispatcher, bridge::CGameShared& game,
            platform::CClock& clock = platform::SystemClock());
    // Ends the IRC thread without waiting for the server, before the page
    // and its hooks go away. UI thread.
    ~CIrcDlg() override;

    // ---- Fields of the window; the connection fields are the session's.
    framework::CLogCtrl m_log;  // control 1004
    std::string m_strInput;     // the chat input line; UI thread only
    std::atomic<bool> m_bInputFocus{false};
    // The last transfer found a port beyond 16 bits; UI thread.
    std::atomic<bool> m_bPortOutOfRange{false};

    // ---- Handlers (UI thread).
    // The Connect/Disconnect button: Connect when no session is active,
    // else EndSession. The caption follows the session; it is never read.
    void OnConnect();
    // Takes the controls, checks them (message box "Fill out all
    // Inputfields!" or "Channelname is no valid", focus on the first
    // offending control), locks them and opens the connection. The main
    // window's Broadcast calls it when no session is active.
    void Connect();
    // Disconnect: QUIT and the disconnected state at once.
    void EndSession();
    // After a transfer: when the typed port lies outside 0 to 65535 (the
    // port field then kept its value), shows Connect's "Fill out all
    // Inputfields!", focuses the port and returns true. UI thread.
    bool RefusePortOutOfRange();
    // The check box was clicked: m_bAuth follows it, and the network list
    // and the credentials open or close with it.
    void OnAuthCheck();
    void OnInputSetFocus() { m_bInputFocus = true; }
    void OnInputKillFocus() { m_bInputFocus = false; }

    static constexpr int kMaxInput = 1000;  // characters of one chat line

protected:
    // On this page, LockFields() is the IRC fields' lock: the data exchange
    // holds it while it reads or writes the connection fields.
    using irc::CIrcSession::LockFields;
    // Log, channel, nickname, server, input, port, alternative nickname,
    // authentication, user name, network, password, ticket interval, TLS,
    // pinned fingerprint, client certificate. While
    // a session runs, the channel keeps the server's spelling.
    void DoDataExchange(framework::CDataExchange& dx) override;
    // Fields into the controls, flags cleared, ident and version set, log
    // read-only, caption "Connect", authentication look.
    bool OnInitDialog() override;
    // Enter: with the focus in the input line, sends its text to the channel
    // (only while in it), echoes "<nick> text" in the log either way and
    // empties the input line.
    void OnOK() override;
    // Escape does nothing.
    void OnCancel() override {}

    // IRC thread or UI thread: appends the line and scrolls; never waits.
    void WriteLog(const std::string& strText) override;
    // IRC thread: queues the return to the disconnected state, which the UI
    // thread makes only if no new session has started meanwhile.
    void OnSessionEnded() override;

private:
    // Lets queued work find out whether the page still exists.
    struct CLifeGuard {
        std::mutex m_mutex;
        CIrcDlg* m_pPage = nullptr;
    };

    // 0 when the fields are complete and valid; else the control to focus,
    // with the message to show in *pstrMessage.
    int FirstInvalidInput(std::string* pstrMessage);
    void ApplyAuthLook(bool bAuth);
    void ApplyDisconnectedState();
    void ApplyLockedState();
    bool IsAuthSet();

    framework::CDispatcher& m_dispatcher;
    std::shared_ptr<CLifeGuard> m_pLife;
};

}  // namespace ui
