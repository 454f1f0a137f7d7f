#pragma once
// What the web page shows, kept by the bot as the match goes: the last
// decoded poll, the last events, where both sides stand, the figures; and
// the page's questions to the statistics. The bot feeds it from its own
// threads; the web server's threads read it, each read a copy taken under
// one lock, never waiting on the game server or on IRC.
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "core/BotEvents.h"
#include "irc/IrcEvents.h"
#include "monitor/PollReport.h"
#include "platform/Clock.h"
#include "web/WebModel.h"
#include "web/WebSource.h"

#ifdef FR_HAVE_STATS
namespace stats {
class CStatsService;
}
#endif

namespace core {

// Counts of the game side since the bot was made.
struct CGameFigures {
    uint64_t m_nPollsAnswered = 0;
    uint64_t m_nPollsUnanswered = 0;
    uint64_t m_nReconnects = 0;  // runs after the first
};

// The scoreboard of a poll, as the page shows it: both teams' players
// (Axis first, by score), tickets, map, the phase in words, the time left.
// Pure; any thread.
web::CWebStatus ScoreboardOf(const monitor::CPollReport& report, uint32_t nGameEndTick,
                             uint32_t nNowTick);
// Up or not, and why ("next attempt in 40 s"), as /healthz says it behind
// the side's name. Pure; any thread.
web::CWebSide IrcSideOf(const irc::CIrcStatus& irc);
web::CWebSide GameSideOf(const CGameStatus& game);

class CWebFeed final : public web::IWebSource {
public:
    using IrcFiguresFn = std::function<irc::CIrcFigures()>;
    using GameEndFn = std::function<uint32_t()>;
    using RoundsFn = std::function<uint64_t()>;

    // The clock reads the time left against the game's end tick (fnGameEnd);
    // fnIrcFigures and fnRounds give the figures of /metrics.
    CWebFeed(platform::CClock& clock, GameEndFn fnGameEnd, IrcFiguresFn fnIrcFigures,
             RoundsFn fnRounds);

#ifdef FR_HAVE_STATS
    // The statistics the page's questions go to; null: statistics off.
    // Any thread.
    void SetStats(std::shared_ptr<stats::CStatsService> pStats);
#endif

    // ---- Fed by the bot (its threads).
    void OnPoll(const monitor::CPollReport& report);
    void OnPollUnanswered();
    void OnRunStarted(bool bAfterFailure);
    void OnEvent(const std::string& strLine);
    void OnState(const CBotState& state);

    // ---- web::IWebSource (the web server's threads).
    web::CWebStatus LiveStatus() override;
    web::CWebAnswer<web::CWebPlayerStats> PlayerStats(const std::string& strName) override;
    web::CWebAnswer<web::CWebTopList> TopList(web::ETopMetric eMetric, web::ETopPeriod ePeriod,
                                              int nRows) override;
    web::CWebMetrics Metrics() override;

private:
    platform::CClock& m_clock;
    const GameEndFn m_fnGameEnd;
    const IrcFiguresFn m_fnIrcFigures;
    const RoundsFn m_fnRounds;
    const double m_fStartTime;  // the process's start, seconds since 1970
#ifdef FR_HAVE_STATS
    std::shared_ptr<stats::CStatsService> Stats();
    std::mutex m_mutexStats;
    std::shared_ptr<stats::CStatsService> m_pStats;  // m_mutexStats
#endif

    std::mutex m_mutex;
    std::optional<monitor::CPollReport> m_lastPoll;  // m_mutex
    std::deque<std::string> m_events;                // m_mutex; oldest first
    CBotState m_state;                               // m_mutex
    CGameFigures m_figures;                          // m_mutex
};

}  // namespace core
