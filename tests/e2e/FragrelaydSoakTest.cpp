// fragrelayd left to run as a server runs it, for a few minutes instead of
// weeks, with the unlucky peers of those weeks made to happen a few times:
// a 64-player live match at full speed from the stand-in game server, ngircd
// as the IRC server, a second client in the channel. The game server is
// silent when the bot starts (so the game side's first runs fail and it
// retries after its back-off), then it stops and starts again, ngircd is
// restarted, and the channel client floods "!gameinfo" and CTCP requests.
// After each, fresh lines must reach the channel again. The daemon's
// resident memory, descriptors and threads are sampled at every step and
// must stay flat after the warm-up; SIGTERM must still end it within 2 s
// with its QUIT line.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "config/TempFolder.h"
#include "irc/CtcpLimiter.h"
#include "irc/SendQueue.h"
#include "platform/Text.h"
#include "support/ChildProcess.h"
#include "support/IrcTestClient.h"
#include "support/NgircdServer.h"
#include "tools/bf42sim/SimServer.h"

namespace {

using testsupport::CIrcTestClient;
using testsupport::CNgircdServer;
using SteadyClock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

const std::string kChannel = "#relay";
const std::string kPrivmsg = " PRIVMSG #relay :";
// Reading "until" this reads whatever has arrived: it never comes.
const std::string kNever = "\x01\x02never\x02\x01";

constexpr int kPlayers = 64;
constexpr int kRounds = 4;
// Polls answered after the first relayed line before the first sample that
// counts: the player table, the send queue and the allocator have reached
// their size.
constexpr int kWarmUpPolls = 100;
// How long the game server stays away: many refused polls, well inside
// what a run waits out (500 refused receives half a second apart) before
// it fails, so this is recovered within the run. A new run after the
// back-off happens at the start, while the server is silent.
constexpr auto kGameOutage = seconds(8);
// A steady stretch at the end, sampled at each part, so that a slow growth
// has time to show.
constexpr int kLastStretchParts = 3;
constexpr auto kLastStretchPart = seconds(15);
// Generous: the back-off's first waits are about 5 and 10 s.
constexpr auto kRecoveryLimit = seconds(60);
constexpr auto kStepLimit = seconds(30);
// Resident memory may grow this much between the first sample after the
// warm-up and the last. The two logs are still filling up to their bounds
// then (a few hundred kB at most), the rest is the allocator's noise; a leak
// of a couple of kB per poll (there are several hundred) goes past it.
constexpr long kRssGrowthLimitKb = 1024;
// In a sanitizer build (the daemon is built the same way) resident memory
// grows by design: freed memory waits in a quarantine, shadow memory fills.
// Leaks are then LeakSanitizer's to judge, by the daemon's exit status.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif
// The requests of one flood; "!gameinfo" is merged while pending and CTCP
// replies are limited, so a fraction of the requests are answered. How many
// depends on how many polls the flood's lines take to reach the bot (more
// on a loaded machine); one answer per request would be 60.
constexpr int kFloodLines = 60;
constexpr int kMaxGameInfoAnswersPerFlood = 20;

// The writer's 24 lines (the IRC port as the signed 16-bit number it writes).
std::string SettingsText(uint16_t nIrcPort, uint16_t nGamePort) {
    return "irc_Server=127.0.0.1\r\nirc_Port=" + std::to_string(static_cast<int16_t>(nIrcPort)) +
           "\r\nirc_Nick=fragbot\r\nirc_altNick=fragbot2\r\nirc_Channel=" + kChannel +
           "\r\nirc_Auth=no\r\nirc_Username=\r\nirc_Password=\r\nirc_Network=0\r\n"
           "irc_Tickettime=60\r\nbf_Language=0\r\nbf_Server=127.0.0.1\r\nbf_Port=" +
           std::to_string(nGamePort) +
           "\r\nallied_farbe_kill=02\r\nallied_farbe_flagge=12\r\naxis_farbe_kill=05\r\n"
           "axis_farbe_flagge=04\r\nstatus_farbe=15\r\nkey_farbe=10\r\nvalue_farbe=14\r\n"
           "show_flag=yes\r\nshow_kill=yes\r\nshow_ticket=yes\r\nshow_tk=yes\r\n";
}

long MsBetween(SteadyClock::time_point from, SteadyClock::time_point to) {
    return static_cast<long>(std::chrono::duration_cast<milliseconds>(to - from).count());
}

// A channel line as the game log prints it: without the colour byte and
// its digits, without other formatting bytes and trailing blanks (the
// server drops those).
std::string Plain(const std::string& strText) {
    std::string str;
    for (size_t i = 0; i < strText.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(strText[i]);
        if (c == 0x03) {
            for (int nDigits = 0; nDigits < 2 && i + 1 < strText.size() && strText[i + 1] >= '0' &&
                                  strText[i + 1] <= '9';
                 ++nDigits)
                ++i;
            continue;
        }
        if (c >= 0x20) str += static_cast<char>(c);
    }
    while (!str.empty() && str.back() == ' ') str.pop_back();
    return str;
}

// Entries of a /proc folder; -1 when it cannot be read.
int CountEntries(const std::string& strDir) {
    std::error_code ec;
    std::filesystem::directory_iterator it(strDir, ec);
    int n = 0;
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) ++n;
    return ec ? -1 : n;
}

