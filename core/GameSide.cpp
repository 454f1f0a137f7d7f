#include "core/GameSide.h"

#include <chrono>
#include <utility>

#include "monitor/MonitorSupervisor.h"
#include "platform/ThreadName.h"

namespace core {

CGameSide::CGameSide(bridge::CGameShared& game, IGameSideEvents& events, platform::CClock& clock)
    : m_events(events), m_game(game), m_clock(clock) {}

CGameSide::~CGameSide() {
    Shutdown();
}

void CGameSide::Shutdown() {
    // The monitor ends at its next safe point, also when held by Pause.
    m_bShutdown = true;
    m_wake.Stop();
    m_gate.Release();
    if (m_pThread && m_pThread->joinable()) m_pThread->join();
}

CGameStatus CGameSide::Status() const {
    std::lock_guard<std::mutex> lock(m_mutexRun);
    return CGameStatus{RunState(), m_bAlive, m_bReady, m_eMonitor, m_bAnswering, m_nNextRunMs};
}

CGameRunSettings CGameSide::RunSettings() const {
    std::lock_guard<std::mutex> lock(m_mutexStatus);
    return m_settings;
}

monitor::CAnnounceSettings CGameSide::AnnounceSettings() const {
    std::lock_guard<std::mutex> lock(m_mutexStatus);
    return m_settings.m_announce;
}

monitor::CEventFilters CGameSide::EventFilters() const {
    std::lock_guard<std::mutex> lock(m_mutexStatus);
    return m_settings.m_filters;
}

bool CGameSide::IsTicketShown() const {
    std::lock_guard<std::mutex> lock(m_mutexStatus);
    return m_settings.m_bShowTicket;
}

void CGameSide::AppendLog(std::string strText) {
    if (!strText.empty()) m_events.OnGameLog(strText);
}

monitor::CServerStatus CGameSide::GetStatus() const {
    std::lock_guard<std::mutex> lock(m_mutexStatus);
    return m_status;
}

void CGameSide::SetStatus(const monitor::CServerStatus& status) {
    std::lock_guard<std::mutex> lock(m_mutexStatus);
    m_status = status;
}

bool CGameSide::IsStopRequested() const {
    return m_bShutdown.load() || RunState() == bridge::EGameState::Idle;
}

bool CGameSide::WaitForPrevious(int nWaitMs) {
    {
        std::unique_lock<std::mutex> lock(m_mutexRun);
        if (!m_cvRun.wait_for(lock, std::chrono::milliseconds(nWaitMs),
                              [this] { return !m_bAlive; }))
            return false;
    }
    // It has said it is done; the join only waits for its return.
    if (m_pThread && m_pThread->joinable()) m_pThread->join();
    return true;
}

void CGameSide::Start(const CGameRunSettings& settings) {
    {
        std::lock_guard<std::mutex> lock(m_mutexRun);
        if (RunState() != bridge::EGameState::Idle || m_bAlive) return;
    }
    // A monitor that has ended has only its return left.
    if (m_pThread && m_pThread->joinable()) m_pThread->join();
    {
        std::lock_guard<std::mutex> lock(m_mutexStatus);
        m_settings = settings;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutexRun);
        m_game.SetGameState(bridge::EGameState::Running);
        m_bMonitoring = true;
        m_bAlive = true;
        m_bReady = false;
    }
    m_bShutdown = false;
    m_wake.Reset();
    m_gate.Release();
    m_events.OnGameStatusChanged();
    m_pThread = std::make_unique<std::thread>([this] {
        platform::NameThisThread("game");
        monitor::MonitorThread(*this, monitor::CMonitorControl{m_clock, m_wake, m_gate});
    });
}

bool CGameSide::Stop() {
    {
        // The state first: the monitor reads it after each wake-up. Only one
        // caller turns the side idle; a second (a failure the operator has
        // overtaken) finds nothing to do.
        std::lock_guard<std::mutex> lock(m_mutexRun);
        if (RunState() == bridge::EGameState::Idle) return false;
        m_game.SetGameState(bridge::EGameState::Idle);
    }
    m_events.OnGameStatusChanged();
    // A monitor held by Pause or waiting on the server ends now.
    m_wake.Stop();
    m_gate.Release();
    return true;
}

void CGameSide::Pause(bool bPause) {
    {
        std::lock_guard<std::mutex> lock(m_mutexRun);
        if (RunState() == bridge::EGameState::Idle) return;
        m_game.SetGameState(bPause ? bridge::EGameState::Paused : bridge::EGameState::Running);
    }
    m_events.OnGameStatusChanged();
    if (bPause) {
        m_gate.Hold();
        m_wake.Stop();  // a wait on a silent server ends, then the gate holds
    } else {
        m_gate.Release();
    }
}

void CGameSide::OnMonitorReady() {
    {
        std::lock_guard<std::mutex> lock(m_mutexRun);
        if (m_bReady) return;
        m_bReady = true;
    }
    m_events.OnGameStatusChanged();
}

void CGameSide::OnMonitorState(monitor::EMonitorState eState, uint32_t nWaitMs) {
    {
        std::lock_guard<std::mutex> lock(m_mutexRun);
        m_eMonitor = eState;
        m_nNextRunMs = eState == monitor::EMonitorState::Waiting ? nWaitMs : 0;
        // Each run answers anew.
        if (eState != monitor::EMonitorState::Running) m_bAnswering = false;
    }
    m_events.OnGameStatusChanged();
}

void CGameSide::OnPoll(const monitor::CPollReport& report) {
    bool bFirst = false;
    {
        std::lock_guard<std::mutex> lock(m_mutexRun);
        bFirst = !m_bAnswering;
        m_bAnswering = true;
    }
    if (bFirst) m_events.OnGameStatusChanged();
    m_events.OnGamePoll(report);
}

void CGameSide::OnMonitorEnded() {
    {
        std::lock_guard<std::mutex> lock(m_mutexRun);
        m_bAlive = false;
        m_bReady = false;
    }
    m_cvRun.notify_all();
    m_events.OnGameStatusChanged();
}

}  // namespace core
