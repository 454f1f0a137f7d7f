#pragma once
// The operator settings (the 24 of old and the connection's security) as plain values, and the text
// of "settings.ini": how a file's lines set them and how they are written back. Pure; any thread.
// Files and pages are elsewhere (SettingsFile.h, SettingsPages.h).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "monitor/ColorScheme.h"

namespace config {

// The IRC server of a first start, when there is no settings file yet.
inline constexpr char kDefaultIrcServer[] = "irc.quakenet.org";

// Every setting: the Settings tab's colour scheme and the rest. A
// default-constructed value holds what the pages' constructors give (texts
// empty, integers 0, list indices -1, filters on): a file that exists starts
// from here and changes only what it names.
struct CSettingsValues : monitor::CColorScheme {
    // IRC tab
    std::string m_strIrcServer;
    int16_t m_nIrcPort = 0;  // the low 16 bits of what the file says
    std::string m_strNick;
    std::string m_strAltNick;
    std::string m_strChannel;
    int32_t m_bAuth = 0;
    std::string m_strUsername;
    std::string m_strPassword;
    int32_t m_nNetwork = -1;  // 0 Quakenet, 1 Gamesnet, 2 SASL, -1 none
    int32_t m_nTicketSecs = 0;
    // IRC connection security; written after the 24 old keys, so a file from
    // before them keeps its lines and order.
    int32_t m_bTls = 0;
    std::string m_strTlsFingerprint;  // SHA-256 of the server's certificate, hex
    std::string m_strClientCert;      // PEM file: client certificate and key
    // BF42 tab
    int32_t m_nLanguage = -1;
    std::string m_strGameServer;
    int32_t m_nQueryPort = 0;
    // The Settings tab's part, as one value.
    const monitor::CColorScheme& Colors() const { return *this; }
    void SetColors(const monitor::CColorScheme& colors) {
        static_cast<monitor::CColorScheme&>(*this) = colors;
    }

    bool operator==(const CSettingsValues&) const = default;
};

// The values of a first start (no settings file): default server, port
// 6667, nick "fraghorn", Quakenet, English, query port 23000, the colours.
CSettingsValues DefaultSettings();

// Reads settings text piece by piece, so a file of any size needs no more
// memory than one line. Each line: a "//" at its very start makes it a
// comment; then every blank (0x20) goes, wherever it stands; the key is the
// text before the first "=", the value the rest. Keys match exactly; the
// last line of a key wins; unknown keys and lines without "=" are ignored.
// A line ends at a line feed, and a carriage return right before it is
// dropped. A line longer than kMaxLineChars is skipped whole; reading goes
// on after it. The text of a line stops at a NUL byte (the fields are texts).
class CSettingsParser {
public:
    static constexpr size_t kMaxLineChars = 1023;

    explicit CSettingsParser(CSettingsValues start = CSettingsValues{});

    void Feed(std::string_view strChunk);
    // The end of the text: a last line without a line feed counts too.
    void Finish();
    // The reading broke off: a started line is dropped, not half read.
    void Abandon();
    const CSettingsValues& Values() const { return m_values; }

private:
    void EndLine(bool bHadLineFeed);

    CSettingsValues m_values;
    std::string m_strLine;
    bool m_bTooLong = false;
};

// The values a whole settings text gives, starting from the constructor values.
CSettingsValues ParseSettings(std::string_view strText);

// The lines in the writer's order (the 24 old keys, then irc_TLS,
// irc_TLSFingerprint and irc_ClientCert), each ending "\r\n" as the file has
// always had them on disk (the reader takes "\n" alone too). Booleans are
// "yes" for any value but 0, else "no". A line feed or NUL inside a value
// is left out, so that no value can start a line of its own.
std::string FormatSettings(const CSettingsValues& values);

}  // namespace config
