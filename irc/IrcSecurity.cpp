#include "irc/IrcSecurity.h"

namespace irc {

std::optional<CSaslConfig> SaslConfigFor(bool bAuth, EAuthNetwork eNetwork,
                                         const std::string& strAccount,
                                         const std::string& strPassword,
                                         const CIrcSecurity& security) {
    if (!bAuth || eNetwork != EAuthNetwork::Sasl) return std::nullopt;
    CSaslConfig config;
    if (!security.m_strClientCert.empty()) {
        config.m_eMechanism = ESaslMechanism::External;
    } else {
        config.m_eMechanism = ESaslMechanism::Plain;
        config.m_strAccount = strAccount;
        config.m_strPassword = strPassword;
    }
    config.m_bRegisterWithoutSasl = false;
    return config;
}

}  // namespace irc
