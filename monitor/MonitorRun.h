#pragma once
// The monitor loop: one run polls the game server with the status request
// for as long as the game side wants it, keeps the snapshot, has each poll's
// events inferred and announced, follows the map and the game phase,
// answers the channel's requests and keeps the ticket reporter in step with
// the game.
//
// A run ends when its host asks it to (IsStopRequested, seen before each
// request) or when the server cannot be reached. The operator's Pause holds
// it at a safe point: before each request and before each announcement, so
// that a held run makes no query and posts no line. A stop given in the
// middle of a poll's lines lets them all go out first.
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>

#include "monitor/EventInference.h"
#include "monitor/OutageWatch.h"
#include "monitor/MonitorHost.h"
#include "monitor/PhaseCheck.h"
#include "monitor/PlayerRecord.h"
#include "monitor/ServerStatus.h"
#include "monitor/TicketReporter.h"
#include "platform/Clock.h"
#include "platform/Gate.h"
#include "query/ServerQuery.h"

namespace monitor {

// What the host lends a run to steer it; all outlive the run.
struct CMonitorControl {
    platform::CClock& m_clock;      // polls, re-sends, end ticks, the waits between runs
    platform::CStopSignal& m_wake;  // cuts waits short for a stop or a Pause; the run resets it
    platform::CThreadGate& m_gate;  // the operator's Pause holds the run here
    // The ticket reporter's interval; m_clock when none. Tests that drive
    // the run on a manual clock give the reporter a real one, so that it
    // sleeps instead of spinning.
    platform::CClock* m_pTicketClock = nullptr;
    // Counts unanswered polls across runs and says an outage once; none
    // when null.
    COutageWatch* m_pOutage = nullptr;
};

class CMonitorRun {
public:
    static constexpr uint32_t kPollPauseMs = 200;
    // The longest a poll takes between two beats of the heartbeat: the
    // pause, one round of the exchange and the lines, with room to spare;
    // the start of a run (a host look-up) gets longer.
    static constexpr uint32_t kPollBeatMs = 30000;
    static constexpr uint32_t kOpenBeatMs = 60000;

    enum class EPoll {
        Continue,  // one more poll
        Stopped,   // the host asked the run to end: the normal end follows
        Failed,    // the server could not be reached: logged, the side idle
    };

    CMonitorRun(IMonitorHost& host, CMonitorControl control);
    // Ends the ticket reporter if it still runs.
    ~CMonitorRun();
    CMonitorRun(const CMonitorRun&) = delete;
    CMonitorRun& operator=(const CMonitorRun&) = delete;

    // Start of a run: opens the query and starts the run's state afresh.
    // On a failure it logs the failure's text and returns false; what
    // follows is the caller's (see CMonitorSupervisor). Monitor thread.
    bool Open();
    // Starts the ticket reporter thread. Monitor thread, after Open.
    void StartTicketReporter();
    // One cycle: the pause, a safe point, the exchange (repeated at once
    // after the warm-up polls and after a falling player count), the
    // announcements, the map and phase checks, the copy of the snapshot.
    // Failed: the failure's text is logged. Monitor thread.
    EPoll Poll();
    // The end of a run: the reporter is ended, then, after a normal end,
    // the "Broadcast closed" line; the query is closed. Monitor thread.
    void Finish(bool bNormalEnd);
    // A reply of this run has been decoded: the server is there.
    bool HasDecodedReply() const { return m_bDecoded; }
    // How long this run has decoded replies: from the first to the last.
    uint32_t DecodedForMs() const {
        return m_bDecoded ? m_nLastDecodedTick - m_nFirstDecodedTick : 0;
    }

    // For tests: the reporter's gate is held while the game is paused.
    bool IsTicketHeld() const { return m_ticketGate.IsHeld(); }
    const CServerStatus& Previous() const { return m_previous; }

private:
    // Before a request: waits while the operator holds the run; false when
    // the run should end.
    bool SafePoint();
    // Before a line: waits while the operator holds the run. A stop lets it
    // go on, so that a poll's lines all go out before the run ends.
    void HoldForPause();
    // The heartbeat: alive, and beating again within nWithinMs; or held
    // by the operator, with nothing to watch.
    void Beat(uint32_t nWithinMs);
    void BeatIdle();
    // Passes the operator's gate (false when woken while held); idle while held.
    bool PassGate();
    // Announces the line behind HoldForPause.
    void AnnounceLine(std::string_view strLine);
    void AnnounceLines(const std::vector<std::string>& lines);
    // The poll's events in order, each (and each banner line) behind HoldForPause.
    void AnnouncePollEvents(const std::vector<CGameEvent>& events);
    void CheckMapAndPhase();
    void SetGameEndTick(uint32_t nTick);
    // On a resumed game: the end tick moves by the time the game was paused.
    void ShiftGameEndByPause();
    void Fail(query::EQueryResult nResult);
    // A poll unanswered or answered: the outage lines when they are due.
    void NoteUnanswered();
    void NoteAnswered();

    IMonitorHost& m_host;
    CMonitorControl m_control;
    query::CServerQuery m_query;
    CAnnounceSettings m_settings;
    CServerStatus m_current;   // this poll's snapshot; a key a reply lacks keeps its value
    std::string m_strReply;    // the reply buffer, kept across polls
    CServerStatus m_previous;  // the snapshot of the last fully processed poll
    PlayerTable m_players;
    CInferenceRun m_inference;
    bool m_bDecoded = false;
    uint32_t m_nFirstDecodedTick = 0;
    uint32_t m_nLastDecodedTick = 0;
    uint32_t m_nPausedAtTick = 0;  // when the game on the server was paused

    platform::CThreadGate m_ticketGate;  // held while the game is paused
    platform::CStopSignal m_ticketStop;
    std::thread m_ticketThread;
};

}  // namespace monitor
