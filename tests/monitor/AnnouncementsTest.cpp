// The game side's lines byte for byte, and the ways they leave: channel,
// log, request answers.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "monitor/Announcements.h"
#include "platform/Clock.h"
#include "support/ColorText.h"
#include "support/RecordingIrcSession.h"

namespace {

// Expected lines are written with "^" for the colour byte 0x03.
using testsupport::C;

using monitor::CAnnounceSettings;
using monitor::CGameEvent;
using monitor::EGameEvent;
using Lines = std::vector<std::string>;

CAnnounceSettings Settings(int32_t nLanguage = 0) {
    CAnnounceSettings s;
    s.m_strAlliedKillColor = "02";
    s.m_strAxisKillColor = "05";
    s.m_strAlliedFlagColor = "12";
    s.m_strAxisFlagColor = "04";
    s.m_strStatusColor = "15";
    s.m_strKeyColor = "10";
    s.m_strValueColor = "14";
    s.m_nLangBase = nLanguage * 100;
    s.m_strServer = "127.0.0.1";
    s.m_nQueryPort = 23000;
    return s;
}

monitor::CServerStatus Status() {
    monitor::CServerStatus st;
    st.m_strHostname = "Test Server";
    st.m_nHostPort = 14567;
    st.m_strMapName = "Wake";
    st.m_nNumPlayers = 7;
    st.m_nMaxPlayers = 32;
    st.m_strMod = "bf1942";
    st.m_strGameType = "conquest";
    st.m_strTimeLimit = "30";
    st.m_strTicketRatio = "100%";
    st.m_strServerVersion = "v1.61";
    st.m_strTickets1 = "150";
    st.m_strTickets2 = "98";
    return st;
}

monitor::CPlayerRecord P(const std::string& strName, int nTeam, int nScore, int nFrags,
                         int nDeaths) {
    monitor::CPlayerRecord r;
    r.m_strName = strName;
    r.m_nTeam = nTeam;
    r.m_nScore = nScore;
    r.m_nFrags = nFrags;
    r.m_nDeaths = nDeaths;
    r.m_nPing = 40;
    return r;
}

// ---- Event lines in every language (Windows-1252 bytes).
struct CLanguageRow {
    const char* m_pszName;
    int m_nIndex;
    const char* m_pszKill;
    const char* m_pszTeamkill;
    const char* m_pszDeath;
    const char* m_pszSuicide;
    const char* m_pszFlag;
};

void PrintTo(const CLanguageRow& row, std::ostream* pOut) {
    *pOut << row.m_pszName;
}

const CLanguageRow kLanguages[] = {
    {"English", 0, "  [killed]  ", " killed a teammate.", " is no more.", " killed himself.",
     " captured a flag!"},
    {"German", 1, " [erledigte] ", " hat einen Kameraden auf dem Gewissen.", " ist gefallen.",
     " beging Selbstmord.", " hat eine Flagge eingenommen!"},
    {"French", 2, " [a tu\xE9] ", " a tu\xE9 un co\xE9quipier.", " n'est plus.",
     " s'est suicid\xE9.", " a captur\xE9 un drapeau!"},
    {"Spanish", 3, " [ha matado] ",
     " ha matado a un compa\xF1"
     "ero.",
     " ha muerto.", " se ha suicidado.", " ha capturado una bandera!"},
    {"Swedish", 4,
     " [d\xF6"
     "dade] ",
     " d\xF6"
     "dade en lagkamrat.",
     " dog.", " tog sj\xE4lvmord.", " tog en flagga!"},
    {"Icelandic", 5, " [drap] ", " drap li\xF0sf\xE9laga.", " er ekki lifandi lengur.",
     " drap sj\xE1lfansig.", " n\xE1\xF0i flaggi!"},
    {"Dutch", 6, " [vermoorde] ", " vermoorde een Teamlid.", " is gestorven.",
     " heeft zelfmoord gepleegd.", " heeft een vlag bemachtigd!"},
    {"Finnish", 7, " [tappoi] ", " tappoi oman sotilaan.", " kuoli.", " tappoi itsens\xE4.",
     " valtasi lipun!"},
};

class EventLines : public testing::TestWithParam<CLanguageRow> {};

TEST_P(EventLines, EachEventInTheLanguage) {
    const CLanguageRow& row = GetParam();
    const CAnnounceSettings s = Settings(row.m_nIndex);
    const monitor::CPlayerRecord hans = P("Hans", 1, 12, 7, 3);  // Axis
    const monitor::CPlayerRecord tom = P("Tom", 2, 4, 2, 6);     // Allied
    auto line = [&](EGameEvent e, const monitor::CPlayerRecord& who) {
        return monitor::EventLine(s, CGameEvent{e, who, tom});
    };
    EXPECT_EQ(line(EGameEvent::Kill, hans),
              C("^05Hans (12/7/3)^") + std::string(row.m_pszKill) + C("^02Tom (4/2/6)"));
    EXPECT_EQ(line(EGameEvent::Teamkill, hans), C("^15Hans") + std::string(row.m_pszTeamkill));
    EXPECT_EQ(line(EGameEvent::Death, tom), C("^15Tom") + std::string(row.m_pszDeath));
    EXPECT_EQ(line(EGameEvent::Suicide, hans), C("^15Hans") + std::string(row.m_pszSuicide));
    EXPECT_EQ(line(EGameEvent::Flag, tom), C("^12Tom") + std::string(row.m_pszFlag));
    EXPECT_EQ(line(EGameEvent::Flag, hans), C("^04Hans") + std::string(row.m_pszFlag));
}

INSTANTIATE_TEST_SUITE_P(Languages, EventLines, testing::ValuesIn(kLanguages),
                         [](const auto& info) { return std::string(info.param.m_pszName); });

TEST(EventLine, NoLanguageLeavesThePhrasesEmptyAndTheTotalsSigned) {
    CAnnounceSettings s = Settings();
    s.m_nLangBase = -100;
    EXPECT_EQ(monitor::EventLine(
                  s, CGameEvent{EGameEvent::Kill, P("A", 3, -1, 0, 2), P("B", 2, 0, -4, 1)}),
              C("^05A (-1/0/2)^^02B (0/-4/1)"));
}

// ---- Frames and phase lines.
struct CLineRow {
    const char* m_pszName;
    std::string m_strLine;
    std::string m_strExpected;
};

void PrintTo(const CLineRow& row, std::ostream* pOut) {
    *pOut << row.m_pszName;
}

std::string Long(const std::string& strText) {
    return C("^10* * * * * * * * * * ^[^14") + strText + C("^]^10 * * * * * * * * * *");
}

const CAnnounceSettings kS = Settings();

const CLineRow kFrameLines[] = {
    {"GamePausedKeyTenValueFourteen", monitor::LongFrame(kS, monitor::kTextGamePaused),
     C("^10* * * * * * * * * * ^[^14game paused^]^10 * * * * * * * * * *")},
    {"ShortFrameEndsWithABlank", monitor::ShortFrame(kS, monitor::kTextBroadcastClosed),
     C("^10* * * * * * ^[^14Broadcast closed^]^10 * * * * * * ")},
    {"BroadcastOpened", monitor::EventLine(kS, CGameEvent{EGameEvent::BroadcastOpened, {}, {}}),
     C("^10* * * * * * ^[^14Broadcast opened^]^10 * * * * * * ")},
    {"MapChanged", monitor::MapChangedLine(kS, "Wake", "Berlin"),
     Long("Map changed from Wake to Berlin")},
    {"GameStartsIn", monitor::GameStartsInLine(kS, "15"), Long("game starts in 15")},
    {"GameStartsWithLimit", monitor::GameStartsLine(kS, "30"),
     Long("game starts (timelimit: 30m)")},
    {"GameStartsUnlimited", monitor::GameStartsLine(kS, "unlimited"),
     Long("game starts (timelimit: unlimited)")},
    {"TicketStatus", monitor::TicketStatusPiece(kS, Status()),
     C("^10ticketstatus ^[^1298^ : ^04150^]")},
    {"EndScore", monitor::EndScoreLine(kS, Status()), C("^10endscore ^[^1298^ : ^04150^]")},
};

class FrameLines : public testing::TestWithParam<CLineRow> {};

TEST_P(FrameLines, AreByteExact) {
    EXPECT_EQ(GetParam().m_strLine, GetParam().m_strExpected);
}

INSTANTIATE_TEST_SUITE_P(Lines, FrameLines, testing::ValuesIn(kFrameLines),
                         [](const auto& info) { return std::string(info.param.m_pszName); });

TEST(OpeningBanner, EightLinesWithTheTimeLimitInMinutes) {
    const auto lines = monitor::OpeningBannerLines(kS, Status());
    const Lines expected = {
        C("^10* * * * * * ^[^14fragrelay - Battlefield 1942 to IRC relay^]^10 * * * * * * "),
        C("^10hostname ^[^14Test Server^]"),
        C("^10ip ^[^14127.0.0.1:14567:23000^]"),
        C("^10map ^[^14Wake^]"),
        C("^10player ^[^147/32^]"),
        C("^10mod ^[^14bf1942/conquest^]"),
        C("^10timelimit ^[^1430min^]"),
        C("^10ticketratio ^[^14100%^]"),
    };
    EXPECT_EQ(Lines(lines.begin(), lines.end()), expected);

    monitor::CServerStatus unlimited = Status();
    unlimited.m_strTimeLimit = "unlimited";
    EXPECT_EQ(monitor::OpeningBannerLines(kS, unlimited)[6], C("^10timelimit ^[^14unlimited^]"));
}

// ---- Ranking.
struct CRankRow {
    const char* m_pszName;
    std::vector<monitor::CPlayerRecord> m_players;  // slots 0, 1, ...
    Lines m_expected;
};

void PrintTo(const CRankRow& row, std::ostream* pOut) {
    *pOut << row.m_pszName;
}

const std::string kNobody = C("^15 - ");

const CRankRow kRankings[] = {
    {"ScoreThenFragsThenFewerDeaths",
     {P("A", 1, 10, 5, 2), P("B", 1, 10, 6, 2), P("C", 2, 10, 6, 1), P("D", 1, 3, 3, 3)},
     {C("1. ^02C (10/6/1)"), C("2. ^05B (10/6/2)"), C("3. ^05A (10/5/2)")}},
    {"FullTieListsOnlyTheFirst",
     {P("A", 1, 10, 5, 2), P("B", 2, 10, 5, 2), P("C", 1, 4, 4, 4)},
     {C("1. ^05A (10/5/2)"), C("2. ^05C (4/4/4)"), "3. " + kNobody}},
    {"EqualFragsScoreOffByThreeGoesWithTheLeader",
     {P("A", 1, 10, 5, 2), P("B", 2, 7, 5, 2), P("C", 1, 4, 4, 4)},
     {C("1. ^05A (10/5/2)"), C("2. ^05C (4/4/4)"), "3. " + kNobody}},
    {"EqualFragsScoreOffByTwoStays",
     {P("A", 1, 10, 5, 2), P("B", 2, 8, 5, 2), P("C", 1, 4, 4, 4)},
     {C("1. ^05A (10/5/2)"), C("2. ^02B (8/5/2)"), C("3. ^05C (4/4/4)")}},
    {"NobodyScored",
     {P("A", 1, 0, 0, 0), P("B", 2, 0, 0, 3)},
     {"1. " + kNobody, "2. " + kNobody, "3. " + kNobody}},
};

class Ranking : public testing::TestWithParam<CRankRow> {};

TEST_P(Ranking, ListsThreePlaces) {
    monitor::PlayerTable players;
    for (size_t n = 0; n < GetParam().m_players.size(); ++n) players[n] = GetParam().m_players[n];
    players[20] = P("Beyond", 1, 99, 99, 0);  // outside the server's slots
    monitor::CServerStatus st = Status();
    st.m_nMaxPlayers = 8;
    st.m_nNumPlayers = 8;
    const auto lines = monitor::RankingLines(kS, players, st);
    EXPECT_EQ(Lines(lines.begin(), lines.end()), GetParam().m_expected);
}

INSTANTIATE_TEST_SUITE_P(Places, Ranking, testing::ValuesIn(kRankings),
                         [](const auto& info) { return std::string(info.param.m_pszName); });

// ---- Versions gate the ticket parts, byte by byte.
TEST(Versions, GateTheEndScoreAndTheTicketPiece) {
    const struct {
        const char* m_pszVersion;
        bool m_bTickets;
    } rows[] = {{"v1.4", true}, {"v1.39", false}, {"", false}, {"v2", true}, {"V1.6", false}};
    monitor::PlayerTable players;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.m_pszVersion);
        monitor::CServerStatus st = Status();
        st.m_strServerVersion = row.m_pszVersion;
        EXPECT_EQ(monitor::HasTicketStatus(row.m_pszVersion), row.m_bTickets);
        const Lines end = monitor::GameEndLines(kS, players, st);
        ASSERT_EQ(end.size(), row.m_bTickets ? 5u : 4u);
        EXPECT_EQ(end[0], Long("game ends"));
        if (row.m_bTickets) {
            EXPECT_EQ(end[4], monitor::EndScoreLine(kS, st));
        }
        const std::string strInfo = monitor::InfoText(kS, st);
        EXPECT_EQ(strInfo.find("ticketstatus") != std::string::npos, row.m_bTickets);
    }
}

