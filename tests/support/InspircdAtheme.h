#pragma once
// A small IRC network with services for SASL tests: InspIRCd on 127.0.0.1
// (a plain and a TLS client port, and a server port) linked with Atheme
// (NickServ and SaslServ with PLAIN and EXTERNAL), each with its own
// configuration, data and log in one temporary folder. Started and stopped
// by the test; every wait is bounded.
#include <cstdint>
#include <string>

#include "support/DaemonProcess.h"

namespace testsupport {

class CInspircdAtheme {
public:
    static constexpr char kIrcd[] = "/usr/sbin/inspircd";
    static constexpr char kServices[] = "/usr/bin/atheme-services";
    static constexpr char kServerName[] = "irc.fragrelay.test";
    static constexpr char kServicesName[] = "services.fragrelay.test";

    static bool Available() { return ::access(kIrcd, X_OK) == 0 && ::access(kServices, X_OK) == 0; }

    CInspircdAtheme();
    ~CInspircdAtheme();  // stops both and removes the folder
    CInspircdAtheme(const CInspircdAtheme&) = delete;
    CInspircdAtheme& operator=(const CInspircdAtheme&) = delete;

    // Starts the server with this certificate and key on its TLS port, then
    // the services, and waits until they are linked (at most 30 s in all).
    bool Start(const std::string& strCert, const std::string& strKey);
    void Stop();
    uint16_t Port() const { return m_nPort; }
    uint16_t TlsPort() const { return m_nTlsPort; }
    // Both programs' logs, for failure messages.
    std::string Log() const;

private:
    bool StartOnce(const std::string& strCert, const std::string& strKey);
    bool WriteConfigs(const std::string& strCert, const std::string& strKey) const;

    std::string m_strDir;
    CDaemonProcess m_ircd;
    CDaemonProcess m_services;
    uint16_t m_nPort = 0;
    uint16_t m_nTlsPort = 0;
    uint16_t m_nLinkPort = 0;
};

}  // namespace testsupport
