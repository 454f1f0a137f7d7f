#pragma once
// The text of "settings.ini": how a file's lines set the settings and how
// they are written back, both by the keys' table (SettingsKeys.h). Pure;
// any thread. Files and pages are elsewhere (SettingsFile.h, SettingsPages.h).
#include <cstddef>
#include <string>
#include <string_view>

#include "config/Settings.h"

namespace config {

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

    explicit CSettingsParser(CSettings start = CSettings{});

    void Feed(std::string_view strChunk);
    // The end of the text: a last line without a line feed counts too.
    void Finish();
    // The reading broke off: a started line is dropped, not half read.
    void Abandon();
    const CSettings& Values() const { return m_values; }

private:
    void EndLine(bool bHadLineFeed);

    CSettings m_values;
    std::string m_strLine;
    bool m_bTooLong = false;
};

// The values a whole settings text gives, starting from the constructor values.
CSettings ParseSettings(std::string_view strText);

// A line "key=value" for every key in the table's order (the 24 old keys,
// then irc_TLS, irc_TLSFingerprint and irc_ClientCert), each value as
// SettingText writes it, each line ending "\r\n" as the file has always had
// them on disk (the reader takes "\n" alone too).
std::string FormatSettings(const CSettings& values);

}  // namespace config
