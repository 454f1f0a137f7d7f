#pragma once
// An IRC session for tests: keeps every log line and every write, counts
// the thread's own ends, and can stop lines from reaching the socket: then
// they stop at the send queue, and Writes() lists them in the order they
// were handed in, each with its CR LF, with their kinds in Kinds(). A log
// line may be held at one chosen line until the test releases it. The
// settings that OpenSession uses are the test's (Configure, SetConnection).
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "irc/IrcSession.h"
#include "support/Wait.h"

namespace testsupport {

// What the session tells its owner, kept: a base, so that it is made
// before the session that reports to it, and goes after it.
class CIrcEventRecorder : public irc::IIrcEvents {
public:
    std::vector<std::string> Logs() const {
        std::lock_guard<std::mutex> lock(m_mutexEvents);
        return m_logs;
    }
    bool HasLog(const std::string& strLine) const {
        for (const std::string& s : Logs())
            if (s == strLine) return true;
        return false;
    }
    bool WaitForLog(const std::string& strLine,
                    std::chrono::milliseconds timeout = std::chrono::seconds(5)) const {
        return WaitUntil([&] { return HasLog(strLine); }, timeout);
    }
    // The thread that logs strLine waits in the hook until ReleaseLog (at
    // most 20 s, so a failing test cannot hang).
    void HoldLogAt(const std::string& strLine) {
        std::lock_guard<std::mutex> lock(m_mutexEvents);
        m_strHoldAt = strLine;
        m_bHeld = false;
    }
    bool IsHeld() const {
        std::lock_guard<std::mutex> lock(m_mutexEvents);
        return m_bHeld;
    }
    void ReleaseLog() {
        {
            std::lock_guard<std::mutex> lock(m_mutexEvents);
            m_strHoldAt.clear();
        }
        m_cvEvents.notify_all();
    }
    // Ends of a session that came from the session itself (the server, a
    // failed attempt, Disconnect), not from End.
    int SessionEnds() const {
        std::lock_guard<std::mutex> lock(m_mutexEvents);
        return m_nSessionEnds;
    }
    // The status as the last status event found it.
    irc::CIrcStatus LastStatus() const {
        std::lock_guard<std::mutex> lock(m_mutexEvents);
        return m_status;
    }
    int Requests() const {
        std::lock_guard<std::mutex> lock(m_mutexEvents);
        return m_nRequests;
    }

protected:
    // The session whose status the events report; set by the session's owner.
    void Watch(const irc::CIrcSession* pSession) { m_pSession = pSession; }
    void SetEnding(bool bEnding) {
        std::lock_guard<std::mutex> lock(m_mutexEvents);
        m_bEnding = bEnding;
    }

