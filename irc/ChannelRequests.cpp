#include "irc/ChannelRequests.h"

#include <algorithm>
#include <utility>

namespace irc {

void CChannelRequests::Add(bridge::CChannelRequest request) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (std::any_of(m_requests.begin(), m_requests.end(),
                        [&](const bridge::CChannelRequest& r) { return bridge::SameAnswer(r, request); }))
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
