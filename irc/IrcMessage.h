#pragma once
// One line from the IRC server taken apart as the protocol defines it: an
// optional message-tags part (skipped: the bot asks for none) and prefix
// (":" up to the first blank), the command, then up to 15 parameters:
// middle ones separated by blanks, and a last one that starts with ":" and
// runs to the end of the line (blanks and colons included). The dispatch,
// the capability reply and the SASL steps all read lines through it; the
// last two must tell "CAP * LS * :a b" from "CAP * LS :a b". Pure; any thread.
#include <string>
#include <string_view>
#include <vector>

namespace irc {

struct CIrcMessage {
    static constexpr size_t kMaxParams = 15;

    std::string m_strPrefix;   // without its ":"; empty when the line has none
    std::string m_strCommand;  // in capitals, as commands compare without case
    std::vector<std::string> m_params;

    // Parameter n, or an empty text when the line has fewer.
    const std::string& Param(size_t n) const;
    // The last parameter (the trailing text when there is one), or "".
    const std::string& LastParam() const;

    bool operator==(const CIrcMessage&) const = default;
};

// Parses one line (without CR/LF). False when it holds no command (an empty
// line, or a prefix alone); *pMessage is then cleared. Parameters past the
// fifteenth are joined into the fifteenth, as the protocol reads them.
bool ParseIrcMessage(std::string_view strLine, CIrcMessage* pMessage);

}  // namespace irc
