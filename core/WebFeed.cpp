#include "core/WebFeed.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "monitor/PhaseCheck.h"
#include "platform/Text.h"

#ifdef FR_HAVE_STATS
#include "stats/StatsService.h"
#endif

namespace core {

namespace {

// The server's words for the phase, as the page words them.
std::string PhaseWords(const std::string& strMode) {
    if (strMode == monitor::kPhasePre) return "starting";
    if (monitor::IsPlayingPhase(strMode)) return "playing";
    if (strMode == monitor::kPhasePause) return "paused";
    if (strMode == monitor::kPhaseEnd) return "end of round";
    return strMode;
}

std::string Seconds(uint32_t nMs) {
    return std::to_string(nMs / 1000 + (nMs % 1000 != 0 ? 1 : 0)) + " s";
}

#ifdef FR_HAVE_STATS
stats::ETopKind TopKindOf(web::ETopMetric eMetric) {
    switch (eMetric) {
        case web::ETopMetric::Kills:
            return stats::ETopKind::Kills;
        case web::ETopMetric::KillsPerDeath:
            return stats::ETopKind::KillsPerDeath;
        case web::ETopMetric::Flags:
            return stats::ETopKind::Flags;
        case web::ETopMetric::Teamkills:
            return stats::ETopKind::Teamkills;
    }
    return stats::ETopKind::Kills;
}

stats::ETopPeriod TopPeriodOf(web::ETopPeriod ePeriod) {
    switch (ePeriod) {
        case web::ETopPeriod::Today:
            return stats::ETopPeriod::Today;
        case web::ETopPeriod::Week:
            return stats::ETopPeriod::Week;
        case web::ETopPeriod::All:
            return stats::ETopPeriod::All;
    }
    return stats::ETopPeriod::All;
}
#endif

}  // namespace

web::CWebStatus ScoreboardOf(const monitor::CPollReport& report, uint32_t nGameEndTick,
                             uint32_t nNowTick) {
    const monitor::CServerStatus& status = report.m_status;
    web::CWebStatus board;
    board.m_strServerName = status.m_strHostname;
    board.m_strMap = status.m_strMapName;
    board.m_strPhase = PhaseWords(status.m_strGameMode);
    board.m_nMaxPlayers = std::max<int>(status.m_nMaxPlayers, 0);
    if (nGameEndTick != 0 && monitor::IsPlayingPhase(status.m_strGameMode))
        board.m_nTimeLeft = static_cast<int>(monitor::MsLeft(nGameEndTick, nNowTick) / 1000);
    // Team 2 is the Allied side, any other number the Axis; tickets1 are
    // the Axis's.
    board.m_teams[0].m_strName = "Axis";
    board.m_teams[0].m_nTickets = platform::ParseLeadingInt(status.m_strTickets1);
    board.m_teams[1].m_strName = "Allies";
    board.m_teams[1].m_nTickets = platform::ParseLeadingInt(status.m_strTickets2);
    const int nSlots = std::clamp<int>(status.m_nNumPlayers, 0,
                                       static_cast<int>(monitor::kPlayerSlots));
    for (int n = 0; n < nSlots; ++n) {
        const monitor::CPlayerRecord& player = report.m_players[static_cast<size_t>(n)];
        if (player.m_nPing == -1) continue;  // a slot that holds nobody
        board.m_teams[player.m_nTeam == 2 ? 1 : 0].m_players.push_back(
            {player.m_strName, player.m_nScore, player.m_nFrags, player.m_nDeaths,
             player.m_nPing});
    }
    for (web::CWebTeam& team : board.m_teams) {
        std::stable_sort(team.m_players.begin(), team.m_players.end(),
                         [](const web::CWebPlayer& a, const web::CWebPlayer& b) {
                             return a.m_nScore > b.m_nScore;
                         });
    }
    return board;
}

web::CWebSide IrcSideOf(const irc::CIrcStatus& irc) {
    switch (irc.m_eState) {
        case irc::EIrcState::InChannel:
            return {true, {}};
        case irc::EIrcState::Idle:
            return {false, "not connected"};
        case irc::EIrcState::Connecting:
            return {false, "connecting"};
        case irc::EIrcState::Registering:
            return {false, "registering"};
        case irc::EIrcState::Registered:
            return {false, "not in " + irc.m_strChannel};
        case irc::EIrcState::Waiting:
            return {false, "next attempt in " + Seconds(irc.m_nNextAttemptMs)};
        case irc::EIrcState::Closing:
            return {false, "closing"};
    }
    return {false, "not connected"};
}

web::CWebSide GameSideOf(const CGameStatus& game) {
    if (game.m_eWanted == bridge::EGameState::Idle) return {false, "not monitored"};
    if (game.m_eWanted == bridge::EGameState::Paused) return {false, "paused"};
    if (game.m_eMonitor == monitor::EMonitorState::Waiting)
        return {false, "no answer; next attempt in " + Seconds(game.m_nNextRunMs)};
    if (game.m_eMonitor == monitor::EMonitorState::Running && game.m_bAnswering) return {true, {}};
    return {false, "no answer yet"};
}

CWebFeed::CWebFeed(platform::CClock& clock, GameEndFn fnGameEnd, IrcFiguresFn fnIrcFigures,
                   RoundsFn fnRounds)
    : m_clock(clock),
      m_fnGameEnd(std::move(fnGameEnd)),
      m_fnIrcFigures(std::move(fnIrcFigures)),
      m_fnRounds(std::move(fnRounds)),
      m_fStartTime(std::chrono::duration<double>(
                       std::chrono::system_clock::now().time_since_epoch())
                       .count()) {}

#ifdef FR_HAVE_STATS
void CWebFeed::SetStats(std::shared_ptr<stats::CStatsService> pStats) {
    std::lock_guard<std::mutex> lock(m_mutexStats);
    m_pStats = std::move(pStats);
}

std::shared_ptr<stats::CStatsService> CWebFeed::Stats() {
    std::lock_guard<std::mutex> lock(m_mutexStats);
    return m_pStats;
}
#endif

void CWebFeed::OnPoll(const monitor::CPollReport& report) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lastPoll = report;
    ++m_figures.m_nPollsAnswered;
}

