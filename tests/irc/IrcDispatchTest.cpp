// One line in, actions out: every check of the dispatch, as named rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>

#include <string>
#include <vector>

#include "irc/IrcDispatch.h"
#include "irc/IrcText.h"
#include "res/Resource.h"
#include "res/StringTable.h"

using bridge::EChannelRequest;
using bridge::EGameState;
using irc::CIrcAction;
using irc::CIrcLineState;
using irc::CIrcSessionView;

namespace {

// Actions as readable text, so that a failing row prints what happened.
std::string Describe(const CIrcAction& a) {
    switch (a.m_eKind) {
        case CIrcAction::EKind::Send:
        case CIrcAction::EKind::CtcpReply:  // the same bytes; the limit is the session's
            return "send " + a.m_strText;
        case CIrcAction::EKind::Log:
            return "log " + a.m_strText;
        case CIrcAction::EKind::Request: {
            static constexpr const char* kKinds[] = {"gameinfo", "join",      "stats",
                                                     "top",      "lastround", "seen"};
            const bridge::CChannelRequest& r = a.m_request;
            return std::string("request ") + kKinds[static_cast<int>(r.m_eKind)] + " by " +
                   r.m_strNick + (r.m_strArgs.empty() ? "" : " [" + r.m_strArgs + "]");
        }
        case CIrcAction::EKind::EnterChannel:
            return "enter " + a.m_strText;
        case CIrcAction::EKind::LeaveChannel:
            return "leave";
        case CIrcAction::EKind::SetCurrentNick:
            return "nick " + a.m_strText;
        case CIrcAction::EKind::EndConnection:
            return "end";
        case CIrcAction::EKind::Registered:
            return "registered";
    }
    return "?";
}

CIrcSessionView DefaultView() {
    CIrcSessionView view;
    view.m_strChannel = "#Chan";
    view.m_strCurrentNick = "Bot";
    view.m_strNick = "Bot";
    view.m_strAltNick = "Bot2";
    view.m_strVersion = res::LoadResString(res::IDS_VERSION);
    return view;
}

struct DispatchRow {
    const char* m_name;
    EGameState m_eGameState;
    std::vector<std::string> m_lines;
    std::vector<std::string> m_expected;
};
// Rows print by name, so test listings stay readable.
void PrintTo(const DispatchRow& row, std::ostream* pOut) {
    *pOut << row.m_name;
}

std::vector<std::string> DispatchAll(CIrcSessionView& view, CIrcLineState& state,
                                     const std::vector<std::string>& lines) {
    std::vector<CIrcAction> actions;
    for (const std::string& line : lines) irc::DispatchLine(line, view, state, &actions);
    std::vector<std::string> out;
    for (const CIrcAction& a : actions) out.push_back(Describe(a));
    return out;
}

const std::string kVersionReply =
    "send NOTICE Al :\x01VERSION fragrelay v1.3 BETA Battlefield 1942 to IRC relay\x01";

constexpr EGameState kIdle = EGameState::Idle;
constexpr EGameState kRunning = EGameState::Running;
constexpr EGameState kPaused = EGameState::Paused;

class DispatchTable : public ::testing::TestWithParam<DispatchRow> {};

TEST_P(DispatchTable, LineGivesActions) {
    const DispatchRow& row = GetParam();
    CIrcSessionView view = DefaultView();
    view.m_eGameState = row.m_eGameState;
    CIrcLineState state;
    EXPECT_EQ(DispatchAll(view, state, row.m_lines), row.m_expected);
}

// clang-format off
const DispatchRow kRows[] = {
    {"ServerPing", kIdle, {"PING :irc.test.local"}, {"send PONG :irc.test.local"}},
    {"PingWithoutColon", kIdle, {"PING irc.test.local"}, {"send PONG :irc.test.local"}},
    {"PingWithPrefix", kIdle, {":irc.test.local PING :token"}, {"send PONG :token"}},
    {"PingWithTwoParameters", kIdle, {"PING a.test :b.test"}, {"send PONG a.test :b.test"}},
    {"CommandInSmallLetters", kIdle, {"ping :tok"}, {"send PONG :tok"}},
    {"PrivateCtcpVersion", kIdle, {":Al!a@h PRIVMSG Bot :\x01VERSION\x01"}, {kVersionReply}},
    {"PrivateCtcpPingEchoed", kIdle, {":Al!a@h PRIVMSG Bot :\x01PING 1234 567\x01"},
     {"send NOTICE Al :\x01PING 1234 567\x01"}},
    {"ChannelCtcpVersionOnlyLogged", kIdle, {":Al!a@h PRIVMSG #Chan :\x01VERSION\x01"},
     {"log <Al> \x01VERSION\x01"}},
    {"PrivateTextNotLogged", kIdle, {":Al!a@h PRIVMSG Bot :hello"}, {}},
    {"ChannelMessage", kIdle, {":Al!a@h PRIVMSG #Chan :hello: there"}, {"log <Al> hello: there"}},
    {"Action", kIdle, {":Al!a@h PRIVMSG #Chan :\x01" "ACTION waves at all\x01"},
     {"log :: Al waves at all"}},
    {"ActionWithoutText", kIdle, {":Al!a@h PRIVMSG #Chan :\x01" "ACTION"}, {"log :: Al "}},
    {"JoinWhileIdle", kIdle, {":Al!a@h JOIN :#Chan"},
     {"log :: Al has joined #Chan", std::string("send NOTICE Al :") + irc::NoticeOffline()}},
    {"JoinWhilePaused", kPaused, {":Al!a@h JOIN :#Chan"},
     {"log :: Al has joined #Chan", std::string("send NOTICE Al :") + irc::NoticePaused()}},
    {"JoinWhileRunning", kRunning, {":Al!a@h JOIN :#Chan"},
     {"log :: Al has joined #Chan", "request join by Al"}},
    {"OwnJoinTakesServerSpelling", kIdle, {":Bot!b@h JOIN :#chan", ":Al!a@h PRIVMSG #chan :hi"},
     {"log :: Bot has joined #chan", "enter #chan", "log <Al> hi"}},
    // Several server families send the channel without a colon.
    {"JoinWithoutColon", kIdle, {":Al!a@h JOIN #Chan"},
     {"log :: Al has joined #Chan", std::string("send NOTICE Al :") + irc::NoticeOffline()}},
    {"OwnJoinWithoutColonEntersTheChannel", kIdle, {":Bot!b@h JOIN #chan"},
     {"log :: Bot has joined #chan", "enter #chan"}},
    {"ExtendedJoinTakesTheChannel", kRunning, {":Al!a@h JOIN #Chan alaccount :Al Real"},
     {"log :: Al has joined #Chan", "request join by Al"}},
    {"Ipv6HostInPrefix", kIdle, {":Al!a@2001:db8::1 PRIVMSG #Chan :hi: there"},
     {"log <Al> hi: there"}},
    {"Ipv6HostJoin", kRunning, {":Al!~a@2001:db8::1 JOIN :#Chan"},
     {"log :: Al has joined #Chan", "request join by Al"}},
    {"KickOfBotRejoinsAtOnce", kIdle, {":Op!o@h KICK #Chan Bot :bye"},
     {"log :: Bot was kicked by Op", "leave", "send JOIN #Chan"}},
    {"KickOfOtherOnlyLogged", kIdle, {":Op!o@h KICK #Chan Al :bye"}, {"log :: Al was kicked by Op"}},
    {"KickWithoutReason", kIdle, {":Op!o@h KICK #Chan Bot"},
     {"log :: Bot was kicked by Op", "leave", "send JOIN #Chan"}},
    {"NickChangeWithoutColon", kIdle, {":Al!a@h NICK Ali"}, {"log :: Al is now known as Ali"}},
    {"ErrorWithoutColon", kIdle, {"ERROR Closing"}, {"log :: Closing"}},
    {"NickInUseWithoutPrefix", kIdle, {"433 * Bot :in use"},
     {"log :: Nickname (Bot) is already in use.", "log :: Trying alternative Nickname...",
      "nick Bot2", "send NICK Bot2"}},
    {"NickChange", kIdle, {":Al!a@h NICK :Ali"}, {"log :: Al is now known as Ali"}},
    {"OwnNickChangeKeepsCurrentNick", kIdle, {":Bot!b@h NICK :Bobby", ":Al!a@h PRIVMSG Bot :\x01VERSION\x01"},
     {"log :: Bot is now known as Bobby", kVersionReply}},
    {"Quit", kIdle, {":Al!a@h QUIT :Quit: gone"}, {"log :: Al has quit IRC"}},
    {"PartWithReason", kIdle, {":Al!a@h PART #Chan :later"}, {"log :: Al has left #Chan"}},
    {"PartWithoutReason", kIdle, {":Al!a@h PART #Chan"}, {"log :: Al has left #Chan"}},
    {"ErrorClosingLink", kIdle, {"ERROR :Closing Link: nick[host] (Quit: bye)"},
     {"log :: Closing Link (Quit: bye)"}},
    {"ErrorThrottled", kIdle, {"ERROR :Your host is trying to (re)connect too fast -- throttled"},
     {"log :: (re)connect too fast -- throttled"}},
    {"ErrorPingTimeout", kIdle, {"ERROR :Closing Link: nick by server (Ping timeout)"},
     {"log :: Closing Link (Ping timeout)"}},
    {"NickInUseTwice", kIdle,
     {":srv 433 * Bot :Nickname already in use", ":srv 433 * Bot2 :Nickname already in use"},
     {"log :: Nickname (Bot) is already in use.", "log :: Trying alternative Nickname...",
      "nick Bot2", "send NICK Bot2", "log :: Nickname (Bot2) is already in use.", "end"}},
    {"EndOfMotd", kIdle, {":srv 376 Bot :End of MOTD command"}, {"registered"}},
    {"NoMotd", kIdle, {":srv 422 Bot :MOTD file is missing"}, {"registered"}},
    {"WelcomeDoesNothing", kIdle, {":srv 001 Bot :Welcome"}, {}},
    {"GameInfo", kIdle, {":Al!a@h PRIVMSG #Chan :!gameinfo"},
     {"log <Al> !gameinfo", "request gameinfo by Al"}},
    {"GameInfoWithFullStop", kIdle, {":Al!a@h PRIVMSG #Chan :.gameinfo"},
     {"log <Al> .gameinfo", "request gameinfo by Al"}},
    {"GameInfoInCapitals", kIdle, {":Al!a@h PRIVMSG #Chan :!GAMEINFO"}, {"log <Al> !GAMEINFO"}},
    {"GameInfoAfterSpace", kIdle, {":Al!a@h PRIVMSG #Chan : !gameinfo"}, {"log <Al>  !gameinfo"}},
    {"GameInfoWithSpaceInside", kIdle, {":Al!a@h PRIVMSG #Chan :!game info"},
     {"log <Al> !game info"}},
    {"GameInfoWithMoreText", kIdle, {":Al!a@h PRIVMSG #Chan :!gameinfo please"},
     {"log <Al> !gameinfo please", "request gameinfo by Al"}},
    {"GameInfoPrivately", kIdle, {":Al!a@h PRIVMSG Bot :!gameinfo"}, {}},
    {"GameInfoInANoticeToTheChannel", kIdle, {":Al!a@h NOTICE #Chan :!gameinfo"},
     {"request gameinfo by Al"}},
    {"GameInfoWithoutColon", kIdle, {":Al!a@h PRIVMSG #Chan !gameinfo"},
     {"log <Al> !gameinfo", "request gameinfo by Al"}},
    // The statistics' commands: the whole word, then its arguments trimmed.
    {"Stats", kIdle, {":Al!a@h PRIVMSG #Chan :!stats Hans"},
     {"log <Al> !stats Hans", "request stats by Al [Hans]"}},
    {"StatsWithFullStopAndBlanks", kRunning, {":Al!a@h PRIVMSG #Chan :.stats   Hans Wurst  "},
     {"log <Al> .stats   Hans Wurst  ", "request stats by Al [Hans Wurst]"}},
    {"StatsWithoutName", kIdle, {":Al!a@h PRIVMSG #Chan :!stats"},
     {"log <Al> !stats", "request stats by Al"}},
    {"TopWithWords", kIdle, {":Al!a@h PRIVMSG #Chan :!top kd week"},
     {"log <Al> !top kd week", "request top by Al [kd week]"}},
    {"TopAlone", kIdle, {":Al!a@h PRIVMSG #Chan :.top"}, {"log <Al> .top", "request top by Al"}},
    {"LastRound", kIdle, {":Al!a@h PRIVMSG #Chan :!lastround"},
     {"log <Al> !lastround", "request lastround by Al"}},
    {"Seen", kPaused, {":Al!a@h PRIVMSG #Chan :!seen Tom"},
     {"log <Al> !seen Tom", "request seen by Al [Tom]"}},
    {"CommandWordMustBeWhole", kIdle, {":Al!a@h PRIVMSG #Chan :!statsHans", ":Al!a@h PRIVMSG #Chan :!topper"},
     {"log <Al> !statsHans", "log <Al> !topper"}},
    {"CommandWordInCapitalsIsNone", kIdle, {":Al!a@h PRIVMSG #Chan :!STATS Hans"},
     {"log <Al> !STATS Hans"}},
    {"StatsPrivatelyIsNoRequest", kIdle, {":Al!a@h PRIVMSG Bot :!stats Hans"}, {}},
    {"StatsInANoticeIsNoRequest", kIdle, {":Al!a@h NOTICE #Chan :!stats Hans"}, {}},
    {"StatsWordLaterInTheTextIsNone", kIdle, {":Al!a@h PRIVMSG #Chan :see !stats Hans"},
     {"log <Al> see !stats Hans"}},
    // The topic shown on joining is no one's request.
    {"GameInfoInTheTopicIsNoRequest", kIdle, {":srv 332 Bot #Chan :!gameinfo here"}, {}},
    {"MessageToALongerChannelNameIsNotOurs", kIdle, {":Al!a@h PRIVMSG #Chan2 :!gameinfo"}, {}},
    // Each line stands alone: nothing of the line before carries over.
    {"LineWithoutColonIsItsOwn", kIdle, {"PING :abc", "NOTICE something"}, {"send PONG :abc"}},
    {"PrefixedLineWithoutTrailing", kIdle, {"PING :abc", ":srv NOTICE something"},
     {"send PONG :abc"}},
    {"BareColon", kIdle, {"PING :abc", ":"}, {"send PONG :abc"}},
    {"ColonAtStartOfText", kIdle, {"::::"}, {}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Lines, DispatchTable, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.m_name); });

