#include "irc/IrcLineSplitter.h"

#include <utility>

namespace irc {

namespace {

bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

// Cuts at the first NUL: what follows it on that line is not text.
void CutAtNul(std::string& strLine) {
    const size_t nNul = strLine.find('\0');
    if (nNul != std::string::npos) strLine.resize(nNul);
}

}  // namespace

void CIrcLineSplitter::Feed(const char* pData, size_t nLen) {
    if (m_nPos > 0) {
        m_strBuffer.erase(0, m_nPos);
        m_nPos = 0;
    }
    size_t nStart = 0;
    if (m_bDiscarding) {
        while (nStart < nLen && !IsLineEnd(pData[nStart])) ++nStart;
        if (nStart == nLen) return;
        m_bDiscarding = false;
    }
    m_strBuffer.append(pData + nStart, nLen - nStart);

    // Only the unterminated tail can keep growing from read to read.
    size_t nTail = 0;
    for (size_t i = m_strBuffer.size(); i > 0; --i) {
        if (IsLineEnd(m_strBuffer[i - 1])) {
            nTail = i;
            break;
        }
    }
    if (m_strBuffer.size() - nTail > kMaxPendingLine) {
        m_strBuffer.resize(nTail);
        m_bDiscarding = true;
    }
}

bool CIrcLineSplitter::Next(std::string& strLine) {
    for (;;) {
        while (m_nPos < m_strBuffer.size() && IsLineEnd(m_strBuffer[m_nPos])) ++m_nPos;
        size_t nEnd = m_nPos;
        while (nEnd < m_strBuffer.size() && !IsLineEnd(m_strBuffer[nEnd])) ++nEnd;
        if (nEnd == m_strBuffer.size()) return false;  // no line end yet
        strLine.assign(m_strBuffer, m_nPos, nEnd - m_nPos);
        m_nPos = nEnd + 1;
        CutAtNul(strLine);
        if (!strLine.empty()) return true;
    }
}

bool CIrcLineSplitter::TakeRest(std::string& strLine) {
    if (Next(strLine)) return true;
    std::string strRest = m_strBuffer.substr(m_nPos);
    m_strBuffer.clear();
    m_nPos = 0;
    m_bDiscarding = false;
    CutAtNul(strRest);
    if (strRest.empty()) return false;
    strLine = std::move(strRest);
    return true;
}

}  // namespace irc
