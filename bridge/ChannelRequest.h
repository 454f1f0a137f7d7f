#pragma once
// What someone in the channel asked of the game side, as the IRC dispatch
// read it: the kind, who asked, and what followed the command word. The IRC
// side queues them; the game side takes and answers them. A value; any
// thread. Header only, no project includes, so both sides can use it.
#include <string>

namespace bridge {

enum class EChannelRequest {
    GameInfo,   // "!gameinfo": the server's state to the channel
    Join,       // another user joined the channel: a greeting for m_strNick
    Stats,      // "!stats NAME": a player's statistics
    Top,        // "!top [WORDS]": the best players (WORDS choose what and when)
    LastRound,  // "!lastround": how the last round ended
    Seen,       // "!seen NAME": when a player was last on the server
};

struct CChannelRequest {
    EChannelRequest m_eKind = EChannelRequest::GameInfo;
    std::string m_strNick;  // who asked (Join: who joined)
    std::string
        m_strArgs;  // what followed the command word, trimmed ("NAME", "kd week"); may be empty
    bool operator==(const CChannelRequest&) const = default;
};

// The same answer: the same question, and for a greeting the same person.
// A request like one still waiting only repeats its answer, and is dropped.
inline bool SameAnswer(const CChannelRequest& a, const CChannelRequest& b) {
    if (a.m_eKind != b.m_eKind || a.m_strArgs != b.m_strArgs) return false;
    return a.m_eKind != EChannelRequest::Join || a.m_strNick == b.m_strNick;
}

}  // namespace bridge
