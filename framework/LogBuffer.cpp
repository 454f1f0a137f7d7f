#include "framework/LogBuffer.h"

#include <algorithm>

namespace framework {

CLogBuffer::CLogBuffer(size_t nMaxLines, size_t nMaxBytes)
    : m_nMaxLines(std::max<size_t>(1, nMaxLines)), m_nMaxBytes(std::max<size_t>(1, nMaxBytes)) {}

size_t CLogBuffer::Append(std::string_view strText) {
    size_t nStart = 0;
    for (;;) {
        const size_t nEnd = strText.find('\n', nStart);
        std::string_view line = strText.substr(
            nStart, nEnd == std::string_view::npos ? std::string_view::npos : nEnd - nStart);
        // One huge line must not defeat the byte bound.
        if (line.size() > m_nMaxBytes) line = line.substr(0, m_nMaxBytes);
        m_lines.emplace_back(line);
        m_nBytes += line.size();
        if (nEnd == std::string_view::npos) break;
        nStart = nEnd + 1;
    }
    return Trim();
}

size_t CLogBuffer::Assign(std::string_view strText) {
    Clear();
    if (strText.empty()) return 0;
    return Append(strText);
}

void CLogBuffer::Clear() {
    m_lines.clear();
    m_nBytes = 0;
}

size_t CLogBuffer::SetLimits(size_t nMaxLines, size_t nMaxBytes) {
    m_nMaxLines = std::max<size_t>(1, nMaxLines);
    m_nMaxBytes = std::max<size_t>(1, nMaxBytes);
    for (std::string& line : m_lines) {
        if (line.size() > m_nMaxBytes) {
            m_nBytes -= line.size() - m_nMaxBytes;
            line.resize(m_nMaxBytes);
        }
    }
    return Trim();
}

size_t CLogBuffer::Trim() {
    size_t nDropped = 0;
    while (m_lines.size() > 1 && (m_lines.size() > m_nMaxLines || m_nBytes > m_nMaxBytes)) {
        m_nBytes -= m_lines.front().size();
        m_lines.pop_front();
        ++nDropped;
    }
    return nDropped;
}

std::string CLogBuffer::Text() const {
    std::string strText;
    if (m_lines.empty()) return strText;
    strText.reserve(m_nBytes + m_lines.size() - 1);
    for (size_t n = 0; n < m_lines.size(); ++n) {
        if (n > 0) strText += '\n';
        strText += m_lines[n];
    }
    return strText;
}

}  // namespace framework
