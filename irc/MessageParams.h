#pragma once
// One server line taken apart as the protocol defines it: an optional
// message-tags part and prefix, the command, up to 15 parameters, the last
// one with or without its colon. Used by the capability and SASL steps,
// which must tell "CAP * LS * :a b" from "CAP * LS :a b". Pure; any thread.
#include <string>
#include <string_view>
#include <vector>

namespace irc {

struct CMessageParams {
    static constexpr size_t kMaxParams = 15;

    std::string m_strPrefix;   // without its ":"; empty when the line has none
    std::string m_strCommand;  // as sent (numerics are three digits)
    std::vector<std::string> m_vParams;

    // The parameter at nIndex, or empty.
    const std::string& Param(size_t nIndex) const;
};

// False for a line without a command. Parameters past the fifteenth are
// joined into the fifteenth, as the protocol reads them.
bool ParseMessageParams(std::string_view strLine, CMessageParams* pMessage);

}  // namespace irc
