#pragma once
// The statistics answers in the channel, one line each, worded in the
// language and the colour roles of the announcements: labels in the key
// colour, figures and names in the value colour, "none" texts in the status
// colour, players of a round in their side's kill colour. Every line holds at
// most kMaxAnswerBytes bytes and no CR, LF or NUL. All pure; any thread.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "monitor/Announcements.h"
#include "stats/StatsResults.h"

namespace stats {

inline constexpr size_t kMaxAnswerBytes = 400;
// Longest name shown; longer ones are cut.
inline constexpr size_t kMaxShownName = 32;

// A word of the answers (res::IDS_STATS_...) in the language of nLangBase;
// English for a base that is no language's, so an answer never loses its words.
std::string StatsWord(int32_t nLangBase, int nRole);

struct CTopRequest {
    ETopKind m_eKind = ETopKind::Kills;
    ETopPeriod m_ePeriod = ETopPeriod::All;
    bool operator==(const CTopRequest&) const = default;
};
// "!top" arguments: at most one of kills, kd, flags, tk and one of today,
// week, all, in either order and any case; what is left out is kills, all.
// nullopt for any other word.
std::optional<CTopRequest> ParseTopArgs(std::string_view strArgs);

// "2024-05-03 21:14 UTC".
std::string UtcTimeText(int64_t nUnixTime);
// Hundredths as "1.50", without the locale's say.
std::string HundredthsText(int64_t nHundredths);
// Kills per death in hundredths, rounded; no deaths count as one.
int64_t KillsPerDeath(int64_t nKills, int64_t nDeaths);

// !stats NAME: kills, deaths, K/D, teamkills, flags, rounds, last seen, and
// as many other names as fit; "no statistics" without a player.
std::string PlayerStatsLine(const monitor::CAnnounceSettings& s, std::string_view strAsked,
                            const std::optional<CPlayerStats>& stats);
// !top: the title and the places, or "no statistics" for an empty list.
std::string TopLine(const monitor::CAnnounceSettings& s, const CTopRequest& request,
                    const std::vector<CTopEntry>& entries);
// !lastround: map, winner, tickets when known, the top three.
std::string LastRoundLine(const monitor::CAnnounceSettings& s,
                          const std::optional<CRoundSummary>& round);
// !seen NAME: "playing now" while he is on the server, else when he was last
// seen under that name and the name he uses now when it differs.
std::string SeenLine(const monitor::CAnnounceSettings& s, std::string_view strAsked,
                     const std::optional<CSeen>& seen, bool bPlayingNow);
// How a command is used, after words it did not know.
std::string UsageLine(const monitor::CAnnounceSettings& s, std::string_view strUsage);
// The file could not be opened: said instead of an answer.
std::string StatsOffLine(const monitor::CAnnounceSettings& s);

}  // namespace stats
