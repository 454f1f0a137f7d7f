#pragma once
// One line from the IRC server taken apart as the protocol defines it: an
// optional prefix (":" up to the first blank), the command, then the
// parameters: middle ones separated by blanks, and a last one that starts
// with ":" and runs to the end of the line (blanks and colons included).
// Pure; any thread.
#include <string>
#include <string_view>
#include <vector>

namespace irc {

struct CIrcMessage {
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
// line, or a prefix alone); *pMessage is then cleared.
bool ParseIrcMessage(std::string_view strLine, CIrcMessage* pMessage);

}  // namespace irc
