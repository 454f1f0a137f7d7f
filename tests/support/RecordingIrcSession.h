#pragma once
// An IRC session for tests: keeps every log line and every write, counts
// the thread's own ends, and can stop writes from reaching the socket. A
// log hook may be held at one chosen line until the test releases it.
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "irc/IrcSession.h"
#include "support/Wait.h"

namespace testsupport {

class CRecordingIrcSession : public irc::CIrcSession {
public:
    explicit CRecordingIrcSession(platform::CClock& clock, bool bForwardWrites = true)
        : CIrcSession(clock), m_bForwardWrites(bForwardWrites) {}
    ~CRecordingIrcSession() override {
        ReleaseLog();
        EndIrcThread();
    }

    void Configure(const std::string& strServer, uint16_t nPort, const std::string& strNick,
                   const std::string& strAltNick, const std::string& strChannel) {
        auto lock = LockFields();
        m_strServer = strServer;
        m_nPort = nPort;
        m_strNick = strNick;
        m_strAltNick = strAltNick;
        m_strChannel = strChannel;
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
    bool WriteToSocket(const std::string& strBytes) override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_writes.push_back(strBytes);
        }
        return m_bForwardWrites ? CIrcSession::WriteToSocket(strBytes) : true;
    }

private:
    const bool m_bForwardWrites;
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<std::string> m_logs;
    std::vector<std::string> m_writes;
    int m_nSessionEnds = 0;
    std::string m_strHoldAt;
    bool m_bHeld = false;
};

}  // namespace testsupport
