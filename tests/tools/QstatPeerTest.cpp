// A real query client checks the stand-in: Debian's qstat must list the
// players and the rules of bf42sim's replies.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "tools/bf42sim/SimServer.h"

using namespace bf42sim;

namespace {

std::string FindProgram(const std::string& strName) {
    const char* pszPath = std::getenv("PATH");
    std::string strPath = pszPath ? pszPath : "/usr/bin:/bin";
    size_t nAt = 0;
    while (nAt <= strPath.size()) {
        size_t nEnd = strPath.find(':', nAt);
        if (nEnd == std::string::npos) nEnd = strPath.size();
        const std::filesystem::path candidate =
            std::filesystem::path(strPath.substr(nAt, nEnd - nAt)) / strName;
        if (nEnd > nAt && access(candidate.c_str(), X_OK) == 0) return candidate.string();
        nAt = nEnd + 1;
    }
    return {};
}

// Runs a program and returns its standard output; the child is killed if it
// runs past the deadline. *pStatus gets its wait status (-1 when killed).
std::string RunWithDeadline(const std::vector<std::string>& vArgs,
                            std::chrono::milliseconds deadline, int* pStatus) {
    *pStatus = -1;
    int vPipe[2];
    if (pipe2(vPipe, O_CLOEXEC) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(vPipe[1], STDOUT_FILENO);
        std::vector<char*> vArgv;
        for (const auto& str : vArgs) vArgv.push_back(const_cast<char*>(str.c_str()));
        vArgv.push_back(nullptr);
        execv(vArgv[0], vArgv.data());
        _exit(127);
    }
    close(vPipe[1]);
    std::string strOut;
    const auto end = std::chrono::steady_clock::now() + deadline;
    bool bKilled = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            kill(pid, SIGKILL);
            bKilled = true;
            break;
        }
        pollfd pfd{vPipe[0], POLLIN, 0};
        if (poll(&pfd, 1, static_cast<int>(left.count())) <= 0) continue;
        char buf[4096];
        const ssize_t n = read(vPipe[0], buf, sizeof buf);
        if (n <= 0) break;  // the child closed its output
        strOut.append(buf, static_cast<size_t>(n));
    }
    close(vPipe[0]);
    int nStatus = 0;
    waitpid(pid, &nStatus, 0);
    if (!bKilled) *pStatus = nStatus;
    return strOut;
}

}  // namespace

class QstatPeer : public ::testing::Test {
protected:
    void SetUp() override {
        m_strQstat = FindProgram("quakestat");
        if (m_strQstat.empty()) {
            if (std::getenv("FR_REQUIRE_PEERS"))
                FAIL() << "quakestat (Debian package qstat) is missing";
            GTEST_SKIP() << "quakestat (Debian package qstat) is not installed";
        }
    }

    std::string Query(uint16_t nPort, int* pStatus) {
        return RunWithDeadline(
            {m_strQstat, "-gps", "127.0.0.1:" + std::to_string(nPort), "-P", "-R", "-timeout", "5"},
            std::chrono::seconds(20), pStatus);
    }

    std::string m_strQstat;
};

TEST_F(QstatPeer, ListsThePlayersAndRulesOfAScriptedServer) {
    CSimServer server;
    std::string strError;
    ASSERT_TRUE(
        server.LoadScenario("state 1\n"
                            "set hostname = Scripted Server\n"
                            "set mapname = berlin\n"
                            "player 0 1 12 10 3 45 Ann Smith\n"
                            "player 1 2 7 7 9 60 Bob\n"
                            "player 2 2 -2 0 1 99 Cid\n",
                            &strError))
        << strError;
    ASSERT_TRUE(server.Start());
    int nStatus = 0;
    const std::string strOut = Query(server.Port(), &nStatus);
    ASSERT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0) << "status " << nStatus << "\n"
                                                                 << strOut;
    EXPECT_EQ(strOut.find("no response"), std::string::npos) << strOut;
    EXPECT_NE(strOut.find("3/64"), std::string::npos) << strOut;
    EXPECT_NE(strOut.find("berlin"), std::string::npos) << strOut;
    EXPECT_NE(strOut.find("Scripted Server"), std::string::npos) << strOut;
    for (const char* pszName : {"Ann Smith", "Bob", "Cid"})
        EXPECT_NE(strOut.find(pszName), std::string::npos) << pszName;
    // The rules, empty values included.
    for (const char* pszRule :
         {"Time Limit=30", "gamemode=openplaying", "password=,", "unpure_mods=,"})
        EXPECT_NE(strOut.find(pszRule), std::string::npos) << pszRule << "\n" << strOut;
    EXPECT_GE(server.StatusRequests(), 1);
}

TEST_F(QstatPeer, ListsEveryPlayerOfAFullLiveServerSentInSeveralDatagrams) {
    CSimServer server;
    server.StartLive(9, 64, -1);
    server.StepLive(40);
    ASSERT_TRUE(server.Start());
    int nStatus = 0;
    const std::string strOut = Query(server.Port(), &nStatus);
    ASSERT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0) << strOut;
    const CSimState state = server.CurrentState();
    EXPECT_NE(strOut.find(std::to_string(state.m_vPlayers.size()) + "/64"), std::string::npos)
        << strOut;
    size_t nPlayerLines = 0;
    for (size_t nAt = strOut.find("team#"); nAt != std::string::npos;
         nAt = strOut.find("team#", nAt + 1))
        ++nPlayerLines;
    EXPECT_EQ(nPlayerLines, state.m_vPlayers.size()) << strOut;
    EXPECT_NE(strOut.find(state.GetKey("mapname")), std::string::npos) << strOut;
    EXPECT_NE(strOut.find("gamemode=" + state.GetKey("gamemode")), std::string::npos) << strOut;
}
