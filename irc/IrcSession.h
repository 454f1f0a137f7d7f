#pragma once
// The IRC side of the bot: one connection to one server, one channel. Holds
// every field the IRC client shares with the other threads, connects and
// registers, runs the receive loop and its supervisor thread, and owns the
// send queue through which every byte to the server leaves.
//
// Three threads per session: the caller's (the UI thread), the IRC thread
// (receive loop and reconnections) and the writer thread of the current
// connection (CSendWriter), which writes the queued lines at their pace.
// No sender waits for the network, and no lock is held across a wait for
// it. Every wait has a time limit: a server that stops reading, never
// speaks, or never completes the registration is a lost link.
//
// No window here: what the operator must see goes through two hooks that the
// IRC tab (and tests) implement. A derived class must call EndIrcThread() in
// its own destructor, before its hooks are gone.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bridge/GameShared.h"
#include "bridge/IrcLink.h"
#include "irc/CtcpLimiter.h"
#include "irc/IrcSettings.h"
#include "irc/IrcDispatch.h"
#include "irc/IrcSecurity.h"
#include "irc/IrcStream.h"
#include "irc/IrcText.h"
#include "irc/ReconnectPolicy.h"
#include "irc/Sasl.h"
#include "irc/SendQueue.h"
#include "irc/SendWriter.h"
#include "platform/Clock.h"
#include "platform/Socket.h"

namespace irc {

class CIrcSession : public bridge::IIrcLink, protected CIrcSettings {
public:
    // game: what the game side shares with this one; outlives the session.
    CIrcSession(platform::CClock& clock, bridge::CGameShared& game);
    ~CIrcSession() override;
    CIrcSession(const CIrcSession&) = delete;
    CIrcSession& operator=(const CIrcSession&) = delete;

    // ---- Operator settings: the connection (CIrcSettings's fields, held
    // by the session) and the texts of the registration. The UI thread
    // fills them while disconnected; the IRC thread reads them; both through
    // these copies under the fields lock. Any thread.
    CIrcSettings Connection();
    void SetConnection(const CIrcSettings& connection);
    // User name of the USER line, and the version text of USER, the CTCP
    // VERSION answer and QUIT.
    void SetRegistrationTexts(std::string strIdent, std::string strVersion);

    // ---- Single values shared between threads.
    std::atomic<bool> m_bSessionActive{false};  // operator started it and has not ended it
    std::atomic<bool> m_bInChannel{false};      // the server confirmed the bot's join
    std::atomic<int> m_nLastRecv{0};            // last connect/read: -1 error, 0 closed, >0 bytes

    // The state the game side shares with this one. Any thread.
    bridge::CGameShared& GameShared() const { return m_game; }

    // Whole-value copies under the lock; any thread. The channel is the one
    // in use: the server's spelling from the bot's join during a session,
    // else m_strChannel.
    std::string GetChannel();
    std::string GetCurrentNick();

    // ---- Keep-alive: while set (Broadcast is on), every end of the
    // connection that the operator did not ask for - lost or refused link,
    // close, ERROR, both nicknames taken, no answer - leads to a new attempt
    // after a back-off that grows while attempts fail; a failed first
    // connect, too. Without it, the supervisor ends where the IRC tab's own
    // Connect always ended. Any thread; takes effect at the next end.
    void SetKeepAlive(bool bKeepAlive) { m_bKeepAlive = bKeepAlive; }
    bool IsKeepAlive() const { return m_bKeepAlive.load(); }

    // ---- Pending channel requests for the game side ("!gameinfo" or
    // "!join " + nick): a small FIFO; a request still pending is not added
    // twice. Any thread: the oldest one, taken off, or "" when none waits.
    std::string TakeRequest() override;
    static constexpr size_t kMaxRequests = 16;

    // ---- Connection (IRC thread, or the UI thread before the thread runs).
    // Opens the TCP connection, with TLS on runs the handshake within what
    // is left of the connect limit (a failure sends nothing else and never
    // falls back to plain text), queues NICK and USER as one write (with
    // SASL, "CAP LS 302" before them) and starts the connection's writer.
    // 0 on success, 1 on failure (already logged).
    int ConnectToServer();
    // End of the message of the day: authentication, "+x", JOIN. IRC thread.
    void OnRegistered();
    // Nickname in use: try the alternative once, then end the connection.
    void OnNickInUse();
    // Writes one line into the IRC log (colours stripped); never waits. An
    // empty text is ignored. Any thread.
    void AppendLog(const std::string& strText);
    // Reads and dispatches lines until the connection ends: 0 ended, 1 after
    // the server's ERROR, 2 after its throttle text (CReconnectPolicy decides
    // what follows). With SASL, the negotiation takes its lines first and a
    // failure of it (or no answer within its time) ends the connection. It
    // waits for data in slices,
    // sends its own PING after kQuietMs without a line and gives the link up
    // kPingWaitMs later, or when no registration reply came within
    // kRegisterTimeoutMs, or kCloseLimitMs after Disconnect. IRC thread.
    int ReceiveLoop();
    // The IRC thread's body: receive loop and reconnections. Started by
    // OpenSession; runs on its own thread only.
    void IrcThread();

