#pragma once
// Text helpers shared by every layer. Text is std::string holding
// Windows-1252 bytes; only the screen sees UTF-8.
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// Reads a decimal integer the way the C library's atoi does: leading white
// space, an optional sign, then digits up to the first other byte; 0 when
// there are none. Saturates at the 32-bit limits instead of overflowing.
int32_t ParseLeadingInt(std::string_view str);

// Decimal text, with "-" when negative.
std::string IntToText(long long n);

// The text with every CR, LF and NUL removed: it stays one protocol line,
// whatever a peer put into it. Pure.
std::string WithoutLineBreaks(std::string_view strText);

// ASCII-only lower case, byte by byte (the other bytes stay as they are).
std::string ToLowerAscii(std::string_view str);

// Windows-1252 bytes to UTF-8 for display. The five bytes that code page
// leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the same code point.
std::string Cp1252ToUtf8(std::string_view str);

// UTF-8 typed by the operator to Windows-1252; a character the code page
// cannot hold becomes '?'. Malformed UTF-8 bytes become '?' too.
std::string Utf8ToCp1252(std::string_view str);

}  // namespace platform
