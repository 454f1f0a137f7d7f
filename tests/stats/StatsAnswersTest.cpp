// The statistics answers' wording: the words of all eight languages, the
// colour roles, the "!top" arguments, times and ratios, names as they are,
// and the 400-byte bound.
#include "stats/StatsAnswers.h"

#include <gtest/gtest.h>

#include <ostream>

#include "platform/Text.h"
#include "res/Resource.h"
#include "stats/NameFold.h"
#include "stats/RoundRecord.h"

using namespace stats;

namespace {

monitor::CAnnounceSettings Colors(int32_t nLangBase = 0) {
    monitor::CAnnounceSettings s;
    s.m_strAlliedKillColor = "12";
    s.m_strAxisKillColor = "05";
    s.m_strAlliedFlagColor = "11";
    s.m_strAxisFlagColor = "13";
    s.m_strStatusColor = "07";
    s.m_strKeyColor = "14";
    s.m_strValueColor = "04";
    s.m_nLangBase = nLangBase;
    return s;
}

// A label in the key colour and its value in brackets in the value colour.
std::string KV(const std::string& strKey, const std::string& strValue) {
    return "\x03"
           "14" +
           strKey + " \x03[\x03" + "04" + strValue + "\x03]";
}
std::string StatusText(const std::string& strText) {
    return "\x03"
           "07" +
           strText;
}

struct CWordRow {
    const char* m_pszName;
    int32_t m_nLanguage;
    // Kills, last seen, never seen, Allies, statistics are off: typed in
    // UTF-8 here, on their own, so that a wrong byte in the table shows.
    const char* m_pszWords[5];
};
void PrintTo(const CWordRow& row, std::ostream* pOut) {
    *pOut << row.m_pszName;
}

const CWordRow kWords[] = {
    {"English", 0, {"kills", "last seen", "never seen", "Allies", "statistics are off"}},
    {"German",
     1,
     {"Abschüsse", "zuletzt gesehen", "nie gesehen", "Alliierte", "Statistik ist aus"}},
    {"French",
     2,
     {"victimes", "vu pour la dernière fois", "jamais vu", "Alliés", "statistiques désactivées"}},
    {"Spanish",
     3,
     {"bajas", "visto por última vez", "nunca visto", "Aliados", "estadísticas desactivadas"}},
    {"Swedish", 4, {"dödat", "senast sedd", "aldrig sedd", "De allierade", "statistiken är av"}},
    {"Icelandic", 5, {"dráp", "síðast séður", "aldrei séður", "Bandamenn", "tölfræði er óvirk"}},
    {"Dutch",
     6,
     {"kills", "laatst gezien", "nooit gezien", "Geallieerden", "statistieken staan uit"}},
    {"Finnish",
     7,
     {"tapot", "viimeksi nähty", "ei koskaan nähty", "Liittoutuneet", "tilastot ovat pois päältä"}},
};

class StatsWords : public testing::TestWithParam<CWordRow> {};

TEST_P(StatsWords, AreWindows1252AndEveryRoleHasOne) {
    const CWordRow& row = GetParam();
    const int32_t nBase = row.m_nLanguage * res::IDS_LANGUAGE_STRIDE;
    const int kRoles[] = {res::IDS_STATS_KILLS, res::IDS_STATS_LAST_SEEN, res::IDS_STATS_NEVER_SEEN,
                          res::IDS_STATS_ALLIES, res::IDS_STATS_OFF};
    for (int n = 0; n < 5; ++n)
        EXPECT_EQ(StatsWord(nBase, kRoles[n]), platform::Utf8ToCp1252(row.m_pszWords[n])) << n;
    for (int nRole = res::IDS_STATS_FIRST; nRole <= res::IDS_STATS_LAST; ++nRole) {
        const std::string str = StatsWord(nBase, nRole);
        EXPECT_FALSE(str.empty()) << nRole;
        EXPECT_EQ(str.find_first_of("\r\n\x03"), std::string::npos) << nRole;
        EXPECT_LE(str.size(), 32u) << nRole;
    }
}

INSTANTIATE_TEST_SUITE_P(AllLanguages, StatsWords, testing::ValuesIn(kWords),
                         [](const testing::TestParamInfo<CWordRow>& info) {
                             return std::string(info.param.m_pszName);
                         });

TEST(StatsWords, ABaseThatIsNoLanguagesGivesEnglishAndOtherIdsNothing) {
    for (const int32_t nBase : {-100, -1, 7, 150, 800, INT32_MAX, INT32_MIN})
        EXPECT_EQ(StatsWord(nBase, res::IDS_STATS_KILLS), "kills") << nBase;
    EXPECT_EQ(StatsWord(0, res::IDS_PHRASE_KILL), "");  // an event phrase is no answer word
    EXPECT_EQ(StatsWord(0, res::IDS_STATS_LAST + 1), "");
}

TEST(TopArgs, WordsInEitherOrderAndAnyCase) {
    struct {
        const char* m_pszName;
        const char* m_pszArgs;
        std::optional<CTopRequest> m_expected;
    } const kRows[] = {
        {"NothingIsKillsOfAllTime", "", CTopRequest{ETopKind::Kills, ETopPeriod::All}},
        {"KindAndPeriod", "kd week", CTopRequest{ETopKind::KillsPerDeath, ETopPeriod::Week}},
        {"PeriodFirstUpperCase", "TODAY Flags", CTopRequest{ETopKind::Flags, ETopPeriod::Today}},
        {"KindAlone", "tk", CTopRequest{ETopKind::Teamkills, ETopPeriod::All}},
        {"PeriodAlone", "week", CTopRequest{ETopKind::Kills, ETopPeriod::Week}},
        {"BlanksAround", "  kills   all ", CTopRequest{ETopKind::Kills, ETopPeriod::All}},
        {"UnknownWord", "deaths", std::nullopt},
        {"TwoKinds", "kills kd", std::nullopt},
        {"TwoPeriods", "week today", std::nullopt},
        {"OneWordTooMany", "kills week now", std::nullopt},
        {"Glued", "killsweek", std::nullopt},
    };
    for (const auto& row : kRows)
        EXPECT_EQ(ParseTopArgs(row.m_pszArgs), row.m_expected) << row.m_pszName;
}

TEST(StatsText, TimesAreUtcAndRatiosIgnoreTheLocale) {
    const struct {
        int64_t m_nTime;
        const char* m_pszText;
    } kTimes[] = {
        {0, "1970-01-01 00:00 UTC"},         {1700000000, "2023-11-14 22:13 UTC"},
        {951782400, "2000-02-29 00:00 UTC"}, {4102444799, "2099-12-31 23:59 UTC"},
        {-1, "1969-12-31 23:59 UTC"},
    };
    for (const auto& row : kTimes)
        EXPECT_EQ(UtcTimeText(row.m_nTime), row.m_pszText) << row.m_nTime;
    const struct {
        int64_t m_nKills, m_nDeaths;
        const char* m_pszRatio;
    } kRatios[] = {
        {10, 4, "2.50"}, {1, 3, "0.33"}, {2, 3, "0.67"},      {5, 0, "5.00"},
        {0, 0, "0.00"},  {7, 1, "7.00"}, {1000, 7, "142.86"},
    };
    for (const auto& row : kRatios)
        EXPECT_EQ(HundredthsText(KillsPerDeath(row.m_nKills, row.m_nDeaths)), row.m_pszRatio)
            << row.m_nKills << "/" << row.m_nDeaths;
    EXPECT_EQ(HundredthsText(-205), "-2.05");
}

CPlayerStats Ann() {
    CPlayerStats p;
    p.m_strName = "Ann";
    p.m_nKills = 12;
    p.m_nDeaths = 5;
    p.m_nTeamkills = 1;
    p.m_nFlags = 3;
    p.m_nRounds = 2;
    p.m_nLastSeen = 1700000000;
    p.m_vOtherNames = {"Annie", "A."};
    return p;
}

CRoundSummary Wake() {
    CRoundSummary r;
    r.m_strMap = "wake";
    r.m_nWinner = kWinnerAllies;
    r.m_nTicketsAxis = 0;
    r.m_nTicketsAllies = 57;
    r.m_vTop = {{"Ann", 2, 30, 25, 3}, {"Bob", 1, 20, 18, 9}, {"Cid", 2, 5, 4, 4}};
    return r;
}

struct CLineRow {
    const char* m_pszName;
    std::string m_strLine;
    std::string m_strExpected;
};
void PrintTo(const CLineRow& row, std::ostream* pOut) {
    *pOut << row.m_pszName;
}

class AnswerLines : public testing::TestWithParam<CLineRow> {};

TEST_P(AnswerLines, FollowTheColourRoles) {
    EXPECT_EQ(GetParam().m_strLine, GetParam().m_strExpected);
}

const monitor::CAnnounceSettings s = Colors();

INSTANTIATE_TEST_SUITE_P(
    English, AnswerLines,
    testing::Values(
        CLineRow{"Stats", PlayerStatsLine(s, "ann", Ann()),
                 KV("player", "Ann") + "  " + KV("kills", "12") + "  " + KV("deaths", "5") + "  " +
                     KV("K/D", "2.40") + "  " + KV("teamkills", "1") + "  " + KV("flags", "3") +
                     "  " + KV("rounds", "2") + "  " + KV("last seen", "2023-11-14 22:13 UTC") +
                     "  " + KV("also known as", "Annie, A.")},
        CLineRow{"StatsOfNobody", PlayerStatsLine(s, "Zed", std::nullopt),
                 KV("player", "Zed") + "  " + StatusText("no statistics")},
        CLineRow{"Top",
                 TopLine(s, {ETopKind::Kills, ETopPeriod::Week},
                         {{"Ann", 40, 40, 10}, {"Bob", 31, 31, 20}}),
                 KV("top kills (last 7 days)", "1. Ann (40)  2. Bob (31)")},
        CLineRow{"TopByRatio",
                 TopLine(s, {ETopKind::KillsPerDeath, ETopPeriod::Today}, {{"Ann", 250, 10, 4}}),
                 KV("top K/D (last 24 hours)", "1. Ann (2.50)")},
        CLineRow{"TopOfNothing", TopLine(s, {ETopKind::Teamkills, ETopPeriod::All}, {}),
                 "\x03"
                 "14top teamkills (all time)  " +
                     StatusText("no statistics")},
        CLineRow{"LastRound", LastRoundLine(s, Wake()),
                 KV("last round", "wake") + "  " + KV("winner", "Allies") +
                     "  \x03"
                     "14tickets \x03[\x03"
                     "1157\x03 : \x03"
                     "130\x03]  1. \x03"
                     "12Ann (30/25/3)\x03  2. \x03"
                     "05Bob (20/18/9)\x03  3. \x03"
                     "12Cid (5/4/4)\x03"},
        CLineRow{"LastRoundWithoutTicketsOrWinner",
                 [] {
                     CRoundSummary r = Wake();
                     r.m_nTicketsAxis.reset();
                     r.m_nWinner = kWinnerNone;
                     r.m_vTop.resize(1);
                     return LastRoundLine(s, r);
                 }(),
                 KV("last round", "wake") + "  " + KV("winner", "draw") +
                     "  1. \x03"
                     "12Ann (30/25/3)\x03"},
        CLineRow{"NoLastRound", LastRoundLine(s, std::nullopt),
                 "\x03"
                 "14last round  " +
                     StatusText("no statistics")},
        CLineRow{"Seen", SeenLine(s, "ANN", CSeen{"Ann", 1700000000, "Ann", 1700000000}, false),
                 KV("seen", "Ann") + "  " + KV("last seen", "2023-11-14 22:13 UTC")},
        CLineRow{"SeenUnderAnotherNameNow",
                 SeenLine(s, "Ann", CSeen{"Ann", 1700000000, "Annie", 1700003600}, false),
                 KV("seen", "Ann") + "  " + KV("last seen", "2023-11-14 22:13 UTC") + "  " +
                     KV("player", "Annie")},
        CLineRow{"SeenPlayingNow", SeenLine(s, "Ann", std::nullopt, true),
                 KV("seen", "Ann") + "  " + StatusText("playing now")},
        CLineRow{"NeverSeen", SeenLine(s, "Zed", std::nullopt, false),
                 KV("seen", "Zed") + "  " + StatusText("never seen")},
        CLineRow{"Usage", UsageLine(s, "!seen NAME"), StatusText("usage: !seen NAME")},
        CLineRow{"Off", StatsOffLine(s), StatusText("statistics are off")}),
    [](const testing::TestParamInfo<CLineRow>& info) { return std::string(info.param.m_pszName); });

INSTANTIATE_TEST_SUITE_P(
    Languages, AnswerLines,
    testing::Values(CLineRow{"GermanLastRound", LastRoundLine(Colors(100), std::nullopt),
                             "\x03"
                             "14letzte Runde  " +
                                 StatusText("keine Statistik")},
                    CLineRow{"FinnishTop",
                             TopLine(Colors(700), {ETopKind::Flags, ETopPeriod::Week}, {}),
                             "\x03"
                             "14parhaat liput (viimeiset 7 p\xE4iv\xE4\xE4)  " +
                                 StatusText("ei tilastoja")},
                    CLineRow{"FrenchSeen", SeenLine(Colors(200), "Zed", std::nullopt, false),
                             KV("vu", "Zed") + "  " + StatusText("jamais vu")}),
    [](const testing::TestParamInfo<CLineRow>& info) { return std::string(info.param.m_pszName); });

// Names reach the channel byte for byte, only CR, LF and NUL taken out
// (they would end the IRC line), and cut at kMaxShownName.
TEST(AnswerLines, NamesAreShownAsTheyAre) {
    const struct {
        const char* m_pszName;
        std::string m_strName;
        std::string m_strShown;
    } kRows[] = {
        {"Quotes", "O'Neil \"Tex\"", "O'Neil \"Tex\""},
        {"Percent", "100%_sure", "100%_sure"},
        {"Backslash", "C:\\dos\\", "C:\\dos\\"},
        {"ControlBytes",
         "a\x01"
         "b\x02"
         "c\x1f",
         "a\x01"
         "b\x02"
         "c\x1f"},
        {"Windows1252", "J\xFCrgen \x80\x9F\xFF", "J\xFCrgen \x80\x9F\xFF"},
        {"Injection", "'; DROP TABLE rounds; --", "'; DROP TABLE rounds; --"},
        {"LineBreaks", "a\r\nPRIVMSG #x :hi", "aPRIVMSG #x :hi"},
        {"Long", std::string(100, 'x'), std::string(kMaxShownName, 'x')},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.m_pszName);
        CPlayerStats p = Ann();
        p.m_strName = row.m_strName;
        p.m_vOtherNames.clear();
        EXPECT_TRUE(PlayerStatsLine(s, "x", p).starts_with(KV("player", row.m_strShown) + "  "));
        EXPECT_EQ(SeenLine(s, row.m_strName, std::nullopt, false),
                  KV("seen", row.m_strShown) + "  " + StatusText("never seen"));
    }
}