    // ---- Sends; any thread, never waiting. Each queues one line (CR, LF
    // and NUL dropped from its text, settings included, so that no part of
    // it can start a second command; cut to the protocol's length).
    // A reply line, in any state (dropped when no connection takes it).
    void SendLine(const std::string& strText) override;
    // PRIVMSG to the channel as a reply, only while in it.
    void SendToChannel(const std::string& strText) override;
    // The ticket line: replaces one still queued. Only while in the channel.
    void SendTicketLine(const std::string& strText) override;
    // PRIVMSG to a target as an event line (paced, droppable), only while
    // in the channel.
    void SendPrivmsg(const std::string& strTarget, const std::string& strText);
    // SendPrivmsg to the channel.
    void SendToChannelPaced(const std::string& strText) override;
    bool IsInChannel() const override { return m_bInChannel.load(); }
    bool IsSessionActive() const override { return m_bSessionActive.load(); }

    // ---- Session control; UI thread (never the IRC thread).
    // Ends a previous IRC thread, connects, and on success starts the IRC
    // thread. 0 on success, 1 on failure (m_bSessionActive then clear). With
    // keep-alive, a failed connect also starts the thread, which tries again.
    int OpenSession();
    // Returns at once: clears m_bSessionActive and m_bInChannel; the lines
    // already queued still leave at their pace (at most
    // CSendQueue::kDrainLimitMs), then QUIT; the thread ends when the server
    // closes, at the latest kCloseLimitMs after this call.
    void Disconnect();
    // Ends the IRC thread without waiting for the server: a QUIT that
    // Disconnect queued goes first (best effort, kQuitGraceMs), then the
    // socket is shut down and the threads joined. No-op when none runs.
    void EndIrcThread();
    // True while the IRC thread has not finished.
    bool IsIrcThreadRunning() const { return m_bThreadAlive.load(); }

    // What the IRC side is doing; any thread.
    enum class EState {
        Idle,        // no IRC thread
        Connecting,  // an attempt is under way
        Connected,   // the receive loop runs (registering, registered or in the channel)
        Waiting,     // the supervisor waits before its next attempt
        Closing,     // Disconnect: the last lines and QUIT leave, the server closes
    };
    EState State() const { return m_eState.load(); }

    // The pace of the send queue.
    static constexpr uint32_t kBurstLines = 5;
    static constexpr uint32_t kPacePauseMs = 400;     // within a burst
    static constexpr uint32_t kLineSpacingMs = 1000;  // sustained: a line a second
    static constexpr uint32_t kThrottleWaitMs = CReconnectPolicy::kThrottleWaitMs;
    // A server that never answers must not hold the calling thread (the UI
    // thread for the first connect) for the system's two minutes.
    static constexpr int kConnectTimeoutMs = 10000;
    static constexpr size_t kReadSize = 1024;
    // Liveness: the bot's own PING after this long without a line, and the
    // link is lost when nothing comes within kPingWaitMs after it.
    static constexpr uint32_t kQuietMs = 120000;
    static constexpr uint32_t kPingWaitMs = 60000;
    // The end of the message of the day must come within this time.
    static constexpr uint32_t kRegisterTimeoutMs = 60000;
    // A line that makes no progress for this long: the server stopped reading.
    static constexpr uint32_t kSendStallMs = 30000;
    // After Disconnect, the connection ends by itself at the latest then.
    static constexpr uint32_t kCloseLimitMs = CSendQueue::kDrainLimitMs + 5000;
    // How long EndIrcThread lets a queued QUIT try to leave.
    static constexpr uint32_t kQuitGraceMs = 500;
    // Waits for data or for room to send run in slices this long, so that
    // timers and ends are seen promptly.
    static constexpr int kWaitSliceMs = 100;
    // What the system buffers for sending: an IRC client sends little, and
    // a small buffer shows a peer that stopped reading within seconds.
    static constexpr int kSendBufferBytes = 16384;

protected:
    // Guards the settings and texts that are not atomic, for the session
    // and the page that derives from it. Never held across a wait.
    std::unique_lock<std::mutex> LockFields() {
        return std::unique_lock<std::mutex>(m_mutexFields);
    }
    // One line for the log, colours already removed. Called on the thread
    // that logs (the IRC thread, the writer thread or the UI thread); must
    // not wait for the UI thread, which may be joining the IRC thread.
    virtual void WriteLog(const std::string& strText) = 0;
    // The IRC thread ended on its own (not through EndIrcThread);
    // m_bSessionActive is already clear. Called on the IRC thread; work
    // posted from here should check m_bSessionActive, since a new session
    // may have started before it runs.
    virtual void OnSessionEnded() = 0;
    // The one place lines enter the send queue (tests may watch it): a whole
    // line without its final CR LF. Any thread.
    virtual void QueueLine(std::string strLine, ELineKind eKind);
    // Writes bytes to the current connection (plain or TLS) within
    // kSendStallMs of no progress; false when the connection is lost (it is
    // then shut down).
    // The one place bytes leave (tests may watch it). Writer thread.
    virtual bool WriteToSocket(const std::string& strBytes);

private:
    enum class ELinkFault { None, SendStalled, NoPong, NoWelcome };

