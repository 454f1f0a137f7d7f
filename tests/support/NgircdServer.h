#pragma once
// A real IRC server for end-to-end tests: one ngircd process on 127.0.0.1
// (and on ::1 too if asked),
// with its own configuration in its own temporary folder, in the foreground,
// without PID file, DNS, ident or PAM, and without flood penalties. "+x"
// cloaks the host as kCloakedHost. Run and stopped as a CDaemonProcess.
#include <cstdint>
#include <memory>
#include <string>

namespace testsupport {

class CDaemonProcess;

class CNgircdServer {
public:
    static constexpr char kBinary[] = "/usr/sbin/ngircd";
    static constexpr char kServerName[] = "irc.fragrelay.test";
    static constexpr char kCloakedHost[] = "cloaked.fragrelay.test";

    static bool Available();

    // bIpv6Too: listens on ::1 as well as on 127.0.0.1, on the same port.
    explicit CNgircdServer(bool bIpv6Too = false);
    ~CNgircdServer();  // stops the server and removes its folder
    CNgircdServer(const CNgircdServer&) = delete;
    CNgircdServer& operator=(const CNgircdServer&) = delete;

    // Starts the server on nPort (0: a free port) and waits until it accepts
    // connections (at most 10 s). False when it did not come up.
    bool Start(uint16_t nPort = 0);
    // SIGTERM (the server says goodbye to its clients), then waits for the
    // process; SIGKILL when it has not ended within 5 s.
    void Stop();
    bool IsRunning() const;
    uint16_t Port() const { return m_nPort; }
    // What the server wrote to stdout and stderr, for failure messages.
    std::string Log() const;

private:
    bool StartOnce(uint16_t nPort);
    bool WriteConfig(uint16_t nPort) const;

    const bool m_bIpv6Too;
    std::string m_strDir;
    std::unique_ptr<CDaemonProcess> m_pProcess;
    uint16_t m_nPort = 0;
};

}  // namespace testsupport
