#pragma once
// Tells the service manager how the daemon is: systemd's notification
// protocol, without libsystemd. Each message is one datagram of
// "NAME=value" lines to the AF_UNIX socket that NOTIFY_SOCKET names (a path,
// or an abstract name when it starts with '@'). Without NOTIFY_SOCKET (run
// by hand, in a test, under another manager) nothing is opened and nothing
// is sent. Windows has no such manager: there the same class does nothing.
//
// A unit with Type=notify waits for Ready(); one with WatchdogSec= restarts
// the program unless Watchdog() comes at least once per WatchdogUsec().
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

class CServiceNotifier {
public:
    // Takes NOTIFY_SOCKET, WATCHDOG_USEC and WATCHDOG_PID from the
    // process's environment. Main thread, at start, before other threads
    // might change the environment.
    CServiceNotifier();
    // The same from the given values, nullptr for a variable that is not
    // set (what the environment would hold; tests name their own socket).
    CServiceNotifier(const char* pszNotifySocket, const char* pszWatchdogUsec,
                     const char* pszWatchdogPid);
    ~CServiceNotifier();
    CServiceNotifier(const CServiceNotifier&) = delete;
    CServiceNotifier& operator=(const CServiceNotifier&) = delete;

    // A socket was named and opened: the messages below go somewhere.
    bool IsActive() const { return m_nSocket >= 0; }
    // Why not, when NOTIFY_SOCKET was set but cannot be used (a form we do
    // not know, a name too long, no socket allowed); empty otherwise. Worth
    // printing: a Type=notify unit waits for Ready() in vain.
    const std::string& Problem() const { return m_strProblem; }
    // The watchdog's limit in microseconds, 0 when no watchdog watches this
    // process (WATCHDOG_USEC unset or not a positive number, or
    // WATCHDOG_PID naming another process). Beat at least twice per limit.
    uint64_t WatchdogUsec() const { return m_nWatchdogUsec; }

    // Any thread, at any time; none of them blocks (a full socket drops
    // the message). True when the datagram was handed to the socket; false
    // when inactive or when the send failed.
    bool Ready();
    // The settings are being read again; Ready() says when that is done.
    bool Reloading();
    bool Stopping();
    // A line for "systemctl status". strText is our Windows-1252 text: it
    // leaves as UTF-8, as one line (a line break becomes a blank, so that
    // the text cannot add a line of its own) of at most MaxStatusBytes of
    // the original bytes.
    bool Status(std::string_view strText);
    // "Still alive": sent only while a watchdog watches (WatchdogUsec() > 0).
    bool Watchdog();
    // A message as it goes out: "NAME=value" lines joined by '\n'.
    bool Send(std::string_view strMessage);

    static constexpr size_t MaxStatusBytes = 1000;

private:
    void OpenSocket(std::string_view strName);

    intptr_t m_nSocket = -1;
    // sockaddr_un's sun_path as it goes out: a path, or NUL and the name.
    std::string m_strAddress;
    std::string m_strProblem;
    uint64_t m_nWatchdogUsec = 0;
};

}  // namespace platform