// ---- Ways out.
class CRecordingOutput : public monitor::IGameOutput {
public:
    explicit CRecordingOutput(irc::CIrcSession* pIrc) : m_pIrc(pIrc) {}
    bool IsBroadcasting() const override { return m_bBroadcast; }
    bridge::IIrcLink* IrcLink() const override { return m_pIrc; }
    void AppendLog(std::string strText) override { m_logs.push_back(std::move(strText)); }

    bool m_bBroadcast = true;
    irc::CIrcSession* m_pIrc;
    Lines m_logs;
};

// An IRC side with requests waiting, handed out oldest first; with
// m_bEndless it never runs dry, as a flood of requests would not.
class CRequestingIrcSession : public testsupport::CRecordingIrcSession {
public:
    using CRecordingIrcSession::CRecordingIrcSession;
    std::optional<bridge::CChannelRequest> TakeRequest() override {
        ++m_nTaken;
        if (m_bEndless) return bridge::CChannelRequest{bridge::EChannelRequest::GameInfo, "al", ""};
        if (m_pending.empty()) return std::nullopt;
        bridge::CChannelRequest request = m_pending.front();
        m_pending.erase(m_pending.begin());
        return request;
    }
    std::vector<bridge::CChannelRequest> m_pending;
    bool m_bEndless = false;
    int m_nTaken = 0;
};

