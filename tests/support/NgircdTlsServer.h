#pragma once
// ngircd with its TLS port, for the TLS client's end-to-end tests: one
// process with a plain and a TLS port, both on 127.0.0.1 and on ::1, its
// configuration and log in its own temporary folder, the certificate the
// test gives. Stopped by its process id.
#include <cstdint>
#include <string>

#include "support/DaemonProcess.h"

namespace testsupport {

class CNgircdTlsServer {
public:
    static constexpr char kBinary[] = "/usr/sbin/ngircd";
    static constexpr char kServerName[] = "irc.fragrelay.test";

    static bool Available() { return ::access(kBinary, X_OK) == 0; }

    CNgircdTlsServer();
    ~CNgircdTlsServer();  // stops the server and removes its folder
    CNgircdTlsServer(const CNgircdTlsServer&) = delete;
    CNgircdTlsServer& operator=(const CNgircdTlsServer&) = delete;

    // Starts with this certificate and key (PEM) on free ports and waits
    // until both ports accept on both addresses (at most 10 s).
    bool Start(const std::string& strCert, const std::string& strKey);
    void Stop() { m_process.Stop(); }
    uint16_t Port() const { return m_nPort; }
    uint16_t TlsPort() const { return m_nTlsPort; }
    std::string Log() const { return ReadWholeFile(m_strDir + "/ngircd.log"); }

private:
    bool StartOnce(const std::string& strCert, const std::string& strKey);

    std::string m_strDir;
    CDaemonProcess m_process;
    uint16_t m_nPort = 0;
    uint16_t m_nTlsPort = 0;
};

}  // namespace testsupport