long RssKb(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string strLine; std::getline(in, strLine);) {
        if (strLine.rfind("VmRSS:", 0) == 0) return std::atol(strLine.c_str() + 6);
    }
    return -1;
}

struct CSample {
    std::string m_strWhen;
    long m_nAtMs = 0;  // since the daemon started
    long m_nRssKb = -1;
    int m_nFds = -1;
    int m_nThreads = -1;
    size_t m_nRelayed = 0;  // the bot's channel lines so far
};

// A bot line to the channel, as the channel client got it.
struct CChannelLine {
    SteadyClock::time_point m_at;
    std::string m_strText;
};

// A point in the run: what the daemon had printed and the channel had got.
struct CMark {
    size_t m_nOutput = 0;
    size_t m_nRelayed = 0;
    SteadyClock::time_point m_at;
};

class FragrelaydSoak : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.IsValid());
        if (!CNgircdServer::Available()) {
            if (std::getenv("FR_REQUIRE_PEERS") != nullptr)
                FAIL() << CNgircdServer::kBinary << " is missing (FR_REQUIRE_PEERS is set)";
            GTEST_SKIP() << CNgircdServer::kBinary << " is not installed";
        }
        ASSERT_TRUE(m_ngircd.Start()) << m_ngircd.Log();
        ASSERT_TRUE(m_sim.Start());
        ASSERT_TRUE(ConnectChannelClient());
    }

    // A new channel client (after a server restart the old one is gone);
    // it joins before the bot may, as it would on a real network.
    bool ConnectChannelClient() {
        m_pAlice = std::make_unique<CIrcTestClient>();
        m_nAliceSeen = 0;
        return m_pAlice->Connect(m_ngircd.Port(), "alice") && m_pAlice->SendLine("JOIN #relay") &&
               m_pAlice->WaitFor(" 366 alice #relay ");
    }

    // Reads what the daemon printed and what the channel client got. The
    // daemon's output must be read all along: a full pipe would stall it.
    void Pump(milliseconds ircWait = milliseconds(20)) {
        m_daemon.ReadUntil(kNever, milliseconds(5));
        if (!m_pAlice) return;
        m_pAlice->WaitFor(kNever, 1, ircWait);
        const std::vector<std::string>& lines = m_pAlice->Lines();
        for (; m_nAliceSeen < lines.size(); ++m_nAliceSeen) {
            const std::string& str = lines[m_nAliceSeen];
            const bool bFromBot = str.rfind(":fragbot!", 0) == 0 || str.rfind(":fragbot2!", 0) == 0;
            if (!bFromBot) continue;
            const size_t nAt = str.find(kPrivmsg);
            if (nAt != std::string::npos)
                m_relayed.push_back({SteadyClock::now(), str.substr(nAt + kPrivmsg.size())});
            // CTCP replies come as NOTICEs to the one who asked.
            if (str.find(" NOTICE alice :\x01") != std::string::npos) ++m_nCtcpReplies;
            if (str.find(" JOIN ") != std::string::npos) ++m_nBotJoins;
            if (str.find(" QUIT :") != std::string::npos) ++m_nBotQuits;
        }
    }

    // Pumps until pred holds or the time is up; every wait of the soak.
    template <typename Pred>
    bool WaitPumping(Pred pred, milliseconds timeout) {
        const auto end = SteadyClock::now() + timeout;
        for (;;) {
            Pump();
            if (pred()) return true;
            if (SteadyClock::now() >= end) return false;
            // Never a busy loop, also once both peers are gone.
            std::this_thread::sleep_for(milliseconds(1));
        }
    }

    // A stretch of the scenario (a peer that stays away this long), with
    // everything read meanwhile.
    void Hold(milliseconds span) {
        WaitPumping([] { return false; }, span);
    }

    // The end of the daemon's output, for a failure's message.
    std::string OutputTail() const {
        const std::string& str = m_daemon.Output();
        return str.size() > 4000 ? "..." + str.substr(str.size() - 4000) : str;
    }

    CMark Mark() {
        Pump(milliseconds(0));
        return {m_daemon.Output().size(), m_relayed.size(), SteadyClock::now()};
    }

    // How often the daemon printed strPart since the mark.
    int OutputCount(const std::string& strPart, size_t nFrom = 0) const {
        const std::string& strOut = m_daemon.Output();
        int n = 0;
        for (size_t nAt = strOut.find(strPart, nFrom); nAt != std::string::npos;
             nAt = strOut.find(strPart, nAt + strPart.size()))
            ++n;
        return n;
    }

    // The game log's lines printed since the mark, as the game side
    // announced them (printed in UTF-8; the channel has them in the code
    // page).
    std::set<std::string> GameLinesSince(const CMark& mark) const {
        const std::string& strOut = m_daemon.Output();
        std::set<std::string> lines;
        size_t nAt = mark.m_nOutput;
        // A mark in the middle of a line starts at the next one.
        if (nAt > 0 && nAt <= strOut.size() && strOut[nAt - 1] != '\n') {
            nAt = strOut.find('\n', nAt);
            nAt = nAt == std::string::npos ? strOut.size() : nAt + 1;
        }
        while (nAt < strOut.size()) {
            const size_t nEnd = strOut.find('\n', nAt);
            if (nEnd == std::string::npos) break;  // not finished yet
            const std::string strLine = strOut.substr(nAt, nEnd - nAt);
            if (strLine.rfind("game: ", 0) == 0) lines.insert(Plain(strLine.substr(6)));
            nAt = nEnd + 1;
        }
        return lines;
    }

    // The first line in the channel since the mark that the game side
    // announced since the mark: relayed from a poll after the mark, not a
    // line that had waited in the send queue. -1 while none has come.
    long FreshLineMs(const CMark& mark) const {
        if (m_relayed.size() <= mark.m_nRelayed) return -1;
        const std::set<std::string> announced = GameLinesSince(mark);
        for (size_t n = mark.m_nRelayed; n < m_relayed.size(); ++n) {
            if (announced.count(platform::Cp1252ToUtf8(Plain(m_relayed[n].m_strText))) != 0)
                return MsBetween(mark.m_at, m_relayed[n].m_at);
        }
        return -1;
    }

    // Waits for a fresh line since the mark; its delay after the mark in ms, or -1.
    long WaitForFreshLine(const CMark& mark) {
        long nMs = -1;
        WaitPumping([&] { return (nMs = FreshLineMs(mark)) >= 0; }, kRecoveryLimit);
        return nMs;
    }

    CSample Sample(const std::string& strWhen) {
        Pump(milliseconds(0));
        const pid_t pid = m_daemon.Pid();
        const std::string strProc = "/proc/" + std::to_string(pid);
        CSample s{strWhen,
                  MsBetween(m_start, SteadyClock::now()),
                  RssKb(pid),
                  CountEntries(strProc + "/fd"),
                  CountEntries(strProc + "/task"),
                  m_relayed.size()};
        std::printf(
            "[ figure ] soak %6.1f s  %-34s VmRSS %5ld kB  fds %3d  threads %3d  "
            "channel lines %4zu\n",
            static_cast<double>(s.m_nAtMs) / 1000.0, strWhen.c_str(), s.m_nRssKb, s.m_nFds,
            s.m_nThreads, s.m_nRelayed);
        std::fflush(stdout);
        return s;
    }

    // Whether the names the channel client got on its join list the bot.
    bool BotInNames() const {
        for (const std::string& str : m_pAlice->Lines()) {
            if (str.find(" 353 alice ") != std::string::npos &&
                str.find("fragbot") != std::string::npos)
                return true;
        }
        return false;
    }

    // The channel's notes of event lines skipped to keep it current.
    size_t SkipNotes() const {
        size_t n = 0;
        for (const CChannelLine& line : m_relayed) {
            if (line.m_strText.find(" skipped to keep the channel current)") != std::string::npos)
                ++n;
        }
        return n;
    }

    size_t GameInfoAnswersSince(const CMark& mark) const {
        size_t n = 0;
        for (size_t i = mark.m_nRelayed; i < m_relayed.size(); ++i) {
            if (Plain(m_relayed[i].m_strText).rfind("ip ", 0) == 0) ++n;
        }
        return n;
    }

    // "!gameinfo" and CTCP requests as fast as the socket takes them.
    bool Flood(int nRound) {
        bool bSent = true;
        for (int n = 0; n < kFloodLines && bSent; ++n) {
            const std::string strN = std::to_string(nRound * 1000 + n);
            bSent = m_pAlice->SendLine("PRIVMSG #relay :!gameinfo") &&
                    m_pAlice->SendLine("PRIVMSG fragbot :\x01VERSION\x01") &&
                    m_pAlice->SendLine("PRIVMSG fragbot :\x01PING " + strN + "\x01") &&
                    m_pAlice->SendLine("PRIVMSG #relay :\x01VERSION\x01");
        }
        return bSent;
    }

    testsupport::CTempFolder m_folder;
    CNgircdServer m_ngircd;
    bf42sim::CSimServer m_sim;
    testsupport::CChildProcess m_daemon;
    std::unique_ptr<CIrcTestClient> m_pAlice;
    size_t m_nAliceSeen = 0;

    SteadyClock::time_point m_start;
    std::vector<CChannelLine> m_relayed;
    int m_nCtcpReplies = 0;
    int m_nBotJoins = 0;
    int m_nBotQuits = 0;
};

