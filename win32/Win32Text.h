#pragma once
// Windows-1252 text to what a Win32 control shows (UTF-16), and typed text
// back. The same rules as the Qt view's: text that is only shown turns a
// control byte into U+FFFD; an edit keeps one character per byte.
#include <string>
#include <string_view>

namespace win32 {

// Any thread. Labels, buttons, lists, tabs, titles, message boxes and
// logs. With bMultiLine a "\n" becomes the "\r\n" that controls break on.
std::wstring ToDisplayText(std::string_view strCp1252, bool bMultiLine);

// Any thread. An edit's text: control bytes as their pictures (U+2400 on).
std::wstring ToEditText(std::string_view strCp1252);

// Any thread. Typed text to Windows-1252: a character the code page lacks
// becomes '?'; a control picture becomes its control byte.
std::string FromEditText(std::wstring_view strText);

// UTF-8 and UTF-16, for paths and the command line.
std::wstring Utf8ToWide(std::string_view str);
std::string WideToUtf8(std::wstring_view str);

}  // namespace win32
