#include "ui/MonitorRunner.h"

#include <chrono>

#include "monitor/MonitorThread.h"

namespace ui {

CMonitorRunner::CMonitorRunner(IPage& page, bridge::CGameShared& game, platform::CClock& clock)
    : m_page(page), m_game(game), m_clock(clock) {}

CMonitorRunner::~CMonitorRunner() {
    Shutdown();
}

void CMonitorRunner::Reset() {
    std::lock_guard<std::mutex> lock(m_mutexRun);
    m_game.SetGameState(bridge::EGameState::Idle);
    m_bMonitoring = false;
}

void CMonitorRunner::Shutdown() {
    // The monitor ends at its next safe point, also when held by Pause.
    m_bShutdown = true;
    m_wake.Stop();
    m_gate.Release();
    if (m_pThread && m_pThread->joinable()) m_pThread->join();
}

bool CMonitorRunner::IsMonitorRunning() const {
    std::lock_guard<std::mutex> lock(m_mutexRun);
    return m_bAlive;
}

monitor::CServerStatus CMonitorRunner::GetStatus() const {
    std::lock_guard<std::mutex> lock(m_mutexStatus);
    return m_status;
}

void CMonitorRunner::SetStatus(const monitor::CServerStatus& status) {
    std::lock_guard<std::mutex> lock(m_mutexStatus);
    m_status = status;
}

bool CMonitorRunner::IsStopRequested() const {
    return m_bShutdown.load() || RunState() == bridge::EGameState::Idle;
}

bool CMonitorRunner::WaitForPrevious(int nWaitMs) {
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

void CMonitorRunner::Start() {
    {
        std::lock_guard<std::mutex> lock(m_mutexRun);
        if (RunState() != bridge::EGameState::Idle) return;
        m_game.SetGameState(bridge::EGameState::Running);
        m_bMonitoring = true;
    }
    m_page.ShowRunning();
    m_bShutdown = false;
    m_wake.Reset();
    m_gate.Release();
    {
        std::lock_guard<std::mutex> lock(m_mutexRun);
        m_bAlive = true;
        m_bReady = false;
    }
    m_pThread = std::make_unique<std::thread>([this] {
        monitor::MonitorThread(*this, monitor::CMonitorControl{m_clock, m_wake, m_gate});
    });
}

bool CMonitorRunner::Stop() {
    {
        // The state first: the monitor reads it after each wake-up. Only one
        // caller turns the side idle; a second (a failure the operator has
        // overtaken) finds nothing to do.
        std::lock_guard<std::mutex> lock(m_mutexRun);
        if (RunState() == bridge::EGameState::Idle) return false;
        m_game.SetGameState(bridge::EGameState::Idle);
    }
    m_page.ShowIdle();
    // A monitor held by Pause or waiting on the server ends now.
    m_wake.Stop();
    m_gate.Release();
    return true;
}

void CMonitorRunner::ShowConnectOnceEnded() {
    std::lock_guard<std::mutex> lock(m_mutexRun);
    m_page.SetConnectUsable(!m_bAlive);
}

void CMonitorRunner::Pause(bool bPause) {
    {
        std::lock_guard<std::mutex> lock(m_mutexRun);
        if (RunState() == bridge::EGameState::Idle) return;
        m_game.SetGameState(bPause ? bridge::EGameState::Paused : bridge::EGameState::Running);
    }
    if (bPause) {
        m_page.SetConnectUsable(false);
        m_gate.Hold();
        m_wake.Stop();  // a wait on a silent server ends, then the gate holds
    } else {
        {
            std::lock_guard<std::mutex> lock(m_mutexRun);
            m_page.SetConnectUsable(m_bReady);
        }
        m_gate.Release();
    }
}

void CMonitorRunner::OnMonitorReady() {
    std::lock_guard<std::mutex> lock(m_mutexRun);
    m_bReady = true;
    // Still wanted and not held by Pause: Disconnect becomes usable.
    if (RunState() == bridge::EGameState::Running) m_page.SetConnectUsable(true);
}

void CMonitorRunner::OnMonitorEnded() {
    {
        std::lock_guard<std::mutex> lock(m_mutexRun);
        m_bAlive = false;
        m_bReady = false;
        if (RunState() == bridge::EGameState::Idle) m_page.SetConnectUsable(true);
    }
    m_cvRun.notify_all();
}

}  // namespace ui