    void OnIrcLog(const std::string& strText) override {
        std::unique_lock<std::mutex> lock(m_mutexEvents);
        m_logs.push_back(strText);
        if (!m_strHoldAt.empty() && strText == m_strHoldAt) {
            m_bHeld = true;
            m_cvEvents.wait_for(lock, std::chrono::seconds(20),
                                [&] { return m_strHoldAt.empty(); });
            m_bHeld = false;
        }
    }
    void OnIrcStatusChanged() override {
        // Read under the lock: the last event to take it reads the newest status.
        std::lock_guard<std::mutex> lock(m_mutexEvents);
        if (m_pSession == nullptr) return;
        const irc::CIrcStatus status = m_pSession->Status();
        if (m_status.m_eState != irc::EIrcState::Idle && status.m_eState == irc::EIrcState::Idle &&
            !m_bEnding)
            ++m_nSessionEnds;
        m_status = status;
    }
    void OnIrcRequest() override {
        std::lock_guard<std::mutex> lock(m_mutexEvents);
        ++m_nRequests;
    }

private:
    mutable std::mutex m_mutexEvents;
    std::condition_variable m_cvEvents;
    const irc::CIrcSession* m_pSession = nullptr;
    std::vector<std::string> m_logs;
    std::string m_strHoldAt;
    bool m_bHeld = false;
    bool m_bEnding = false;
    int m_nSessionEnds = 0;
    int m_nRequests = 0;
    irc::CIrcStatus m_status;
};

// Holds the shared game state of a session that is handed none: a base, so
// that it is made before the session that refers to it.
struct COwnGameShared {
    bridge::CGameShared m_ownGame;
};

class CRecordingIrcSession : private COwnGameShared,
                             public CIrcEventRecorder,
                             public irc::CIrcSession {
public:
    // With a game state of its own, or with the one the test shares with a
    // game tab.
    explicit CRecordingIrcSession(platform::CClock& clock, bool bForwardWrites = true)
        : CIrcSession(clock, m_ownGame, *this),
          m_game(m_ownGame),
          m_bForwardWrites(bForwardWrites) {
        Watch(this);
    }
    CRecordingIrcSession(platform::CClock& clock, bridge::CGameShared& game,
                         bool bForwardWrites = true)
        : CIrcSession(clock, game, *this), m_game(game), m_bForwardWrites(bForwardWrites) {
        Watch(this);
    }
    // With a heartbeat that the IRC loop beats.
    CRecordingIrcSession(platform::CClock& clock, platform::CHeartbeat& beat)
        : CIrcSession(clock, m_ownGame, *this, &beat), m_game(m_ownGame), m_bForwardWrites(true) {
        Watch(this);
    }
    ~CRecordingIrcSession() override {
        ReleaseLog();
        EndIrcThread();
    }

    void Configure(const std::string& strServer, uint16_t nPort, const std::string& strNick,
                   const std::string& strAltNick, const std::string& strChannel) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_settings.m_strServer = strServer;
        m_settings.m_nPort = nPort;
        m_settings.m_strNick = strNick;
        m_settings.m_strAltNick = strAltNick;
        m_settings.m_strChannel = strChannel;
    }
    // The settings the next OpenSession takes.
    irc::CIrcSettings Connection() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_settings;
    }
    void SetConnection(const irc::CIrcSettings& settings) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_settings = settings;
    }
    // Open with the test's settings. A previous thread that Open ends is
    // no end of the session's own.
    void OpenSession() {
        SetEnding(true);
        Open(Connection());
        SetEnding(false);
    }
    // End, counted apart from the session's own ends.
    void EndIrcThread() {
        SetEnding(true);
        End();
        SetEnding(false);
    }
    bool IsIrcThreadRunning() const { return LastStatus().m_eState != irc::EIrcState::Idle; }
    irc::EIrcState State() const { return Status().m_eState; }
    std::string GetChannel() const { return Status().m_strChannel; }
    std::string GetCurrentNick() const { return Status().m_strNick; }
    bridge::CGameShared& GameShared() { return m_game; }

    // As the server's confirmation of the join of the test's channel would,
    // or a kick.
    void SetInChannel(bool bIn) { MarkInChannel(bIn, Connection().m_strChannel); }
    void SetSessionActive(bool bActive) { MarkSessionActive(bActive); }

    std::vector<std::string> Writes() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_writes;
    }
    // Waits until a write holds strPart.
    bool WaitForWrite(const std::string& strPart,
                      std::chrono::milliseconds timeout = std::chrono::seconds(5)) const {
        return WaitUntil(
            [&] {
                for (const std::string& s : Writes())
                    if (s.find(strPart) != std::string::npos) return true;
                return false;
            },
            timeout);
    }
    // Without forwarding: the kind of each line in Writes().
    std::vector<irc::ELineKind> Kinds() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_kinds;
    }
    // A write has begun and not yet returned.
    bool IsWriting() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_bWriting;
    }
    // Writes that found the connection lost.
    int FailedWrites() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_nFailedWrites;
    }

protected:
    void QueueLine(std::string strLine, irc::ELineKind eKind, irc::ELineTarget eTarget) override {
        if (m_bForwardWrites) {
            CIrcSession::QueueLine(std::move(strLine), eKind, eTarget);
            return;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_writes.push_back(strLine + "\r\n");
        m_kinds.push_back(eKind);
    }
    bool WriteToSocket(const std::string& strBytes) override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_writes.push_back(strBytes);
            m_bWriting = true;
        }
        const bool bWritten = CIrcSession::WriteToSocket(strBytes);
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bWriting = false;
        if (!bWritten) ++m_nFailedWrites;
        return bWritten;
    }

private:
    bridge::CGameShared& m_game;
    const bool m_bForwardWrites;
    mutable std::mutex m_mutex;
    irc::CIrcSettings m_settings;
    std::vector<std::string> m_writes;
    std::vector<irc::ELineKind> m_kinds;
    int m_nFailedWrites = 0;
    bool m_bWriting = false;
};

}  // namespace testsupport
