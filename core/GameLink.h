#pragma once
// The IRC side as the game side sees it, through the bot: every line goes
// straight to the IRC session, but the channel's requests come from a queue
// of the bot's own, which holds only those the game side answers
// (!gameinfo, the greeting of a user who joins). The bot hands the others
// (the statistics' questions) elsewhere, so that they are answered whether
// the game side runs or not.
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

#include "bridge/IrcLink.h"

namespace core {

class CGameLink final : public bridge::IIrcLink {
public:
    static constexpr size_t kMaxRequests = 16;

    // The session outlives the link.
    explicit CGameLink(bridge::IIrcLink& session) : m_session(session) {}

    // A request for the game side (the bot's IRC event); dropped when the
    // queue is full or one with the same answer waits. Any thread.
    void Push(bridge::CChannelRequest request);

    // ---- bridge::IIrcLink: any thread, never waiting.
    bool IsSessionActive() const override { return m_session.IsSessionActive(); }
    bool IsInChannel() const override { return m_session.IsInChannel(); }
    void SendToChannelPaced(const std::string& strText) override {
        m_session.SendToChannelPaced(strText);
    }
    void SendToChannel(const std::string& strText) override { m_session.SendToChannel(strText); }
    void SendTicketLine(const std::string& strText) override { m_session.SendTicketLine(strText); }
    void SendLine(const std::string& strText) override { m_session.SendLine(strText); }
    std::optional<bridge::CChannelRequest> TakeRequest() override;
    void DropRequests() override;

private:
    bridge::IIrcLink& m_session;
    std::mutex m_mutex;
    std::deque<bridge::CChannelRequest> m_requests;  // m_mutex
};

}  // namespace core
