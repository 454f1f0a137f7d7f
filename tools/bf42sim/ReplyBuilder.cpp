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

// The captured v1.61 server's keys in its order, spelled as it sends them.
// clang-format off
constexpr const char* kV161ServerKeys[] = {
    "gamename", "gamever", "language", "location", "averageFPS", "content_check", "dedicated",
    "gameId", "gamemode", "gametype", "hostname", "hostport", "mapId", "mapname", "maxplayers",
    "numplayers", "password", "reservedslots", "roundTime", "roundTimeRemain", "status",
    "sv_punkbuster", "tickets1", "tickets2", "unpure_mods", "version", "active_mods",
    "allied_team_ratio", "allow_nose_cam", "auto_balance_teams", "axis_team_ratio",
    "bandwidth_choke_limit", "content_check", "cpu", "external_view", "free_camera",
    "game_start_delay", "hit_indicator", "kickback", "kickback_on_splash", "name_tag_distance",
    "name_tag_distance_scope", "number_of_rounds", "soldier_friendly_fire",
    "soldier_friendly_fire_on_splash", "spawn_delay", "spawn_wave_time", "sv_punkbuster",
    "ticket_ratio", "time_limit", "tk_mode", "unpure_mods", "vehicle_friendly_fire",
    "vehicle_friendly_fire_on_splash",
};
// clang-format on

// Keys per player in the v1.61 style.
constexpr size_t kV161PlayerKeys = 7;

// The four server keys a v1.61 server spells differently; states use the classic names.
struct CRenamedKey {
    const char* m_pszClassic;
    const char* m_pszV161;
};
constexpr CRenamedKey kRenamedKeys[] = {
    {"Version", "version"},
    {"Game Start Delay", "game_start_delay"},
    {"Time Limit", "time_limit"},
    {"Ticket Ratio", "ticket_ratio"},
};

std::string V161Key(const std::string& strClassic) {
    for (const CRenamedKey& key : kRenamedKeys)
        if (strClassic == key.m_pszClassic) return key.m_pszV161;
    return strClassic;
}

std::string ClassicKey(const std::string& strV161) {
    for (const CRenamedKey& key : kRenamedKeys)
        if (strV161 == key.m_pszV161) return key.m_pszClassic;
    return strV161;
}

