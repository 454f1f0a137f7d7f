// The IRC thread's life: reconnection after the server drops the bot (when
// and whether, CReconnectPolicy decides), and the one-thread-at-a-time rule
// for starting and ending it.
#include <chrono>

#include "irc/IrcSession.h"
#include "irc/IrcText.h"
#include "irc/LineFit.h"

namespace irc {

void CIrcSession::IrcThread() {
    int nResult = ReceiveLoop();
    for (;;) {
        // Disconnect pressed meanwhile, or the program is ending the thread.
        if (!m_bSessionActive.load() || m_stop.IsStopped()) break;
        const uint32_t nWaitMs =
            m_reconnect.NextWaitMs(nResult, m_bRegistered, m_bKeepAlive.load());
        if (nWaitMs == 0) break;
        AppendLog(nResult == 2 ? std::string(kTextWaiting) : NextAttemptText(nWaitMs));
        m_eState = EState::Waiting;
        if (!m_clock.Sleep(nWaitMs, &m_sessionEnd)) break;
        if (!m_bSessionActive.load() || m_stop.IsStopped()) break;
        AppendLog(kTextReconnecting);
        m_eState = EState::Connecting;
        ConnectToServer();
        // A Disconnect during the attempt may have found nothing to say QUIT on.
        if (!m_bSessionActive.load()) QueueQuit();
        m_eState = m_bSessionActive.load() ? EState::Connected : EState::Closing;
        nResult = ReceiveLoop();
    }
    m_bSessionActive = false;
    ForgetJoinedChannel();
    m_eState = EState::Idle;
    if (!m_stop.IsStopped()) OnSessionEnded();
    {
        std::lock_guard<std::mutex> lock(m_mutexAlive);
        m_bThreadAlive = false;
    }
    m_cvAlive.notify_all();
}

int CIrcSession::OpenSession() {
    std::lock_guard<std::mutex> guard(m_mutexThread);
    // The previous connection's thread may still wait for the server to
    // close after QUIT; a second thread on the same state is not allowed.
    EndIrcThreadLocked();
    m_sessionEnd.Reset();
    m_reconnect.Reset();
    ForgetJoinedChannel();
    m_bSessionActive = true;
    m_eState = EState::Connecting;
    const bool bConnected = ConnectToServer() == 0;
    if (!bConnected && !m_bKeepAlive.load()) {
        m_bSessionActive = false;
        m_eState = EState::Idle;
        return 1;
    }
    // With keep-alive, a failed first connect goes on as any lost link does.
    m_eState = bConnected ? EState::Connected : EState::Waiting;
    m_bThreadAlive = true;
    m_thread = std::thread([this] { IrcThread(); });
    return 0;
}

void CIrcSession::QueueQuit() {
    std::string strQuit;
    {
        std::lock_guard<std::mutex> lock(m_mutexFields);
        strQuit = QuitLine(m_strVersion);
    }
    m_writer.Close(FitLine(WithoutLineBreaks(strQuit)));
}

void CIrcSession::Disconnect() {
    m_bSessionActive = false;
    m_bInChannel = false;
    ForgetJoinedChannel();
    // QUIT behind the lines already queued; a supervisor that waits for its
    // next attempt ends now.
    QueueQuit();
    m_sessionEnd.Stop();
    if (m_bThreadAlive.load()) m_eState = EState::Closing;
}

void CIrcSession::ForgetJoinedChannel() {
    std::lock_guard<std::mutex> lock(m_mutexFields);
    m_strJoinedChannel.clear();
}

void CIrcSession::EndIrcThread() {
    std::lock_guard<std::mutex> guard(m_mutexThread);
    EndIrcThreadLocked();
}

void CIrcSession::EndIrcThreadLocked() {
    const bool bOwnThread = m_thread.joinable() && m_thread.get_id() == std::this_thread::get_id();
    if (bOwnThread) return;
    // A QUIT that Disconnect queued goes now, ahead of what still waits.
    m_writer.FlushFinal(kQuitGraceMs);
    if (m_thread.joinable()) {
        m_stop.Stop();
        m_sessionEnd.Stop();
        // Repeated, because a reconnection may publish a new socket after the
        // first shutdown; each one wakes a blocked connect.
        for (;;) {
            ShutdownSocket();
            std::unique_lock<std::mutex> lock(m_mutexAlive);
            if (m_cvAlive.wait_for(lock, std::chrono::milliseconds(50),
                                   [this] { return !m_bThreadAlive.load(); }))
                break;
        }
        m_thread.join();
    }
    // A connection opened without the thread (a connect alone) ends here too.
    m_writer.Stop();
    ShutdownSocket();
    ReplaceSocket(nullptr);
    m_stop.Reset();
    m_eState = EState::Idle;
}

}  // namespace irc
