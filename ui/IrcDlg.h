#pragma once
// The IRC tab: the window over the IRC session it owns. The connection
// fields (irc::CIrcSettings) are the page's, bound to its controls; Connect
// hands a copy to the session, which runs the connection on its own
// threads. The page adds Connect/Disconnect, the authentication look, the
// chat input and the log.
//
// Threads: the operator's actions run on the UI thread, the one that runs
// the dispatcher's work. The session's threads write the log through the
// page's thread-safe control state and hand the return to the disconnected
// state to the dispatcher, so that it never interleaves with a Connect.
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

class CIrcDlg : public framework::CPage, protected irc::CIrcSettings, private irc::IIrcEvents {
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

    // ---- The session the page drives, and the link the game side uses.
    irc::CIrcSession& Session() { return m_session; }
    // The connection fields, whole, under the fields lock. Any thread.
    irc::CIrcSettings Connection();
    void SetConnection(const irc::CIrcSettings& connection);
    bridge::CGameShared& GameShared() const { return m_game; }
    bool IsSessionActive() const { return m_session.IsSessionActive(); }
    void SetKeepAlive(bool bKeepAlive) { m_session.SetKeepAlive(bKeepAlive); }
    // QUIT behind the queued lines; returns at once.
    void Disconnect() { m_session.Disconnect(); }
    // Ends the session's threads without waiting for the server.
    void EndIrcThread() { m_session.End(); }

    // ---- Fields of the window.
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
    // The connection fields' lock: the data exchange holds it while it reads
    // or writes them.
    std::unique_lock<std::mutex> LockFields() {
        return std::unique_lock<std::mutex>(m_mutexFields);
    }
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

private:
    // The session's threads or the UI thread: appends the line and scrolls;
    // never waits.
    void OnIrcLog(const std::string& strText) override;
    // Queues the return to the disconnected state when the session has
    // ended, which the UI thread makes only if no new session has started
    // meanwhile.
    void OnIrcStatusChanged() override;
    void OnIrcRequest() override {}

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
    bridge::CGameShared& m_game;
    std::shared_ptr<CLifeGuard> m_pLife;
    std::mutex m_mutexFields;
    // Last: its threads report to the members above and end first.
    irc::CIrcSession m_session;
};

}  // namespace ui
