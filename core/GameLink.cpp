#include "core/GameLink.h"

#include <algorithm>
#include <utility>

namespace core {

void CGameLink::Push(bridge::CChannelRequest request) {
    std::lock_guard<std::mutex> lock(m_mutex);
    // A flood of "!gameinfo" is answered once per answer the game side gives.
    if (std::any_of(m_requests.begin(), m_requests.end(), [&](const bridge::CChannelRequest& r) {
            return bridge::SameAnswer(r, request);
        }))
        return;
    if (m_requests.size() < kMaxRequests) m_requests.push_back(std::move(request));
}

std::optional<bridge::CChannelRequest> CGameLink::TakeRequest() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_requests.empty()) return std::nullopt;
    bridge::CChannelRequest request = std::move(m_requests.front());
    m_requests.pop_front();
    return request;
}

void CGameLink::DropRequests() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_requests.clear();
}

}  // namespace core
