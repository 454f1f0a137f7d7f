// The statistics commands as a user in the channel gives them: each is
// answered with one line, through the bot's statistics file; with
// stats_Commands=no none is answered, while !gameinfo still is.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cctype>
#include <string>
#include <vector>

#include "e2e/DaemonPeers.h"

namespace {

using e2e::kBotPrivmsg;
using e2e::kLong;

const char kMatch[] =
    "state 1\nset Time Limit = unlimited\n"
    "player 0 1 10 5 2 40 Hans\nplayer 1 2 4 2 6 40 Tom\n";
// The same round: Hans kills Tom, then the round ends.
const char kEnd[] =
    "state 1\nset Time Limit = unlimited\n"
    "player 0 1 11 6 2 40 Hans\nplayer 1 2 4 2 7 40 Tom\n"
    "state 1\nset gamemode = end\n";

class FragrelaydStatsCommands : public e2e::DaemonPeersTest {
protected:
    void SetUp() override {
        DaemonPeersTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        std::string strError;
        ASSERT_TRUE(m_sim.LoadScenario(kMatch, &strError)) << strError;
    }
    // The bot's next channel line after strSay, which alice says there.
    std::string Answer(const std::string& strSay) {
        const int nLines = m_alice.Count(kBotPrivmsg);
        if (!m_alice.SendLine("PRIVMSG #relay :" + strSay) ||
            !m_alice.WaitFor(kBotPrivmsg, nLines + 1, kLong))
            return "(no answer)";
        return BotLine(nLines);
    }
    // The bot's channel line number nIndex (from 0), as alice got them.
    std::string BotLine(int nIndex) const {
        int n = 0;
        for (const std::string& str : m_alice.Lines()) {
            const size_t nAt = str.find(kBotPrivmsg);
            if (nAt != std::string::npos && n++ == nIndex)
                return str.substr(nAt + kBotPrivmsg.size());
        }
        return "(none)";
    }
};

// What the bot says, without its colour codes.
std::string Plain(const std::string& strLine) {
    std::string str;
    for (size_t n = 0; n < strLine.size(); ++n) {
        if (strLine[n] != '\x03') {
            str += strLine[n];
            continue;
        }
        for (int nDigits = 0; nDigits < 2 && n + 1 < strLine.size() &&
                              std::isdigit(static_cast<unsigned char>(strLine[n + 1]));
             ++nDigits)
            ++n;
    }
    return str;
}

TEST_F(FragrelaydStatsCommands, EachCommandIsAnsweredWithOneLine) {
    ASSERT_EQ(::mkdir((m_folder / "stats").c_str(), 0700), 0);
    ASSERT_TRUE(StartDaemon("stats_File=stats/fragrelay.db\r\nstats_Commands=yes\r\n"));
    ASSERT_TRUE(BotRelays()) << BotLines() << m_daemon.Output();

    const struct {
        const char* m_pszSay;
        const char* m_pszAnswerStart;  // the answer, without colours, starts so
    } during[] = {
        {"!seen Hans", "seen [Hans]  playing now"},
        {".seen tom", "seen [tom]  playing now"},         // as asked: no round holds him yet
        {"!stats Hans", "player [Hans]  no statistics"},  // no round has ended yet
        {"!top", "top kills (all time)  no statistics"},
        {"!seen Nobody", "seen [Nobody]  never seen"},
    };
    for (const auto& row : during) {
        SCOPED_TRACE(row.m_pszSay);
        const std::string strAnswer = Plain(Answer(row.m_pszSay));
        EXPECT_EQ(strAnswer.rfind(row.m_pszAnswerStart, 0), 0u) << strAnswer;
    }

    // A kill, and the round ends: once the channel has its end score, the
    // round is in the file for every request after it.
    std::string strError;
    ASSERT_TRUE(m_sim.LoadScenario(kEnd, &strError)) << strError;
    ASSERT_TRUE(m_alice.WaitFor(kBotPrivmsg + testsupport::C("^10endscore "), 1, kLong))
        << BotLines();
    const struct {
        const char* m_pszSay;
        const char* m_pszAnswerStart;
    } after[] = {
        {"!stats Hans",
         "player [Hans]  kills [6]  deaths [2]  K/D [3.00]  teamkills [0]  flags [0]  "
         "rounds [1]  last seen ["},
        {"!lastround", "last round [wake]  winner [draw]  tickets [250 : 250]  1. Hans (11/6/2)"},
        // Two minutes of play at least make a round count for the top list.
        {"!top", "top kills (all time)  no statistics"},
    };
    for (const auto& row : after) {
        SCOPED_TRACE(row.m_pszSay);
        const std::string strAnswer = Plain(Answer(row.m_pszSay));
        EXPECT_EQ(strAnswer.rfind(row.m_pszAnswerStart, 0), 0u) << strAnswer;
    }

    // Nothing more came: the next line is the answer to the next request.
    const int nLines = m_alice.Count(kBotPrivmsg);
    const std::string strInfo = Answer("!gameinfo");
    EXPECT_NE(Plain(strInfo).find("map [wake]"), std::string::npos) << strInfo;
    EXPECT_EQ(m_alice.Count(kBotPrivmsg), nLines + 1) << BotLines();
    StopDaemon();
    // The file lies where the settings named it, in the settings file's folder.
    EXPECT_FALSE(testsupport::ReadWholeFile(m_folder / "stats/fragrelay.db").empty());
}

TEST_F(FragrelaydStatsCommands, NoneIsAnsweredWhenTheCommandsAreOff) {
    ASSERT_TRUE(StartDaemon("stats_File=fragrelay.db\r\nstats_Commands=no\r\n"));
    ASSERT_TRUE(BotRelays()) << BotLines() << m_daemon.Output();
    const int nLines = m_alice.Count(kBotPrivmsg);
    for (const char* pszSay : {"!stats Hans", "!top", "!lastround", "!seen Hans", ".top"})
        ASSERT_TRUE(m_alice.SendLine(std::string("PRIVMSG #relay :") + pszSay));
    // The bot has read them all (its IRC log shows each) ...
    ASSERT_TRUE(m_daemon.WaitForOutput("irc: <alice> .top\n")) << m_daemon.Output();
    // ... and answers the requests after them, twice round: the first line
    // it sends after the five is !gameinfo's, and so is the second.
    for (int n = 1; n <= 2; ++n) {
        ASSERT_TRUE(m_alice.SendLine("PRIVMSG #relay :!gameinfo"));
        ASSERT_TRUE(m_alice.WaitFor(kBotPrivmsg, nLines + n, kLong)) << BotLines();
    }
    EXPECT_EQ(m_alice.Count(kBotPrivmsg), nLines + 2) << BotLines();
    for (const int nIndex : {nLines, nLines + 1})
        EXPECT_NE(Plain(BotLine(nIndex)).find("map [wake]"), std::string::npos) << BotLines();
    StopDaemon();
}

}  // namespace
