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

enum class KeyStyle {
    Classic,  // the spellings the bot reads: player_N, frags_N, "Version", "Time Limit"
    V161,     // a v1.61 server's: playername_N, kills_N, version, time_limit
};

// Status reply pairs: every server key (with "numplayers" before any
// player key), then each player's keys in slot order. Backslashes and NUL
// bytes in keys or values are replaced, so no pair can break the grammar.
std::vector<KeyValue> BuildStatusPairs(const CSimState& state, KeyStyle style);

// Info reply pairs: the summary keys the server has (host name, ports, mod,
// map, type, phase, counts, version, password), then the state's info extras.
std::vector<KeyValue> BuildInfoPairs(const CSimState& state, KeyStyle style);

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
