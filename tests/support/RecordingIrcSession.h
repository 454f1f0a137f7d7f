#pragma once
// An IRC session for tests: keeps every log line and every write, counts
// the thread's own ends, and can stop lines from reaching the socket: then
// they stop at the send queue, and Writes() lists them in the order they
// were handed in, each with its CR LF, with their kinds in Kinds(). A log
// hook may be held at one chosen line until the test releases it.
#include <condition_variable>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "irc/IrcSession.h"
#include "support/Wait.h"

namespace testsupport {

// Holds the shared game state of a session that is handed none: a base, so
// that it is made before the session that refers to it.
struct COwnGameShared {
    bridge::CGameShared m_ownGame;
};

class CRecordingIrcSession : private COwnGameShared, public irc::CIrcSession {
public:
    // With a game state of its own, or with the one the test shares with a
    // game tab.
    explicit CRecordingIrcSession(platform::CClock& clock, bool bForwardWrites = true)
        : CIrcSession(clock, m_ownGame), m_bForwardWrites(bForwardWrites) {}
    CRecordingIrcSession(platform::CClock& clock, bridge::CGameShared& game,
                         bool bForwardWrites = true)
        : CIrcSession(clock, game), m_bForwardWrites(bForwardWrites) {}
    ~CRecordingIrcSession() override {
        ReleaseLog();
        EndIrcThread();
    }

    void Configure(const std::string& strServer, uint16_t nPort, const std::string& strNick,
                   const std::string& strAltNick, const std::string& strChannel) {
        irc::CIrcSettings connection = Connection();
        connection.m_strServer = strServer;
        connection.m_nPort = nPort;
        connection.m_strNick = strNick;
        connection.m_strAltNick = strAltNick;
        connection.m_strChannel = strChannel;
        SetConnection(connection);
    }

    std::vector<std::string> Logs() const {
        std::lock_guard<std::mutex> lock(m_mutex);
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
    int SessionEnds() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_nSessionEnds;
    }

    // The thread that logs strLine waits in the hook until ReleaseLog (at
    // most 20 s, so a failing test cannot hang).
    void HoldLogAt(const std::string& strLine) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_strHoldAt = strLine;
        m_bHeld = false;
    }
    bool IsHeld() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_bHeld;
    }
    void ReleaseLog() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_strHoldAt.clear();
        }
        m_cv.notify_all();
    }

protected:
    void WriteLog(const std::string& strText) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_logs.push_back(strText);
        if (!m_strHoldAt.empty() && strText == m_strHoldAt) {
            m_bHeld = true;
            m_cv.wait_for(lock, std::chrono::seconds(20), [&] { return m_strHoldAt.empty(); });
            m_bHeld = false;
        }
    }
    void OnSessionEnded() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_nSessionEnds;
    }
    void QueueLine(std::string strLine, irc::ELineKind eKind) override {
        if (m_bForwardWrites) {
            CIrcSession::QueueLine(std::move(strLine), eKind);
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
    const bool m_bForwardWrites;
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<std::string> m_logs;
    std::vector<std::string> m_writes;
    std::vector<irc::ELineKind> m_kinds;
    int m_nSessionEnds = 0;
    int m_nFailedWrites = 0;
    bool m_bWriting = false;
    std::string m_strHoldAt;
    bool m_bHeld = false;
};

}  // namespace testsupport
