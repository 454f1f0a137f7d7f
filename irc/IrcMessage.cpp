#include "irc/IrcMessage.h"

namespace irc {

namespace {

const std::string kEmpty;

// Servers separate words with one blank, but some pad with more.
void SkipBlanks(std::string_view strLine, size_t* pnPos) {
    while (*pnPos < strLine.size() && strLine[*pnPos] == ' ') ++*pnPos;
}

std::string_view NextWord(std::string_view strLine, size_t* pnPos) {
    const size_t nStart = *pnPos;
    size_t nEnd = strLine.find(' ', nStart);
    if (nEnd == std::string_view::npos) nEnd = strLine.size();
    *pnPos = nEnd;
    return strLine.substr(nStart, nEnd - nStart);
}

}  // namespace

const std::string& CIrcMessage::Param(size_t n) const {
    return n < m_params.size() ? m_params[n] : kEmpty;
}

const std::string& CIrcMessage::LastParam() const {
    return m_params.empty() ? kEmpty : m_params.back();
}

bool ParseIrcMessage(std::string_view strLine, CIrcMessage* pMessage) {
    *pMessage = CIrcMessage();
    size_t nPos = 0;
    SkipBlanks(strLine, &nPos);
    if (nPos < strLine.size() && strLine[nPos] == '@') {
        NextWord(strLine, &nPos);  // message tags: not asked for
        SkipBlanks(strLine, &nPos);
    }
    if (nPos < strLine.size() && strLine[nPos] == ':') {
        ++nPos;
        pMessage->m_strPrefix = NextWord(strLine, &nPos);
    }
    SkipBlanks(strLine, &nPos);
    const std::string_view strCommand = NextWord(strLine, &nPos);
    if (strCommand.empty()) {
        *pMessage = CIrcMessage();
        return false;
    }
    pMessage->m_strCommand.reserve(strCommand.size());
    for (char c : strCommand)
        pMessage->m_strCommand += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    for (;;) {
        SkipBlanks(strLine, &nPos);
        if (nPos >= strLine.size()) break;
        if (strLine[nPos] == ':') {
            pMessage->m_params.emplace_back(strLine.substr(nPos + 1));
            break;
        }
        if (pMessage->m_params.size() + 1 == CIrcMessage::kMaxParams) {
            pMessage->m_params.emplace_back(strLine.substr(nPos));
            break;
        }
        pMessage->m_params.emplace_back(NextWord(strLine, &nPos));
    }
    return true;
}

}  // namespace irc
