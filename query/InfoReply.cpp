#include "query/InfoReply.h"

#include "platform/Text.h"
#include "query/ReplyReader.h"

namespace query {

std::string CInfoReply::GamePortText() const {
    return platform::IntToText(m_nHostPort);
}

std::string CInfoReply::PlayersText() const {
    return platform::IntToText(m_nNumPlayers) + "/" + platform::IntToText(m_nMaxPlayers);
}

std::string ModFromGameId(std::string_view strGameId) {
    if (platform::ToLowerAscii(strGameId) == "xpack1") return "RtR";
    return std::string(strGameId);
}

CInfoReply ParseInfoReply(std::string_view reply) {
    CInfoReply info;
    ForEachReplyPair(reply, [&info](std::string_view key, std::string_view value) {
        if (key == "hostname") {
            info.m_strHostname.assign(value);
        } else if (key == "gameId") {
            info.m_strMod = ModFromGameId(value);
        } else if (key == "version") {
            info.m_strVersion.assign(value);
        } else if (key == "maxplayers") {
            info.m_nMaxPlayers = Low16Signed(platform::ParseLeadingInt(value));
        } else if (key == "numplayers") {
            info.m_nNumPlayers = Low16Signed(platform::ParseLeadingInt(value));
        } else if (key == "mapname") {
            info.m_strMapName.assign(value);
        } else if (key == "hostport") {
            info.m_nHostPort = static_cast<uint16_t>(platform::ParseLeadingInt(value));
        }
    });
    return info;
}

}  // namespace query
