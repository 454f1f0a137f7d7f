#pragma once
// What fragrelayd shows instead of a window: every line of a side's log on
// standard output behind a prefix ("irc: ", "game: "), and every message
// for the operator on standard error as caption, ": ", text. The pages hold Windows-1252 bytes; a terminal or a journal
// expects UTF-8, so both are printed as UTF-8. Each line is written whole
// and flushed at once, so a pipe or a service manager sees it as it
// happens and lines of two threads never mix.
//
// Much of what is printed comes from outside (IRC users, the game server),
// and a terminal acts on control bytes: nothing printed holds one. The
// mIRC formatting codes go, as the window's logs drop colours; any other
// control byte is shown as \xNN.
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

#include "core/OperatorMessage.h"

namespace fragrelayd {

// Windows-1252 text as UTF-8 that is safe for a terminal and a journal:
// the mIRC formatting codes are removed (colour 0x03 with up to two digits
// and a background after a comma, hex colour 0x04 with its six hex digits
// and a background, bold 0x02, monospace 0x11, reverse 0x16, italic 0x1D,
// strike 0x1E, underline 0x1F, reset 0x0F); every other byte below 0x20,
// DEL (0x7F) and the five bytes the code page leaves undefined (0x81,
// 0x8D, 0x8F, 0x90, 0x9D, which would become C1 controls) are shown as
// "\xNN". Line breaks too: the caller splits lines first. Pure.
std::string ConsoleText(std::string_view strText);

// UTF-8 text (a path, an argument) made safe the same way: control
// characters (C0, DEL, C1) and bytes that are no UTF-8 are shown as
// "\xNN", byte by byte. Pure.
std::string ConsoleUtf8Text(std::string_view strText);

// The printed form of one log line: prefix + line + "\n", as UTF-8 safe for
// a terminal (ConsoleText; the prefix is the program's own UTF-8). A line
// that holds line breaks becomes one printed line per part, each with the
// prefix, so that no text from outside can pass for a line of its own. Pure.
std::string ConsoleLogText(std::string_view strPrefix, std::string_view strLine);

// Standard output and error of the headless program (any thread).
class CConsoleOutput final {
public:
    // Both streams must outlive the object.
    CConsoleOutput(std::FILE* pOut, std::FILE* pErr) : m_pOut(pOut), m_pErr(pErr) {}

    // One log line, printed and flushed.
    void PrintLog(std::string_view strPrefix, std::string_view strLine);
    // One line of the program's own, UTF-8 and already safe, + "\n", on the
    // output or the error stream, flushed.
    void PrintOut(std::string_view strLine);
    void PrintErr(std::string_view strLine);
    // Caption + ": " + text + "\n" on the error stream, each line of a text
    // of several behind the caption.
    void PrintMessage(const core::COperatorMessage& message);

private:
    void Print(std::FILE* pStream, std::string_view strText);

    std::mutex m_mutex;  // one line at a time on either stream
    std::FILE* m_pOut;
    std::FILE* m_pErr;
};

}  // namespace fragrelayd