using irc::ELineKind;

// The game run's way of posting: the banner through AnnounceStatus line by
// line, every other event through AnnounceEvent.
void AnnounceBanner(monitor::IGameOutput& out, const CAnnounceSettings& s,
                    const monitor::CServerStatus& status) {
    for (const std::string& line : monitor::OpeningBannerLines(s, status))
        monitor::AnnounceStatus(out, line);
}
void AnnounceAll(monitor::IGameOutput& out, const CAnnounceSettings& s,
                 const monitor::CServerStatus& status, const std::vector<CGameEvent>& events) {
    for (const CGameEvent& event : events) {
        if (event.m_eKind == EGameEvent::OpeningBanner)
            AnnounceBanner(out, s, status);
        else
            monitor::AnnounceEvent(out, s, event);
    }
}

bridge::CChannelRequest GameInfo() {
    return {bridge::EChannelRequest::GameInfo, "al", ""};
}
bridge::CChannelRequest Join(const std::string& strNick) {
    return {bridge::EChannelRequest::Join, strNick, ""};
}

class WaysOut : public testing::Test {
protected:
    WaysOut() {
        m_irc.Configure("127.0.0.1", 6667, "Bot", "Bot2", "#chan");
        m_irc.SetInChannel(true);
    }
    std::string Info() { return monitor::InfoText(kS, m_status); }

