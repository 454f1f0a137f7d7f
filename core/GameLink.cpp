#include "core/GameLink.h"

#include <utility>

namespace core {

void CGameLink::Push(bridge::CChannelRequest request) {
    std::lock_guard<std::mutex> lock(m_mutex);
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
