#pragma once
// How the IRC connection is protected and how the bot logs in: TLS with its
// checks, and SASL as the third choice of the account networks. One value,
// so the connection's settings travel together. Pure; any thread.
#include <cstdint>
#include <optional>
#include <string>

#include "irc/Sasl.h"

namespace irc {

// The account network that means SASL (0 Quakenet and 1 Gamesnet take an
// account message after registration instead).
inline constexpr int kNetworkSasl = 2;

// How the bot logs in to its account, as the settings number it.
enum class EAuthNetwork {
    None,      // any other number: no account service, "+x" alone
    Quakenet,  // 0: "auth" to Q after the registration
    Gamesnet,  // 1: "auth" to AuthServ after the registration
    Sasl,      // kNetworkSasl: SASL within the registration
};

// The settings' number read as the network it names.
inline EAuthNetwork AuthNetworkOf(int32_t nNetwork) {
    switch (nNetwork) {
        case 0:
            return EAuthNetwork::Quakenet;
        case 1:
            return EAuthNetwork::Gamesnet;
        case kNetworkSasl:
            return EAuthNetwork::Sasl;
        default:
            return EAuthNetwork::None;
    }
}

// A TLS connection stands: followed by its version and the certificate's fingerprint.
inline constexpr char kTextTlsConnected[] = "TLS: ";

struct CIrcSecurity {
    bool m_bTls = false;
    // Pinned SHA-256 of the server's certificate, hex, colons allowed.
    // Empty: verify the chain against the system's trust store and the name.
    std::string m_strTlsFingerprint;
    // PEM file with the client certificate and its key (CertFP, SASL EXTERNAL).
    std::string m_strClientCert;

    bool operator==(const CIrcSecurity&) const = default;
};

// The SASL negotiation the registration runs, or none: with authentication
// on and SASL chosen, EXTERNAL when a client certificate is set, else PLAIN
// with the account and password. SASL failing always ends the connection:
// the bot never registers without the login the operator asked for.
std::optional<CSaslConfig> SaslConfigFor(bool bAuth, EAuthNetwork eNetwork,
                                         const std::string& strAccount,
                                         const std::string& strPassword,
                                         const CIrcSecurity& security);

}  // namespace irc
