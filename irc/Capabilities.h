#pragma once
// Capability negotiation (CAP) as pure functions: the server's CAP replies
// taken apart, and the LS reply gathered over its lines into the list of
// what the server offers, within fixed bounds so that a server sending CAP
// lines without end never grows memory. Any thread; no shared state.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace irc {

// One CAP line from the server: "CAP <nick or *> <subcommand> [*] :<list>".
struct CCapReply {
    std::string m_strSubcommand;  // LS, ACK, NAK, NEW, DEL, LIST... in upper case
    bool m_bMore = false;         // "*" before the list: more lines of this reply follow
    std::string m_strList;        // the space-separated list as sent
};

// True when the line is a CAP reply; *pReply gets its parts.
bool ParseCapReply(std::string_view strLine, CCapReply* pReply);

// One entry of a list: "name" or "name=value". An ACK may put "-" (disable)
// before a name; it stays part of the name.
struct CCapability {
    std::string m_strName;
    std::string m_strValue;
    bool operator==(const CCapability&) const = default;
};

// The entries of a list in order, at most nMax of them.
std::vector<CCapability> SplitCapList(std::string_view strList, size_t nMax);

// The names a capability value lists, separated by commas
// ("sasl=PLAIN,EXTERNAL" gives PLAIN and EXTERNAL).
std::vector<std::string> SplitCapValue(std::string_view strValue);

// What the server offers, gathered from the lines of one LS reply.
class CCapOffer {
public:
    static constexpr size_t kMaxLines = 32;
    static constexpr size_t kMaxBytes = 16384;  // of list text, all lines together
    static constexpr size_t kMaxCaps = 256;

    enum class EAdd { More, Complete, TooLong };

    // Adds one LS line. TooLong once the reply passes a bound: what was
    // gathered stays, and the caller gives up on the reply.
    EAdd Add(const CCapReply& reply);
    bool Offers(std::string_view strName) const;
    // The value after "name=", empty when there is none.
    std::string ValueOf(std::string_view strName) const;
    const std::vector<CCapability>& Caps() const { return m_vCaps; }

private:
    std::vector<CCapability> m_vCaps;
    size_t m_nLines = 0;
    size_t m_nBytes = 0;
};

}  // namespace irc
