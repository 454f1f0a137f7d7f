#pragma once
// The JSON of /api/status, /api/players/NAME and /api/top, and of the
// page's live updates (the same as /api/status). Names and lines are
// converted from Windows-1252 (WebText), so the JSON is always valid UTF-8.
// Pure.
#include <string>
#include <string_view>

#include "web/WebModel.h"

namespace web {

// {"server","map","phase","timeLeft" (null when not known),"maxPlayers",
//  "teams":[{"name","tickets","players":[{"name","score","kills","deaths",
//  "ping"}]} x2],"events":[...], "game":{"up","reason"},"irc":{"up","reason"}}
std::string StatusJson(const CWebStatus& status);

// {"name","kills","deaths","kd","teamkills","flags","rounds","lastSeen"
//  (seconds since 1970 or null),"lastSeenUtc","otherNames":[...]}
std::string PlayerStatsJson(const CWebPlayerStats& stats);

// {"metric","period","rows":[{"rank","name","value","rounds"}]}
std::string TopListJson(const CWebTopList& top);

// {"error": strMessage}; strMessage is ASCII or UTF-8.
std::string ErrorJson(std::string_view strMessage);

// Kills per death as shown: two decimals.
double RoundedKillsPerDeath(double fValue);

}  // namespace web
