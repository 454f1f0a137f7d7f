#pragma once
// The channel's requests waiting for the game side: a small FIFO, filled by
// the IRC thread's dispatch and emptied by the game side, which is woken by
// IIrcEvents::OnIrcRequest. Bounded whatever the channel sends: a request
// like one still waiting adds nothing, and a full queue takes no more. Any
// thread; never waits.
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

#include "bridge/ChannelRequest.h"
#include "irc/IrcEvents.h"

namespace irc {

class CChannelRequests {
public:
    static constexpr size_t kMaxRequests = 16;

    explicit CChannelRequests(IIrcEvents& events) : m_events(events) {}
    CChannelRequests(const CChannelRequests&) = delete;
    CChannelRequests& operator=(const CChannelRequests&) = delete;

    // Queues a request and tells the owner; a second "!gameinfo" (or the same
    // question, or a second greeting for one nick) before the first is
    // answered only repeats the answer, and is dropped.
    void Add(bridge::CChannelRequest request);
    // The oldest, taken off; nullopt when none waits.
    std::optional<bridge::CChannelRequest> Take();
    // Forgets every request (a session or a run starts).
    void Clear();

private:
    IIrcEvents& m_events;
    std::mutex m_mutex;
    std::deque<bridge::CChannelRequest> m_requests;
};

}  // namespace irc