    platform::CManualClock m_clock;
    CRequestingIrcSession m_irc{m_clock, /*bForwardWrites=*/false};
    CRecordingOutput m_out{&m_irc};
    monitor::CServerStatus m_status = Status();
};

TEST_F(WaysOut, AnnounceSendsPacedWhileBroadcastingAndAlwaysLogs) {
    monitor::Announce(m_out, "one");
    m_out.m_bBroadcast = false;
    monitor::Announce(m_out, "two");
    monitor::Announce(m_out, "");
    EXPECT_EQ(m_irc.Writes(), Lines{"PRIVMSG #chan :one\r\n"});
    // Paced by the send queue as an event line, not on the monitor's thread.
    EXPECT_EQ(m_irc.Kinds(), std::vector<ELineKind>{ELineKind::Event});
    EXPECT_EQ(m_clock.SleepCalls(), 0u);
    EXPECT_EQ(m_out.m_logs, (Lines{"one", "two"}));
}

TEST_F(WaysOut, TheBannerStaysOffTheChannelOnceBroadcastingStops) {
    m_out.m_bBroadcast = false;
    AnnounceBanner(m_out, kS, m_status);
    EXPECT_TRUE(m_irc.Writes().empty());
    EXPECT_EQ(m_out.m_logs.size(), 8u);
}

