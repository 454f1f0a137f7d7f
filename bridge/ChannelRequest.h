#pragma once
// A request from the channel that the game side answers: what was asked and
// by whom. A plain value, copied freely.
#include <string>

namespace bridge {

enum class EChannelRequest { GameInfo, Join, Stats, Top, LastRound, Seen };
struct CChannelRequest {
    EChannelRequest m_eKind = EChannelRequest::GameInfo;
    std::string m_strNick;  // who asked (Join: who joined)
    // What followed the command word, trimmed ("NAME", "kd week"); may be empty.
    std::string m_strArgs;
    bool operator==(const CChannelRequest&) const = default;
};

}  // namespace bridge
