#include "query/Tokenizer.h"

#include <utility>

namespace query {

CTokenizer::CTokenizer(std::string strText, std::string_view strDelims)
    : m_strText(std::move(strText)) {
    for (char c : strDelims) {
        const auto b = static_cast<unsigned char>(c);
        m_delims[b >> 5] |= 1u << (b & 31);
    }
}

bool CTokenizer::NextToken(std::string& strToken) {
    strToken.clear();
    const size_t nLen = m_strText.size();
    while (m_nPos < nLen && IsDelim(static_cast<unsigned char>(m_strText[m_nPos]))) ++m_nPos;
    if (m_nPos >= nLen) return false;
    const size_t nStart = m_nPos;
    while (m_nPos < nLen && !IsDelim(static_cast<unsigned char>(m_strText[m_nPos]))) ++m_nPos;
    strToken.assign(m_strText, nStart, m_nPos - nStart);
    return true;
}

}  // namespace query