TEST(AnswerLines, EveryLineFitsIn400BytesWithTheLongestNames) {
    const std::string strLong(kMaxStoredText, '\xE9');
    CPlayerStats p = Ann();
    p.m_strName = strLong;
    p.m_nKills = p.m_nDeaths = p.m_nFlags = p.m_nTeamkills = p.m_nRounds = INT64_MAX;
    p.m_vOtherNames.assign(kMaxOtherNames, strLong);
    std::vector<CTopEntry> top(kTopPlaces, CTopEntry{strLong, INT64_MAX, INT64_MAX, 0});
    CRoundSummary r = Wake();
    for (auto& place : r.m_vTop) place = {strLong, 1, INT64_MAX, INT64_MAX, INT64_MAX};
    r.m_strMap = strLong;
    r.m_nTicketsAllies = r.m_nTicketsAxis = INT32_MAX;
    for (int32_t nBase = 0; nBase < 800; nBase += 100) {
        SCOPED_TRACE(nBase);
        const monitor::CAnnounceSettings lang = Colors(nBase);
        const std::string strStats = PlayerStatsLine(lang, strLong, p);
        const std::string strTop = TopLine(lang, {ETopKind::KillsPerDeath, ETopPeriod::Week}, top);
        for (const std::string& strLine :
             {strStats, strTop, LastRoundLine(lang, r),
              SeenLine(lang, strLong, CSeen{strLong, 0, strLong + "x", 0}, false)}) {
            EXPECT_LE(strLine.size(), kMaxAnswerBytes);
            EXPECT_EQ(strLine.find_first_of(std::string("\r\n\0", 3)), std::string::npos);
        }
        // A list cut short ends with a whole entry: never half a name.
        EXPECT_TRUE(strTop.ends_with(")\x03]")) << strTop;
        EXPECT_NE(strStats.find(StatsWord(nBase, res::IDS_STATS_LAST_SEEN)), std::string::npos);
    }
}

TEST(NameFold, CaseOfAsciiAndWindows1252LettersOnly) {
    EXPECT_EQ(FoldName("AnN [XY]"), "ann [xy]");
    EXPECT_EQ(FoldName("\xC9\xC0\xDE\xD7\x8A\x8C\x8E\x9F"), "\xE9\xE0\xFE\xD7\x9A\x9C\x9E\xFF");
    EXPECT_EQ(FoldName("\xE9\xFF\xDF 1%_\\"), "\xE9\xFF\xDF 1%_\\");
}

}  // namespace
