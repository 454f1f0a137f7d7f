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
        case CIrcAction::EKind::Request:
            return "request " + a.m_strText;
        case CIrcAction::EKind::EnterChannel:
            return "enter " + a.m_strText;
        case CIrcAction::EKind::LeaveChannel:
            return "leave";
        case CIrcAction::EKind::SetCurrentNick:
            return "nick " + a.m_strText;
        case CIrcAction::EKind::EndConnection:
            return "end";
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
    const char* name;
    int nGameState;
    std::vector<std::string> lines;
    std::vector<std::string> expected;
};
// Rows print by name, so test listings stay readable.
void PrintTo(const DispatchRow& row, std::ostream* pOut) {
    *pOut << row.name;
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

class DispatchTable : public ::testing::TestWithParam<DispatchRow> {};

TEST_P(DispatchTable, LineGivesActions) {
    const DispatchRow& row = GetParam();
    CIrcSessionView view = DefaultView();
    view.m_nGameState = row.nGameState;
    CIrcLineState state;
    EXPECT_EQ(DispatchAll(view, state, row.lines), row.expected);
}

// clang-format off
const DispatchRow kRows[] = {
    {"ServerPing", 0, {"PING :irc.test.local"}, {"send PONG :irc.test.local"}},
    {"PingWithoutColon", 0, {"PING irc.test.local"}, {"send PONG :irc.test.local"}},
    {"PingWithPrefix", 0, {":irc.test.local PING :token"}, {"send PONG :token"}},
    {"PingWithTwoParameters", 0, {"PING a.test :b.test"}, {"send PONG a.test :b.test"}},
    {"CommandInSmallLetters", 0, {"ping :tok"}, {"send PONG :tok"}},
    {"PrivateCtcpVersion", 0, {":Al!a@h PRIVMSG Bot :\x01VERSION\x01"}, {kVersionReply}},
    {"PrivateCtcpPingEchoed", 0, {":Al!a@h PRIVMSG Bot :\x01PING 1234 567\x01"},
     {"send NOTICE Al :\x01PING 1234 567\x01"}},
    {"ChannelCtcpVersionOnlyLogged", 0, {":Al!a@h PRIVMSG #Chan :\x01VERSION\x01"},
     {"log <Al> \x01VERSION\x01"}},
    {"PrivateTextNotLogged", 0, {":Al!a@h PRIVMSG Bot :hello"}, {}},
    {"ChannelMessage", 0, {":Al!a@h PRIVMSG #Chan :hello: there"}, {"log <Al> hello: there"}},
    {"Action", 0, {":Al!a@h PRIVMSG #Chan :\x01" "ACTION waves at all\x01"},
     {"log :: Al waves at all"}},
    {"ActionWithoutText", 0, {":Al!a@h PRIVMSG #Chan :\x01" "ACTION"}, {"log :: Al "}},
    {"JoinWhileIdle", 0, {":Al!a@h JOIN :#Chan"},
     {"log :: Al has joined #Chan", std::string("send NOTICE Al :") + irc::NoticeOffline()}},
    {"JoinWhilePaused", 2, {":Al!a@h JOIN :#Chan"},
     {"log :: Al has joined #Chan", std::string("send NOTICE Al :") + irc::NoticePaused()}},
    {"JoinWhileRunning", 1, {":Al!a@h JOIN :#Chan"},
     {"log :: Al has joined #Chan", "request !join Al"}},
    {"OwnJoinTakesServerSpelling", 0, {":Bot!b@h JOIN :#chan", ":Al!a@h PRIVMSG #chan :hi"},
     {"log :: Bot has joined #chan", "enter #chan", "log <Al> hi"}},
    // Several server families send the channel without a colon.
    {"JoinWithoutColon", 0, {":Al!a@h JOIN #Chan"},
     {"log :: Al has joined #Chan", std::string("send NOTICE Al :") + irc::NoticeOffline()}},
    {"OwnJoinWithoutColonEntersTheChannel", 0, {":Bot!b@h JOIN #chan"},
     {"log :: Bot has joined #chan", "enter #chan"}},
    {"ExtendedJoinTakesTheChannel", 1, {":Al!a@h JOIN #Chan alaccount :Al Real"},
     {"log :: Al has joined #Chan", "request !join Al"}},
    {"Ipv6HostInPrefix", 0, {":Al!a@2001:db8::1 PRIVMSG #Chan :hi: there"},
     {"log <Al> hi: there"}},
    {"Ipv6HostJoin", 1, {":Al!~a@2001:db8::1 JOIN :#Chan"},
     {"log :: Al has joined #Chan", "request !join Al"}},
    {"KickOfBotRejoinsAtOnce", 0, {":Op!o@h KICK #Chan Bot :bye"},
     {"log :: Bot was kicked by Op", "leave", "send JOIN #Chan"}},
    {"KickOfOtherOnlyLogged", 0, {":Op!o@h KICK #Chan Al :bye"}, {"log :: Al was kicked by Op"}},
    {"KickWithoutReason", 0, {":Op!o@h KICK #Chan Bot"},
     {"log :: Bot was kicked by Op", "leave", "send JOIN #Chan"}},
    {"NickChangeWithoutColon", 0, {":Al!a@h NICK Ali"}, {"log :: Al is now known as Ali"}},
    {"ErrorWithoutColon", 0, {"ERROR Closing"}, {"log :: Closing"}},
    {"NickInUseWithoutPrefix", 0, {"433 * Bot :in use"},
     {"log :: Nickname (Bot) is already in use.", "log :: Trying alternative Nickname...",
      "nick Bot2", "send NICK Bot2"}},
    {"NickChange", 0, {":Al!a@h NICK :Ali"}, {"log :: Al is now known as Ali"}},
    {"OwnNickChangeKeepsCurrentNick", 0, {":Bot!b@h NICK :Bobby", ":Al!a@h PRIVMSG Bot :\x01VERSION\x01"},
     {"log :: Bot is now known as Bobby", kVersionReply}},
    {"Quit", 0, {":Al!a@h QUIT :Quit: gone"}, {"log :: Al has quit IRC"}},
    {"PartWithReason", 0, {":Al!a@h PART #Chan :later"}, {"log :: Al has left #Chan"}},
    {"PartWithoutReason", 0, {":Al!a@h PART #Chan"}, {"log :: Al has left #Chan"}},
    {"ErrorClosingLink", 0, {"ERROR :Closing Link: nick[host] (Quit: bye)"},
     {"log :: Closing Link (Quit: bye)"}},
    {"ErrorThrottled", 0, {"ERROR :Your host is trying to (re)connect too fast -- throttled"},
     {"log :: (re)connect too fast -- throttled"}},
    {"ErrorPingTimeout", 0, {"ERROR :Closing Link: nick by server (Ping timeout)"},
     {"log :: Closing Link (Ping timeout)"}},
    {"NickInUseTwice", 0,
     {":srv 433 * Bot :Nickname already in use", ":srv 433 * Bot2 :Nickname already in use"},
     {"log :: Nickname (Bot) is already in use.", "log :: Trying alternative Nickname...",
      "nick Bot2", "send NICK Bot2", "log :: Nickname (Bot2) is already in use.", "end"}},
    {"EndOfMotd", 0, {":srv 376 Bot :End of MOTD command"}, {"send JOIN #Chan"}},
    {"NoMotd", 0, {":srv 422 Bot :MOTD file is missing"}, {"send JOIN #Chan"}},
    {"WelcomeDoesNothing", 0, {":srv 001 Bot :Welcome"}, {}},
    {"GameInfo", 0, {":Al!a@h PRIVMSG #Chan :!gameinfo"},
     {"log <Al> !gameinfo", "request !gameinfo"}},
    {"GameInfoWithFullStop", 0, {":Al!a@h PRIVMSG #Chan :.gameinfo"},
     {"log <Al> .gameinfo", "request !gameinfo"}},
    {"GameInfoInCapitals", 0, {":Al!a@h PRIVMSG #Chan :!GAMEINFO"}, {"log <Al> !GAMEINFO"}},
    {"GameInfoAfterSpace", 0, {":Al!a@h PRIVMSG #Chan : !gameinfo"}, {"log <Al>  !gameinfo"}},
    {"GameInfoWithSpaceInside", 0, {":Al!a@h PRIVMSG #Chan :!game info"},
     {"log <Al> !game info"}},
    {"GameInfoWithMoreText", 0, {":Al!a@h PRIVMSG #Chan :!gameinfo please"},
     {"log <Al> !gameinfo please", "request !gameinfo"}},
    {"GameInfoPrivately", 0, {":Al!a@h PRIVMSG Bot :!gameinfo"}, {}},
    {"GameInfoInANoticeToTheChannel", 0, {":Al!a@h NOTICE #Chan :!gameinfo"},
     {"request !gameinfo"}},
    {"GameInfoWithoutColon", 0, {":Al!a@h PRIVMSG #Chan !gameinfo"},
     {"log <Al> !gameinfo", "request !gameinfo"}},
    // The topic shown on joining is no one's request.
    {"GameInfoInTheTopicIsNoRequest", 0, {":srv 332 Bot #Chan :!gameinfo here"}, {}},
    {"MessageToALongerChannelNameIsNotOurs", 0, {":Al!a@h PRIVMSG #Chan2 :!gameinfo"}, {}},
    // Each line stands alone: nothing of the line before carries over.
    {"LineWithoutColonIsItsOwn", 0, {"PING :abc", "NOTICE something"}, {"send PONG :abc"}},
    {"PrefixedLineWithoutTrailing", 0, {"PING :abc", ":srv NOTICE something"},
     {"send PONG :abc"}},
    {"BareColon", 0, {"PING :abc", ":"}, {"send PONG :abc"}},
    {"ColonAtStartOfText", 0, {"::::"}, {}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Lines, DispatchTable, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

struct RegisteredRow {
    const char* name;
    bool bAuth;
    int nNetwork;
    std::vector<std::string> expected;
};
// Rows print by name, so test listings stay readable.
void PrintTo(const RegisteredRow& row, std::ostream* pOut) {
    *pOut << row.name;
}

class RegisteredTable : public ::testing::TestWithParam<RegisteredRow> {};

TEST_P(RegisteredTable, EndOfMotdSendsAuthModeJoin) {
    const RegisteredRow& row = GetParam();
    CIrcSessionView view = DefaultView();
    view.m_strCurrentNick = "Bot2";  // "+x" goes to the nickname in use
    view.m_bAuth = row.bAuth;
    view.m_nNetwork = row.nNetwork;
    view.m_strUsername = "user";
    view.m_strPassword = "secret";
    CIrcLineState state;
    EXPECT_EQ(DispatchAll(view, state, {":srv 376 Bot2 :End of MOTD"}), row.expected);
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
    {"UnknownNetwork", true, 2, {"send MODE Bot2 +x", "send JOIN #Chan"}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Auth, RegisteredTable, ::testing::ValuesIn(kRegisteredRows),
                         [](const auto& info) { return std::string(info.param.name); });

struct EndRow {
    const char* name;
    std::vector<std::string> lines;
    int nExpected;
};
// Rows print by name, so test listings stay readable.
void PrintTo(const EndRow& row, std::ostream* pOut) {
    *pOut << row.name;
}

class EndOfConnectionTable : public ::testing::TestWithParam<EndRow> {};

TEST_P(EndOfConnectionTable, LastHeadDecides) {
    CIrcSessionView view = DefaultView();
    CIrcLineState state;
    DispatchAll(view, state, GetParam().lines);
    EXPECT_EQ(irc::EndOfConnectionResult(state), GetParam().nExpected);
}

// clang-format off
const EndRow kEndRows[] = {
    {"NothingReceived", {}, 0},
    {"ClosingLink", {"ERROR :Closing Link: bot[h] (Quit: bye)"}, 1},
    {"Throttled", {"ERROR :Your host is trying to (re)connect too fast -- throttled"}, 2},
    {"OtherLastLine", {"ERROR :Closing Link: bot[h] (x)", ":srv NOTICE Bot :hi"}, 0},
    {"ColonlessLineAfterErrorIsTheLastLine", {"ERROR :Closing Link: bot[h] (x)", "garbage"}, 0},
    {"ErrorWithPrefix", {":srv ERROR :Closing Link: bot[h] (x)"}, 1},
    {"PrefixedLineAfterError", {"ERROR :Closing Link: bot[h] (x)", ":srv garbage"}, 0},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Close, EndOfConnectionTable, ::testing::ValuesIn(kEndRows),
                         [](const auto& info) { return std::string(info.param.name); });

// Each line the dispatch sends queues as what it is: PONG ahead of all,
// the bot's own protocol lines never dropped, answers to people limited or
// kept as replies.
TEST(Dispatch, SentLinesCarryTheirQueueKind) {
    using irc::ELineKind;
    using EKind = CIrcAction::EKind;
    struct CKindRow {
        const char* name;
        std::string strLine;
        EKind eKind;
        ELineKind eLine;
    };
    const CKindRow rows[] = {
        {"Pong", "PING :x", EKind::Send, ELineKind::Urgent},
        {"CtcpVersion", ":Al!a@h PRIVMSG Bot :\x01VERSION\x01", EKind::CtcpReply, ELineKind::Reply},
        {"CtcpPing", ":Al!a@h PRIVMSG Bot :\x01PING 1\x01", EKind::CtcpReply, ELineKind::Reply},
        {"Greeting", ":Al!a@h JOIN #Chan", EKind::Send, ELineKind::Reply},
        {"RejoinAfterKick", ":Op!o@h KICK #Chan Bot", EKind::Send, ELineKind::Control},
        {"AlternativeNick", ":srv 433 * Bot :x", EKind::Send, ELineKind::Control},
        {"JoinAfterMotd", ":srv 376 Bot :x", EKind::Send, ELineKind::Control},
    };
    for (const CKindRow& row : rows) {
        SCOPED_TRACE(row.name);
        CIrcSessionView view = DefaultView();
        CIrcLineState state;
        std::vector<CIrcAction> actions;
        irc::DispatchLine(row.strLine, view, state, &actions);
        const auto it = std::find_if(actions.begin(), actions.end(), [](const CIrcAction& a) {
            return a.m_eKind == EKind::Send || a.m_eKind == EKind::CtcpReply;
        });
        ASSERT_NE(it, actions.end());
        EXPECT_EQ(it->m_eKind, row.eKind);
        EXPECT_EQ(it->m_eLine, row.eLine);
        if (row.eKind == EKind::CtcpReply) {
            EXPECT_EQ(it->m_strNick, "Al");
        }
    }
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
