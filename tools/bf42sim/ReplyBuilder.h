#pragma once
// Builds the stand-in server's replies: key/value pairs from a state, then
// datagrams in the wire grammar ("\key\value" pairs, every datagram closed
// by "\queryid\ID.N", the last one by "\final\" before that). Pure functions;
// any thread.
#include <cstddef>
#include <string>
#include <vector>

#include "tools/bf42sim/SimState.h"

namespace bf42sim {

// Largest datagram a reply is split into.
constexpr size_t kMaxDatagram = 1400;

// Largest datagram of a v1.61-style reply's player keys: the captured
// server cut its player datagrams a little short of kMaxDatagram.
constexpr size_t kV161PlayerDatagram = 1350;

enum class EKeyStyle {
    Classic,  // the spellings the bot reads: player_N, frags_N, "Version", "Time Limit"
    // A v1.61 server's, as captured: its server keys in its order (content_check,
    // sv_punkbuster and unpure_mods twice), version, game_start_delay,
    // time_limit (0 for no limit), ticket_ratio; per player deaths_N,
    // keyhash_N, kills_N, ping_N, playername_N, score_N, team_N. A player
    // whose state has no keyhash gets StableKeyHash of his name.
    V161,
};

// Status reply pairs: every server key (with "numplayers" before any
// player key), then each player's keys in slot order. Backslashes and NUL
// bytes in keys or values are replaced, so no pair can break the grammar.
// In the v1.61 style the state's keys (classic spellings) are renamed and
// sent in the captured server's order; keys it did not send follow in the
// state's order.
std::vector<KeyValue> BuildStatusPairs(const CSimState& state, EKeyStyle style);

// The status reply's datagrams. Classic: SplitReply of the pairs. v1.61, as
// the captured server splits: the server keys alone in the first datagram,
// then the players' keys in datagrams of at most kV161PlayerDatagram bytes,
// cut between pairs wherever the size says; when they would all fit in one,
// it is cut after the last player's first key anyway, so that one player's
// keys always straddle two datagrams.
std::vector<std::string> SplitStatusReply(const CSimState& state, EKeyStyle style,
                                          const std::string& strQueryId);

// Info reply pairs: the summary keys the server has (host name, ports, mod,
// map, type, phase, counts, version, password), then the state's info extras.
std::vector<KeyValue> BuildInfoPairs(const CSimState& state, EKeyStyle style);

// Packs the pairs into datagrams of at most nMaxDatagram bytes, trailer
// included, never splitting a pair unless it cannot fit a datagram alone.
// Datagram N (from 1) ends with "\queryid\" + strQueryId + "." + N; only
// the last carries "\final\" (empty value) before that. With nMinDatagrams
// above 1 the pairs are spread evenly over about that many datagrams, and
// always over at least two when there are two pairs: for faults that need
// several.
std::vector<std::string> SplitReply(const std::vector<KeyValue>& vPairs,
                                    const std::string& strQueryId,
                                    size_t nMaxDatagram = kMaxDatagram, size_t nMinDatagrams = 1);

// The whole reply in one datagram padded with a filler pair to at least
// nMinSize bytes: a server misconfigured for larger datagrams.
std::string BuildOversizedReply(const std::vector<KeyValue>& vPairs, const std::string& strQueryId,
                                size_t nMinSize = kMaxDatagram + 100);

}  // namespace bf42sim
