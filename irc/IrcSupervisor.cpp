// The IRC thread's life: reconnection after the server drops the bot, and
// the one-thread-at-a-time rule for starting and ending it.
#include <chrono>

#include "irc/IrcSession.h"
#include "irc/IrcText.h"

namespace irc {

void CIrcSession::IrcThread() {
    int nResult = ReceiveLoop();
    while (nResult != 0) {
        if (nResult == 2) {
            AppendLog(kTextWaiting);
            if (!m_clock.Sleep(kThrottleWaitMs, &m_stop)) break;
        }
        // Disconnect pressed meanwhile, or the program is ending the thread.
        if (!m_bSessionActive.load() || m_stop.IsStopped()) break;
        AppendLog(kTextReconnecting);
        ConnectToServer();
        nResult = ReceiveLoop();
    }
    m_bSessionActive = false;
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
    m_bSessionActive = true;
    if (ConnectToServer() != 0) {
        m_bSessionActive = false;
        return 1;
    }
    m_bThreadAlive = true;
    m_thread = std::thread([this] { IrcThread(); });
    return 0;
}

void CIrcSession::Disconnect() {
    std::string strQuit;
    {
        std::lock_guard<std::mutex> lock(m_mutexFields);
        strQuit = QuitLine(m_strVersion);
    }
    SendLine(strQuit);
    m_bSessionActive = false;
    m_bInChannel = false;
}

void CIrcSession::EndIrcThread() {
    std::lock_guard<std::mutex> guard(m_mutexThread);
    EndIrcThreadLocked();
}

void CIrcSession::EndIrcThreadLocked() {
    if (!m_thread.joinable() || m_thread.get_id() == std::this_thread::get_id()) return;
    m_stop.Stop();
    // Repeated, because a reconnection may publish a new socket after the
    // first shutdown; each one wakes a blocked read or connect.
    for (;;) {
        ShutdownSocket();
        std::unique_lock<std::mutex> lock(m_mutexAlive);
        if (m_cvAlive.wait_for(lock, std::chrono::milliseconds(50),
                               [this] { return !m_bThreadAlive.load(); }))
            break;
    }
    m_thread.join();
    m_stop.Reset();
}

}  // namespace irc
