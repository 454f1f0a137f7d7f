#include "tools/bf42sim/LiveMatch.h"

#include <algorithm>
#include <iterator>

#include "platform/Text.h"

namespace bf42sim {

namespace {

struct CMapInfo {
    const char* m_pszName;
    int m_nMinutes;  // 0: no time limit
};

const CMapInfo kMaps[] = {
    {"wake", 5},        {"el_alamein", 4}, {"stalingrad", 0},
    {"omaha_beach", 5}, {"berlin", 4},     {"market_garden", 5},
};

// Player names as they turn up on servers: clan tags, blanks and a few
// Windows-1252 letters.
const char* const kNames[] = {
    "Sgt.Rock",    "[42]Ivan",   "Lagtastic",   "Sorrowful Rice", "Meuse",
    "papi",        "GLIER",      "*Incognito*", "mediocre",       "TheCalmingClam",
    "J\xfcrgen",   "Jim Lahey",  "[Admin]Cher", "Desert Fox",     "Tommy",
    "Ace",         "Ren\xe9",    "Bj\xf6rn",    "Kowalski",       "S\xf8ren",
    "Fran\xe7ois", "Zhukov",     "Monty",       "Patton",         "Flak88",
    "Spitfire",    "Stuka",      "Medic!",      "Sniper_Joe",     "M\xfcller",
    "NoobTube",    "Grease Gun", "Bazooka Bob", "Panzerfaust",    "Corsair",
    "Yamato",      "Hellcat",    "Kubelwagen",  "Jeepster",       "Garand",
    "Thompson",    "K98",        "Bren",        "Sten",           "Piat",
    "Willys",      "Sherman",    "Tiger",       "Zero",           "Mustang",
    "Brummb\xe4r", "Wespe",      "Priest",      "Katyusha",       "Lancaster",
    "B-17",        "Higgins",    "Destroyer",   "Sub Hunter",     "Radioman",
    "Engineer",    "Scout",      "Assault",     "Anti-Tank",
};

// The score rules of the game: a kill is score and frag +1 (the victim a
// death), a teamkill score -2 (the victim a death), a suicide score -2 and a
// death, a death by nobody (a fall, a crash) a death alone, a flag capture
// score +2 alone.
enum class EEvent { Kill, Teamkill, Death, Suicide, Flag, Nothing };

EEvent PickEvent(int nRoll) {  // nRoll from 1 to 100
    if (nRoll <= 55) return EEvent::Kill;
    if (nRoll <= 61) return EEvent::Teamkill;
    if (nRoll <= 73) return EEvent::Death;
    if (nRoll <= 80) return EEvent::Suicide;
    if (nRoll <= 94) return EEvent::Flag;
    return EEvent::Nothing;
}

constexpr int kPreSteps = 8;
constexpr int kEndSteps = 10;

}  // namespace

CLiveMatch::CLiveMatch(uint64_t nSeed, int nPlayers)
    : m_random(nSeed), m_nTarget(std::clamp(nPlayers, 1, kMaxPlayers)) {
    m_state = DefaultSimState();
    m_state.SetKey("hostname", "bf42sim live match");
    for (int n = 0; n < m_nTarget; ++n) m_state.m_vPlayers.push_back(NewPlayer());
    StartRound();
}

std::string CLiveMatch::NextName() {
    const int nCount = static_cast<int>(std::size(kNames));
    const int nIndex = m_nNextName++;
    std::string strName = kNames[nIndex % nCount];
    if (nIndex >= nCount) strName += platform::IntToText(nIndex / nCount + 1);
    return strName;
}

int CLiveMatch::BalancedTeam() {
    // Join the smaller team, as auto-balance would put you.
    int nAxis = 0;
    for (const CSimPlayer& p : m_state.m_vPlayers) nAxis += p.m_nTeam == 1 ? 1 : 0;
    const int nAllies = static_cast<int>(m_state.m_vPlayers.size()) - nAxis;
    return nAxis < nAllies ? 1 : nAllies < nAxis ? 2 : m_random.Range(1, 2);
}

CSimPlayer CLiveMatch::NewPlayer() {
    CSimPlayer player;
    player.m_strName = NextName();
    player.m_nTeam = BalancedTeam();
    player.m_nPing = m_random.Range(20, 180);
    static const char kHex[] = "0123456789abcdef";
    for (int n = 0; n < 32; ++n) player.m_strKeyHash += kHex[m_random.Range(0, 15)];
    return player;
}

CSimPlayer CLiveMatch::JoiningPlayer(size_t nEligible) {
    if (nEligible == 0 || !m_random.Chance(1, 3)) return NewPlayer();
    const int nIndex = m_random.Range(0, static_cast<int>(nEligible) - 1);
    CSimPlayer player = m_vGone[static_cast<size_t>(nIndex)];
    m_vGone.erase(m_vGone.begin() + nIndex);
    ++m_counts.m_nReturns;
    // A fresh name is never in use, so no two players ever share one.
    if (m_random.Chance(1, 3)) {
        player.m_strName = NextName();
        ++m_counts.m_nRenames;
    }
    player.m_nScore = player.m_nFrags = player.m_nDeaths = 0;
    player.m_nTeam = BalancedTeam();
    player.m_nPing = m_random.Range(20, 180);
    return player;
}

void CLiveMatch::StartRound() {
    m_nMap = (m_nMap + 1) % static_cast<int>(std::size(kMaps));
    for (CSimPlayer& p : m_state.m_vPlayers) p.m_nScore = p.m_nFrags = p.m_nDeaths = 0;
    m_nTickets[1] = m_nTickets[2] = 60 + 6 * m_nTarget;
    const int nMinutes = kMaps[m_nMap].m_nMinutes;
    m_nRoundLeft = nMinutes > 0 ? nMinutes * 60 : -1;
    m_strPhase = "pre";
    m_nPhaseLeft = kPreSteps;
    m_bPausedThisRound = false;
    ++m_counts.m_nRounds;
    Publish();
}

void CLiveMatch::Step() {
    ++m_counts.m_nSteps;
    m_vTouched.assign(m_state.m_vPlayers.size(), false);
    for (CSimPlayer& p : m_state.m_vPlayers)
        p.m_nPing = std::clamp(p.m_nPing + m_random.Range(-3, 3), 15, 250);

    if (m_strPhase == "openplaying") {
        PlayStep();
    } else if (--m_nPhaseLeft <= 0) {
        if (m_strPhase == "end") {
            StartRound();
        } else {  // "pre" or "pause"
            m_strPhase = "openplaying";
        }
    }
    JoinAndLeave();
    Publish();
}

void CLiveMatch::PlayStep() {
    if (m_nRoundLeft > 0) --m_nRoundLeft;
    if (!m_bPausedThisRound && m_random.Chance(1, 120)) {
        m_bPausedThisRound = true;
        m_strPhase = "pause";
        m_nPhaseLeft = m_random.Range(4, 10);
        ++m_counts.m_nPauses;
        return;
    }
    // Every player takes part in at most one event per step, so each event
    // shows as one clean change of that player's totals.
    const int nEvents = m_random.Range(0, 1 + m_nTarget / 12);
    for (int n = 0; n < nEvents; ++n) {
        const EEvent event = PickEvent(m_random.Range(1, 100));
        if (event == EEvent::Nothing) continue;
        const int nFirst = PickPlayer(0, true, -1);
        if (nFirst < 0) break;
        CSimPlayer& first = m_state.m_vPlayers[nFirst];
        if (event == EEvent::Kill || event == EEvent::Teamkill) {
            const bool bTeamkill = event == EEvent::Teamkill;
            const int nVictim = PickPlayer(first.m_nTeam, bTeamkill, nFirst);
            if (nVictim < 0) continue;
            m_vTouched[nVictim] = true;
            CSimPlayer& victim = m_state.m_vPlayers[nVictim];
            if (bTeamkill) {
                first.m_nScore -= 2;
                ++m_counts.m_nTeamkills;
            } else {
                ++first.m_nScore;
                ++first.m_nFrags;
                ++m_counts.m_nKills;
            }
            ++victim.m_nDeaths;
            LoseTicket(victim.m_nTeam);
        } else if (event == EEvent::Death) {
            ++first.m_nDeaths;
            ++m_counts.m_nDeaths;
            LoseTicket(first.m_nTeam);
        } else if (event == EEvent::Suicide) {
            first.m_nScore -= 2;
            ++first.m_nDeaths;
            ++m_counts.m_nSuicides;
            LoseTicket(first.m_nTeam);
        } else {  // flag capture: score without a frag
            first.m_nScore += 2;
            ++m_counts.m_nFlags;
        }
        m_vTouched[nFirst] = true;
    }
    // Ticket bleed: the side holding fewer flags (either, by chance) loses one.
    if (m_counts.m_nSteps % 4 == 0) LoseTicket(m_random.Range(1, 2));

    if (m_nTickets[1] <= 0 || m_nTickets[2] <= 0 || m_nRoundLeft == 0) {
        m_strPhase = "end";
        m_nPhaseLeft = kEndSteps;
    }
}

void CLiveMatch::JoinAndLeave() {
    auto& vPlayers = m_state.m_vPlayers;
    // Who leaves now comes back in a later step at the earliest.
    size_t nEligible = m_vGone.size();
    if (vPlayers.size() > 1 && m_random.Chance(1, 90)) {
        const int nIndex = m_random.Range(0, static_cast<int>(vPlayers.size()) - 1);
        if (m_vGone.size() >= static_cast<size_t>(kMaxPlayers)) {
            m_vGone.erase(m_vGone.begin());
            --nEligible;
        }
        m_vGone.push_back(vPlayers[static_cast<size_t>(nIndex)]);
        vPlayers.erase(vPlayers.begin() + nIndex);
        m_vTouched.erase(m_vTouched.begin() + nIndex);
        ++m_counts.m_nLeaves;
    }
    if (static_cast<int>(vPlayers.size()) < m_nTarget && m_random.Chance(1, 8)) {
        vPlayers.push_back(JoiningPlayer(nEligible));
        m_vTouched.push_back(true);
        ++m_counts.m_nJoins;
    }
}

int CLiveMatch::PickPlayer(int nTeam, bool bSameTeam, int nExclude) {
    std::vector<int> vCandidates;
    for (int n = 0; n < static_cast<int>(m_state.m_vPlayers.size()); ++n) {
        if (n == nExclude || m_vTouched[n]) continue;
        const bool bSame = m_state.m_vPlayers[n].m_nTeam == nTeam;
        if (nTeam == 0 || bSame == bSameTeam) vCandidates.push_back(n);
    }
    if (vCandidates.empty()) return -1;
    return vCandidates[m_random.Range(0, static_cast<int>(vCandidates.size()) - 1)];
}

void CLiveMatch::LoseTicket(int nTeam) {
    const int nIndex = nTeam == 2 ? 2 : 1;
    m_nTickets[nIndex] = std::max(0, m_nTickets[nIndex] - 1);
}

void CLiveMatch::Publish() {
    const CMapInfo& map = kMaps[m_nMap];
    m_state.SetKey("gamemode", m_strPhase);
    m_state.SetKey("mapname", map.m_pszName);
    m_state.SetKey("Time Limit",
                   map.m_nMinutes > 0 ? platform::IntToText(map.m_nMinutes) : "unlimited");
    m_state.SetKey("roundTime", platform::IntToText(map.m_nMinutes * 60));
    m_state.SetKey("roundTimeRemain", platform::IntToText(std::max(m_nRoundLeft, 0)));
    m_state.SetKey("tickets1", platform::IntToText(m_nTickets[1]));
    m_state.SetKey("tickets2", platform::IntToText(m_nTickets[2]));
    m_state.SetKey("Game Start Delay", platform::IntToText(kPreSteps) + "s");
    m_state.SetKey("maxplayers", platform::IntToText(kMaxPlayers));
}

}  // namespace bf42sim
