#include "monitor/MonitorThread.h"

#include <utility>

#include "irc/IrcSession.h"
#include "monitor/StatusReply.h"
#include "res/StringTable.h"

namespace monitor {

CMonitorRun::CMonitorRun(IMonitorHost& host, CMonitorControl control)
    : m_host(host),
      m_control(control),
      m_query(kStatusRequest, kStatusRecvFailLimit, control.m_clock) {}

CMonitorRun::~CMonitorRun() {
    m_ticketStop.Stop();
    if (m_ticketThread.joinable()) m_ticketThread.join();
}

bool CMonitorRun::Open() {
    m_settings = m_host.AnnounceSettings();
    m_query.SetTrafficCounter(m_host.TrafficCounter());
    // Answered after every sending of the request, with the last decoded poll.
    m_query.SetAfterSend([this] { AnswerRequest(m_host, m_settings, m_current); });
    const QueryResult nResult = m_query.Open(m_settings.m_strServer, m_settings.m_nQueryPort);
    if (nResult != QUERY_OK) {
        Fail(nResult);
        return false;
    }
    m_current = CServerStatus();
    m_previous = CServerStatus();
    m_players = PlayerTable();
    m_inference = CInferenceRun();
    m_host.SetStatus(m_current);
    // A pause left over from an earlier run would keep this run's reporter
    // silent and turn its first start into "game resumed".
    m_host.SetGamePaused(false);
    m_host.OnMonitorReady();
    return true;
}

void CMonitorRun::StartTicketReporter() {
    if (m_ticketThread.joinable()) return;
    m_ticketThread = std::thread([this] {
        CTicketReporter reporter(m_host, m_control.m_clock, m_ticketGate, m_ticketStop);
        reporter.Run();
    });
}

bool CMonitorRun::SafePoint() {
    for (;;) {
        // Reset first: a stop or Pause given after this is seen below or by
        // the next wait.
        m_control.m_wake.Reset();
        if (m_host.IsStopRequested()) return false;
        if (m_control.m_gate.Pass(&m_control.m_wake)) return !m_host.IsStopRequested();
        // Woken while held (a stop, or another Pause): look again.
    }
}

CMonitorRun::EPoll CMonitorRun::Poll() {
    m_control.m_clock.Sleep(kPollPauseMs, &m_control.m_wake);
    for (;;) {
        if (!SafePoint()) return EPoll::Stopped;
        const QueryResult nResult = m_query.Exchange(m_strReply, &m_control.m_wake);
        if (nResult == QUERY_STOPPED) continue;  // the safe point tells a stop from a Pause
        if (nResult != QUERY_OK) {
            Fail(nResult);
            return EPoll::Failed;
        }
        ParseStatusReply(m_strReply, m_current, m_players);
        m_host.SetStatus(m_current);
        irc::CIrcSession* pIrc = m_host.IrcSession();
        const CPollEvents events =
            InferEvents(m_inference, m_current, m_players, m_previous, m_host.EventFilters(),
                        pIrc != nullptr && pIrc->IsInChannel(), m_host.IsBroadcasting());
        if (!AnnouncePollEvents(events.m_events)) return EPoll::Stopped;
        // Warm-up, or a player left: ask again at once.
        if (!events.m_bStopHere) break;
    }
    if (!CheckMapAndPhase()) return EPoll::Stopped;
    m_previous = m_current;
    return EPoll::Continue;
}

bool CMonitorRun::AnnouncePollEvents(const std::vector<CGameEvent>& events) {
    for (const CGameEvent& event : events) {
        if (event.m_eKind == EGameEvent::OpeningBanner) {
            // Eight paced lines: each behind its own safe point, so that a
            // Pause or a stop holds the rest of them.
            for (const std::string& strLine : OpeningBannerLines(m_settings, m_current))
                if (!AnnounceLine(strLine)) return false;
            continue;
        }
        if (!SafePoint()) return false;
        AnnounceEvent(m_host, m_settings, m_current, event);
    }
    return true;
}

bool CMonitorRun::AnnounceLine(std::string_view strLine) {
    if (!SafePoint()) return false;
    Announce(m_host, strLine);
    return true;
}

bool CMonitorRun::AnnounceLines(const std::vector<std::string>& lines) {
    for (const std::string& strLine : lines)
        if (!AnnounceLine(strLine)) return false;
    return true;
}

void CMonitorRun::SetGameEndTick(uint32_t nTick) {
    irc::CIrcSession* pIrc = m_host.IrcSession();
    if (pIrc != nullptr) pIrc->m_nGameEndTick = nTick;
}

bool CMonitorRun::CheckMapAndPhase() {
    const CPhaseDecision d = DecidePhaseAndMap(m_previous, m_current, m_host.IsGamePaused());
    const CAnnounceSettings& s = m_settings;
    if (d.m_bMapChanged) {
        SetGameEndTick(EndTickFor(m_current.m_strTimeLimit, m_control.m_clock.GetTickCount()));
        if (!AnnounceLine(MapChangedLine(s, m_previous.m_strMapName, m_current.m_strMapName)))
            return false;
    }
    if (d.m_bPauseOver) {
        m_host.SetGamePaused(false);
        m_ticketGate.Release();
    }
    switch (d.m_ePhase) {
        case EPhaseStep::None:
            return true;
        case EPhaseStep::StartsIn:
            return AnnounceLine(GameStartsInLine(s, m_current.m_strGameStartDelay));
        case EPhaseStep::Paused:
            m_host.SetGamePaused(true);
            m_ticketGate.Hold();
            return AnnounceLine(LongFrame(s, kTextGamePaused));
        case EPhaseStep::Ends:
            SetGameEndTick(0);
            return AnnounceLines(GameEndLines(s, m_players, m_current));
        case EPhaseStep::Resumed:
            m_host.SetGamePaused(false);
            m_ticketGate.Release();
            return AnnounceLine(LongFrame(s, kTextGameResumed));
        case EPhaseStep::Starts:
            SetGameEndTick(EndTickFor(m_current.m_strTimeLimit, m_control.m_clock.GetTickCount()));
            return AnnounceLine(GameStartsLine(s, m_current.m_strTimeLimit));
    }
    return true;
}

void CMonitorRun::Fail(QueryResult nResult) {
    // No socket, unknown host, never heard, or too many failed receives.
    m_host.AppendLog(res::LoadResString(QueryResultStringId(nResult)));
    m_host.ReturnToIdle();
}

void CMonitorRun::Finish(bool bNormalEnd) {
    if (bNormalEnd) Announce(m_host, ShortFrame(m_settings, kTextBroadcastClosed));
    m_host.SetMonitoring(false);
    m_ticketStop.Stop();
    m_ticketGate.Release();
    if (m_ticketThread.joinable()) m_ticketThread.join();
    m_query.Close();
}

void MonitorThread(IMonitorHost& host, CMonitorControl control) {
    {
        CMonitorRun run(host, control);
        if (run.Open()) {
            run.StartTicketReporter();
            CMonitorRun::EPoll nPoll = CMonitorRun::EPoll::Continue;
            while (nPoll == CMonitorRun::EPoll::Continue) nPoll = run.Poll();
            run.Finish(nPoll == CMonitorRun::EPoll::Stopped);
        } else {
            run.Finish(false);
        }
    }
    host.OnMonitorEnded();
}

}  // namespace monitor
