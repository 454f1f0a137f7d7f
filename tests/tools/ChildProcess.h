#pragma once
// Runs a program for a test: its output (standard and error) comes through a
// pipe, every wait has a deadline, and a child still running at the end is
// killed.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace simtest {

// The full path of a program on PATH, or empty.
inline std::string FindProgram(const std::string& strName) {
    const char* pszPath = std::getenv("PATH");
    std::istringstream dirs(pszPath ? pszPath : "/usr/bin:/bin");
    for (std::string strDir; std::getline(dirs, strDir, ':');) {
        const auto path = std::filesystem::path(strDir) / strName;
        if (!strDir.empty() && access(path.c_str(), X_OK) == 0) return path.string();
    }
    return {};
}

class CChildProcess {
public:
    ~CChildProcess() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_nFd >= 0) close(m_nFd);
    }

    // Starts vArgs[0] (a path) with the arguments.
    bool Start(const std::vector<std::string>& vArgs) {
        int vPipe[2];
        if (pipe2(vPipe, O_CLOEXEC) != 0) return false;
        m_pid = fork();
        if (m_pid == 0) {
            dup2(vPipe[1], STDOUT_FILENO);
            dup2(vPipe[1], STDERR_FILENO);
            std::vector<char*> vArgv;
            for (const auto& str : vArgs) vArgv.push_back(const_cast<char*>(str.c_str()));
            vArgv.push_back(nullptr);
            execv(vArgv[0], vArgv.data());
            _exit(127);
        }
        close(vPipe[1]);
        m_nFd = vPipe[0];
        return m_pid > 0;
    }

    // Reads output until it holds strWanted, the output ends or time is up.
    bool ReadUntil(const std::string& strWanted, std::chrono::milliseconds timeout) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (m_strOutput.find(strWanted) == std::string::npos && m_nFd >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            pollfd pfd{m_nFd, POLLIN, 0};
            if (left.count() <= 0) return false;
            if (poll(&pfd, 1, static_cast<int>(left.count())) <= 0) continue;
            char buf[4096];
            const ssize_t n = read(m_nFd, buf, sizeof buf);
            if (n <= 0) {  // the child closed its output
                close(m_nFd);
                m_nFd = -1;
            } else {
                m_strOutput.append(buf, static_cast<size_t>(n));
            }
        }
        return m_strOutput.find(strWanted) != std::string::npos;
    }

    void Signal(int nSignal) { kill(m_pid, nSignal); }

    // Reads the rest of the output and returns the exit code; -1 when the
    // child did not exit by itself in time (it is killed then).
    int Wait(std::chrono::milliseconds timeout) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        ReadUntil(std::string(1, '\0'), timeout);
        int nStatus = 0;
        while (waitpid(m_pid, &nStatus, WNOHANG) != m_pid) {
            if (std::chrono::steady_clock::now() >= end) return -1;  // the destructor kills it
            poll(nullptr, 0, 5);
        }
        m_pid = -1;
        return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
    }

    const std::string& Output() const { return m_strOutput; }

private:
    pid_t m_pid = -1;
    int m_nFd = -1;
    std::string m_strOutput;
};

}  // namespace simtest
