#pragma once
// Keeps the bot from answering a flood of CTCP requests: a few replies a
// minute to any one nick and a few a minute in all; the rest go unanswered.
// Anyone in the network can send the requests, and every reply costs the
// bot a place in its own send queue. Pure (time comes in as a tick count);
// one owner thread (the IRC thread).
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace irc {

class CCtcpLimiter {
public:
    static constexpr uint32_t kWindowMs = 60000;
    static constexpr size_t kPerNick = 2;  // replies to one nick within the window
    static constexpr size_t kInAll = 5;    // replies to anyone within the window

    // True when a reply to strNick may go now; it then counts as sent.
    // Nicks compare without case, as the network compares them.
    bool Allow(std::string_view strNick, uint32_t nNow);

private:
    struct CReply {
        uint32_t m_nTick;
        std::string m_strNick;  // in lower case
    };
    // The replies of the last window, oldest first; never more than kInAll.
    std::deque<CReply> m_recent;
};

}  // namespace irc
