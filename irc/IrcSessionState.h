#pragma once
// Where the IRC session stands, kept in one place and told to the owner:
// the run state, the channel and nickname in use, whether the session is
// active and the bot in its channel, and the lines of the IRC log. Every
// change that alters Status() calls IIrcEvents::OnIrcStatusChanged once,
// after the change, outside the lock.
//
// Any thread: the caller's (Open, Disconnect), the IRC thread (phases,
// channel, nickname) and the writer thread (log lines). Never held across
// a wait.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "irc/IrcEvents.h"

namespace irc {

class CIrcSessionState {
public:
    explicit CIrcSessionState(IIrcEvents& events) : m_events(events) {}
    CIrcSessionState(const CIrcSessionState&) = delete;
    CIrcSessionState& operator=(const CIrcSessionState&) = delete;

    // One line for the IRC log, colours removed; an empty text is ignored.
    void Log(const std::string& strText);

    CIrcStatus Status() const;
    bool IsSessionActive() const { return m_bSessionActive.load(); }
    bool IsInChannel() const { return m_bInChannel.load(); }
    // The channel in use: the server's spelling of the bot's join during a
    // session, else the setting.
    std::string Channel() const;

    // Open: a session starts (active, connecting) with these settings.
    void BeginSession(const std::string& strChannel, const std::string& strNick);
    // The IRC thread's phases: Connecting, Registering, Registered, Waiting
    // (with the length of the wait that begins).
    void SetPhase(EIrcState ePhase, uint32_t nWaitMs = 0);
    // The server confirmed the bot's join, spelling the channel so.
    void EnterChannel(const std::string& strChannel);
    // Out of the channel (a kick, or the connection's end).
    void LeaveChannel();
    void SetCurrentNick(const std::string& strNick);
    // Disconnect: inactive and out of the channel, the typed channel again;
    // Closing while the IRC thread still runs.
    void EndSession(bool bThreadRuns);
    // The IRC thread has ended: Idle.
    void ThreadEnded();
    // For tests that drive the session without a thread.
    void SetSessionActive(bool bActive);

private:
    // Runs fnChange under the lock, then tells the owner if Status() changed.
    template <typename Change>
    void Update(Change fnChange);
    CIrcStatus StatusLocked() const;

    IIrcEvents& m_events;
    mutable std::mutex m_mutex;
    EIrcState m_ePhase = EIrcState::Idle;  // Idle: no IRC thread
    bool m_bClosing = false;
    std::string m_strChannel;        // as the settings give it
    std::string m_strJoinedChannel;  // as the server spelled the bot's join; empty outside
    std::string m_strNick;
    uint32_t m_nNextAttemptMs = 0;
    // Read without the lock by the senders on every line.
    std::atomic<bool> m_bSessionActive{false};
    std::atomic<bool> m_bInChannel{false};
};

}  // namespace irc