bool IsV161ServerKey(const std::string& strKey) {
    return std::find(std::begin(kV161ServerKeys), std::end(kV161ServerKeys), strKey) !=
           std::end(kV161ServerKeys);
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

std::vector<KeyValue> BuildStatusPairs(const CSimState& state, EKeyStyle style) {
    std::vector<KeyValue> vPairs;
    vPairs.reserve(state.m_vServerKeys.size() + 4 + state.m_vPlayers.size() * 7);
    auto addServerKey = [&](const std::string& strSent, const std::string& strStateKey,
                            std::string strValue) {
        if (strStateKey == "numplayers") strValue = NumPlayersValue(state);
        // Such a server sends 0 minutes for a game without a time limit.
        if (strSent == "time_limit" && strValue == "unlimited") strValue = "0";
        vPairs.emplace_back(Clean(strSent), Clean(strValue));
    };
    if (style == EKeyStyle::Classic) {
        for (const auto& kv : state.m_vServerKeys) addServerKey(kv.first, kv.first, kv.second);
    } else {
        // The captured order first, from a state key in either spelling ...
        for (const char* pszKey : kV161ServerKeys) {
            for (const std::string& strStateKey : {ClassicKey(pszKey), std::string(pszKey)}) {
                if (!state.HasKey(strStateKey)) continue;
                addServerKey(pszKey, strStateKey, state.GetKey(strStateKey));
                break;
            }
        }
        // ... then the keys that server did not send, in the state's order.
        for (const auto& kv : state.m_vServerKeys) {
            const std::string strSent = V161Key(kv.first);
            if (!IsV161ServerKey(strSent)) addServerKey(strSent, kv.first, kv.second);
        }
    }
    const bool bClassic = style == EKeyStyle::Classic;
    for (size_t n = 0; n < state.m_vPlayers.size(); ++n) {
        const CSimPlayer& p = state.m_vPlayers[n];
        const std::string strN = platform::IntToText(static_cast<long long>(n));
        auto add = [&](const char* pszPrefix, const std::string& strValue) {
            vPairs.emplace_back(pszPrefix + strN, Clean(strValue));
        };
        // Per-player keys in the alphabetical order real servers use.
        add("deaths_", platform::IntToText(p.m_nDeaths));
        if (bClassic) add("frags_", platform::IntToText(p.m_nFrags));
        add("keyhash_",
            bClassic || !p.m_strKeyHash.empty() ? p.m_strKeyHash : StableKeyHash(p.m_strName));
        if (!bClassic) add("kills_", platform::IntToText(p.m_nFrags));
        add("ping_", platform::IntToText(p.m_nPing));
        add(bClassic ? "player_" : "playername_", p.m_strName);
        add("score_", platform::IntToText(p.m_nScore));
        add("team_", platform::IntToText(p.m_nTeam));
    }
    return vPairs;
}

std::vector<KeyValue> BuildInfoPairs(const CSimState& state, EKeyStyle style) {
    struct CInfoKey {
        const char* m_pszInfo;
        const char* m_pszSource;
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
        if (!state.HasKey(key.m_pszSource)) continue;
        const std::string strValue = std::string(key.m_pszSource) == "numplayers"
                                         ? NumPlayersValue(state)
                                         : state.GetKey(key.m_pszSource);
        vPairs.emplace_back(key.m_pszInfo, Clean(strValue));
    }
    for (const auto& kv : state.m_vInfoExtra)
        vPairs.emplace_back(Clean(kv.first), Clean(kv.second));
    return vPairs;
}

namespace {

// Packs pair texts [nBegin, nEnd) into bodies of at most nTarget bytes,
// starting a new body; never splits a pair unless it is longer than nRoom.
void PackBodies(const std::vector<std::string>& vTexts, size_t nBegin, size_t nEnd, size_t nTarget,
                size_t nRoom, std::vector<std::string>& vBodies) {
    if (nBegin >= nEnd) return;
    if (vBodies.empty() || !vBodies.back().empty()) vBodies.emplace_back();
    for (size_t n = nBegin; n < nEnd; ++n) {
        const std::string& strPair = vTexts[n];
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
}

std::vector<std::string> PairTexts(const std::vector<KeyValue>& vPairs, size_t* pTotal) {
    std::vector<std::string> vTexts;
    vTexts.reserve(vPairs.size());
    *pTotal = 0;
    for (const auto& kv : vPairs) {
        vTexts.push_back(PairText(kv));
        *pTotal += vTexts.back().size();
    }
    return vTexts;
}

// Room for pairs in a datagram of nMaxDatagram bytes, keeping space for
// the longest trailer any datagram of a reply of nPairs pairs can carry.
size_t BodyRoom(size_t nMaxDatagram, const std::string& strQueryId, size_t nPairs) {
    const size_t nReserve = Trailer(strQueryId, nPairs + 1, true).size();
    return nMaxDatagram > nReserve + 2 ? nMaxDatagram - nReserve : 2;
}

std::vector<std::string> WithTrailers(std::vector<std::string> vBodies,
                                      const std::string& strQueryId) {
    if (vBodies.empty()) vBodies.emplace_back();
    for (size_t n = 0; n < vBodies.size(); ++n)
        vBodies[n] += Trailer(strQueryId, n + 1, n + 1 == vBodies.size());
    return vBodies;
}

}  // namespace

std::vector<std::string> SplitReply(const std::vector<KeyValue>& vPairs,
                                    const std::string& strQueryId, size_t nMaxDatagram,
                                    size_t nMinDatagrams) {
    size_t nTotal = 0;
    const std::vector<std::string> vTexts = PairTexts(vPairs, &nTotal);
    const size_t nRoom = BodyRoom(nMaxDatagram, strQueryId, vPairs.size());
    // With a minimum count, aim at an even share so that every datagram gets pairs.
    const size_t nMin = std::max<size_t>(1, std::min(nMinDatagrams, vTexts.size()));
    const size_t nTarget = std::min(nRoom, nMin > 1 ? (nTotal + nMin - 1) / nMin : nRoom);
    std::vector<std::string> vBodies;
    PackBodies(vTexts, 0, vTexts.size(), nTarget, nRoom, vBodies);
    return WithTrailers(std::move(vBodies), strQueryId);
}

std::vector<std::string> SplitStatusReply(const CSimState& state, EKeyStyle style,
                                          const std::string& strQueryId) {
    const std::vector<KeyValue> vPairs = BuildStatusPairs(state, style);
    if (style == EKeyStyle::Classic) return SplitReply(vPairs, strQueryId);

    size_t nTotal = 0;
    const std::vector<std::string> vTexts = PairTexts(vPairs, &nTotal);
    const size_t nServerPairs = vTexts.size() - state.m_vPlayers.size() * kV161PlayerKeys;
    const size_t nRoom = BodyRoom(kMaxDatagram, strQueryId, vPairs.size());
    const size_t nPlayerRoom = BodyRoom(kV161PlayerDatagram, strQueryId, vPairs.size());
    std::vector<std::string> vBodies;
    PackBodies(vTexts, 0, nServerPairs, nRoom, nRoom, vBodies);
    const size_t nFirstPlayerBody = vBodies.size();
    PackBodies(vTexts, nServerPairs, vTexts.size(), nPlayerRoom, nRoom, vBodies);
    if (!state.m_vPlayers.empty() && vBodies.size() == nFirstPlayerBody + 1) {
        // Everything fitted: cut after the last player's first key anyway.
        const size_t nCut = vTexts.size() - kV161PlayerKeys + 1;
        vBodies.resize(nFirstPlayerBody);
        PackBodies(vTexts, nServerPairs, nCut, nRoom, nRoom, vBodies);
        PackBodies(vTexts, nCut, vTexts.size(), nRoom, nRoom, vBodies);
    }
    return WithTrailers(std::move(vBodies), strQueryId);
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
