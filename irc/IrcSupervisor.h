#pragma once
// The IRC thread: one connection after another for as long as the session
// lasts. After a connection ends, CReconnectPolicy says whether and when
// the next attempt comes (the back-off, the throttle's own wait); the wait
// ends early on Disconnect and End. One IRC thread at a time: Start only
// when none runs, End joins it within a bounded time whatever the network
// does (a look-up, a connect, a handshake or a server that stopped reading).
//
// Start, End: one caller at a time (the session serialises them), never the
// IRC thread. CutShort, SetKeepAlive and the queries: any thread.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "irc/IrcConnection.h"
#include "irc/ReconnectPolicy.h"

namespace irc {

class CIrcSupervisor {
public:
    // How long End lets a QUIT that Disconnect queued try to leave.
    static constexpr uint32_t kQuitGraceMs = 500;
    static constexpr uint32_t kThrottleWaitMs = CReconnectPolicy::kThrottleWaitMs;

    CIrcSupervisor(platform::CClock& clock, CIrcSender& sender, CIrcSessionState& state,
                   CChannelRequests& requests, const bridge::CGameShared& game,
                   platform::CHeartbeat* pBeat);
    ~CIrcSupervisor();
    CIrcSupervisor(const CIrcSupervisor&) = delete;
    CIrcSupervisor& operator=(const CIrcSupervisor&) = delete;

    // Starts the IRC thread for a session with these settings; the first
    // attempt begins at once, on that thread. None may run (End first).
    void Start(const CIrcSettings& settings, const CRegistrationTexts& texts);
    // Disconnect: a look-up, connect or handshake in progress ends, a wait
    // for the next attempt ends, and the receive loop looks at its
    // deadlines again (the close limit now among them).
    void CutShort();
    // Ends the thread without waiting for the server: a queued QUIT gets
    // kQuitGraceMs, then the stream is shut down and the thread joined.
    // No-op when none runs, or on the IRC thread itself.
    void End();
    // The IRC thread has not finished.
    bool IsRunning() const { return m_bAlive.load(); }

    // Keep-alive: while set (Broadcast is on), every end of the connection
    // that the operator did not ask for leads to a new attempt after the
    // back-off, a failed first connect too. Without it, only the server's
    // ERROR does. Takes effect at the next end.
    void SetKeepAlive(bool bKeepAlive) { m_bKeepAlive = bKeepAlive; }
    bool IsKeepAlive() const { return m_bKeepAlive.load(); }
    // Attempts after the first of a session, since this object was made.
    uint64_t Reconnects() const { return m_nReconnects.load(); }

private:
    void Run(const CIrcSettings& settings, const CRegistrationTexts& texts);
    void Beat(uint32_t nNextWithinMs);

    platform::CClock& m_clock;
    CIrcSender& m_sender;
    CIrcSessionState& m_state;
    platform::CHeartbeat* m_pBeat;
    platform::CStopSignal m_cut;  // Disconnect and End; cleared when a session starts
    platform::CStopSignal m_end;  // End only
    platform::CSocketWake m_wake;
    CCtcpLimiter m_ctcpLimiter;
    const CIrcConnectionContext m_context;
    CReconnectPolicy m_reconnect;  // the IRC thread's (and Start's before it runs)
    std::atomic<bool> m_bKeepAlive{false};
    std::atomic<uint64_t> m_nReconnects{0};

    std::thread m_thread;
    std::atomic<bool> m_bAlive{false};
    std::mutex m_mutexAlive;
    std::condition_variable m_cvAlive;
};

}  // namespace irc
