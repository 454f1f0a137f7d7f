#pragma once
// Runs a program as a child process for a test: optionally in a working
// directory of the test's choosing, with its standard output and error read
// through one pipe. Every wait has a deadline, and a child still running
// when the object goes is killed.
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

namespace testsupport {

// The full path of a program on PATH, or empty.
inline std::string FindProgram(const std::string& strName) {
    const char* pszPath = std::getenv("PATH");
    std::istringstream dirs(pszPath ? pszPath : "/usr/bin:/bin");
    for (std::string strDir; std::getline(dirs, strDir, ':');) {
        const auto path = std::filesystem::path(strDir) / strName;
        if (!strDir.empty() && ::access(path.c_str(), X_OK) == 0) return path.string();
    }
    return {};
}

class CChildProcess {
public:
    CChildProcess() = default;
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;
    ~CChildProcess() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_nFd >= 0) ::close(m_nFd);
    }

    // Starts vArgs[0] (a path) with the arguments that follow it; in strDir
    // when one is given.
    bool Start(std::vector<std::string> vArgs, const std::string& strDir = {}) {
        if (vArgs.empty()) return false;
        int vPipe[2];
        if (::pipe2(vPipe, O_CLOEXEC) != 0) return false;
        // Built before the fork: the child only calls async-signal-safe functions.
        std::vector<char*> vArgv;
        for (std::string& str : vArgs) vArgv.push_back(str.data());
        vArgv.push_back(nullptr);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(vPipe[1], STDOUT_FILENO);
            ::dup2(vPipe[1], STDERR_FILENO);
            if (!strDir.empty() && ::chdir(strDir.c_str()) != 0) ::_exit(126);
            ::execv(vArgv[0], vArgv.data());
            ::_exit(127);
        }
        ::close(vPipe[1]);
        if (m_pid < 0) {
            ::close(vPipe[0]);
            return false;
        }
        m_nFd = vPipe[0];
        return true;
    }

    pid_t Pid() const { return m_pid; }
    void Signal(int nSignal) const {
        if (m_pid > 0) ::kill(m_pid, nSignal);
    }

    // Reads output until it holds strWanted, the output ends or time is up.
    bool ReadUntil(const std::string& strWanted, std::chrono::milliseconds timeout) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (m_strOutput.find(strWanted) == std::string::npos && m_nFd >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd pfd{m_nFd, POLLIN, 0};
            if (::poll(&pfd, 1, static_cast<int>(left.count())) <= 0) continue;
            char buf[4096];
            const ssize_t n = ::read(m_nFd, buf, sizeof buf);
            if (n <= 0) {  // the child closed its output
                ::close(m_nFd);
                m_nFd = -1;
            } else {
                m_strOutput.append(buf, static_cast<size_t>(n));
            }
        }
        return m_strOutput.find(strWanted) != std::string::npos;
    }

    // Reads the rest of the output and returns the exit status; -1 when the
    // child did not exit by itself in time (the destructor kills it then) or
    // ended by a signal.
    int Wait(std::chrono::milliseconds timeout) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        ReadUntil(std::string(1, '\0'), timeout);  // no NUL comes: reads to the end
        int nStatus = 0;
        while (::waitpid(m_pid, &nStatus, WNOHANG) != m_pid) {
            if (std::chrono::steady_clock::now() >= end) return -1;
            ::poll(nullptr, 0, 5);
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

}  // namespace testsupport
