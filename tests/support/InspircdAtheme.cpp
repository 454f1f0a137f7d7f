#include "support/InspircdAtheme.h"

#include <stdlib.h>

#include <filesystem>

namespace testsupport {

namespace {

constexpr char kLinkPassword[] = "fragrelay-link";

}  // namespace

CInspircdAtheme::CInspircdAtheme() {
    char tmpl[] = "/tmp/fragrelay-services-XXXXXX";
    if (::mkdtemp(tmpl) != nullptr) {
        m_strDir = tmpl;
        std::filesystem::create_directory(m_strDir + "/atheme-data");
    }
}

CInspircdAtheme::~CInspircdAtheme() {
    Stop();
    if (m_strDir.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(m_strDir, ec);
}

void CInspircdAtheme::Stop() {
    m_services.Stop();
    m_ircd.Stop();
}

std::string CInspircdAtheme::Log() const {
    return "---- inspircd\n" + ReadWholeFile(m_strDir + "/inspircd.out") +
           ReadWholeFile(m_strDir + "/inspircd.log") + "---- atheme\n" +
           ReadWholeFile(m_strDir + "/atheme.out");
}

bool CInspircdAtheme::WriteConfigs(const std::string& strCert, const std::string& strKey) const {
    const std::string& d = m_strDir;
    std::ofstream ircd(d + "/inspircd.conf", std::ios::trunc);
    ircd << "<server name=\"" << kServerName
         << "\" description=\"fragrelay test server\" id=\"0FR\" network=\"FragTest\">\n"
         << "<admin name=\"tests\" nick=\"tests\" email=\"tests@localhost\">\n"
         << "<bind address=\"127.0.0.1\" port=\"" << m_nPort << "\" type=\"clients\">\n"
         << "<bind address=\"127.0.0.1\" port=\"" << m_nTlsPort
         << "\" type=\"clients\" sslprofile=\"Clients\">\n"
         << "<bind address=\"127.0.0.1\" port=\"" << m_nLinkPort << "\" type=\"servers\">\n"
         << "<module name=\"ssl_gnutls\">\n"
         // The fingerprint of a client's certificate (CertFP) in SHA-256.
         << "<sslprofile name=\"Clients\" provider=\"gnutls\" certfile=\"" << strCert
         << "\" keyfile=\"" << strKey
         << "\" hash=\"sha256\" requestclientcert=\"yes\">\n"
         // Tests connect often and fast from one address: no limits, no DNS.
         << "<connect allow=\"*\" timeout=\"60\" threshold=\"1000\" pingfreq=\"600\" "
            "hardsendq=\"1048576\" softsendq=\"65536\" recvq=\"65536\" localmax=\"1000\" "
            "globalmax=\"1000\" maxconnwarn=\"no\" resolvehostnames=\"no\" useident=\"no\" "
            "limit=\"1000\" commandrate=\"1000000\" fakelag=\"no\">\n"
         << "<performance nouserdns=\"yes\">\n"
         << "<module name=\"cap\">\n<module name=\"spanningtree\">\n"
         << "<module name=\"services_account\">\n<module name=\"sasl\">\n"
         << "<module name=\"sslinfo\">\n"
         << "<sasl target=\"" << kServicesName << "\" requiressl=\"no\">\n"
         << "<link name=\"" << kServicesName << "\" ipaddr=\"127.0.0.1\" port=\"" << m_nLinkPort
         << "\" allowmask=\"127.0.0.1/32\" sendpass=\"" << kLinkPassword << "\" recvpass=\""
         << kLinkPassword << "\">\n"
         << "<uline server=\"" << kServicesName << "\" silent=\"yes\">\n"
         << "<pid file=\"" << d << "/inspircd.pid\">\n"
         << "<log method=\"file\" type=\"* -USERINPUT -USEROUTPUT\" level=\"default\" target=\""
         << d << "/inspircd.log\">\n";
    if (!ircd.flush()) return false;

    std::ofstream atheme(d + "/atheme.conf", std::ios::trunc);
    for (const char* pszModule :
         {"protocol/inspircd", "backend/opensex", "crypto/pbkdf2v2", "nickserv/main",
          "nickserv/register", "nickserv/identify", "nickserv/cert", "saslserv/main",
          "saslserv/plain", "saslserv/external"})
        atheme << "loadmodule \"modules/" << pszModule << "\";\n";
    atheme << "serverinfo {\n"
           << "  name = \"" << kServicesName << "\";\n"
           << "  desc = \"fragrelay test services\";\n"
           << "  numeric = \"00F\";\n"
           << "  recontime = 1;\n"
           << "  netname = \"FragTest\";\n"
           << "  hidehostsuffix = \"users.fragrelay.test\";\n"
           << "  adminname = \"tests\";\n  adminemail = \"tests@localhost\";\n"
           << "  registeremail = \"tests@localhost\";\n"
           << "  mta = \"/bin/false\";\n"  // never sends mail
           << "  loglevel = { error; info; admin; network; };\n"
           << "  maxlogins = 5;\n  maxusers = 5;\n  mdlimit = 30;\n"
           << "  emaillimit = 10;\n  emailtime = 300;\n"
           << "  auth = none;\n  casemapping = rfc1459;\n"
           << "};\n"
           << "uplink \"" << kServerName << "\" {\n"
           << "  host = \"127.0.0.1\";\n"
           << "  send_password = \"" << kLinkPassword << "\";\n"
           << "  receive_password = \"" << kLinkPassword << "\";\n"
           << "  port = " << m_nLinkPort << ";\n"
           << "};\n"
           << "nickserv {\n  nick = \"NickServ\";\n  user = \"NickServ\";\n"
           << "  host = \"" << kServicesName << "\";\n  real = \"Nickname Services\";\n"
           << "  maxnicks = 5;\n  expire = 30;\n};\n"
           << "saslserv {\n  nick = \"SaslServ\";\n  user = \"SaslServ\";\n"
           << "  host = \"" << kServicesName
           << "\";\n  real = \"SASL Authentication Agent\";\n};\n"
           // No rate limits: the tests register and log in back to back.
           << "general {\n  commit_interval = 5;\n  flood_msgs = 0;\n"
           << "  ratelimit_uses = 0;\n  ratelimit_period = 0;\n"
           << "  kline_time = 7;\n  clone_time = 0;\n};\n";
    return static_cast<bool>(atheme.flush());
}

bool CInspircdAtheme::Start(const std::string& strCert, const std::string& strKey) {
    if (m_strDir.empty() || m_ircd.IsRunning()) return false;
    // A free port may be taken by someone else before the server binds it.
    for (int nTry = 0; nTry < 3; ++nTry)
        if (StartOnce(strCert, strKey)) return true;
    return false;
}

bool CInspircdAtheme::StartOnce(const std::string& strCert, const std::string& strKey) {
    m_nPort = FreeLoopbackTcpPort();
    m_nTlsPort = FreeLoopbackTcpPort();
    m_nLinkPort = FreeLoopbackTcpPort();
    if (m_nPort == 0 || m_nTlsPort == 0 || m_nLinkPort == 0 || m_nPort == m_nTlsPort ||
        m_nPort == m_nLinkPort || m_nTlsPort == m_nLinkPort || !WriteConfigs(strCert, strKey))
        return false;

    std::vector<std::string> vIrcd = {kIrcd, "--config=" + m_strDir + "/inspircd.conf", "--nofork"};
    if (::geteuid() == 0) vIrcd.push_back("--runasroot");  // it refuses root otherwise
    if (!m_ircd.Start(vIrcd, m_strDir + "/inspircd.out")) return false;
    if (!m_ircd.WaitUntilUp(
            [&] {
                return AcceptsOnLoopback(m_nPort) && AcceptsOnLoopback(m_nTlsPort) &&
                       AcceptsOnLoopback(m_nLinkPort);
            },
            std::chrono::seconds(15))) {
        Stop();
        return false;
    }

    const std::string strOut = m_strDir + "/atheme.out";
    if (!m_services.Start(
            {kServices, "-n", "-c", m_strDir + "/atheme.conf", "-D", m_strDir + "/atheme-data",
             "-l", m_strDir + "/atheme.log", "-p", m_strDir + "/atheme.pid"},
            strOut)) {
        Stop();
        return false;
    }
    // Linked once the services have taken the server's burst.
    const bool bLinked = m_services.WaitUntilUp(
        [&] {
            return ReadWholeFile(strOut).find("finished synching with uplink") != std::string::npos;
        },
        std::chrono::seconds(15));
    if (!bLinked) Stop();
    return bLinked;
}

}  // namespace testsupport
