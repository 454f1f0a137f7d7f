#include "query/ReplyReader.h"

namespace query {

namespace {
constexpr char kSeparator = '\\';
}

CReplyReader::CReplyReader(std::string_view reply) : m_reply(reply) {
    m_nPos = m_reply.find(kSeparator);
    if (m_nPos != std::string_view::npos) ++m_nPos;
}

bool CReplyReader::NextPair(std::string_view& key, std::string_view& value) {
    if (m_nPos == std::string_view::npos) return false;
    const size_t nKeyEnd = m_reply.find(kSeparator, m_nPos);
    if (nKeyEnd == std::string_view::npos) {
        m_nPos = std::string_view::npos;  // a key without a value
        return false;
    }
    key = m_reply.substr(m_nPos, nKeyEnd - m_nPos);
    const size_t nValueStart = nKeyEnd + 1;
    const size_t nValueEnd = m_reply.find(kSeparator, nValueStart);
    if (nValueEnd == std::string_view::npos) {
        value = m_reply.substr(nValueStart);
        m_nPos = std::string_view::npos;
    } else {
        value = m_reply.substr(nValueStart, nValueEnd - nValueStart);
        m_nPos = nValueEnd + 1;
    }
    return true;
}

}  // namespace query
