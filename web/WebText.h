#pragma once
// Text for the page, its JSON and its links. The bot's text is
// Windows-1252 bytes from game servers and IRC users: anything may be in
// it, so every piece passes through here before it is shown. Pure.
#include <cstdint>
#include <string>
#include <string_view>

namespace web {

// Windows-1252 to UTF-8. A byte that stands for nothing visible (a control
// byte, DEL, or one of the five bytes the code page leaves undefined:
// 0x81, 0x8D, 0x8F, 0x90, 0x9D) becomes U+FFFD, so that the page shows that
// something was there and no reader trips on a control character.
std::string WebText(std::string_view strCp1252);

// The same, with IRC's formatting codes (bold, colours with their numbers,
// reverse, italics, underline, reset) taken out first: event lines are
// worded for the channel.
std::string WebTextFromIrc(std::string_view strCp1252);

// For HTML text and attribute values: & < > " ' as entities.
std::string HtmlEscape(std::string_view strUtf8);

// A path segment for a link (/players/NAME): every byte other than
// letters, digits and "-._~" percent-encoded.
std::string PercentEncodeSegment(std::string_view strUtf8);

// A name from a link back to the bot's bytes: UTF-8 to Windows-1252 (a
// character the code page lacks, or a malformed byte, becomes '?').
std::string NameFromWeb(std::string_view strUtf8);

// Seconds since 1970 as "2024-05-01T12:34:56Z" (UTC); empty for 0 or less.
std::string UtcText(int64_t nSeconds);

}  // namespace web