TEST_F(FragrelaydSoak, StaysFlatAndKeepsRelayingThroughRestartsAndFloods) {
    // Silent at first: the game side's first runs find no server.
    m_sim.FallSilent(-1);
    m_sim.StartLive(42, kPlayers, 0);
    ASSERT_TRUE(testsupport::WriteWholeFile(m_folder / "settings.ini",
                                            SettingsText(m_ngircd.Port(), m_sim.Port())));
    m_start = SteadyClock::now();
    ASSERT_TRUE(m_daemon.Start({FR_DAEMON_PROGRAM}, m_folder.Path()));

    // ---- Start-up: the bot joins; the game side fails and waits, twice.
    const std::string kRetry = "game: Trying again in ";
    ASSERT_TRUE(
        WaitPumping([&] { return m_nBotJoins >= 1 && OutputCount(kRetry) >= 1; }, kStepLimit))
        << OutputTail();
    const int nRetries = OutputCount(kRetry);
    const CSample waiting1 = Sample("game side waiting to retry");
    ASSERT_TRUE(WaitPumping([&] { return OutputCount(kRetry) > nRetries; }, kRecoveryLimit))
        << OutputTail();
    const CSample waiting2 = Sample("game side waiting again");
    // A failed run leaves no socket and no thread behind.
    EXPECT_EQ(waiting2.m_nFds, waiting1.m_nFds);
    EXPECT_EQ(waiting2.m_nThreads, waiting1.m_nThreads);

    // The server answers: the next run warms up and its lines reach the
    // channel (at full speed the banner's lines may be among those skipped
    // to keep the channel current).
    const CMark answered = Mark();
    m_sim.FallSilent(0);
    const long nStartFreshMs = WaitForFreshLine(answered);
    ASSERT_GE(nStartFreshMs, 0) << testing::PrintToString(m_pAlice->Lines()) << OutputTail();
    std::printf("[ figure ] soak: game server answering to its first line in the channel %ld ms\n",
                nStartFreshMs);
    const int nPollsAtFirstLine = m_sim.StatusRequests();
    ASSERT_TRUE(WaitPumping(
        [&] { return m_sim.StatusRequests() >= nPollsAtFirstLine + kWarmUpPolls; }, kStepLimit));
    const CSample base = Sample("after the warm-up");
    std::vector<CSample> steady;

    for (int nRound = 1; nRound <= kRounds; ++nRound) {
        const std::string strRound = "round " + std::to_string(nRound) + ": ";
        SCOPED_TRACE(strRound);

        // ---- A flood of requests: answered a few times, not once each.
        const CMark flooded = Mark();
        const int nCtcpBefore = m_nCtcpReplies;
        ASSERT_TRUE(Flood(nRound));
        ASSERT_TRUE(WaitPumping([&] { return GameInfoAnswersSince(flooded) >= 1; }, kStepLimit));
        const long nFloodFreshMs = WaitForFreshLine(flooded);
        ASSERT_GE(nFloodFreshMs, 0) << "no line relayed after the flood";
        EXPECT_LE(GameInfoAnswersSince(flooded), size_t{kMaxGameInfoAnswersPerFlood});
        // Limited per nick; the first flood finds the limit unused.
        EXPECT_LE(m_nCtcpReplies - nCtcpBefore, static_cast<int>(irc::CCtcpLimiter::kPerNick));
        if (nRound == 1) {
            EXPECT_GE(m_nCtcpReplies - nCtcpBefore, 1);
        }
        std::printf(
            "[ figure ] soak %s%d requests: %zu !gameinfo answers, %d CTCP replies, "
            "first fresh line after %ld ms\n",
            strRound.c_str(), 4 * kFloodLines, GameInfoAnswersSince(flooded),
            m_nCtcpReplies - nCtcpBefore, nFloodFreshMs);
        steady.push_back(Sample(strRound + "after the flood"));

        // ---- The game server goes away for a while and comes back.
        const uint16_t nGamePort = m_sim.Port();
        m_sim.Stop();
        const CMark gameDown = Mark();
        Hold(kGameOutage);
        const size_t nLinesDuringOutage = m_relayed.size() - gameDown.m_nRelayed;
        std::string strError;
        ASSERT_TRUE(m_sim.Start(nGamePort, &strError)) << strError;
        const CMark gameBack = Mark();
        const int nPollsAtRestart = m_sim.StatusRequests();
        ASSERT_TRUE(
            WaitPumping([&] { return m_sim.StatusRequests() > nPollsAtRestart; }, kRecoveryLimit));
        const long nFirstPollMs = MsBetween(gameBack.m_at, SteadyClock::now());
        const long nGameFreshMs = WaitForFreshLine(gameBack);
        ASSERT_GE(nGameFreshMs, 0) << "no fresh line after the game server came back\n"
                                   << OutputTail();
        std::printf(
            "[ figure ] soak %sgame server away %lld s (%zu queued lines went out "
            "meanwhile): first poll after %ld ms, first fresh line after %ld ms\n",
            strRound.c_str(), static_cast<long long>(kGameOutage.count()), nLinesDuringOutage,
            nFirstPollMs, nGameFreshMs);
        steady.push_back(Sample(strRound + "after the game server's return"));

        // ---- ngircd restarts: the bot comes back and joins again.
        const uint16_t nIrcPort = m_ngircd.Port();
        const auto ircDown = SteadyClock::now();
        m_ngircd.Stop();
        // The old client's last lines: the server's goodbye ends them.
        WaitPumping([&] { return m_pAlice->Count("ERROR ") > 0; }, seconds(5));
        ASSERT_TRUE(m_ngircd.Start(nIrcPort)) << m_ngircd.Log();
        const auto ircUp = SteadyClock::now();
        const int nJoinsBefore = m_nBotJoins;
        ASSERT_TRUE(ConnectChannelClient());
        // The bot may have been quicker than the client: it is then among
        // the channel's names instead.
        const bool bBotFirst = BotInNames();
        if (!bBotFirst) {
            ASSERT_TRUE(WaitPumping([&] { return m_nBotJoins > nJoinsBefore; }, kRecoveryLimit))
                << OutputTail();
        }
        const auto botBack = SteadyClock::now();
        const CMark ircBack = Mark();
        const long nIrcFreshMs = WaitForFreshLine(ircBack);
        ASSERT_GE(nIrcFreshMs, 0) << "no fresh line after the bot rejoined";
        std::printf(
            "[ figure ] soak %sngircd restarted in %ld ms; the bot back in the channel "
            "%ld ms after the stop%s, first fresh line %ld ms after that\n",
            strRound.c_str(), MsBetween(ircDown, ircUp), MsBetween(ircDown, botBack),
            bBotFirst ? " (before the client)" : "", nIrcFreshMs);
        steady.push_back(Sample(strRound + "after ngircd's restart"));
    }

    // ---- A steady stretch, then the last sample.
    const CMark stretch = Mark();
    for (int nPart = 1; nPart <= kLastStretchParts; ++nPart) {
        Hold(kLastStretchPart);
        steady.push_back(Sample("steady, " + std::to_string(nPart * kLastStretchPart.count()) +
                                " s after the last restart"));
    }
    const CSample last = steady.back();
    std::printf("[ figure ] soak: %zu channel lines in the last %lld s\n",
                m_relayed.size() - stretch.m_nRelayed,
                static_cast<long long>(kLastStretchParts * kLastStretchPart.count()));

    // Flat: descriptors and threads as after the warm-up at every steady
    // point; memory within its bound at the end.
    for (const CSample& s : steady) {
        EXPECT_EQ(s.m_nFds, base.m_nFds) << s.m_strWhen;
        EXPECT_EQ(s.m_nThreads, base.m_nThreads) << s.m_strWhen;
    }
    // The channel got the game's lines, not mostly notes of lines skipped:
    // a note at most once a queue's worth of lines, and once per new
    // connection or run.
    const size_t nNotes = SkipNotes();
    EXPECT_LE(nNotes * irc::CSendQueue::kMaxEvents,
              m_relayed.size() - nNotes + (kRounds + 2) * irc::CSendQueue::kMaxEvents)
        << nNotes << " of " << m_relayed.size() << " channel lines were notes of lines skipped";
    ASSERT_GT(base.m_nRssKb, 0);
    if (!kSanitized) {
        EXPECT_LE(last.m_nRssKb - base.m_nRssKb, kRssGrowthLimitKb)
            << "VmRSS " << base.m_nRssKb << " kB after the warm-up, " << last.m_nRssKb
            << " kB at the end";
    }
    std::printf(
        "[ figure ] soak: %zu channel lines in all (%zu of them notes of lines skipped), "
        "%d CTCP replies, VmRSS %+ld kB since the warm-up\n",
        m_relayed.size(), nNotes, m_nCtcpReplies, last.m_nRssKb - base.m_nRssKb);

    // ---- SIGTERM: ends as Quit does, within 2 s, and says QUIT.
    const auto stop = SteadyClock::now();
    m_daemon.Signal(SIGTERM);
    const int nExit = m_daemon.Wait(seconds(2));
    std::printf("[ figure ] soak: SIGTERM to exit %ld ms\n", MsBetween(stop, SteadyClock::now()));
    EXPECT_EQ(nExit, 0) << OutputTail();
    EXPECT_TRUE(WaitPumping([&] { return m_nBotQuits >= 1; }, seconds(10)))
        << testing::PrintToString(m_pAlice->Lines());
}

}  // namespace