struct RegisteredRow {
    const char* m_name;
    bool m_bAuth;
    int32_t m_nNetwork;  // as the settings hold it
    std::vector<std::string> m_expected;
};
// Rows print by name, so test listings stay readable.
void PrintTo(const RegisteredRow& row, std::ostream* pOut) {
    *pOut << row.m_name;
}

class RegisteredTable : public ::testing::TestWithParam<RegisteredRow> {};

TEST_P(RegisteredTable, EndOfMotdSendsAuthModeJoin) {
    const RegisteredRow& row = GetParam();
    CIrcSessionView view = DefaultView();
    view.m_strCurrentNick = "Bot2";  // "+x" goes to the nickname in use
    irc::CIrcAuth auth;
    auth.m_bAuth = row.m_bAuth;
    auth.m_eNetwork = irc::AuthNetworkOf(row.m_nNetwork);
    auth.m_strUsername = "user";
    auth.m_strPassword = "secret";
    std::vector<CIrcAction> actions;
    irc::RegisteredActions(view, auth, &actions);
    std::vector<std::string> out;
    for (const CIrcAction& a : actions) {
        out.push_back(Describe(a));
        // The bot's own protocol lines: never dropped, a repeat merged.
        EXPECT_EQ(a.m_eLine, irc::ELineKind::Control) << out.back();
    }
    EXPECT_EQ(out, row.m_expected);
}

