#include "monitor/MonitorSupervisor.h"

#include "monitor/Announcements.h"
#include "platform/Text.h"

namespace monitor {

std::string RetryLine(uint32_t nMs) {
    const uint32_t nSecs = nMs / 1000 + (nMs % 1000 != 0 ? 1 : 0);
    return "Trying again in " + platform::IntToText(nSecs) + " s ...";
}

CMonitorSupervisor::CMonitorSupervisor(IMonitorHost& host, CMonitorControl control, uint32_t nSeed)
    : m_host(host),
      m_control(control),
      m_backoff(platform::CBackoff::kFirstMs, platform::CBackoff::kLastMs, nSeed) {
    m_control.m_pOutage = &m_outage;
}

void CMonitorSupervisor::Run() {
    for (;;) {
        SetState(EMonitorState::Starting);
        if (RunOnce() == ERunEnd::Stopped) break;
        // A failure the operator has already overtaken needs no new attempt.
        if (m_host.IsStopRequested()) break;
        if (!m_host.IsKeepAlive()) {
            m_host.ReturnToIdle();
            break;
        }
        const uint32_t nDelayMs = m_backoff.NextDelayMs();
        m_host.AppendLog(RetryLine(nDelayMs));
        SetState(EMonitorState::Waiting, nDelayMs);
        // The side is running while it waits: Disconnect must be usable, also
        // when the first run failed before its set-up was done.
        m_host.OnMonitorReady();
        if (!WaitToRetry(nDelayMs)) {
            AnnounceStatus(m_host, ShortFrame(m_host.AnnounceSettings(), kTextBroadcastClosed));
            break;
        }
    }
    SetState(EMonitorState::Ended);
}

CMonitorSupervisor::ERunEnd CMonitorSupervisor::RunOnce() {
    // A new run each time: a fresh snapshot, player table and warm-up.
    CMonitorRun run(m_host, m_control);
    if (!run.Open()) {
        run.Finish(false);
        return ERunEnd::Failed;
    }
    SetState(EMonitorState::Running);
    run.StartTicketReporter();
    CMonitorRun::EPoll ePoll = CMonitorRun::EPoll::Continue;
    while (ePoll == CMonitorRun::EPoll::Continue) ePoll = run.Poll();
    run.Finish(ePoll == CMonitorRun::EPoll::Stopped);
    // The server was there for a while: a new outage starts with the
    // shortest wait.
    if (run.DecodedForMs() >= kSteadyRunMs) m_backoff.Reset();
    return ePoll == CMonitorRun::EPoll::Stopped ? ERunEnd::Stopped : ERunEnd::Failed;
}

void CMonitorSupervisor::SetState(EMonitorState eState, uint32_t nWaitMs) {
    m_eState = eState;
    m_host.OnMonitorState(eState, nWaitMs);
}

bool CMonitorSupervisor::WaitToRetry(uint32_t nDelayMs) {
    platform::CClock& clock = m_control.m_clock;
    const uint32_t nStart = clock.GetTickCount();
    for (;;) {
        // Reset first: a stop or Pause given after this is seen below or
        // cuts the sleep short.
        m_control.m_wake.Reset();
        if (m_host.IsStopRequested()) return false;
        platform::CHeartbeat* pBeat = m_host.Heartbeat();
        // Held by the operator, there is nothing a watchdog could judge.
        if (pBeat != nullptr && m_control.m_gate.IsHeld()) pBeat->SetIdle();
        if (!m_control.m_gate.Pass(&m_control.m_wake)) continue;
        const uint32_t nSpent = clock.GetTickCount() - nStart;
        if (nSpent >= nDelayMs) return true;
        if (pBeat != nullptr)
            pBeat->Beat(clock.GetTickCount(), nDelayMs - nSpent + CMonitorRun::kPollBeatMs);
        clock.Sleep(nDelayMs - nSpent, &m_control.m_wake);
    }
}

void MonitorThread(IMonitorHost& host, CMonitorControl control) {
    {
        CMonitorSupervisor supervisor(host, control);
        supervisor.Run();
    }
    host.SetMonitoring(false);
    if (platform::CHeartbeat* pBeat = host.Heartbeat()) pBeat->SetIdle();
    host.OnMonitorEnded();
}

}  // namespace monitor
