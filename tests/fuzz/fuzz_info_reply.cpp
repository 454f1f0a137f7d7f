// Any bytes as an info reply: the quick-info reader stores only texts of
// the reply (or "RtR"), its numbers give well-formed panel texts, and a
// second read gives the same result.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "query/InfoReply.h"

namespace {

void CheckText(const std::string& strField, std::string_view reply) {
    if (strField.empty() || strField == "RtR") return;
    if (strField.find('\\') != std::string::npos || reply.find(strField) == std::string_view::npos)
        abort();
}

// Optional "-", then 1 to 5 digits.
bool IsNumberText(std::string_view str) {
    if (!str.empty() && str[0] == '-') str.remove_prefix(1);
    if (str.empty() || str.size() > 5) return false;
    return str.find_first_not_of("0123456789") == std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    // An exact-size copy, so that any read past the end is caught.
    const std::string strReply(reinterpret_cast<const char*>(pData), nSize);
    const query::CInfoReply info = query::ParseInfoReply(strReply);
    for (const std::string* pField :
         {&info.m_strHostname, &info.m_strMod, &info.m_strVersion, &info.m_strMapName})
        CheckText(*pField, strReply);
    const std::string strPlayers = info.PlayersText();
    const size_t nSlash = strPlayers.find('/');
    if (nSlash == std::string::npos || !IsNumberText(strPlayers.substr(0, nSlash)) ||
        !IsNumberText(strPlayers.substr(nSlash + 1)))
        abort();
    const std::string strPort = info.GamePortText();
    if (!IsNumberText(strPort) || strPort[0] == '-') abort();
    if (!(query::ParseInfoReply(strReply) == info)) abort();
    return 0;
}
