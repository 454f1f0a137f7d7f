#pragma once
// Windows-1252 text to what a widget shows, and typed text back.
#include <QString>
#include <string>
#include <string_view>

namespace qt {

// Any thread. Text that is only shown (labels, buttons, lists, tabs, logs,
// message boxes, titles): a control byte, and a byte the code page leaves
// undefined, shows as U+FFFD, so that a NUL or a stray formatting byte
// from a server never cuts or garbles the text. With bMultiLine a "\n"
// stays a line break; a tab stays a tab.
QString ToDisplayText(std::string_view strCp1252, bool bMultiLine);

// Any thread. Text of an edit, which goes back to the page when the
// operator types: every byte keeps a character of its own (control bytes
// as their pictures, U+2400 on), so that editing one character of a text
// leaves the others' bytes as they were.
QString ToEditText(std::string_view strCp1252);

// Any thread. Typed text to Windows-1252 bytes: a character the code page
// lacks becomes '?'; a control picture becomes its control byte.
std::string FromEditText(const QString& strText);

}  // namespace qt
