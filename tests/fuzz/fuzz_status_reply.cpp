// Any bytes as a status reply: the reader stays inside the reply and loses
// nothing, and decoding is repeatable and only stores texts of the reply.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "monitor/StatusReply.h"
#include "query/ReplyReader.h"

namespace {

void CheckReader(std::string_view reply) {
    std::string strRebuilt;
    query::ForEachReplyPair(reply, [&](std::string_view key, std::string_view value) {
        for (std::string_view v : {key, value}) {
            if (v.data() < reply.data() || v.data() + v.size() > reply.data() + reply.size())
                abort();
            if (v.find('\\') != std::string_view::npos) abort();
        }
        strRebuilt.append("\\").append(key).append("\\").append(value);
    });
    // The pairs give back the text from its first backslash on, except for a
    // last key that had no value.
    const size_t nFirst = reply.find('\\');
    const std::string_view rest = nFirst == std::string_view::npos ? "" : reply.substr(nFirst);
    if (rest.substr(0, strRebuilt.size()) != strRebuilt) abort();
    const std::string_view dropped = rest.substr(strRebuilt.size());
    if (!dropped.empty() && (dropped[0] != '\\' || dropped.find('\\', 1) != std::string_view::npos))
        abort();
}

void CheckText(const std::string& strField, std::string_view reply) {
    // The decoder's own texts: the expansion's mod name, and no time limit.
    if (strField.empty() || strField == "RtR" || strField == "unlimited") return;
    if (strField.find('\\') != std::string::npos || reply.find(strField) == std::string_view::npos)
        abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    // An exact-size copy, so that any read past the end is caught.
    const std::string strReply(reinterpret_cast<const char*>(pData), nSize);
    CheckReader(strReply);

    monitor::CServerStatus status;
    monitor::PlayerTable players;
    monitor::ParseStatusReply(strReply, status, players);
    for (const std::string* pField :
         {&status.m_strMod, &status.m_strServerVersion, &status.m_strGameMode,
          &status.m_strGameType, &status.m_strMapName, &status.m_strHostname,
          &status.m_strTicketRatio, &status.m_strGameStartDelay, &status.m_strTimeLimit,
          &status.m_strTickets1, &status.m_strTickets2})
        CheckText(*pField, strReply);
    for (const monitor::CPlayerRecord& player : players) CheckText(player.m_strName, strReply);

    // Every stored value is the last one of its key, so a second pass changes nothing.
    monitor::CServerStatus again = status;
    monitor::PlayerTable playersAgain = players;
    monitor::ParseStatusReply(strReply, again, playersAgain);
    if (!(again == status) || !(playersAgain == players)) abort();
    return 0;
}
