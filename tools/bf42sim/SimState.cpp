#include "tools/bf42sim/SimState.h"

#include <algorithm>
#include <cstdint>

namespace bf42sim {

std::string StableKeyHash(const std::string& strName) {
    // FNV-1a, then two splitmix64 rounds for 128 bits of spread.
    uint64_t nHash = 0xcbf29ce484222325ULL;
    for (const char c : strName) {
        nHash ^= static_cast<unsigned char>(c);
        nHash *= 0x100000001b3ULL;
    }
    static const char kHex[] = "0123456789abcdef";
    std::string strOut;
    for (int nHalf = 0; nHalf < 2; ++nHalf) {
        uint64_t z = (nHash += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        z ^= z >> 31;
        for (int nDigit = 0; nDigit < 16; ++nDigit, z >>= 4) strOut += kHex[z & 15];
    }
    return strOut;
}

std::string CSimState::GetKey(const std::string& strKey) const {
    for (const auto& kv : m_vServerKeys)
        if (kv.first == strKey) return kv.second;
    return {};
}

bool CSimState::HasKey(const std::string& strKey) const {
    return std::any_of(m_vServerKeys.begin(), m_vServerKeys.end(),
                       [&](const KeyValue& kv) { return kv.first == strKey; });
}

void CSimState::SetKey(const std::string& strKey, const std::string& strValue) {
    bool bFound = false;
    for (auto& kv : m_vServerKeys) {
        if (kv.first == strKey) {
            kv.second = strValue;
            bFound = true;
        }
    }
    if (!bFound) m_vServerKeys.emplace_back(strKey, strValue);
}

bool CSimState::RemoveKey(const std::string& strKey) {
    const auto nBefore = m_vServerKeys.size();
    std::erase_if(m_vServerKeys, [&](const KeyValue& kv) { return kv.first == strKey; });
    return m_vServerKeys.size() != nBefore;
}

CSimState DefaultSimState() {
    CSimState state;
    // Order and extras follow a real server's reply; the spellings are the
    // classic ones that the bot reads.
    state.m_vServerKeys = {
        {"gamename", "bfield1942"},
        {"gamever", "v1.61"},
        {"language", "English"},
        {"location", "1033"},
        {"averageFPS", "0"},
        {"content_check", "0"},
        {"dedicated", "1"},
        {"gameId", "bf1942"},
        {"gamemode", "openplaying"},
        {"gametype", "conquest"},
        {"hostname", "bf42sim"},
        {"hostport", "14567"},
        {"mapId", "BF1942"},
        {"mapname", "wake"},
        {"maxplayers", "64"},
        {"numplayers", "0"},
        {"password", ""},
        {"reservedslots", "0"},
        {"roundTime", "1800"},
        {"roundTimeRemain", "1800"},
        {"status", "3"},
        {"sv_punkbuster", "0"},
        {"tickets1", "250"},
        {"tickets2", "250"},
        {"unpure_mods", ""},
        {"Version", "v1.61"},
        {"active_mods", "bf1942"},
        {"allied_team_ratio", "1"},
        {"allow_nose_cam", "yes"},
        {"auto_balance_teams", "on"},
        {"axis_team_ratio", "1"},
        {"bandwidth_choke_limit", "0"},
        {"cpu", "3766"},
        {"external_view", "on"},
        {"free_camera", "on"},
        {"Game Start Delay", "15s"},
        {"hit_indicator", "on"},
        {"kickback", "10%"},
        {"kickback_on_splash", "10%"},
        {"name_tag_distance", "200"},
        {"name_tag_distance_scope", "350"},
        {"number_of_rounds", "1"},
        {"soldier_friendly_fire", "40%"},
        {"soldier_friendly_fire_on_splash", "40%"},
        {"spawn_delay", "4s"},
        {"spawn_wave_time", "7s"},
        {"Ticket Ratio", "100%"},
        {"Time Limit", "30"},
        {"tk_mode", "forgive"},
        {"unpure_mods", ""},
        {"vehicle_friendly_fire", "40%"},
        {"vehicle_friendly_fire_on_splash", "0%"},
    };
    return state;
}

}  // namespace bf42sim
