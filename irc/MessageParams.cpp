#include "irc/MessageParams.h"

namespace irc {

namespace {

// Takes the word up to the next space and the spaces after it.
std::string_view TakeWord(std::string_view& str) {
    const size_t nEnd = str.find(' ');
    std::string_view strWord = str.substr(0, nEnd);
    str.remove_prefix(nEnd == std::string_view::npos ? str.size() : nEnd);
    while (!str.empty() && str.front() == ' ') str.remove_prefix(1);
    return strWord;
}

}  // namespace

const std::string& CMessageParams::Param(size_t nIndex) const {
    static const std::string kEmpty;
    return nIndex < m_vParams.size() ? m_vParams[nIndex] : kEmpty;
}

bool ParseMessageParams(std::string_view strLine, CMessageParams* pMessage) {
    *pMessage = CMessageParams();
    while (!strLine.empty() && strLine.front() == ' ') strLine.remove_prefix(1);
    if (!strLine.empty() && strLine.front() == '@') TakeWord(strLine);  // tags: not asked for
    if (!strLine.empty() && strLine.front() == ':') {
        strLine.remove_prefix(1);
        pMessage->m_strPrefix = TakeWord(strLine);
    }
    pMessage->m_strCommand = TakeWord(strLine);
    if (pMessage->m_strCommand.empty()) return false;
    while (!strLine.empty()) {
        if (strLine.front() == ':' ||
            pMessage->m_vParams.size() + 1 == CMessageParams::kMaxParams) {
            if (strLine.front() == ':') strLine.remove_prefix(1);
            pMessage->m_vParams.emplace_back(strLine);
            break;
        }
        pMessage->m_vParams.emplace_back(TakeWord(strLine));
    }
    return true;
}

}  // namespace irc
