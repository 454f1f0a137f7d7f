#pragma once
// Decodes one status reply into the server snapshot and the player table.
#include <string_view>

#include "monitor/PlayerRecord.h"
#include "monitor/ServerStatus.h"

namespace monitor {

// Reads the reply's key/value pairs (an empty value stays empty) and stores
// each known key's value into status or into its player slot; a key that
// occurs twice keeps its last value, a missing key leaves the field as it
// was, unknown keys are ignored. Both the classic spellings and those of
// v1.61 servers are read, into the same fields: "Version"/"version",
// "Game Start Delay"/"game_start_delay", "Time Limit"/"time_limit" (where 0
// is stored as "unlimited"), "Ticket Ratio"/"ticket_ratio". Player keys are
// a prefix ("player_" or "playername_", "score_", "frags_" or "kills_",
// "deaths_", "ping_", "team_", "keyhash_") directly followed by the
// slot number in decimal digits and nothing else; a slot outside 0..63 or a
// key with anything else after the prefix is ignored. Numbers are read like
// atoi; the 16-bit fields keep the low 16 bits. Cannot fail; reads only
// inside reply. Pure; called on the monitor thread.
void ParseStatusReply(std::string_view reply, CServerStatus& status, PlayerTable& players);

}  // namespace monitor
