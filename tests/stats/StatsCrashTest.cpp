// A process that writes statistics and dies (kill -9) or runs out of room
// (a file size limit) loses at most the round going on, never the file.
#include <signal.h>

#include <gtest/gtest.h>

#include <chrono>
#include <regex>

#include "stats/StatsService.h"
#include "tests/config/TempFolder.h"
#include "tests/stats/PollScript.h"
#include "tests/stats/StoreSupport.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Wait.h"

namespace {

using namespace std::chrono_literals;

// The last "written N" the child said.
uint64_t LastWritten(const std::string& strOutput) {
    uint64_t nLast = 0;
    static const std::regex kWritten("written ([0-9]+)\n");
    for (auto it = std::sregex_iterator(strOutput.begin(), strOutput.end(), kWritten);
         it != std::sregex_iterator(); ++it)
        nLast = std::stoull((*it)[1]);
    return nLast;
}

uint64_t Rounds(const std::string& strPath) {
    return std::stoull("0" + statstest::Peek(strPath, "SELECT count(*) FROM rounds"));
}

TEST(StatsCrash, KillNineLosesAtMostTheRoundGoingOn) {
    testsupport::CTempFolder folder;
    const std::string strPath = folder / "stats.db";
    for (int nRun = 0; nRun < 2; ++nRun) {
        SCOPED_TRACE("run " + std::to_string(nRun));
        const uint64_t nBefore = nRun == 0 ? 0 : Rounds(strPath);
        testsupport::CChildProcess child;
        ASSERT_TRUE(child.Start({FR_STATS_CHILD, strPath}));
        ASSERT_TRUE(child.ReadUntil("written 8\n", 30s)) << child.Output();
        child.Signal(SIGKILL);  // in the middle of its next rounds
        child.Wait(10s);
        const uint64_t nSaid = LastWritten(child.Output());
        ASSERT_GE(nSaid, 8u);
        EXPECT_EQ(statstest::Peek(strPath, "PRAGMA integrity_check"), "ok");
        // Every round it said was written is there; at most one more that it had no time to say.
        const uint64_t nRounds = Rounds(strPath);
        EXPECT_GE(nRounds, nBefore + nSaid);
        EXPECT_LE(nRounds, nBefore + nSaid + 1);
    }
    // And the file goes on being written.
    stats::CStatsService service(strPath, [](const std::string&) {});
    service.Start();
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] { return service.Figures().m_eState == stats::EStatsState::On; }));
    service.Stop();
    EXPECT_EQ(service.Figures().m_strWhyOff, "");
}

TEST(StatsCrash, AFileSizeLimitStopsTheWritingOnceAndKeepsWhatWasWritten) {
    testsupport::CTempFolder folder;
    const std::string strPath = folder / "stats.db";
    testsupport::CChildProcess child;
    ASSERT_TRUE(child.Start({FR_STATS_CHILD, strPath, std::to_string(512 * 1024)}));
    ASSERT_EQ(child.Wait(60s), 0) << child.Output();
    const std::string& strOut = child.Output();
    const uint64_t nSaid = LastWritten(strOut);
    EXPECT_GT(nSaid, 0u) << strOut;
    // One line in the log, however many rounds came after.
    size_t nLogLines = 0;
    for (size_t n = strOut.find("log: "); n != std::string::npos; n = strOut.find("log: ", n + 1))
        ++nLogLines;
    EXPECT_EQ(nLogLines, 1u) << strOut;
    EXPECT_NE(strOut.find("log: Statistics stopped"), std::string::npos) << strOut;
    EXPECT_NE(strOut.find("done " + std::to_string(nSaid) + "\n"), std::string::npos) << strOut;
    EXPECT_EQ(statstest::Peek(strPath, "PRAGMA integrity_check"), "ok");
    EXPECT_EQ(Rounds(strPath), nSaid);
}

}  // namespace
