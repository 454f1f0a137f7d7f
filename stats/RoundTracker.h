#pragma once
// Works out rounds and each player's part in them from the polls alone, with
// inference state of its own (all events on, as if broadcasting), so that
// nothing here depends on the announcement filters or on IRC.
//
// A round begins with a new map, with "pre" after play, with play after an
// end, or at the first poll of a run that finds the game going; it ends with
// the end phase, a new map, a restart or the end of monitoring. Kills,
// deaths and score come from the server's totals (a player who rejoins
// starts from 0 again, and his earlier totals are kept); teamkills, suicides
// and flags from the inference's events. Pure; one thread (the service's).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "monitor/EventInference.h"
#include "monitor/PhaseCheck.h"
#include "monitor/PollReport.h"
#include "monitor/ServerStatus.h"
#include "stats/RoundRecord.h"

namespace stats {

// A poll this long after the one before starts the inference afresh (the
// monitor's run began again), and no interval longer than the cap counts as
// time played.
inline constexpr uint32_t kRunBreakMs = 60000;
inline constexpr uint32_t kMaxIntervalMs = 30000;
// A round that monitoring left is taken up again by a run that finds the
// same map going within this time, when no player's totals went down.
inline constexpr int64_t kResumeWithinSeconds = 600;
// Most players one round keeps, and names per player in it.
inline constexpr size_t kMaxRoundPlayers = 256;
inline constexpr size_t kMaxRoundNames = 8;

// "k:" + keyhash, or "n:" + name when the record has no keyhash or its
// keyhash is in bShared (more than one slot of the poll sent it); both cut
// to kMaxStoredText.
std::string PlayerIdent(const monitor::CPlayerRecord& record, bool bSharedKeyHash);

class CRoundTracker {
public:
    // Feeds the next poll; returns the rounds it finished, oldest first.
    std::vector<CRoundRecord> OnPoll(const monitor::CPollReport& report);
    // Monitoring stopped: the round going on, if any, ends as Stopped; the
    // next poll begins a new run.
    std::optional<CRoundRecord> OnStopped();

    // True from a new run until its first poll is decided: the owner may
    // hand over the last round that monitoring left (SetResumeCandidate).
    bool WantsResumeCandidate() const { return m_bCandidateWanted; }
    void SetResumeCandidate(std::optional<CRoundRecord> candidate);

    bool IsRoundOpen() const { return m_bOpen; }
    // The names in the last poll's table.
    const std::vector<std::string>& PresentNames() const { return m_vPresent; }

private:
    struct CTotals {
        int64_t m_nFrags = 0;
        int64_t m_nDeaths = 0;
        int64_t m_nScore = 0;
    };
    struct CLivePlayer {
        CRoundPlayer m_player;
        CTotals m_banked;  // earlier stays' totals in this round
        CTotals m_base;    // totals he had when the round began
        CTotals m_last;    // the server's totals as last seen
        int64_t m_nPlayedMs = 0;
    };

    void StartRun();
    void Decide(const monitor::CPollReport& report, monitor::EPhaseStep* pStep,
                std::vector<CRoundRecord>& finished);
    void Open(const monitor::CPollReport& report, bool bFromTransition);
    bool TryResume(const monitor::CPollReport& report);
    // The round ends; nothing comes back for a round that was never played.
    std::optional<CRoundRecord> Close(EEndReason eReason);
    void Update(const monitor::CPollReport& report, const monitor::PlayerTable& players, int nSlots,
                const std::vector<monitor::CGameEvent>& events, uint32_t nIntervalMs);
    CLivePlayer* Find(const std::string& strIdent);

    // The inference as a broadcasting monitor would run it.
    monitor::CInferenceRun m_inference;
    monitor::CServerStatus m_previous;
    bool m_bPaused = false;
    bool m_bRunStart = true;
    bool m_bCandidateWanted = true;
    bool m_bHavePoll = false;
    uint32_t m_nLastTick = 0;
    std::optional<CRoundRecord> m_candidate;

    bool m_bOpen = false;
    bool m_bOpenedThisPoll = false;
    bool m_bBaseFromTable = false;  // who is there when it opens starts from his totals
    bool m_bHasPlay = false;
    int64_t m_nPlayedMs = 0;
    CRoundRecord m_round;
    monitor::CServerStatus m_roundStatus;  // the last poll that went into the round
    int64_t m_nRoundLastTime = 0;
    std::vector<CLivePlayer> m_vLive;
    std::vector<std::string> m_vPresent;
};

}  // namespace stats