// clang-format off
const RegisteredRow kRegisteredRows[] = {
    {"NoAuthentication", false, 0, {"send JOIN #Chan"}},
    {"Quakenet", true, 0,
     {"send PRIVMSG Q@CServe.quakenet.org :auth user secret", "send MODE Bot2 +x",
      "send JOIN #Chan"}},
    {"Gamesnet", true, 1,
     {"send PRIVMSG AuthServ@Services.GamesNET.net :auth user secret", "send MODE Bot2 +x",
      "send JOIN #Chan"}},
    {"NoNetworkChosen", true, -1, {"send MODE Bot2 +x", "send JOIN #Chan"}},
    {"Sasl", true, irc::kNetworkSasl, {"send MODE Bot2 +x", "send JOIN #Chan"}},
    {"UnknownNetwork", true, 7, {"send MODE Bot2 +x", "send JOIN #Chan"}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Auth, RegisteredTable, ::testing::ValuesIn(kRegisteredRows),
                         [](const auto& info) { return std::string(info.param.m_name); });

using irc::EConnectionEnd;

struct EndRow {
    const char* m_name;
    std::vector<std::string> m_lines;
    EConnectionEnd m_eExpected;
};
// Rows print by name, so test listings stay readable.
void PrintTo(const EndRow& row, std::ostream* pOut) {
    *pOut << row.m_name;
}

class EndOfConnectionTable : public ::testing::TestWithParam<EndRow> {};

TEST_P(EndOfConnectionTable, LastHeadDecides) {
    CIrcSessionView view = DefaultView();
    CIrcLineState state;
    DispatchAll(view, state, GetParam().m_lines);
    EXPECT_EQ(irc::EndOfConnection(state), GetParam().m_eExpected);
}

// clang-format off
const EndRow kEndRows[] = {
    {"NothingReceived", {}, EConnectionEnd::Closed},
    {"ClosingLink", {"ERROR :Closing Link: bot[h] (Quit: bye)"}, EConnectionEnd::ServerError},
    {"Throttled", {"ERROR :Your host is trying to (re)connect too fast -- throttled"},
     EConnectionEnd::Throttled},
    {"OtherLastLine", {"ERROR :Closing Link: bot[h] (x)", ":srv NOTICE Bot :hi"},
     EConnectionEnd::Closed},
    {"ColonlessLineAfterErrorIsTheLastLine", {"ERROR :Closing Link: bot[h] (x)", "garbage"},
     EConnectionEnd::Closed},
    {"ErrorWithPrefix", {":srv ERROR :Closing Link: bot[h] (x)"}, EConnectionEnd::ServerError},
    {"PrefixedLineAfterError", {"ERROR :Closing Link: bot[h] (x)", ":srv garbage"},
     EConnectionEnd::Closed},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Close, EndOfConnectionTable, ::testing::ValuesIn(kEndRows),
                         [](const auto& info) { return std::string(info.param.m_name); });

// Each line the dispatch sends queues as what it is: PONG ahead of all,
// the bot's own protocol lines never dropped, answers to people limited or
// kept as replies.
TEST(Dispatch, SentLinesCarryTheirQueueKind) {
    using irc::ELineKind;
    using EKind = CIrcAction::EKind;
    struct CKindRow {
        const char* m_name;
        std::string m_strLine;
        EKind m_eKind;
        ELineKind m_eLine;
    };
    const CKindRow rows[] = {
        {"Pong", "PING :x", EKind::Send, ELineKind::Urgent},
        {"CtcpVersion", ":Al!a@h PRIVMSG Bot :\x01VERSION\x01", EKind::CtcpReply, ELineKind::Reply},
        {"CtcpPing", ":Al!a@h PRIVMSG Bot :\x01PING 1\x01", EKind::CtcpReply, ELineKind::Reply},
        {"Greeting", ":Al!a@h JOIN #Chan", EKind::Send, ELineKind::Reply},
        {"RejoinAfterKick", ":Op!o@h KICK #Chan Bot", EKind::Send, ELineKind::Control},
        {"AlternativeNick", ":srv 433 * Bot :x", EKind::Send, ELineKind::Control},
    };
    for (const CKindRow& row : rows) {
        SCOPED_TRACE(row.m_name);
        CIrcSessionView view = DefaultView();
        CIrcLineState state;
        std::vector<CIrcAction> actions;
        irc::DispatchLine(row.m_strLine, view, state, &actions);
        const auto it = std::find_if(actions.begin(), actions.end(), [](const CIrcAction& a) {
            return a.m_eKind == EKind::Send || a.m_eKind == EKind::CtcpReply;
        });
        ASSERT_NE(it, actions.end());
        EXPECT_EQ(it->m_eKind, row.m_eKind);
        EXPECT_EQ(it->m_eLine, row.m_eLine);
        if (row.m_eKind == EKind::CtcpReply) {
            EXPECT_EQ(it->m_strNick, "Al");
        }
    }
}

// Anyone can send a line of any length: what a request carries is bounded.
TEST(Dispatch, RequestArgumentsAreCutToTheirBound) {
    CIrcSessionView view = DefaultView();
    CIrcLineState state;
    const std::string strName(300, 'n');
    std::vector<CIrcAction> actions;
    irc::DispatchLine(":Al!a@h PRIVMSG #Chan :!seen " + strName + " ", view, state, &actions);
    ASSERT_EQ(actions.size(), 2u);
    EXPECT_EQ(actions[1].m_request,
              (bridge::CChannelRequest{EChannelRequest::Seen, "Al",
                                       std::string(irc::kMaxRequestArgs, 'n')}));
    // A cut that ends in blanks leaves none behind.
    actions.clear();
    irc::DispatchLine(":Al!a@h PRIVMSG #Chan :!top " + std::string(63, 'w') + "  x", view, state,
                      &actions);
    ASSERT_EQ(actions.size(), 2u);
    EXPECT_EQ(actions[1].m_request.m_strArgs, std::string(63, 'w'));
}

TEST(Dispatch, NickInUseWithOtherNickDoesNothingMore) {
    CIrcSessionView view = DefaultView();
    view.m_strCurrentNick = "Someone";
    CIrcLineState state;
    EXPECT_EQ(DispatchAll(view, state, {":srv 433 * Someone :in use"}),
              std::vector<std::string>{"log :: Nickname (Someone) is already in use."});
    EXPECT_EQ(view.m_strCurrentNick, "Someone");
}

// Regression: with the alternative equal to the nickname, every refusal sent
// the same NICK again, for as long as the server kept refusing it.
TEST(Dispatch, NickInUseWithEqualNicknamesEndsAtTheFirstRefusal) {
    CIrcSessionView view = DefaultView();
    view.m_strAltNick = "Bot";
    CIrcLineState state;
    EXPECT_EQ(DispatchAll(view, state, {":srv 433 * Bot :in use"}),
              (std::vector<std::string>{"log :: Nickname (Bot) is already in use.", "end"}));
}

TEST(Dispatch, StateCarriesOverAndUpdatesView) {
    CIrcSessionView view = DefaultView();
    CIrcLineState state;
    DispatchAll(view, state, {":Bot!b@h JOIN :#CHAN", ":srv 433 * Bot :in use"});
    EXPECT_EQ(view.m_strChannel, "#CHAN");
    EXPECT_EQ(view.m_strCurrentNick, "Bot2");
    // A kick after the nickname change rejoins the server's spelling.
    EXPECT_EQ(
        DispatchAll(view, state, {":Op!o@h KICK #CHAN Bot2 :x"}),
        (std::vector<std::string>{"log :: Bot2 was kicked by Op", "leave", "send JOIN #CHAN"}));
}

}  // namespace
