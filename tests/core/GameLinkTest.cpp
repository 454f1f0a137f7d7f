// The game side's own request queue: a flood of one question is answered
// once per answer the game side gives, a greeting once per person.
#include "core/GameLink.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using bridge::CChannelRequest;
using bridge::EChannelRequest;

class CNoSession final : public bridge::IIrcLink {
public:
    bool IsSessionActive() const override { return true; }
    bool IsInChannel() const override { return true; }
    void SendToChannelPaced(const std::string&) override {}
    void SendToChannel(const std::string&) override {}
    void SendTicketLine(const std::string&) override {}
    void SendLine(const std::string&) override {}
    std::optional<CChannelRequest> TakeRequest() override { return std::nullopt; }
    void DropRequests() override {}
};

std::vector<CChannelRequest> TakeAll(core::CGameLink& link) {
    std::vector<CChannelRequest> taken;
    while (std::optional<CChannelRequest> request = link.TakeRequest()) taken.push_back(*request);
    return taken;
}

TEST(GameLink, ARequestLikeOneWaitingAddsNothingUntilItIsTaken) {
    CNoSession session;
    core::CGameLink link(session);
    for (int n = 0; n < 60; ++n)
        link.Push({EChannelRequest::GameInfo, "nick" + std::to_string(n % 7), ""});
    link.Push({EChannelRequest::Join, "ann", ""});
    link.Push({EChannelRequest::Join, "ann", ""});
    link.Push({EChannelRequest::Join, "bob", ""});
    const std::vector<CChannelRequest> taken = TakeAll(link);
    ASSERT_EQ(taken.size(), 3u);
    EXPECT_EQ(taken[0].m_eKind, EChannelRequest::GameInfo);
    EXPECT_EQ(taken[1], (CChannelRequest{EChannelRequest::Join, "ann", ""}));
    EXPECT_EQ(taken[2], (CChannelRequest{EChannelRequest::Join, "bob", ""}));
    // Answered: the next one is a new question.
    link.Push({EChannelRequest::GameInfo, "nick0", ""});
    EXPECT_EQ(TakeAll(link).size(), 1u);
}

TEST(GameLink, ItHoldsAtMostItsBoundAndDropsAllOnAsk) {
    CNoSession session;
    core::CGameLink link(session);
    for (size_t n = 0; n < 3 * core::CGameLink::kMaxRequests; ++n)
        link.Push({EChannelRequest::Join, "p" + std::to_string(n), ""});
    EXPECT_EQ(TakeAll(link).size(), core::CGameLink::kMaxRequests);
    link.Push({EChannelRequest::GameInfo, "a", ""});
    link.DropRequests();
    EXPECT_TRUE(TakeAll(link).empty());
}

}  // namespace
