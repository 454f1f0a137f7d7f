#include "monitor/EventInference.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

namespace monitor {
namespace {

// One poll's lists of players, each at most kMaxEventEntries long: many
// slots with several kills each could otherwise need more.
using CEventList = std::vector<CPlayerRecord>;

void AddEntry(CEventList& list, const CPlayerRecord& record) {
    if (list.size() < kMaxEventEntries) list.push_back(record);
}

// A total lowered by a few kills; totals at the 32-bit limit stay there.
int32_t LowerBy(int32_t nTotal, int nBy) {
    const int64_t n = int64_t{nTotal} - nBy;
    return static_cast<int32_t>(std::max<int64_t>(n, std::numeric_limits<int32_t>::min()));
}

void AddEvent(CPollEvents& out, EGameEvent eKind, const CPlayerRecord& player,
              const CPlayerRecord& victim = CPlayerRecord()) {
    out.m_events.push_back(CGameEvent{eKind, player, victim});
}

struct CScanLists {
    CEventList m_kills;
    CEventList m_deaths;
    CEventList m_flags;
    CEventList m_teamkills;
};

// Classifies one slot's change; a suicide is an event of its own at once.
void ClassifySlot(const std::string& strCode, const CPlayerRecord& player, CScanLists& lists,
                  bool bSuicidesShown, CPollEvents& out) {
    if (strCode[0] == '1') {
        // One entry per kill, showing the killer's totals after each kill in
        // turn; the last one equals the current record.
        const int nKills = (strCode[1] >= '0' && strCode[1] <= '9') ? strCode[1] - '0' : 0;
        for (int j = 1; j <= nKills; ++j) {
            CPlayerRecord entry = player;
            entry.m_nScore = LowerBy(player.m_nScore, nKills - j);
            entry.m_nFrags = LowerBy(player.m_nFrags, nKills - j);
            AddEntry(lists.m_kills, entry);
        }
    } else if (strCode == "001") {
        AddEntry(lists.m_deaths, player);
    } else if (strCode == "200") {
        AddEntry(lists.m_flags, player);
    } else if (strCode == "300") {
        AddEntry(lists.m_teamkills, player);
    } else if (strCode == "301") {
        if (bSuicidesShown) AddEvent(out, EGameEvent::Suicide, player);
    }
}

// Pairs each of the first P kills with the first death among the first P
// deaths that is on another team; a victim is used up (reset) even when
// kills are not shown, so it is not announced as a plain death either.
void PairKills(CScanLists& lists, bool bShowKill, CPollEvents& out) {
    const size_t nPairs = std::min(lists.m_kills.size(), lists.m_deaths.size());
    for (size_t i = 0; i < nPairs; ++i) {
        const CPlayerRecord& killer = lists.m_kills[i];
        for (size_t j = 0; j < nPairs; ++j) {
            CPlayerRecord& death = lists.m_deaths[j];
            if (death.m_nTeam == killer.m_nTeam || death.m_nPing == -1) continue;
            const CPlayerRecord victim = death;
            death = CPlayerRecord();
            if (bShowKill) AddEvent(out, EGameEvent::Kill, killer, victim);
            break;
        }
    }
}

}  // namespace

CPollEvents InferEvents(CInferenceRun& run, const CServerStatus& current, PlayerTable& players,
                        CServerStatus& previous, const CEventFilters& filters, bool bInChannel,
                        bool bBroadcast) {
    CPollEvents out;
    CScanLists lists;

    // A reply may claim more slots than the table has, or a negative count.
    const int nMaxSlots = std::clamp<int>(current.m_nMaxPlayers, 0, static_cast<int>(kPlayerSlots));
    const int nNumPlayers = current.m_nNumPlayers;
    const bool bSuicidesShown = run.m_bBannerPosted && filters.m_bShowTk;

    for (int n = 0; n < nMaxSlots; ++n) {
        CPlayerRecord& player = players[static_cast<size_t>(n)];
        CPlayerRecord& before = run.m_previous[static_cast<size_t>(n)];
        if (n < nNumPlayers)
            ClassifySlot(before.ChangeCode(player), player, lists, bSuicidesShown, out);
        else
            player = CPlayerRecord();
        before = player;
    }

    // The first two polls of a run only fill the previous table.
    if (run.m_nPolls < 2) {
        if (run.m_nPolls == 0) AddEvent(out, EGameEvent::BroadcastOpened, CPlayerRecord());
        ++run.m_nPolls;
        out.m_bStopHere = true;
        return out;
    }

    // Someone left: the slots have shifted, so this poll's changes mean
    // nothing; the next poll compares against the shifted table.
    if (previous.m_nNumPlayers > current.m_nNumPlayers) {
        previous.m_nNumPlayers = current.m_nNumPlayers;
        out.m_bStopHere = true;
        return out;
    }

    if (!lists.m_flags.empty() && run.m_bBannerPosted && filters.m_bShowFlag) {
        for (const CPlayerRecord& player : lists.m_flags) AddEvent(out, EGameEvent::Flag, player);
    }

    // A score of -2 alone counts as a teamkill only when someone died in
    // the same poll.
    if (!lists.m_teamkills.empty() && !lists.m_deaths.empty() && run.m_bBannerPosted &&
        filters.m_bShowTk) {
        for (const CPlayerRecord& player : lists.m_teamkills)
            AddEvent(out, EGameEvent::Teamkill, player);
    }

    if (!run.m_bBannerPosted && bInChannel && bBroadcast) {
        AddEvent(out, EGameEvent::OpeningBanner, CPlayerRecord());
        run.m_bBannerPosted = true;
    }

    PairKills(lists, filters.m_bShowKill, out);

    // Deaths beyond the kills' count; victims used up above are skipped.
    const size_t nKills = lists.m_kills.size();
    const size_t nDeaths = lists.m_deaths.size();
    if (nDeaths > nKills && filters.m_bShowTk) {
        for (size_t j = 0; j < nDeaths - nKills; ++j) {
            if (lists.m_deaths[j].m_nPing != -1)
                AddEvent(out, EGameEvent::Death, lists.m_deaths[j]);
        }
    }
    return out;
}

}  // namespace monitor
