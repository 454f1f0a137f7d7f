#pragma once
// What the stand-in server reports at one moment: its server-wide keys in
// reply order and its players in slot order. Plain values, copied freely.
#include <string>
#include <utility>
#include <vector>

namespace bf42sim {

using KeyValue = std::pair<std::string, std::string>;

// Most players a server holds; slots run from 0 to 63.
constexpr int kMaxPlayers = 64;

struct CSimPlayer {
    std::string m_strName;
    int m_nTeam = 1;  // 1 Axis, 2 Allies
    int m_nScore = 0;
    int m_nFrags = 0;
    int m_nDeaths = 0;
    int m_nPing = 50;
    // Sent as "keyhash_N"; a v1.61-style reply sends StableKeyHash(name) for
    // a player without one, as such a server always sends one.
    std::string m_strKeyHash;

    bool operator==(const CSimPlayer&) const = default;
};

struct CSimState {
    // Server keys in the order they are sent, before any player key. Keys
    // are written in the classic spellings ("Version", "Time Limit", ...);
    // the reply builder renames them for other key styles.
    std::vector<KeyValue> m_vServerKeys;
    // When set, "numplayers" (if present) carries the number of players
    // instead of its stored value.
    bool m_bAutoNumPlayers = true;
    // Reply index = position: players are numbered 0..n-1 without gaps, as
    // real servers number them.
    std::vector<CSimPlayer> m_vPlayers;
    // Further pairs sent only in the info reply, after the usual ones.
    std::vector<KeyValue> m_vInfoExtra;

    // Value of a server key; empty when absent (see HasKey).
    std::string GetKey(const std::string& strKey) const;
    bool HasKey(const std::string& strKey) const;
    // Replaces the value of an existing key in place, or appends the key.
    void SetKey(const std::string& strKey, const std::string& strValue);
    // Removes every occurrence of the key; false when there was none.
    bool RemoveKey(const std::string& strKey);

    bool operator==(const CSimState&) const = default;
};

// 32 lower-case hex digits that depend on the name alone: a scripted
// player keeps one identity from state to state while his name stays.
std::string StableKeyHash(const std::string& strName);

// A fresh server: the usual keys of such a server in their usual order,
// including the ones real servers send with empty values ("password",
// "unpure_mods" twice), no players, phase "openplaying" on wake.
CSimState DefaultSimState();

}  // namespace bf42sim
