#include "tools/bf42sim/ReplyBuilder.h"

#include <algorithm>

#include "platform/Text.h"

namespace bf42sim {

namespace {

// A backslash would end the value early and a NUL would end the reader's
// text; neither may reach the wire from a state.
std::string Clean(std::string str) {
    for (char& c : str) {
        if (c == '\\') c = '/';
        if (c == '\0') c = ' ';
    }
    return str;
}

std::string StyledServerKey(const std::string& strKey, KeyStyle style) {
    if (style == KeyStyle::Classic) return strKey;
    if (strKey == "Version") return "version";
    if (strKey == "Game Start Delay") return "game_start_delay";
    if (strKey == "Time Limit") return "time_limit";
    if (strKey == "Ticket Ratio") return "ticket_ratio";
    return strKey;
}

std::string NumPlayersValue(const CSimState& state) {
    if (state.m_bAutoNumPlayers)
        return platform::IntToText(static_cast<long long>(state.m_vPlayers.size()));
    return state.GetKey("numplayers");
}

std::string PairText(const KeyValue& kv) {
    return "\\" + kv.first + "\\" + kv.second;
}

std::string Trailer(const std::string& strQueryId, size_t nNumber, bool bLast) {
    return std::string(bLast ? "\\final\\" : "") + "\\queryid\\" + strQueryId + "." +
           platform::IntToText(static_cast<long long>(nNumber));
}

}  // namespace

std::vector<KeyValue> BuildStatusPairs(const CSimState& state, KeyStyle style) {
    std::vector<KeyValue> vPairs;
    vPairs.reserve(state.m_vServerKeys.size() + state.m_vPlayers.size() * 7);
    for (const auto& kv : state.m_vServerKeys) {
        const std::string strValue = kv.first == "numplayers" ? NumPlayersValue(state) : kv.second;
        vPairs.emplace_back(Clean(StyledServerKey(kv.first, style)), Clean(strValue));
    }
    const bool bClassic = style == KeyStyle::Classic;
    for (size_t n = 0; n < state.m_vPlayers.size(); ++n) {
        const CSimPlayer& p = state.m_vPlayers[n];
        const std::string strN = platform::IntToText(static_cast<long long>(n));
        auto add = [&](const char* pszPrefix, const std::string& strValue) {
            vPairs.emplace_back(pszPrefix + strN, Clean(strValue));
        };
        // Per-player keys in the alphabetical order real servers use.
        add("deaths_", platform::IntToText(p.m_nDeaths));
        if (bClassic) add("frags_", platform::IntToText(p.m_nFrags));
        add("keyhash_", p.m_strKeyHash);
        if (!bClassic) add("kills_", platform::IntToText(p.m_nFrags));
        add("ping_", platform::IntToText(p.m_nPing));
        add(bClassic ? "player_" : "playername_", p.m_strName);
        add("score_", platform::IntToText(p.m_nScore));
        add("team_", platform::IntToText(p.m_nTeam));
    }
    return vPairs;
}

std::vector<KeyValue> BuildInfoPairs(const CSimState& state, KeyStyle style) {
    struct CInfoKey {
        const char* pszInfo;
        const char* pszSource;
    };
    // The info reply always spells the version in lower case.
    static const CInfoKey kKeys[] = {
        {"gamename", "gamename"},     {"gamever", "gamever"},   {"hostname", "hostname"},
        {"hostport", "hostport"},     {"gameId", "gameId"},     {"mapname", "mapname"},
        {"gametype", "gametype"},     {"gamemode", "gamemode"}, {"numplayers", "numplayers"},
        {"maxplayers", "maxplayers"}, {"version", "Version"},   {"password", "password"},
    };
    (void)style;
    std::vector<KeyValue> vPairs;
    for (const CInfoKey& key : kKeys) {
        if (!state.HasKey(key.pszSource)) continue;
        const std::string strValue = std::string(key.pszSource) == "numplayers"
                                         ? NumPlayersValue(state)
                                         : state.GetKey(key.pszSource);
        vPairs.emplace_back(key.pszInfo, Clean(strValue));
    }
    for (const auto& kv : state.m_vInfoExtra)
        vPairs.emplace_back(Clean(kv.first), Clean(kv.second));
    return vPairs;
}

std::vector<std::string> SplitReply(const std::vector<KeyValue>& vPairs,
                                    const std::string& strQueryId, size_t nMaxDatagram,
                                    size_t nMinDatagrams) {
    std::vector<std::string> vTexts;
    vTexts.reserve(vPairs.size());
    size_t nTotal = 0;
    for (const auto& kv : vPairs) {
        vTexts.push_back(PairText(kv));
        nTotal += vTexts.back().size();
    }
    // Room for the longest trailer any datagram of this reply can carry.
    const size_t nReserve = Trailer(strQueryId, vPairs.size() + 1, true).size();
    const size_t nRoom = nMaxDatagram > nReserve + 2 ? nMaxDatagram - nReserve : 2;
    // With a minimum count, aim at an even share so that every datagram gets pairs.
    const size_t nMin = std::max<size_t>(1, std::min(nMinDatagrams, vTexts.size()));
    const size_t nTarget = std::min(nRoom, nMin > 1 ? (nTotal + nMin - 1) / nMin : nRoom);

    std::vector<std::string> vBodies(1);
    for (const std::string& strPair : vTexts) {
        std::string* pBody = &vBodies.back();
        if (!pBody->empty() && pBody->size() + strPair.size() > nTarget) {
            vBodies.emplace_back();
            pBody = &vBodies.back();
        }
        if (strPair.size() <= nRoom) {
            *pBody += strPair;
            continue;
        }
        // A pair longer than a datagram can hold: the only case that splits one.
        for (size_t nAt = 0; nAt < strPair.size(); nAt += nRoom) {
            if (!vBodies.back().empty()) vBodies.emplace_back();
            vBodies.back() = strPair.substr(nAt, nRoom);
        }
    }
    std::vector<std::string> vDatagrams;
    vDatagrams.reserve(vBodies.size());
    for (size_t n = 0; n < vBodies.size(); ++n)
        vDatagrams.push_back(vBodies[n] + Trailer(strQueryId, n + 1, n + 1 == vBodies.size()));
    return vDatagrams;
}

std::string BuildOversizedReply(const std::vector<KeyValue>& vPairs, const std::string& strQueryId,
                                size_t nMinSize) {
    std::string strBody;
    for (const auto& kv : vPairs) strBody += PairText(kv);
    const std::string strTrailer = Trailer(strQueryId, 1, true);
    const std::string strFiller = "\\padding\\";
    const size_t nHave = strBody.size() + strTrailer.size() + strFiller.size();
    if (nHave < nMinSize) strBody += strFiller + std::string(nMinSize - nHave, 'x');
    return strBody + strTrailer;
}

}  // namespace bf42sim
