#include "irc/Capabilities.h"

#include <algorithm>

#include "irc/IrcMessage.h"

namespace irc {

namespace {

std::string Upper(std::string_view str) {
    std::string strOut(str);
    for (char& c : strOut)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return strOut;
}

}  // namespace

bool ParseCapReply(std::string_view strLine, CCapReply* pReply) {
    CIrcMessage message;
    if (!ParseIrcMessage(strLine, &message) || Upper(message.m_strCommand) != "CAP" ||
        message.m_params.size() < 2)
        return false;
    *pReply = CCapReply();
    pReply->m_strSubcommand = Upper(message.m_params[1]);
    // "CAP * LS * :list" continues; "CAP * LS :list" ends the reply.
    if (message.m_params.size() >= 4 && message.m_params[2] == "*") {
        pReply->m_bMore = true;
        pReply->m_strList = message.m_params[3];
    } else if (message.m_params.size() >= 3) {
        pReply->m_strList = message.m_params[2];
    }
    return true;
}

std::vector<CCapability> SplitCapList(std::string_view strList, size_t nMax) {
    std::vector<CCapability> vCaps;
    size_t nPos = 0;
    while (nPos < strList.size() && vCaps.size() < nMax) {
        const size_t nEnd = std::min(strList.find(' ', nPos), strList.size());
        const std::string_view strEntry = strList.substr(nPos, nEnd - nPos);
        nPos = nEnd + 1;
        if (strEntry.empty()) continue;
        const size_t nEq = strEntry.find('=');
        CCapability cap;
        cap.m_strName = strEntry.substr(0, nEq);
        if (nEq != std::string_view::npos) cap.m_strValue = strEntry.substr(nEq + 1);
        if (!cap.m_strName.empty()) vCaps.push_back(std::move(cap));
    }
    return vCaps;
}

std::vector<std::string> SplitCapValue(std::string_view strValue) {
    std::vector<std::string> vNames;
    size_t nPos = 0;
    while (nPos < strValue.size()) {
        const size_t nEnd = std::min(strValue.find(',', nPos), strValue.size());
        if (nEnd > nPos) vNames.emplace_back(strValue.substr(nPos, nEnd - nPos));
        nPos = nEnd + 1;
    }
    return vNames;
}

CCapOffer::EAdd CCapOffer::Add(const CCapReply& reply) {
    ++m_nLines;
    m_nBytes += reply.m_strList.size();
    if (m_nLines > kMaxLines || m_nBytes > kMaxBytes) return EAdd::TooLong;
    for (CCapability& cap : SplitCapList(reply.m_strList, kMaxCaps)) {
        if (m_vCaps.size() >= kMaxCaps) return EAdd::TooLong;
        m_vCaps.push_back(std::move(cap));
    }
    return reply.m_bMore ? EAdd::More : EAdd::Complete;
}

bool CCapOffer::Offers(std::string_view strName) const {
    for (const CCapability& cap : m_vCaps)
        if (cap.m_strName == strName) return true;
    return false;
}

std::string CCapOffer::ValueOf(std::string_view strName) const {
    for (const CCapability& cap : m_vCaps)
        if (cap.m_strName == strName) return cap.m_strValue;
    return {};
}

}  // namespace irc
