#pragma once
// The IRC side as the game side sees it: the few things the monitor and the
// ticket reporter need, and nothing of the session behind them. The IRC
// session implements it; the game side may include this header and nothing
// from irc/. Header only, with nothing but bridge/ beside it, so both sides
// can use it.
//
// Every operation may be called from any thread and returns at once: the
// lines are queued, never sent on the caller's thread.
#include <optional>
#include <string>

#include "bridge/ChannelRequest.h"

namespace bridge {

class IIrcLink {
public:
    virtual ~IIrcLink() = default;

    // The operator (or Broadcast) has started the IRC session and not ended it.
    virtual bool IsSessionActive() const = 0;
    // The server has confirmed the bot's join of its channel.
    virtual bool IsInChannel() const = 0;
    // An event line for the channel, at the channel's pace; when the game
    // produces more than the channel can carry, the oldest are dropped and
    // one line says how many. Only while in the channel.
    virtual void SendToChannelPaced(const std::string& strText) = 0;
    // A reply for the channel (an answer to a request): queued, not dropped
    // to keep pace. Only while in the channel.
    virtual void SendToChannel(const std::string& strText) = 0;
    // The periodic ticket line: it replaces one still waiting to leave, so
    // the channel only ever gets the newest. Only while in the channel.
    virtual void SendTicketLine(const std::string& strText) = 0;
    // One raw protocol line (text without CR LF), a reply, in any state.
    virtual void SendLine(const std::string& strText) = 0;
    // The oldest pending channel request, taken off the queue; nullopt when
    // none waits.
    virtual std::optional<CChannelRequest> TakeRequest() = 0;
    // Forgets every pending request: a run that starts answers nothing that
    // was asked of a snapshot it has just reset.
    virtual void DropRequests() = 0;
};

}  // namespace bridge
