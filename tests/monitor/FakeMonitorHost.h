#pragma once
// The game tab as the monitor and the ticket reporter see it, for tests:
// plain flags, the run's settings, a log that keeps every line as it was
// handed over (colour codes included), and counters of the page calls.
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "monitor/MonitorHost.h"
#include "support/RecordingIrcSession.h"

namespace testsupport {

class CFakeMonitorHost : public monitor::IMonitorHost {
public:
    explicit CFakeMonitorHost(CRecordingIrcSession* pIrc) : m_pIrc(pIrc) {
        m_settings.m_strAlliedKillColor = "02";
        m_settings.m_strAxisKillColor = "05";
        m_settings.m_strAlliedFlagColor = "12";
        m_settings.m_strAxisFlagColor = "04";
        m_settings.m_strStatusColor = "15";
        m_settings.m_strKeyColor = "10";
        m_settings.m_strValueColor = "14";
        m_settings.m_nLangBase = 0;
        m_settings.m_strServer = "127.0.0.1";
    }

    // ---- Test side
    monitor::CAnnounceSettings m_settings;  // set before the run starts
    monitor::CEventFilters m_filters;
    std::atomic<bool> m_bTicketShown{true};
    std::atomic<bool> m_bBroadcast{false};
    std::atomic<bool> m_bMonitoring{true};
    std::atomic<bool> m_bGamePaused{false};
    std::atomic<bool> m_bStopRequested{false};
    std::atomic<bool> m_bKeepAlive{false};
    std::atomic<int32_t> m_nTraffic{0};
    std::atomic<int> m_nReady{0};
    std::atomic<int> m_nReturnsToIdle{0};
    std::atomic<int> m_nEnded{0};
    // Called with each log line on the logging thread, after it is kept;
    // set before the run starts.
    std::function<void(const std::string&)> m_onLog;

    std::vector<std::string> Log() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_log;
    }
    size_t LogSize() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_log.size();
    }
    std::string LastLog() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_log.empty() ? std::string() : m_log.back();
    }
    void ClearLog() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_log.clear();
    }

    // ---- The host
    bool IsBroadcasting() const override { return m_bBroadcast; }
    bridge::IIrcLink* IrcLink() const override { return m_pIrc; }
    // The session's, as the main window hands one object to both sides.
    bridge::CGameShared& GameShared() const override {
        return m_pIrc != nullptr ? m_pIrc->GameShared() : m_game;
    }
    void AppendLog(std::string strText) override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_log.push_back(strText);
        }
        if (m_onLog) m_onLog(strText);
    }
    monitor::CAnnounceSettings AnnounceSettings() const override { return m_settings; }
    monitor::CEventFilters EventFilters() const override { return m_filters; }
    bool IsTicketShown() const override { return m_bTicketShown; }
    monitor::CServerStatus GetStatus() const override {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_status;
    }
    void SetStatus(const monitor::CServerStatus& status) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_status = status;
    }
    bool IsMonitoring() const override { return m_bMonitoring; }
    void SetMonitoring(bool bMonitoring) override { m_bMonitoring = bMonitoring; }
    bool IsGamePaused() const override { return m_bGamePaused; }
    void SetGamePaused(bool bPaused) override { m_bGamePaused = bPaused; }
    std::atomic<int32_t>* TrafficCounter() override { return &m_nTraffic; }
    bool IsStopRequested() const override { return m_bStopRequested; }
    bool IsKeepAlive() const override { return m_bKeepAlive; }
    void OnMonitorReady() override { ++m_nReady; }
    void ReturnToIdle() override { ++m_nReturnsToIdle; }
    void OnMonitorEnded() override { ++m_nEnded; }

private:
    CRecordingIrcSession* m_pIrc;
    mutable bridge::CGameShared m_game;  // without a session
    mutable std::mutex m_mutex;
    std::vector<std::string> m_log;
    monitor::CServerStatus m_status;
};

}  // namespace testsupport
