#pragma once
// The IRC side of the bot: one connection to one server, one channel. Holds
// every field the IRC client shares with the other threads, connects and
// registers, runs the receive loop and its supervisor thread, and owns the
// send operations through which every byte to the server leaves.
//
// No window here: what the operator must see goes through two hooks that the
// IRC tab (and tests) implement. A derived class must call EndIrcThread() in
// its own destructor, before its hooks are gone.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "irc/IrcDispatch.h"
#include "irc/IrcText.h"
#include "platform/Clock.h"
#include "platform/Socket.h"

namespace irc {

class CIrcSession {
public:
    explicit CIrcSession(platform::CClock& clock);
    virtual ~CIrcSession();
    CIrcSession(const CIrcSession&) = delete;
    CIrcSession& operator=(const CIrcSession&) = delete;

    // ---- Operator settings. The UI thread fills them while disconnected;
    // the IRC thread reads them. Whoever touches them while an IRC thread may
    // run (the text fields, m_nPort, m_bAuth, m_nNetwork) holds LockFields().
    std::string m_strChannel;  // replaced by the server's spelling on the bot's join
    std::string m_strNick;
    std::string m_strServer;
    uint16_t m_nPort = 0;
    std::string m_strAltNick;
    bool m_bAuth = false;
    std::string m_strUsername;
    int m_nNetwork = -1;  // 0 Quakenet, 1 Gamesnet, else none
    std::string m_strPassword;
    std::string m_strIdent = kIdent;  // user name of the USER line
    std::string m_strVersion;         // the string table's version text
    std::string m_strCurrentNick;     // the nickname in use on the server

    // ---- Single values shared between threads.
    std::atomic<int> m_nTicketSecs{0};          // ticket report interval, read by the reporter
    std::atomic<int> m_nGameState{0};           // 0 idle, 1 running, 2 paused (game tab writes)
    std::atomic<bool> m_bSessionActive{false};  // operator started it and has not ended it
    std::atomic<bool> m_bInChannel{false};      // the server confirmed the bot's join
    std::atomic<uint32_t> m_nGameEndTick{0};    // tick the running game's time ends, 0 none
    std::atomic<int> m_nLastRecv{0};            // last connect/read: -1 error, 0 closed, >0 bytes

    // Guards the fields above that are not atomic. Never held across a wait.
    std::unique_lock<std::mutex> LockFields() {
        return std::unique_lock<std::mutex>(m_mutexFields);
    }
    // Whole-value copies under the lock; any thread.
    std::string GetChannel();
    std::string GetCurrentNick();

    // ---- The pending channel request for the game side ("!gameinfo" or
    // "!join " + nick): a newer one replaces one not yet taken.
    // Any thread: returns the request and empties it in one step.
    std::string TakeRequest();

    // ---- Connection (IRC thread, or the UI thread before the thread runs).
    // Opens the TCP connection and sends NICK and USER in one send. 0 on
    // success, 1 on failure (already logged).
    int ConnectToServer();
    // End of the message of the day: authentication, "+x", JOIN. IRC thread.
    void OnRegistered();
    // Nickname in use: try the alternative once, then end the connection.
    void OnNickInUse();
    // Writes one line into the IRC log (colours stripped), then pauses the
    // calling thread 100 ms (cut short when the thread is being ended). An
    // empty text is ignored. Any thread.
    void AppendLog(const std::string& strText);
    // Reads and dispatches lines until the connection ends: 0 stop, 1
    // reconnect now, 2 wait 30 s and reconnect. IRC thread.
    int ReceiveLoop();
    // The IRC thread's body: receive loop and reconnections. Started by
    // OpenSession; runs on its own thread only.
    void IrcThread();

    // ---- Sends; any thread. A failed send is ignored. Every send is one
    // line: CR, LF and NUL are dropped from its text (target and channel
    // included), so that no part of it can start a second command.
    // text + "\r\n", in any state.
    void SendLine(const std::string& strText);
    // PRIVMSG to the channel, only while in it; no pause.
    void SendToChannel(const std::string& strText);
    // PRIVMSG to a target, only while in the channel, after a 400 ms pause
    // on the calling thread (no pause when not in the channel).
    void SendPrivmsg(const std::string& strTarget, const std::string& strText);
    // SendPrivmsg to the channel.
    void SendToChannelPaced(const std::string& strText);
    bool IsInChannel() const { return m_bInChannel.load(); }

    // ---- Session control; UI thread (never the IRC thread).
    // Ends a previous IRC thread, connects, and on success starts the IRC
    // thread. 0 on success, 1 on failure (m_bSessionActive then clear).
    int OpenSession();
    // Sends QUIT and clears m_bSessionActive and m_bInChannel; the thread
    // ends when the server closes the connection.
    void Disconnect();
    // Ends the IRC thread without waiting for the server (socket shut down,
    // waits cut short) and joins it. No-op when none runs.
    void EndIrcThread();
    // True while the IRC thread has not finished.
    bool IsIrcThreadRunning() const { return m_bThreadAlive.load(); }

    static constexpr uint32_t kLogPauseMs = 100;
    static constexpr uint32_t kPacePauseMs = 400;
    static constexpr uint32_t kThrottleWaitMs = 30000;
    // A server that never answers must not hold the calling thread (the UI
    // thread for the first connect) for the system's two minutes.
    static constexpr int kConnectTimeoutMs = 10000;
    static constexpr size_t kReadSize = 1024;

protected:
    // One line for the log, colours already removed. Called on the thread
    // that logs (the IRC thread or the UI thread); must not wait for the UI
    // thread, which may be joining the IRC thread.
    virtual void WriteLog(const std::string& strText) = 0;
    // The IRC thread ended on its own (not through EndIrcThread);
    // m_bSessionActive is already clear. Called on the IRC thread; work
    // posted from here should check m_bSessionActive, since a new session
    // may have started before it runs.
    virtual void OnSessionEnded() = 0;
    // Writes bytes to the current connection; false when nothing was sent.
    // The one place bytes leave (tests may watch it). Any thread.
    virtual bool WriteToSocket(const std::string& strBytes);

private:
    CIrcSessionView SnapshotView();
    void Apply(const std::vector<CIrcAction>& actions);
    void SetRequest(std::string strRequest);
    std::shared_ptr<platform::CSocket> CurrentSocket();
    void ReplaceSocket(std::shared_ptr<platform::CSocket> pSocket);
    void MarkSocketConnected();
    void ShutdownSocket();
    void EndIrcThreadLocked();  // m_mutexThread held

    platform::CClock& m_clock;
    platform::CStopSignal m_stop;  // set only while EndIrcThread ends the thread

    std::mutex m_mutexFields;
    std::mutex m_mutexRequest;
    std::string m_strRequest;

    // The connection; replaced on each attempt. Senders hold a copy for the
    // length of one send, so a reconnection never closes a socket in use.
    std::mutex m_mutexSocket;
    std::shared_ptr<platform::CSocket> m_socket;
    // Senders see the socket only once its connect has returned: a send from
    // another thread must never run on a socket that is still connecting.
    bool m_bSocketConnected = false;
    std::mutex m_mutexSend;  // one line at a time on the wire
    uint32_t m_addr = 0;     // address of the last attempt (IRC side only)

    std::mutex m_mutexThread;  // serialises OpenSession and EndIrcThread
    std::thread m_thread;
    std::atomic<bool> m_bThreadAlive{false};
    std::mutex m_mutexAlive;
    std::condition_variable m_cvAlive;
};

}  // namespace irc