void CWebFeed::OnPollUnanswered() {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_figures.m_nPollsUnanswered;
}

void CWebFeed::OnRunStarted(bool bAfterFailure) {
    if (!bAfterFailure) return;
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_figures.m_nReconnects;
}

void CWebFeed::OnEvent(const std::string& strLine) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_events.push_back(strLine);
    while (m_events.size() > web::kWebEventLines) m_events.pop_front();
}

void CWebFeed::OnState(const CBotState& state) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state = state;
}

web::CWebStatus CWebFeed::LiveStatus() {
    const uint32_t nEnd = m_fnGameEnd ? m_fnGameEnd() : 0;
    const uint32_t nNow = m_clock.GetTickCount();
    std::lock_guard<std::mutex> lock(m_mutex);
    web::CWebStatus status;
    if (m_lastPoll) status = ScoreboardOf(*m_lastPoll, nEnd, nNow);
    status.m_events.assign(m_events.begin(), m_events.end());
    status.m_game = GameSideOf(m_state.m_game);
    status.m_irc = IrcSideOf(m_state.m_irc);
    return status;
}

web::CWebAnswer<web::CWebPlayerStats> CWebFeed::PlayerStats(const std::string& strName) {
    web::CWebAnswer<web::CWebPlayerStats> answer;
#ifdef FR_HAVE_STATS
    const std::shared_ptr<stats::CStatsService> pStats = Stats();
    if (pStats == nullptr) return answer;
    const std::optional<stats::CPlayerStats> found = pStats->PlayerStats(strName);
    if (!found) {
        answer.m_eLookup = pStats->Figures().m_eState == stats::EStatsState::Off
                               ? web::EWebLookup::StatsOff
                               : web::EWebLookup::NotFound;
        return answer;
    }
    answer.m_eLookup = web::EWebLookup::Found;
    web::CWebPlayerStats& page = answer.m_value;
    page.m_strName = found->m_strName;
    page.m_nKills = found->m_nKills;
    page.m_nDeaths = found->m_nDeaths;
    page.m_fKillsPerDeath = found->m_nDeaths > 0
                                ? static_cast<double>(found->m_nKills) / found->m_nDeaths
                                : static_cast<double>(found->m_nKills);
    page.m_nTeamkills = found->m_nTeamkills;
    page.m_nFlags = found->m_nFlags;
    page.m_nRounds = found->m_nRounds;
    page.m_nLastSeen = found->m_nLastSeen;
    page.m_otherNames = found->m_vOtherNames;
#else
    (void)strName;
#endif
    return answer;
}

web::CWebAnswer<web::CWebTopList> CWebFeed::TopList(web::ETopMetric eMetric,
                                                    web::ETopPeriod ePeriod, int nRows) {
    web::CWebAnswer<web::CWebTopList> answer;
#ifdef FR_HAVE_STATS
    const std::shared_ptr<stats::CStatsService> pStats = Stats();
    if (pStats == nullptr || pStats->Figures().m_eState == stats::EStatsState::Off)
        return answer;
    answer.m_eLookup = web::EWebLookup::Found;
    answer.m_value.m_eMetric = eMetric;
    answer.m_value.m_ePeriod = ePeriod;
    for (const stats::CTopEntry& entry : pStats->Top(TopKindOf(eMetric), TopPeriodOf(ePeriod))) {
        if (static_cast<int>(answer.m_value.m_rows.size()) >= nRows) break;
        // Kills per death come as hundredths.
        const double fValue = eMetric == web::ETopMetric::KillsPerDeath
                                  ? static_cast<double>(entry.m_nValue) / 100.0
                                  : static_cast<double>(entry.m_nValue);
        answer.m_value.m_rows.push_back({entry.m_strName, fValue, 0});
    }
#else
    (void)eMetric;
    (void)ePeriod;
    (void)nRows;
#endif
    return answer;
}

web::CWebMetrics CWebFeed::Metrics() {
    const irc::CIrcFigures irc = m_fnIrcFigures ? m_fnIrcFigures() : irc::CIrcFigures{};
    const uint64_t nRounds = m_fnRounds ? m_fnRounds() : 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    web::CWebMetrics metrics;
    metrics.m_bGameUp = GameSideOf(m_state.m_game).m_bUp;
    if (m_lastPoll && metrics.m_bGameUp)
        metrics.m_nGamePlayers = std::max<int>(m_lastPoll->m_status.m_nNumPlayers, 0);
    metrics.m_gamePolls = {{"ok", m_figures.m_nPollsAnswered},
                           {"unanswered", m_figures.m_nPollsUnanswered}};
    metrics.m_bIrcConnected = m_state.m_irc.m_eState == irc::EIrcState::InChannel;
    metrics.m_nIrcLinesSent = irc.m_nLinesSent;
    metrics.m_nIrcLinesSkipped = irc.m_nLinesSkipped;
    metrics.m_nIrcQueueLines = irc.m_nQueued;
    metrics.m_nIrcReconnects = irc.m_nReconnects;
    metrics.m_nGameReconnects = m_figures.m_nReconnects;
    metrics.m_nRounds = nRounds;
    metrics.m_fProcessStartTime = m_fStartTime;
    return metrics;
}

}  // namespace core
