#pragma once
// No line leaves longer than the protocol allows: a server drops a client
// that sends one ("Request too long") and every line queued behind it is
// lost. Pure; any thread.
#include <cstddef>
#include <string>
#include <string_view>

namespace irc {

// The protocol's 512 bytes, less the CR LF that ends every line.
inline constexpr size_t kMaxLineBytes = 510;
// PRIVMSG and NOTICE lines stay this short, so that the form the server
// relays to the channel, with the bot's full prefix in front, still fits.
inline constexpr size_t kMaxMessageBytes = 400;

// The number of leading bytes of strText to keep so that it is at most nMax
// bytes long and no mIRC colour code (0x03, up to two digits, and a comma
// with up to two more) is cut in two: a code that would be cut goes whole.
size_t ColourSafeLength(std::string_view strText, size_t nMax);

// The line (without CR LF) cut to fit: a PRIVMSG or NOTICE loses the end of
// its text (colour-safe) to stay within kMaxMessageBytes, any other line is
// cut at kMaxLineBytes. A line that fits comes back unchanged.
std::string FitLine(std::string strLine);

}  // namespace irc
