#pragma once
// A game server's score table as a test scripts it: players come and go,
// kill, take flags, and the phases and maps change; each Poll() gives the
// report the monitor would hand on, a couple of seconds after the one before.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "monitor/PollReport.h"

namespace statstest {

class CPollScript {
public:
    explicit CPollScript(std::string strMap = "wake", std::string strPhase = "openplaying") {
        m_status.m_strHostname = "Test Server";
        m_status.m_nHostPort = 14567;
        m_status.m_strMod = "bf1942";
        m_status.m_strGameType = "conquest";
        m_status.m_strServerVersion = "v1.61";
        m_status.m_nMaxPlayers = 64;
        m_status.m_strMapName = std::move(strMap);
        m_status.m_strGameMode = std::move(strPhase);
        m_status.m_strTickets1 = "200";
        m_status.m_strTickets2 = "200";
    }

    // Joins at the end of the table (team 2 Allies, 1 Axis); his slot.
    int Add(const std::string& strName, int nTeam, const std::string& strKeyHash = {}) {
        monitor::CPlayerRecord p;
        p.m_strName = strName;
        p.m_nTeam = nTeam;
        p.m_nPing = 50;
        p.m_strKeyHash = strKeyHash;
        m_players.push_back(p);
        return static_cast<int>(m_players.size()) - 1;
    }
    // Leaves; those after him move down a slot, as on a real server.
    void Remove(const std::string& strName) {
        m_players.erase(std::remove_if(m_players.begin(), m_players.end(),
                                       [&](const auto& p) { return p.m_strName == strName; }),
                        m_players.end());
    }
    monitor::CPlayerRecord& P(const std::string& strName) {
        for (auto& p : m_players)
            if (p.m_strName == strName) return p;
        return m_players.front();
    }
    void Rename(const std::string& strFrom, const std::string& strTo) {
        P(strFrom).m_strName = strTo;
    }

    // The score rules of the game.
    void Kill(const std::string& strKiller, const std::string& strVictim) {
        ++P(strKiller).m_nScore;
        ++P(strKiller).m_nFrags;
        ++P(strVictim).m_nDeaths;
    }
    void Teamkill(const std::string& strKiller, const std::string& strVictim) {
        P(strKiller).m_nScore -= 2;
        ++P(strVictim).m_nDeaths;
    }
    void Suicide(const std::string& strName) {
        P(strName).m_nScore -= 2;
        ++P(strName).m_nDeaths;
    }
    void Flag(const std::string& strName) { P(strName).m_nScore += 2; }
    void Die(const std::string& strName) { ++P(strName).m_nDeaths; }

    void Phase(const std::string& strPhase) { m_status.m_strGameMode = strPhase; }
    void Tickets(int nAxis, int nAllies) {
        m_status.m_strTickets1 = std::to_string(nAxis);
        m_status.m_strTickets2 = std::to_string(nAllies);
    }
    // The next map in "pre", every total back to 0.
    void NewMap(const std::string& strMap) {
        m_status.m_strMapName = strMap;
        m_status.m_strGameMode = "pre";
        for (auto& p : m_players) p.m_nScore = p.m_nFrags = p.m_nDeaths = 0;
        Tickets(200, 200);
    }
    monitor::CServerStatus& Status() { return m_status; }

    // The report of a poll nMs after the one before.
    monitor::CPollReport Poll(uint32_t nMs = 2000) {
        m_nTick += nMs;
        m_nMsInSecond += nMs;
        m_nTime += m_nMsInSecond / 1000;
        m_nMsInSecond %= 1000;
        monitor::CPollReport report;
        report.m_nTick = m_nTick;
        report.m_nUnixTime = m_nTime;
        report.m_status = m_status;
        report.m_status.m_nNumPlayers = static_cast<int16_t>(m_players.size());
        for (size_t n = 0; n < m_players.size() && n < monitor::kPlayerSlots; ++n)
            report.m_players[n] = m_players[n];
        return report;
    }
    int64_t Time() const { return m_nTime; }
    void Skip(uint32_t nMs) {
        m_nTick += nMs;
        m_nTime += nMs / 1000;
    }

private:
    monitor::CServerStatus m_status;
    std::vector<monitor::CPlayerRecord> m_players;
    uint32_t m_nTick = 100000;
    int64_t m_nTime = 1700000000;  // 2023-11-14 22:13:20 UTC
    uint32_t m_nMsInSecond = 0;
};

}  // namespace statstest
