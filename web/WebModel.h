#pragma once
// What the page, its JSON and the metrics show, as plain values. The core
// fills them from its own state and the statistics; the web layer only
// reads them. Text is Windows-1252 bytes, as everywhere in the bot; the web
// layer converts it for the page.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace web {

struct CWebPlayer {
    std::string m_strName;
    int m_nScore = 0;
    int m_nKills = 0;
    int m_nDeaths = 0;
    int m_nPing = 0;
};

struct CWebTeam {
    std::string m_strName;  // "Axis", "Allies"...; empty: the page says "Team 1"/"Team 2"
    int m_nTickets = 0;
    std::vector<CWebPlayer> m_players;  // in the order the page lists them
};

// One side of the bot (the game server's polls, the IRC connection).
struct CWebSide {
    bool m_bUp = false;
    std::string m_strReason;  // why it is not up; shown by /healthz and the page
};

// The live scoreboard.
struct CWebStatus {
    std::string m_strServerName;
    std::string m_strMap;
    std::string m_strPhase;     // as the bot words it ("playing", "end of round"...)
    int m_nTimeLeft = -1;       // seconds; below 0: not known
    int m_nMaxPlayers = 0;      // 0: not known
    std::array<CWebTeam, 2> m_teams;
    std::vector<std::string> m_events;  // the last events, oldest first; may hold IRC colours
    CWebSide m_game;
    CWebSide m_irc;
};

// Only the last this many events are shown.
constexpr size_t kWebEventLines = 20;

// A player's totals from the database.
struct CWebPlayerStats {
    std::string m_strName;  // the name he was last seen with
    int64_t m_nKills = 0;
    int64_t m_nDeaths = 0;
    double m_fKillsPerDeath = 0;
    int64_t m_nTeamkills = 0;
    int64_t m_nFlags = 0;
    int64_t m_nRounds = 0;
    int64_t m_nLastSeen = 0;  // seconds since 1970 (UTC); 0: never
    std::vector<std::string> m_otherNames;
};

enum class ETopMetric { Kills, KillsPerDeath, Flags, Teamkills };
enum class ETopPeriod { Today, Week, All };

struct CWebTopRow {
    std::string m_strName;
    double m_fValue = 0;  // the metric's value: a count, or kills per death
    int64_t m_nRounds = 0;
};

struct CWebTopList {
    ETopMetric m_eMetric = ETopMetric::Kills;
    ETopPeriod m_ePeriod = ETopPeriod::All;
    std::vector<CWebTopRow> m_rows;  // best first
};

// A question to the database: statistics may be off (no database), the
// player may be unknown.
enum class EWebLookup { StatsOff, NotFound, Found };

template <class T>
struct CWebAnswer {
    EWebLookup m_eLookup = EWebLookup::StatsOff;
    T m_value{};
};

// The figures of /metrics. Counters count from the process's start.
struct CWebMetrics {
    bool m_bGameUp = false;
    int m_nGamePlayers = 0;
    std::vector<std::pair<std::string, uint64_t>> m_gamePolls;  // result ("ok"...) and count
    bool m_bIrcConnected = false;
    uint64_t m_nIrcLinesSent = 0;
    uint64_t m_nIrcLinesSkipped = 0;
    uint64_t m_nIrcQueueLines = 0;
    uint64_t m_nIrcReconnects = 0;
    uint64_t m_nGameReconnects = 0;
    uint64_t m_nRounds = 0;
    double m_fProcessStartTime = 0;  // seconds since 1970 (UTC)
};

// The words of the query parameters and the pages: "kills", "kd", "flags",
// "tk"; "today", "week", "all". Parse: nullopt for any other word.
std::string_view TopMetricWord(ETopMetric eMetric);
std::string_view TopPeriodWord(ETopPeriod ePeriod);
std::optional<ETopMetric> ParseTopMetric(std::string_view strWord);
std::optional<ETopPeriod> ParseTopPeriod(std::string_view strWord);

}  // namespace web
