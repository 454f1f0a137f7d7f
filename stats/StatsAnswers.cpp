#include "stats/StatsAnswers.h"

#include <cstdint>

#include "platform/Text.h"
#include "query/Tokenizer.h"
#include "res/Resource.h"
#include "res/StringTable.h"
#include "stats/RoundRecord.h"

namespace stats {
namespace {

// Literals stay split after "\x03" where a digit follows.
constexpr char kColor = '\x03';

std::string Colored(std::string_view strColor) {
    std::string str(1, kColor);
    str += strColor;
    return str;
}

std::string Num(int64_t n) {
    return platform::IntToText(n);
}

std::string Shown(std::string_view strName) {
    return std::string(strName.substr(0, kMaxShownName));
}

std::string Word(const monitor::CAnnounceSettings& s, int nRole) {
    return StatsWord(s.m_nLangBase, nRole);
}

std::string Pair(const monitor::CAnnounceSettings& s, int nRole, std::string_view strValue) {
    return monitor::KeyValue(s, Word(s, nRole), strValue);
}

std::string Status(const monitor::CAnnounceSettings& s, std::string_view strText) {
    return Colored(s.m_strStatusColor) + std::string(strText);
}

// Adds "  " and the piece when the line still holds it.
bool Append(std::string& strLine, const std::string& strPiece) {
    if (strLine.size() + 2 + strPiece.size() > kMaxAnswerBytes) return false;
    if (!strLine.empty()) strLine += "  ";
    strLine += strPiece;
    return true;
}

// The line as it may leave: one protocol line, never longer than allowed.
std::string Finished(std::string strLine) {
    strLine = platform::WithoutLineBreaks(strLine);
    if (strLine.size() > kMaxAnswerBytes) strLine.resize(kMaxAnswerBytes);
    return strLine;
}

int KindWord(ETopKind eKind) {
    switch (eKind) {
        case ETopKind::Kills:
            return res::IDS_STATS_KILLS;
        case ETopKind::KillsPerDeath:
            return res::IDS_STATS_KD;
        case ETopKind::Flags:
            return res::IDS_STATS_FLAGS;
        case ETopKind::Teamkills:
            return res::IDS_STATS_TEAMKILLS;
    }
    return res::IDS_STATS_KILLS;
}

int PeriodWord(ETopPeriod ePeriod) {
    switch (ePeriod) {
        case ETopPeriod::Today:
            return res::IDS_STATS_TODAY;
        case ETopPeriod::Week:
            return res::IDS_STATS_WEEK;
        case ETopPeriod::All:
            return res::IDS_STATS_ALL_TIME;
    }
    return res::IDS_STATS_ALL_TIME;
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(int64_t nDays, int64_t* pYear, int* pMonth, int* pDay) {
    nDays += 719468;
    const int64_t nEra = (nDays >= 0 ? nDays : nDays - 146096) / 146097;
    const int64_t nDoe = nDays - nEra * 146097;
    const int64_t nYoe = (nDoe - nDoe / 1460 + nDoe / 36524 - nDoe / 146096) / 365;
    const int64_t nDoy = nDoe - (365 * nYoe + nYoe / 4 - nYoe / 100);
    const int64_t nMp = (5 * nDoy + 2) / 153;
    *pDay = static_cast<int>(nDoy - (153 * nMp + 2) / 5 + 1);
    *pMonth = static_cast<int>(nMp < 10 ? nMp + 3 : nMp - 9);
    *pYear = nYoe + nEra * 400 + (*pMonth <= 2 ? 1 : 0);
}

std::string TwoDigits(int64_t n) {
    return (n < 10 ? "0" : "") + Num(n);
}

}  // namespace

std::string StatsWord(int32_t nLangBase, int nRole) {
    const bool bLanguage = nLangBase >= 0 && nLangBase % res::IDS_LANGUAGE_STRIDE == 0 &&
                           nLangBase / res::IDS_LANGUAGE_STRIDE < res::kLanguageCount;
    if (nRole < res::IDS_STATS_FIRST || nRole > res::IDS_STATS_LAST) return std::string();
    return res::LoadResString((bLanguage ? nLangBase : 0) + nRole);
}

std::optional<CTopRequest> ParseTopArgs(std::string_view strArgs) {
    struct CWord {
        const char* m_pszWord;
        bool m_bKind;
        ETopKind m_eKind;
        ETopPeriod m_ePeriod;
    };
    static const CWord kWords[] = {
        {"kills", true, ETopKind::Kills, ETopPeriod::All},
        {"kd", true, ETopKind::KillsPerDeath, ETopPeriod::All},
        {"flags", true, ETopKind::Flags, ETopPeriod::All},
        {"tk", true, ETopKind::Teamkills, ETopPeriod::All},
        {"today", false, ETopKind::Kills, ETopPeriod::Today},
        {"week", false, ETopKind::Kills, ETopPeriod::Week},
        {"all", false, ETopKind::Kills, ETopPeriod::All},
    };
    CTopRequest request;
    bool bKind = false;
    bool bPeriod = false;
    // Words are runs of anything but blanks, as the bot splits words.
    query::CTokenizer words(platform::ToLowerAscii(strArgs), " ");
    std::string word;
    while (words.NextToken(word)) {
        const CWord* pFound = nullptr;
        for (const CWord& w : kWords)
            if (word == w.m_pszWord) pFound = &w;
        if (pFound == nullptr) return std::nullopt;
        bool& bTaken = pFound->m_bKind ? bKind : bPeriod;
        if (bTaken) return std::nullopt;
        bTaken = true;
        if (pFound->m_bKind)
            request.m_eKind = pFound->m_eKind;
        else
            request.m_ePeriod = pFound->m_ePeriod;
    }
    return request;
}

std::string UtcTimeText(int64_t nUnixTime) {
    const int64_t nDaySeconds = 86400;
    int64_t nDays = nUnixTime / nDaySeconds;
    int64_t nSeconds = nUnixTime % nDaySeconds;
    if (nSeconds < 0) {
        nSeconds += nDaySeconds;
        --nDays;
    }
    int64_t nYear = 0;
    int nMonth = 0, nDay = 0;
    CivilFromDays(nDays, &nYear, &nMonth, &nDay);
    return Num(nYear) + "-" + TwoDigits(nMonth) + "-" + TwoDigits(nDay) + " " +
           TwoDigits(nSeconds / 3600) + ":" + TwoDigits(nSeconds / 60 % 60) + " UTC";
}

std::string HundredthsText(int64_t nHundredths) {
    const bool bNegative = nHundredths < 0;
    const uint64_t nAbs =
        bNegative ? 0 - static_cast<uint64_t>(nHundredths) : static_cast<uint64_t>(nHundredths);
    const uint64_t nCents = nAbs % 100;
    return std::string(bNegative ? "-" : "") +
           platform::IntToText(static_cast<long long>(nAbs / 100)) + "." +
           (nCents < 10 ? "0" : "") + platform::IntToText(static_cast<long long>(nCents));
}

int64_t KillsPerDeath(int64_t nKills, int64_t nDeaths) {
    // 128 bits: totals of any size neither overflow nor wrap.
    const __int128 nDivisor = nDeaths > 1 ? nDeaths : 1;
    const __int128 nRatio = (static_cast<__int128>(nKills) * 100 + nDivisor / 2) / nDivisor;
    return nRatio > INT64_MAX   ? INT64_MAX
           : nRatio < INT64_MIN ? INT64_MIN
                                : static_cast<int64_t>(nRatio);
}

std::string PlayerStatsLine(const monitor::CAnnounceSettings& s, std::string_view strAsked,
                            const std::optional<CPlayerStats>& stats) {
    if (!stats) {
        return Finished(Pair(s, res::IDS_STATS_PLAYER, Shown(strAsked)) + "  " +
                        Status(s, Word(s, res::IDS_STATS_NO_STATS)));
    }
    const CPlayerStats& p = *stats;
    std::string strLine = Pair(s, res::IDS_STATS_PLAYER, Shown(p.m_strName));
    Append(strLine, Pair(s, res::IDS_STATS_KILLS, Num(p.m_nKills)));
    Append(strLine, Pair(s, res::IDS_STATS_DEATHS, Num(p.m_nDeaths)));
    Append(strLine,
           Pair(s, res::IDS_STATS_KD, HundredthsText(KillsPerDeath(p.m_nKills, p.m_nDeaths))));
    Append(strLine, Pair(s, res::IDS_STATS_TEAMKILLS, Num(p.m_nTeamkills)));
    Append(strLine, Pair(s, res::IDS_STATS_FLAGS, Num(p.m_nFlags)));
    Append(strLine, Pair(s, res::IDS_STATS_ROUNDS, Num(p.m_nRounds)));
    Append(strLine, Pair(s, res::IDS_STATS_LAST_SEEN, UtcTimeText(p.m_nLastSeen)));
    // Other names, newest first, as many as the line holds.
    std::string strNames;
    for (const std::string& strName : p.m_vOtherNames) {
        const std::string strMore = (strNames.empty() ? "" : ", ") + Shown(strName);
        const std::string strPiece = Pair(s, res::IDS_STATS_ALSO_KNOWN, strNames + strMore);
        if (strLine.size() + 2 + strPiece.size() > kMaxAnswerBytes) break;
        strNames += strMore;
    }
    if (!strNames.empty()) Append(strLine, Pair(s, res::IDS_STATS_ALSO_KNOWN, strNames));
    return Finished(strLine);
}

std::string TopLine(const monitor::CAnnounceSettings& s, const CTopRequest& request,
                    const std::vector<CTopEntry>& entries) {
    const std::string strTitle = Word(s, res::IDS_STATS_TOP) + " " +
                                 Word(s, KindWord(request.m_eKind)) + " (" +
                                 Word(s, PeriodWord(request.m_ePeriod)) + ")";
    if (entries.empty())
        return Finished(Colored(s.m_strKeyColor) + strTitle + "  " +
                        Status(s, Word(s, res::IDS_STATS_NO_STATS)));
    std::string strPlaces;
    for (size_t n = 0; n < entries.size() && n < kTopPlaces; ++n) {
        const CTopEntry& e = entries[n];
        const std::string strFigure = request.m_eKind == ETopKind::KillsPerDeath
                                          ? HundredthsText(e.m_nValue)
                                          : Num(e.m_nValue);
        const std::string strMore = (strPlaces.empty() ? "" : "  ") +
                                    Num(static_cast<int64_t>(n) + 1) + ". " + Shown(e.m_strName) +
                                    " (" + strFigure + ")";
        if (monitor::KeyValue(s, strTitle, strPlaces + strMore).size() > kMaxAnswerBytes) break;
        strPlaces += strMore;
    }
    return Finished(monitor::KeyValue(s, strTitle, strPlaces));
}

std::string LastRoundLine(const monitor::CAnnounceSettings& s,
                          const std::optional<CRoundSummary>& round) {
    if (!round) {
        return Finished(Colored(s.m_strKeyColor) + Word(s, res::IDS_STATS_LAST_ROUND) + "  " +
                        Status(s, Word(s, res::IDS_STATS_NO_STATS)));
    }
    const CRoundSummary& r = *round;
    std::string strLine = Pair(s, res::IDS_STATS_LAST_ROUND, Shown(r.m_strMap));
    const int nWinner = r.m_nWinner == kWinnerAllies ? res::IDS_STATS_ALLIES
                        : r.m_nWinner == kWinnerAxis ? res::IDS_STATS_AXIS
                                                     : res::IDS_STATS_DRAW;
    Append(strLine, Pair(s, res::IDS_STATS_WINNER, Word(s, nWinner)));
    if (r.m_nTicketsAxis && r.m_nTicketsAllies) {
        // Allied tickets in the Allied flag colour first, as the end score shows them.
        Append(strLine, Colored(s.m_strKeyColor) + Word(s, res::IDS_STATS_TICKETS) + " \x03[" +
                            Colored(s.m_strAlliedFlagColor) + Num(*r.m_nTicketsAllies) + "\x03 : " +
                            Colored(s.m_strAxisFlagColor) + Num(*r.m_nTicketsAxis) + "\x03]");
    }
    for (size_t n = 0; n < r.m_vTop.size() && n < 3; ++n) {
        const CRoundPlace& place = r.m_vTop[n];
        monitor::CPlayerRecord record;
        record.m_nTeam = place.m_nTeam;
        const std::string strPiece = Num(static_cast<int64_t>(n) + 1) + ". " +
                                     Colored(monitor::KillColorOf(s, record)) +
                                     Shown(place.m_strName) + " (" + Num(place.m_nScore) + "/" +
                                     Num(place.m_nKills) + "/" + Num(place.m_nDeaths) + ")\x03";
        if (!Append(strLine, strPiece)) break;
    }
    return Finished(strLine);
}

std::string SeenLine(const monitor::CAnnounceSettings& s, std::string_view strAsked,
                     const std::optional<CSeen>& seen, bool bPlayingNow) {
    const std::string strName = seen ? seen->m_strName : std::string(strAsked);
    std::string strLine = Pair(s, res::IDS_STATS_SEEN, Shown(strName));
    if (bPlayingNow) {
        Append(strLine, Status(s, Word(s, res::IDS_STATS_PLAYING_NOW)));
    } else if (!seen) {
        Append(strLine, Status(s, Word(s, res::IDS_STATS_NEVER_SEEN)));
    } else {
        Append(strLine, Pair(s, res::IDS_STATS_LAST_SEEN, UtcTimeText(seen->m_nLastSeen)));
        if (seen->m_strNowName != seen->m_strName)
            Append(strLine, Pair(s, res::IDS_STATS_PLAYER, Shown(seen->m_strNowName)));
    }
    return Finished(strLine);
}

std::string UsageLine(const monitor::CAnnounceSettings& s, std::string_view strUsage) {
    return Finished(Status(s, Word(s, res::IDS_STATS_USAGE) + ": " + std::string(strUsage)));
}

std::string StatsOffLine(const monitor::CAnnounceSettings& s) {
    return Finished(Status(s, Word(s, res::IDS_STATS_OFF)));
}

}  // namespace stats
