#include "monitor/Announcements.h"

#include <algorithm>
#include <optional>

#include "bridge/IrcLink.h"
#include "platform/Text.h"
#include "res/Languages.h"
#include "res/Resource.h"
#include "res/StringTable.h"

namespace monitor {
namespace {

// Literals stay split after "\x03" where a digit follows: a hex escape
// would swallow it.
constexpr char kColor = '\x03';

std::string Colored(std::string_view strColor) {
    std::string str(1, kColor);
    str += strColor;
    return str;
}

std::string Num(long long n) {
    return platform::IntToText(n);
}

std::string Phrase(const CAnnounceSettings& s, res::EPhrase ePhrase) {
    return res::LoadPhrase(s.m_nLangBase, ePhrase);
}

// "name (score/frags/deaths)" in the player's kill colour.
std::string KillPiece(const CAnnounceSettings& s, const CPlayerRecord& player) {
    return Colored(KillColorOf(s, player)) + player.m_strName + " (" + PlayerTotals(player) + ")";
}

std::string TicketPair(const CAnnounceSettings& s, std::string_view strLabel,
                       const CServerStatus& status) {
    return Colored(s.m_strKeyColor) + std::string(strLabel) + " \x03[" +
           Colored(s.m_strAlliedFlagColor) + status.m_strTickets2 +
           "\x03 : " + Colored(s.m_strAxisFlagColor) + status.m_strTickets1 + "\x03]";
}

std::string PlayerCount(const CServerStatus& status) {
    return Num(status.m_nNumPlayers) + "/" + Num(status.m_nMaxPlayers);
}

std::string Address(const CAnnounceSettings& s, const CServerStatus& status) {
    return s.m_strServer + ":" + Num(status.m_nHostPort) + ":" + Num(s.m_nQueryPort);
}

// Beats on score, then frags, then fewer deaths; a full tie keeps the earlier.
bool Beats(const CPlayerRecord& candidate, const CPlayerRecord& best) {
    if (candidate.m_nScore != best.m_nScore) return candidate.m_nScore > best.m_nScore;
    if (candidate.m_nFrags != best.m_nFrags) return candidate.m_nFrags > best.m_nFrags;
    return candidate.m_nDeaths < best.m_nDeaths;
}

int ClampedSlots(int nCount) {
    return std::clamp(nCount, 0, static_cast<int>(kPlayerSlots));
}

}  // namespace

std::string KeyValue(const CAnnounceSettings& s, std::string_view strKey,
                     std::string_view strValue) {
    std::string str = Colored(s.m_strKeyColor);
    str += strKey;
    str += " \x03[";
    str += Colored(s.m_strValueColor);
    str += strValue;
    str += "\x03]";
    return str;
}

std::string PlayerTotals(const CPlayerRecord& player) {
    return Num(player.m_nScore) + "/" + Num(player.m_nFrags) + "/" + Num(player.m_nDeaths);
}

const std::string& KillColorOf(const CAnnounceSettings& s, const CPlayerRecord& player) {
    return player.m_nTeam == 2 ? s.m_strAlliedKillColor : s.m_strAxisKillColor;
}

const std::string& FlagColorOf(const CAnnounceSettings& s, const CPlayerRecord& player) {
    return player.m_nTeam == 2 ? s.m_strAlliedFlagColor : s.m_strAxisFlagColor;
}

bool HasTicketStatus(std::string_view strVersion) {
    // char_traits<char> compares as unsigned bytes.
    return strVersion >= std::string_view(kTicketVersion);
}

std::string ShortFrame(const CAnnounceSettings& s, std::string_view strText) {
    return Colored(s.m_strKeyColor) + "* * * * * * \x03[" + Colored(s.m_strValueColor) +
           std::string(strText) + "\x03]" + Colored(s.m_strKeyColor) + " * * * * * * ";
}

std::string LongFrame(const CAnnounceSettings& s, std::string_view strText) {
    return Colored(s.m_strKeyColor) + "* * * * * * * * * * \x03[" + Colored(s.m_strValueColor) +
           std::string(strText) + "\x03]" + Colored(s.m_strKeyColor) + " * * * * * * * * * *";
}

std::string EventLine(const CAnnounceSettings& s, const CGameEvent& event) {
    const CPlayerRecord& player = event.m_player;
    switch (event.m_eKind) {
        case EGameEvent::BroadcastOpened:
            return ShortFrame(s, kTextBroadcastOpened);
        case EGameEvent::Suicide:
            return Colored(s.m_strStatusColor) + player.m_strName +
                   Phrase(s, res::EPhrase::Suicide);
        case EGameEvent::Flag:
            return Colored(FlagColorOf(s, player)) + player.m_strName +
                   Phrase(s, res::EPhrase::Flag);
        case EGameEvent::Teamkill:
            return Colored(s.m_strStatusColor) + player.m_strName +
                   Phrase(s, res::EPhrase::Teamkill);
        case EGameEvent::Kill:
            return KillPiece(s, player) + kColor + Phrase(s, res::EPhrase::Kill) +
                   KillPiece(s, event.m_victim);
        case EGameEvent::Death:
            return Colored(s.m_strStatusColor) + player.m_strName + Phrase(s, res::EPhrase::Death);
        case EGameEvent::OpeningBanner:
            break;
    }
    return std::string();
}

std::string MapChangedLine(const CAnnounceSettings& s, std::string_view strFrom,
                           std::string_view strTo) {
    return LongFrame(s, "Map changed from " + std::string(strFrom) + " to " + std::string(strTo));
}

std::string OutageLine(const CAnnounceSettings& s, bool bDown) {
    const res::EPhrase ePhrase = bDown ? res::EPhrase::ServerDown : res::EPhrase::ServerBack;
    std::string strText = Phrase(s, ePhrase);
    if (strText.empty()) strText = res::LoadPhrase(0, ePhrase);
    return LongFrame(s, strText);
}

std::string GameStartsInLine(const CAnnounceSettings& s, std::string_view strDelay) {
    return LongFrame(s, "game starts in " + std::string(strDelay));
}

std::string GameStartsLine(const CAnnounceSettings& s, std::string_view strTimeLimit) {
    if (strTimeLimit == kTimeUnlimited) return LongFrame(s, "game starts (timelimit: unlimited)");
    return LongFrame(s, "game starts (timelimit: " + std::string(strTimeLimit) + "m)");
}

std::array<std::string, 3> RankingLines(const CAnnounceSettings& s, const PlayerTable& players,
                                        const CServerStatus& status) {
    const int nSlots = ClampedSlots(status.m_nMaxPlayers);
    const int nRemovable = ClampedSlots(status.m_nNumPlayers);
    PlayerTable candidates;
    std::copy_n(players.begin(), nSlots, candidates.begin());

    std::array<std::string, 3> lines;
    for (size_t nPlace = 0; nPlace < lines.size(); ++nPlace) {
        CPlayerRecord best;
        for (int n = 0; n < nSlots; ++n) {
            if (Beats(candidates[static_cast<size_t>(n)], best))
                best = candidates[static_cast<size_t>(n)];
        }
        // Whoever shows no change from the winner goes with him (ties, and
        // equal frags with a score that moved by anything but 2).
        for (int n = 0; n < nRemovable; ++n) {
            CPlayerRecord& candidate = candidates[static_cast<size_t>(n)];
            if (best.ChangeCode(candidate) == "000") candidate = CPlayerRecord();
        }
        lines[nPlace] = Num(static_cast<long long>(nPlace) + 1) + ". ";
        if (best.m_nPing == -1)
            lines[nPlace] += Colored(s.m_strStatusColor) + " - ";
        else
            lines[nPlace] += KillPiece(s, best);
    }
    return lines;
}

std::string TicketStatusPiece(const CAnnounceSettings& s, const CServerStatus& status) {
    return TicketPair(s, "ticketstatus", status);
}

std::string EndScoreLine(const CAnnounceSettings& s, const CServerStatus& status) {
    return TicketPair(s, "endscore", status);
}

std::vector<std::string> GameEndLines(const CAnnounceSettings& s, const PlayerTable& players,
                                      const CServerStatus& status) {
    std::vector<std::string> lines{LongFrame(s, kTextGameEnds)};
    for (std::string& strPlace : RankingLines(s, players, status))
        lines.push_back(std::move(strPlace));
    if (HasTicketStatus(status.m_strServerVersion)) lines.push_back(EndScoreLine(s, status));
    return lines;
}

std::array<std::string, 8> OpeningBannerLines(const CAnnounceSettings& s,
                                              const CServerStatus& status) {
    const std::string strTitle =
        res::LoadResString(res::IDS_APPNAME) + " - " + res::LoadResString(res::IDS_ATTRIBUTION);
    const bool bUnlimited = status.m_strTimeLimit == kTimeUnlimited;
    return {
        ShortFrame(s, strTitle),
        KeyValue(s, "hostname", status.m_strHostname),
        KeyValue(s, "ip", Address(s, status)),
        KeyValue(s, "map", status.m_strMapName),
        KeyValue(s, "player", PlayerCount(status)),
        KeyValue(s, "mod", status.m_strMod + "/" + status.m_strGameType),
        KeyValue(s, "timelimit",
                 bUnlimited ? std::string(kTimeUnlimited) : status.m_strTimeLimit + "min"),
        KeyValue(s, "ticketratio", status.m_strTicketRatio),
    };
}

std::string InfoText(const CAnnounceSettings& s, const CServerStatus& status) {
    std::string str = KeyValue(s, "ip", Address(s, status)) + "  " +
                      KeyValue(s, "map", status.m_strMapName) + "  " +
                      KeyValue(s, "player", PlayerCount(status));
    if (HasTicketStatus(status.m_strServerVersion)) str += "  " + TicketStatusPiece(s, status);
    return str;
}

namespace {

void AnnounceAs(IGameOutput& out, std::string_view strLine, bool bStatus) {
    const std::string strSafe = platform::WithoutLineBreaks(strLine);
    if (strSafe.empty()) return;
    bridge::IIrcLink* pIrc = out.IrcLink();
    if (out.IsBroadcasting() && pIrc != nullptr) {
        if (bStatus) {
            pIrc->SendToChannel(strSafe);
        } else {
            pIrc->SendToChannelPaced(strSafe);
        }
    }
    out.AppendLog(strSafe);
}

}  // namespace

void Announce(IGameOutput& out, std::string_view strLine) {
    AnnounceAs(out, strLine, false);
}

void AnnounceStatus(IGameOutput& out, std::string_view strLine) {
    AnnounceAs(out, strLine, true);
}

void AnnounceEvent(IGameOutput& out, const CAnnounceSettings& s, const CGameEvent& event) {
    switch (event.m_eKind) {
        case EGameEvent::BroadcastOpened:
            out.AppendLog(platform::WithoutLineBreaks(EventLine(s, event)));
            break;
        case EGameEvent::OpeningBanner:
            break;  // the caller's, a line at a time
        default:
            Announce(out, EventLine(s, event));
            break;
    }
}

void AnswerRequest(IGameOutput& out, const CAnnounceSettings& s, const CServerStatus& status) {
    bridge::IIrcLink* pIrc = out.IrcLink();
    if (pIrc == nullptr) return;
    // Every request pending now, oldest first; the IRC side keeps only a
    // few, so this ends even while requests keep coming.
    for (size_t n = 0; n < kMaxRequestsPerAnswer; ++n) {
        const std::optional<bridge::CChannelRequest> request = pIrc->TakeRequest();
        if (!request) break;
        AnswerRequestText(out, s, status, *request);
    }
}

void AnswerRequestText(IGameOutput& out, const CAnnounceSettings& s, const CServerStatus& status,
                       const bridge::CChannelRequest& request) {
    bridge::IIrcLink* pIrc = out.IrcLink();
    if (pIrc == nullptr) return;
    switch (request.m_eKind) {
        case bridge::EChannelRequest::GameInfo:
            if (out.IsBroadcasting())
                pIrc->SendToChannel(platform::WithoutLineBreaks(InfoText(s, status)));
            return;
        case bridge::EChannelRequest::Join:
            break;
        default:
            return;
    }
    // Two blanks follow NOTICE, as they always have.
    const std::string strReply = Colored(s.m_strKeyColor) + res::LoadResString(res::IDS_APPNAME) +
                                 " \x03[\x03"
                                 "03ONLINE\x03]  " +
                                 InfoText(s, status);
    pIrc->SendLine(platform::WithoutLineBreaks("NOTICE  " + request.m_strNick + " :" + strReply));
}

}  // namespace monitor
