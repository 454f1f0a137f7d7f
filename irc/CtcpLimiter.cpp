#include "irc/CtcpLimiter.h"

#include <algorithm>

namespace irc {

namespace {

std::string Lower(std::string_view strText) {
    std::string strOut(strText);
    for (char& c : strOut)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return strOut;
}

}  // namespace

bool CCtcpLimiter::Allow(std::string_view strNick, uint32_t nNow) {
    // Unsigned differences stay right across the tick count's wrap.
    while (!m_recent.empty() && nNow - m_recent.front().m_nTick >= kWindowMs) m_recent.pop_front();
    if (m_recent.size() >= kInAll) return false;
    const std::string strKey = Lower(strNick);
    const auto nSame = std::count_if(m_recent.begin(), m_recent.end(),
                                     [&](const CReply& r) { return r.m_strNick == strKey; });
    if (static_cast<size_t>(nSame) >= kPerNick) return false;
    m_recent.push_back(CReply{nNow, strKey});
    return true;
}

}  // namespace irc
