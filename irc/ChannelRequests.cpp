#include "irc/ChannelRequests.h"

#include <algorithm>
#include <utility>

namespace irc {

namespace {

// The same answer: the same question, and for a greeting the same person.
bool SameAnswer(const bridge::CChannelRequest& a, const bridge::CChannelRequest& b) {
    if (a.m_eKind != b.m_eKind || a.m_strArgs != b.m_strArgs) return false;
    return a.m_eKind != bridge::EChannelRequest::Join || a.m_strNick == b.m_strNick;
}

}  // namespace

void CChannelRequests::Add(bridge::CChannelRequest request) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (std::any_of(m_requests.begin(), m_requests.end(),
                        [&](const bridge::CChannelRequest& r) { return SameAnswer(r, request); }))
            return;
        if (m_requests.size() >= kMaxRequests) return;
        m_requests.push_back(std::move(request));
    }
    m_events.OnIrcRequest();
}

std::optional<bridge::CChannelRequest> CChannelRequests::Take() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_requests.empty()) return std::nullopt;
    bridge::CChannelRequest request = std::move(m_requests.front());
    m_requests.pop_front();
    return request;
}

void CChannelRequests::Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_requests.clear();
}

}  // namespace irc