    CIrcSessionView SnapshotView();
    void Apply(const std::vector<CIrcAction>& actions);
    void Send(const std::string& strLine, ELineKind eKind);
    std::string SkippedLine(uint32_t nSkipped);
    void SetRequest(std::string strRequest);
    std::shared_ptr<IIrcStream> CurrentSocket();
    void ReplaceSocket(std::shared_ptr<IIrcStream> pStream);
    // The TLS handshake over the connected socket; false when it failed (logged).
    bool StartTls(platform::CSocket& socket, const std::string& strServer,
                  const CIrcSecurity& security, int nTimeoutMs);
    // Carries out one SASL step; true when the line was the negotiation's.
    bool ApplySaslStep(const CSaslStep& step);
    void MarkSocketConnected();
    void ShutdownSocket();
    int EndConnection(const CIrcLineState& state);
    void EndIrcThreadLocked();  // m_mutexThread held
    // QUIT behind the lines already queued. Any thread.
    void QueueQuit();
    void ForgetJoinedChannel();  // a session starts or ends: the typed channel again

    platform::CClock& m_clock;
    bridge::CGameShared& m_game;
    platform::CStopSignal m_stop;  // set only while EndIrcThread ends the thread
    // Cuts the supervisor's wait short: set by Disconnect and EndIrcThread,
    // cleared when a session opens.
    platform::CStopSignal m_sessionEnd;
    std::atomic<bool> m_bKeepAlive{false};
    // Registration texts and the nickname in use; under m_mutexFields.
    std::string m_strIdent = kIdent;
    std::string m_strVersion;      // the string table's version text
    std::string m_strCurrentNick;  // the nickname in use on the server
    std::atomic<EState> m_eState{EState::Idle};

    std::mutex m_mutexFields;
    // Under m_mutexFields: the channel as the server spelled the bot's join,
    // which the channel checks compare against; empty outside a session.
    std::string m_strJoinedChannel;
    const std::string& ChannelInUseLocked() const {
        return m_strJoinedChannel.empty() ? m_strChannel : m_strJoinedChannel;
    }
    std::mutex m_mutexRequest;
    std::deque<std::string> m_requests;

    // The connection's stream; replaced on each attempt. The writer holds a
    // copy for the length of one write, so a reconnection never closes a
    // socket in use.
    std::mutex m_mutexSocket;
    std::shared_ptr<IIrcStream> m_socket;
    // The writer sees the socket only once its connect has returned.
    bool m_bSocketConnected = false;
    platform::CNetAddress m_addr;  // address of the last attempt (IRC side only)

    // IRC thread only (and the thread that opens a session before it runs).
    CReconnectPolicy m_reconnect;
    CCtcpLimiter m_ctcpLimiter;
    bool m_bRegistered = false;              // this connection saw the end of the MOTD
    std::optional<CSaslNegotiation> m_sasl;  // this connection's, when SASL is chosen
    bool m_bSaslFailed = false;              // it failed: the connection ends
    uint32_t m_nConnectTick = 0;             // when the current connection stood
    std::atomic<ELinkFault> m_eLinkFault{ELinkFault::None};
    std::atomic<bool> m_bRefusalLogged{false};

    std::mutex m_mutexThread;  // serialises OpenSession and EndIrcThread
    std::thread m_thread;
    std::atomic<bool> m_bThreadAlive{false};
    std::mutex m_mutexAlive;
    std::condition_variable m_cvAlive;

    // Last: its thread uses the members above and ends first.
    CSendWriter m_writer;
};

}  // namespace irc