TEST_F(WaysOut, ServerTextCannotStartAnIrcCommand) {
    // A spoofed reply can carry line breaks and NUL in names and the map.
    const char kEvil[] = "Evil\r\nQUIT :bye\0x";
    const CGameEvent death{
        EGameEvent::Death, P(std::string(kEvil, sizeof kEvil - 1), 1, 0, 0, 1), {}};
    AnnounceAll(m_out, kS, m_status, {death});
    m_status.m_strMapName = "Wake\nPRIVMSG #chan :spam\r";
    AnnounceBanner(m_out, kS, m_status);
    monitor::AnswerRequestText(m_out, kS, m_status, Join("bob\r\nQUIT"));
    monitor::AnswerRequestText(m_out, kS, m_status, GameInfo());
    const Lines writes = m_irc.Writes();
    ASSERT_EQ(writes.size(), 11u);
    for (const std::string& strWrite : writes) {
        EXPECT_EQ(strWrite.find_first_of(std::string("\r\n\0", 3)), strWrite.size() - 2)
            << strWrite;
    }
    for (const std::string& strLog : m_out.m_logs)
        EXPECT_EQ(strLog.find_first_of(std::string("\r\n\0", 3)), std::string::npos) << strLog;
    EXPECT_EQ(writes[0], C("PRIVMSG #chan :^15EvilQUIT :byex is no more.\r\n"));
}

TEST_F(WaysOut, EventsGoOutInOrderAndTheOpeningLineOnlyToTheLog) {
    AnnounceAll(m_out, kS, m_status,
                            {CGameEvent{EGameEvent::BroadcastOpened, {}, {}},
                             CGameEvent{EGameEvent::OpeningBanner, {}, {}},
                             CGameEvent{EGameEvent::Suicide, P("S", 1, 0, 0, 1), {}}});
    const auto banner = monitor::OpeningBannerLines(kS, m_status);
    Lines expectedLogs{monitor::ShortFrame(kS, "Broadcast opened")};
    Lines expectedWrites;
    for (const std::string& strLine : banner) {
        expectedLogs.push_back(strLine);
        expectedWrites.push_back("PRIVMSG #chan :" + strLine + "\r\n");
    }
    const std::string strSuicide = C("^15S killed himself.");
    expectedLogs.push_back(strSuicide);
    expectedWrites.push_back("PRIVMSG #chan :" + strSuicide + "\r\n");
    EXPECT_EQ(m_out.m_logs, expectedLogs);
    EXPECT_EQ(m_irc.Writes(), expectedWrites);
    // The banner says where the game stands: a busy channel must not drop it.
    std::vector<ELineKind> kinds(8, ELineKind::Reply);
    kinds.push_back(ELineKind::Event);
    EXPECT_EQ(m_irc.Kinds(), kinds);
}

