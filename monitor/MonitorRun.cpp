#include "monitor/MonitorRun.h"

#include <chrono>
#include <utility>

#include "monitor/StatusReply.h"
#include "platform/ThreadName.h"
#include "res/StringTable.h"

namespace monitor {

namespace {

int64_t UnixTimeNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

CMonitorRun::CMonitorRun(IMonitorHost& host, CMonitorControl control)
    : m_host(host),
      m_control(control),
      m_query(query::kStatusRequest, query::kStatusRecvFailLimit, control.m_clock) {}

CMonitorRun::~CMonitorRun() {
    m_ticketStop.Stop();
    if (m_ticketThread.joinable()) m_ticketThread.join();
}

void CMonitorRun::Beat(uint32_t nWithinMs) {
    if (platform::CHeartbeat* pBeat = m_host.Heartbeat())
        pBeat->Beat(m_control.m_clock.GetTickCount(), nWithinMs);
}

void CMonitorRun::BeatIdle() {
    if (platform::CHeartbeat* pBeat = m_host.Heartbeat()) pBeat->SetIdle();
}

bool CMonitorRun::PassGate() {
    // Held by the operator, the thread waits for nothing a watchdog could
    // judge; it beats again once it goes on.
    if (m_control.m_gate.IsHeld()) BeatIdle();
    const bool bPassed = m_control.m_gate.Pass(&m_control.m_wake);
    Beat(kPollBeatMs);
    return bPassed;
}

bool CMonitorRun::Open() {
    Beat(kOpenBeatMs);
    m_settings = m_host.AnnounceSettings();
    m_query.SetTrafficCounter(m_host.TrafficCounter());
    // Rounds come back one at a time, so that the channel's requests are
    // answered between them (see Poll).
    m_query.SetOneRoundPerCall(true);
    const query::EQueryResult nResult =
        m_query.Open(m_settings.m_strServer, m_settings.m_nQueryPort);
    if (nResult != query::QUERY_OK) {
        NoteUnanswered();
        Fail(nResult);
        return false;
    }
    m_current = CServerStatus();
    m_previous = CServerStatus();
    m_players = PlayerTable();
    m_inference = CInferenceRun();
    // What the channel asked before this run would be answered from the
    // snapshot just reset.
    if (bridge::IIrcLink* pIrc = m_host.IrcLink()) pIrc->DropRequests();
    m_host.SetStatus(m_current);
    // A pause left over from an earlier run would keep this run's reporter
    // silent and turn its first start into "game resumed".
    m_host.SetGamePaused(false);
    m_host.OnMonitorReady();
    return true;
}

void CMonitorRun::StartTicketReporter() {
    if (m_ticketThread.joinable()) return;
    platform::CClock* pClock =
        m_control.m_pTicketClock != nullptr ? m_control.m_pTicketClock : &m_control.m_clock;
    m_ticketThread = std::thread([this, pClock] {
        platform::NameThisThread("tickets");
        // The time left is read on the clock the end tick is set on.
        CTicketReporter reporter(m_host, *pClock, m_ticketGate, m_ticketStop, &m_control.m_clock);
        reporter.Run();
    });
}

bool CMonitorRun::SafePoint() {
    for (;;) {
        // Reset first: a stop or Pause given after this is seen below or by
        // the next wait.
        m_control.m_wake.Reset();
        if (m_host.IsStopRequested()) return false;
        if (PassGate()) return !m_host.IsStopRequested();
        // Woken while held (a stop, or another Pause): look again.
    }
}

void CMonitorRun::HoldForPause() {
    // A stop releases the gate (or, at shutdown, wakes the wait): the line
    // goes out and the stop is seen before the next request.
    while (m_control.m_gate.IsHeld() && !m_host.IsStopRequested()) {
        m_control.m_wake.Reset();
        if (m_host.IsStopRequested()) return;
        PassGate();
    }
}

CMonitorRun::EPoll CMonitorRun::Poll() {
    if (m_host.IsStopRequested()) return EPoll::Stopped;
    Beat(kPollBeatMs);
    m_control.m_clock.Sleep(kPollPauseMs, &m_control.m_wake);
    for (;;) {
        if (!SafePoint()) return EPoll::Stopped;
        // Before every sending of the request, re-sends to a silent server
        // included: a request waits at most one round, and is answered from
        // the last decoded poll.
        AnswerRequest(m_host, m_settings, m_current);
        const query::EQueryResult nResult = m_query.Exchange(m_strReply, &m_control.m_wake);
        // The safe point tells a stop from a Pause; a round without a reply
        // sends again after the answers.
        if (nResult == query::QUERY_STOPPED) continue;
        if (nResult == query::QUERY_AGAIN) {
            NoteUnanswered();
            continue;
        }
        if (nResult != query::QUERY_OK) {
            NoteUnanswered();
            Fail(nResult);
            return EPoll::Failed;
        }
        ParseStatusReply(m_strReply, m_current, m_players);
        NoteAnswered();
        m_nLastDecodedTick = m_control.m_clock.GetTickCount();
        if (!m_bDecoded) m_nFirstDecodedTick = m_nLastDecodedTick;
        m_bDecoded = true;
        m_host.SetStatus(m_current);
        const bridge::IIrcLink* pIrc = m_host.IrcLink();
        const CPollEvents events =
            InferEvents(m_inference, m_current, m_players, m_previous, m_host.EventFilters(),
                        pIrc != nullptr && pIrc->IsInChannel(), m_host.IsBroadcasting());
        AnnouncePollEvents(events.m_events);
        // Warm-up, or a player left: ask again at once.
        if (!events.m_bStopHere) break;
    }
    CheckMapAndPhase();
    m_previous = m_current;
    m_host.OnPoll(
        CPollReport{m_control.m_clock.GetTickCount(), UnixTimeNow(), m_current, m_players});
    return EPoll::Continue;
}

void CMonitorRun::AnnouncePollEvents(const std::vector<CGameEvent>& events) {
    for (const CGameEvent& event : events) {
        if (event.m_eKind == EGameEvent::OpeningBanner) {
            // Eight paced lines: each behind its own hold, so that a Pause
            // holds the rest of them.
            for (const std::string& strLine : OpeningBannerLines(m_settings, m_current))
                AnnounceLine(strLine);
            continue;
        }
        HoldForPause();
        AnnounceEvent(m_host, m_settings, event);
    }
}

void CMonitorRun::AnnounceLine(std::string_view strLine) {
    HoldForPause();
    AnnounceStatus(m_host, strLine);
}

void CMonitorRun::AnnounceLines(const std::vector<std::string>& lines) {
    for (const std::string& strLine : lines) AnnounceLine(strLine);
}

void CMonitorRun::SetGameEndTick(uint32_t nTick) {
    m_host.GameShared().SetGameEndTick(nTick);
}

void CMonitorRun::CheckMapAndPhase() {
    const CPhaseDecision d = DecidePhaseAndMap(m_previous, m_current, m_host.IsGamePaused());
    const CAnnounceSettings& s = m_settings;
    if (d.m_bMapChanged) {
        SetGameEndTick(EndTickFor(m_current.m_strTimeLimit, m_control.m_clock.GetTickCount()));
        AnnounceLine(MapChangedLine(s, m_previous.m_strMapName, m_current.m_strMapName));
    }
    if (d.m_bPauseOver) {
        // Ended or starting over: the next start sets a new end.
        m_host.SetGamePaused(false);
        m_ticketGate.Release();
    }
    switch (d.m_ePhase) {
        case EPhaseStep::None:
            return;
        case EPhaseStep::StartsIn:
            AnnounceLine(GameStartsInLine(s, m_current.m_strGameStartDelay));
            return;
        case EPhaseStep::Paused:
            m_host.SetGamePaused(true);
            m_nPausedAtTick = m_control.m_clock.GetTickCount();
            m_ticketGate.Hold();
            AnnounceLine(LongFrame(s, kTextGamePaused));
            return;
        case EPhaseStep::Ends:
            SetGameEndTick(0);
            AnnounceLines(GameEndLines(s, m_players, m_current));
            return;
        case EPhaseStep::Resumed:
            m_host.SetGamePaused(false);
            ShiftGameEndByPause();
            m_ticketGate.Release();
            AnnounceLine(LongFrame(s, kTextGameResumed));
            return;
        case EPhaseStep::Starts:
            SetGameEndTick(EndTickFor(m_current.m_strTimeLimit, m_control.m_clock.GetTickCount()));
            AnnounceLine(GameStartsLine(s, m_current.m_strTimeLimit));
            return;
    }
}

void CMonitorRun::ShiftGameEndByPause() {
    // The server's clock of the game stood still while it was paused, so
    // its end comes that much later.
    bridge::CGameShared& game = m_host.GameShared();
    const uint32_t nEnd = game.GameEndTick();
    if (nEnd == 0) return;
    const uint32_t nShifted = nEnd + (m_control.m_clock.GetTickCount() - m_nPausedAtTick);
    SetGameEndTick(nShifted != 0 ? nShifted : 1);
}

void CMonitorRun::NoteUnanswered() {
    m_host.OnPollUnanswered();
    if (m_control.m_pOutage == nullptr) return;
    if (m_control.m_pOutage->OnUnanswered(m_settings.m_nDownAfter, m_host.IsBroadcasting()) ==
        COutageWatch::EChange::Down)
        AnnounceLine(OutageLine(m_settings, true));
}

void CMonitorRun::NoteAnswered() {
    if (m_control.m_pOutage == nullptr) return;
    if (m_control.m_pOutage->OnAnswered() == COutageWatch::EChange::Back)
        AnnounceLine(OutageLine(m_settings, false));
}

void CMonitorRun::Fail(query::EQueryResult nResult) {
    // No socket, unknown host, never heard, or too many failed receives.
    m_host.AppendLog(res::LoadResString(query::QueryResultStringId(nResult)));
}

void CMonitorRun::Finish(bool bNormalEnd) {
    // The reporter first: no ticket line may follow the closing one.
    m_ticketStop.Stop();
    m_ticketGate.Release();
    if (m_ticketThread.joinable()) m_ticketThread.join();
    if (bNormalEnd) AnnounceStatus(m_host, ShortFrame(m_settings, kTextBroadcastClosed));
    m_query.Close();
}

}  // namespace monitor
