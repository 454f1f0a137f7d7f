#include "stats/RoundTracker.h"

#include <algorithm>
#include <map>

#include "monitor/PhaseCheck.h"

namespace stats {
namespace {

std::string Cut(std::string_view str) {
    return std::string(str.substr(0, kMaxStoredText));
}

// Tickets as a v1.4 or later server sends them: digits only.
std::optional<int32_t> ParseTickets(const std::string& str) {
    if (str.empty() || str.size() > 9) return std::nullopt;
    int32_t nValue = 0;
    for (const char c : str) {
        if (c < '0' || c > '9') return std::nullopt;
        nValue = nValue * 10 + (c - '0');
    }
    return nValue;
}

int SlotsOf(const monitor::CServerStatus& status) {
    const int nLimit = static_cast<int>(monitor::kPlayerSlots);
    return std::min(std::clamp<int>(status.m_nNumPlayers, 0, nLimit),
                    std::clamp<int>(status.m_nMaxPlayers, 0, nLimit));
}

bool HasIdentity(const monitor::CPlayerRecord& record) {
    return !record.m_strName.empty() || !record.m_strKeyHash.empty();
}

// Keyhashes that more than one slot sent: those players go by their names.
std::map<std::string, int> KeyHashCounts(const monitor::PlayerTable& players, int nSlots) {
    std::map<std::string, int> counts;
    for (int n = 0; n < nSlots; ++n) {
        const std::string& strHash = players[static_cast<size_t>(n)].m_strKeyHash;
        if (!strHash.empty()) ++counts[strHash];
    }
    return counts;
}

bool IsShared(const std::map<std::string, int>& counts, const std::string& strHash) {
    const auto it = counts.find(strHash);
    return it != counts.end() && it->second > 1;
}

}  // namespace

std::string PlayerIdent(const monitor::CPlayerRecord& record, bool bSharedKeyHash) {
    if (!record.m_strKeyHash.empty() && !bSharedKeyHash) return "k:" + Cut(record.m_strKeyHash);
    return "n:" + Cut(record.m_strName);
}

void CRoundTracker::StartRun() {
    m_inference = monitor::CInferenceRun();
    m_previous = monitor::CServerStatus();
    m_bPaused = false;
    m_bRunStart = true;
    m_bCandidateWanted = true;
    m_bHavePoll = false;
    m_candidate.reset();
}

void CRoundTracker::SetResumeCandidate(std::optional<CRoundRecord> candidate) {
    m_candidate = std::move(candidate);
    m_bCandidateWanted = false;
}

std::vector<CRoundRecord> CRoundTracker::OnPoll(const monitor::CPollReport& report) {
    std::vector<CRoundRecord> finished;
    m_bOpenedThisPoll = false;
    // A long silence (the monitor's run began again, or it was held): the
    // round is left as monitoring would leave it, and taken up again below
    // when the game went on without us.
    if (m_bHavePoll && report.m_nTick - m_nLastTick > kRunBreakMs) {
        if (m_bOpen) {
            if (auto round = Close(EEndReason::Stopped)) finished.push_back(std::move(*round));
        }
        StartRun();
    }
    const uint32_t nIntervalMs =
        m_bHavePoll ? std::min(report.m_nTick - m_nLastTick, kMaxIntervalMs) : 0;
    m_bHavePoll = true;
    m_nLastTick = report.m_nTick;

    monitor::PlayerTable players = report.m_players;
    const monitor::CPollEvents events = monitor::InferEvents(
        m_inference, report.m_status, players, m_previous, monitor::CEventFilters(), true, true);
    monitor::EPhaseStep eStep = monitor::EPhaseStep::None;
    if (!events.m_bStopHere) Decide(report, &eStep, finished);

    const int nSlots = SlotsOf(report.m_status);
    m_vPresent.clear();
    for (int n = 0; n < nSlots; ++n) {
        const monitor::CPlayerRecord& record = players[static_cast<size_t>(n)];
        if (HasIdentity(record)) m_vPresent.push_back(record.m_strName);
    }
    if (m_bOpen) Update(report, players, nSlots, events.m_events, nIntervalMs);
    if (eStep == monitor::EPhaseStep::Ends && m_bOpen) {
        if (auto round = Close(EEndReason::Ended)) finished.push_back(std::move(*round));
    }
    return finished;
}

void CRoundTracker::Decide(const monitor::CPollReport& report, monitor::EPhaseStep* pStep,
                           std::vector<CRoundRecord>& finished) {
    const monitor::CServerStatus& status = report.m_status;
    if (m_bRunStart) {
        // The first full poll of a run: the game is found as it is.
        m_bRunStart = false;
        m_bPaused = status.m_strGameMode == monitor::kPhasePause;
        if (!m_bOpen && status.m_strGameMode != monitor::kPhaseEnd &&
            !status.m_strGameMode.empty()) {
            if (status.m_strGameMode == monitor::kPhasePre)
                Open(report, true);
            else if (!TryResume(report))
                Open(report, false);
        }
        m_candidate.reset();
        m_previous = status;
        return;
    }
    const monitor::CPhaseDecision d = monitor::DecidePhaseAndMap(m_previous, status, m_bPaused);
    *pStep = d.m_ePhase;
    if (d.m_bPauseOver || d.m_ePhase == monitor::EPhaseStep::Resumed) m_bPaused = false;
    if (d.m_ePhase == monitor::EPhaseStep::Paused) m_bPaused = true;

    if (d.m_bMapChanged) {
        if (m_bOpen) {
            if (auto round = Close(EEndReason::MapChanged)) finished.push_back(std::move(*round));
        }
        Open(report, true);
    }
    if (d.m_ePhase == monitor::EPhaseStep::StartsIn && m_bOpen && m_bHasPlay &&
        !m_bOpenedThisPoll) {
        if (auto round = Close(EEndReason::Restarted)) finished.push_back(std::move(*round));
        Open(report, true);
    } else if ((d.m_ePhase == monitor::EPhaseStep::StartsIn ||
                d.m_ePhase == monitor::EPhaseStep::Starts) &&
               !m_bOpen) {
        Open(report, true);
    }
    m_previous = status;
}

void CRoundTracker::Open(const monitor::CPollReport& report, bool bFromTransition) {
    const monitor::CServerStatus& status = report.m_status;
    m_round = CRoundRecord();
    m_round.m_strServer = Cut(status.m_strHostname);
    m_round.m_nServerPort = status.m_nHostPort;
    m_round.m_strMap = Cut(status.m_strMapName);
    m_round.m_strMod = Cut(status.m_strMod);
    m_round.m_strGameType = Cut(status.m_strGameType);
    m_round.m_nStartTime = report.m_nUnixTime;
    m_round.m_bJoinedLate = !bFromTransition;
    m_vLive.clear();
    m_nPlayedMs = 0;
    m_bHasPlay = false;
    m_bOpen = true;
    m_bOpenedThisPoll = true;
    m_bBaseFromTable = bFromTransition;
    m_roundStatus = status;
    m_nRoundLastTime = report.m_nUnixTime;
}

bool CRoundTracker::TryResume(const monitor::CPollReport& report) {
    if (!m_candidate || m_candidate->m_eEnd != EEndReason::Stopped) return false;
    const CRoundRecord& c = *m_candidate;
    const monitor::CServerStatus& status = report.m_status;
    if (c.m_strServer != Cut(status.m_strHostname) || c.m_nServerPort != status.m_nHostPort ||
        c.m_strMap != Cut(status.m_strMapName))
        return false;
    if (report.m_nUnixTime < c.m_nEndTime ||
        report.m_nUnixTime - c.m_nEndTime > kResumeWithinSeconds)
        return false;
    // Nobody's totals went down: the same round, not a new one on the same map.
    const int nSlots = SlotsOf(status);
    const auto counts = KeyHashCounts(report.m_players, nSlots);
    int nCommon = 0;
    for (int n = 0; n < nSlots; ++n) {
        const monitor::CPlayerRecord& record = report.m_players[static_cast<size_t>(n)];
        if (!HasIdentity(record)) continue;
        const std::string strIdent = PlayerIdent(record, IsShared(counts, record.m_strKeyHash));
        for (const CRoundPlayer& p : c.m_vPlayers) {
            if (p.m_strIdent != strIdent) continue;
            if (record.m_nFrags < p.m_nSessionFrags || record.m_nDeaths < p.m_nSessionDeaths)
                return false;
            ++nCommon;
        }
    }
    if (nCommon == 0 && !c.m_vPlayers.empty()) return false;

    m_round = c;
    m_vLive.clear();
    for (const CRoundPlayer& p : c.m_vPlayers) {
        CLivePlayer live;
        live.m_player = p;
        live.m_last = {p.m_nSessionFrags, p.m_nSessionDeaths, p.m_nSessionScore};
        live.m_banked = {p.m_nKills - p.m_nSessionFrags, p.m_nDeaths - p.m_nSessionDeaths,
                         p.m_nScore - p.m_nSessionScore};
        live.m_nPlayedMs = p.m_nSeconds * 1000;
        m_vLive.push_back(std::move(live));
    }
    m_nPlayedMs = c.m_nSeconds * 1000;
    m_bHasPlay = true;
    m_bOpen = true;
    m_bOpenedThisPoll = true;
    m_bBaseFromTable = false;
    m_roundStatus = status;
    m_nRoundLastTime = report.m_nUnixTime;
    return true;
}

CRoundTracker::CLivePlayer* CRoundTracker::Find(const std::string& strIdent) {
    for (CLivePlayer& live : m_vLive)
        if (live.m_player.m_strIdent == strIdent) return &live;
    return nullptr;
}

void CRoundTracker::Update(const monitor::CPollReport& report, const monitor::PlayerTable& players,
                           int nSlots, const std::vector<monitor::CGameEvent>& events,
                           uint32_t nIntervalMs) {
    const int64_t nNow = report.m_nUnixTime;
    m_roundStatus = report.m_status;
    m_nRoundLastTime = nNow;
    const bool bPlaying = monitor::IsPlayingPhase(report.m_status.m_strGameMode);
    if (bPlaying) {
        m_nPlayedMs += nIntervalMs;
        m_bHasPlay = true;
    }
    const auto counts = KeyHashCounts(players, nSlots);
    for (int n = 0; n < nSlots; ++n) {
        const monitor::CPlayerRecord& record = players[static_cast<size_t>(n)];
        if (!HasIdentity(record)) continue;
        const bool bShared = IsShared(counts, record.m_strKeyHash);
        const std::string strIdent = PlayerIdent(record, bShared);
        const CTotals now{record.m_nFrags, record.m_nDeaths, record.m_nScore};
        CLivePlayer* pLive = Find(strIdent);
        if (pLive == nullptr) {
            if (m_vLive.size() >= kMaxRoundPlayers) continue;
            CLivePlayer live;
            live.m_player.m_strIdent = strIdent;
            if (!bShared) live.m_player.m_strKeyHash = Cut(record.m_strKeyHash);
            live.m_player.m_nFirstSeen = nNow;
            if (m_bOpenedThisPoll && m_bBaseFromTable) live.m_base = live.m_last = now;
            m_vLive.push_back(std::move(live));
            pLive = &m_vLive.back();
        }
        CLivePlayer& live = *pLive;
        // Totals that went down: he left and came back, and starts from 0.
        if (now.m_nFrags < live.m_last.m_nFrags || now.m_nDeaths < live.m_last.m_nDeaths) {
            live.m_banked.m_nFrags += live.m_last.m_nFrags - live.m_base.m_nFrags;
            live.m_banked.m_nDeaths += live.m_last.m_nDeaths - live.m_base.m_nDeaths;
            live.m_banked.m_nScore += live.m_last.m_nScore - live.m_base.m_nScore;
            live.m_base = CTotals();
        }
        live.m_last = now;
        CRoundPlayer& p = live.m_player;
        p.m_nKills = live.m_banked.m_nFrags + now.m_nFrags - live.m_base.m_nFrags;
        p.m_nDeaths = live.m_banked.m_nDeaths + now.m_nDeaths - live.m_base.m_nDeaths;
        p.m_nScore = live.m_banked.m_nScore + now.m_nScore - live.m_base.m_nScore;
        p.m_nSessionFrags = record.m_nFrags;
        p.m_nSessionDeaths = record.m_nDeaths;
        p.m_nSessionScore = record.m_nScore;
        p.m_nTeam = record.m_nTeam;
        p.m_nLastSeen = nNow;
        if (bPlaying) live.m_nPlayedMs += nIntervalMs;
        const std::string strName = Cut(record.m_strName);
        p.m_strName = strName;
        auto it = std::find_if(p.m_vNames.begin(), p.m_vNames.end(),
                               [&](const CRoundName& name) { return name.m_strName == strName; });
        if (it != p.m_vNames.end()) {
            it->m_nLastSeen = nNow;
        } else if (p.m_vNames.size() < kMaxRoundNames) {
            p.m_vNames.push_back(CRoundName{strName, nNow, nNow});
        }
    }
    for (const monitor::CGameEvent& event : events) {
        const monitor::CPlayerRecord& who = event.m_player;
        if (!HasIdentity(who)) continue;
        CLivePlayer* pLive = Find(PlayerIdent(who, IsShared(counts, who.m_strKeyHash)));
        if (pLive == nullptr) continue;
        if (event.m_eKind == monitor::EGameEvent::Teamkill) ++pLive->m_player.m_nTeamkills;
        if (event.m_eKind == monitor::EGameEvent::Suicide) ++pLive->m_player.m_nSuicides;
        if (event.m_eKind == monitor::EGameEvent::Flag) ++pLive->m_player.m_nFlags;
    }
}

std::optional<CRoundRecord> CRoundTracker::Close(EEndReason eReason) {
    m_bOpen = false;
    if (!m_bHasPlay) return std::nullopt;
    CRoundRecord round = std::move(m_round);
    round.m_eEnd = eReason;
    round.m_nEndTime = std::max(m_nRoundLastTime, round.m_nStartTime);
    round.m_nSeconds = m_nPlayedMs / 1000;
    round.m_nTicketsAxis = ParseTickets(m_roundStatus.m_strTickets1);
    round.m_nTicketsAllies = ParseTickets(m_roundStatus.m_strTickets2);
    round.m_vPlayers.clear();
    int64_t nAxisScore = 0;
    int64_t nAlliedScore = 0;
    for (CLivePlayer& live : m_vLive) {
        CRoundPlayer& p = live.m_player;
        p.m_nSeconds = live.m_nPlayedMs / 1000;
        const bool bTookPart = p.m_nSeconds > 0 || p.m_nKills != 0 || p.m_nDeaths != 0 ||
                               p.m_nScore != 0 || p.m_nTeamkills != 0 || p.m_nSuicides != 0 ||
                               p.m_nFlags != 0;
        if (!bTookPart) continue;
        (p.m_nTeam == 2 ? nAlliedScore : nAxisScore) += p.m_nScore;
        round.m_vPlayers.push_back(std::move(p));
    }
    m_vLive.clear();
    if (eReason == EEndReason::Stopped) {
        round.m_nWinner = kWinnerNone;
    } else if (round.m_nTicketsAxis && round.m_nTicketsAllies) {
        const int32_t nAxis = *round.m_nTicketsAxis;
        const int32_t nAllies = *round.m_nTicketsAllies;
        round.m_nWinner = nAllies > nAxis   ? kWinnerAllies
                          : nAxis > nAllies ? kWinnerAxis
                                            : kWinnerNone;
    } else {
        // A server before v1.4 sends no tickets: the team with the higher score.
        round.m_nWinner = nAlliedScore > nAxisScore   ? kWinnerAllies
                          : nAxisScore > nAlliedScore ? kWinnerAxis
                                                      : kWinnerNone;
    }
    return round;
}

std::optional<CRoundRecord> CRoundTracker::OnStopped() {
    std::optional<CRoundRecord> round;
    if (m_bOpen) round = Close(EEndReason::Stopped);
    StartRun();
    m_vPresent.clear();
    return round;
}

}  // namespace stats