TEST_F(WaysOut, GameInfoGoesUnpacedToTheChannelOnlyWhileBroadcasting) {
    monitor::AnswerRequestText(m_out, kS, m_status, GameInfo());
    EXPECT_EQ(m_irc.Writes(), Lines{"PRIVMSG #chan :" + Info() + "\r\n"});
    EXPECT_EQ(Info(), C("^10ip ^[^14127.0.0.1:14567:23000^]  ^10map ^[^14Wake^]  ^10player "
                        "^[^147/32^]  ^10ticketstatus ^[^1298^ : ^04150^]"));
    m_out.m_bBroadcast = false;
    monitor::AnswerRequestText(m_out, kS, m_status, GameInfo());
    EXPECT_EQ(m_irc.Writes().size(), 1u);
    EXPECT_EQ(m_irc.Kinds(), std::vector<ELineKind>{ELineKind::Reply});
    EXPECT_EQ(m_out.m_logs, Lines{});
}

// The statistics' requests are the core's to answer; the game side
// leaves them alone.
TEST_F(WaysOut, JoinIsAnsweredWithANoticeInAnyStateAndOtherKindsAreLeftAlone) {
    m_status.m_strServerVersion = "v1.3";
    m_irc.SetInChannel(false);
    m_out.m_bBroadcast = false;
    using bridge::EChannelRequest;
    for (const EChannelRequest eKind : {EChannelRequest::Stats, EChannelRequest::Top,
                                        EChannelRequest::LastRound, EChannelRequest::Seen})
        monitor::AnswerRequestText(m_out, kS, m_status, bridge::CChannelRequest{eKind, "al", "x"});
    EXPECT_EQ(m_irc.Writes(), Lines{});

    monitor::AnswerRequestText(m_out, kS, m_status, Join("bob"));
    m_out.m_bBroadcast = true;
    monitor::AnswerRequestText(m_out, kS, m_status, Join("al"));
    const std::string strReply = C("^10fragrelay ^[^03ONLINE^]  ") + Info();
    EXPECT_EQ(Info().find("ticketstatus"), std::string::npos);
    EXPECT_EQ(m_irc.Writes(),
              (Lines{"NOTICE  bob :" + strReply + "\r\n", "NOTICE  al :" + strReply + "\r\n"}));
    EXPECT_EQ(m_out.m_logs, Lines{});
    EXPECT_EQ(m_irc.Kinds(), std::vector<ELineKind>(2, ELineKind::Reply));
}

TEST_F(WaysOut, NoPendingRequestNoAnswer) {
    monitor::AnswerRequest(m_out, kS, m_status);
    EXPECT_EQ(m_irc.Writes(), Lines{});
}

// Regression: one request slot, so a join right after "!gameinfo" cancelled
// its answer. Every pending request is answered, oldest first.
TEST_F(WaysOut, EveryPendingRequestIsAnsweredInOrder) {
    m_irc.m_pending = {Join("bob"), GameInfo(), Join("al")};
    monitor::AnswerRequest(m_out, kS, m_status);
    const std::string strReply = C("^10fragrelay ^[^03ONLINE^]  ") + Info();
    EXPECT_EQ(m_irc.Writes(),
              (Lines{"NOTICE  bob :" + strReply + "\r\n", "PRIVMSG #chan :" + Info() + "\r\n",
                     "NOTICE  al :" + strReply + "\r\n"}));
}

TEST_F(WaysOut, RequestsThatKeepComingAreTakenABoundedNumberAtATime) {
    m_irc.m_bEndless = true;
    monitor::AnswerRequest(m_out, kS, m_status);
    EXPECT_EQ(m_irc.m_nTaken, static_cast<int>(monitor::kMaxRequestsPerAnswer));
    EXPECT_EQ(m_irc.Writes().size(), monitor::kMaxRequestsPerAnswer);
}

}  // namespace
