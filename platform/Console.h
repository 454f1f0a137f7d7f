#pragma once
// What a program without a window needs from the system (ConsolePosix.cpp
// on Linux, ConsoleWin32.cpp on Windows): the operator's requests to stop
// it, and output that a terminal or a pipe takes as UTF-8.
#include <cstdint>

namespace platform {

// Main thread, before any other thread starts. From now on the requests to
// stop reach WaitForStopRequest instead of ending the process: SIGTERM and
// SIGINT on Linux; Ctrl-C, Ctrl-Break, closing the console window, log-off
// and shut-down on Windows. A program started with the interrupt ignored
// (a background job of a shell script) keeps ignoring it, unless
// bEvenIfIgnored.
void CatchStopRequests(bool bEvenIfIgnored = false);

// Main thread: waits up to nMs for a stop request; true when one came
// (each request is reported once). After a close, log-off or shut-down on
// Windows the system allows a few seconds before it ends the process.
bool WaitForStopRequest(uint32_t nMs);

// Once, at start: writing to a reader that went away fails instead of
// ending the process, and a Windows console shows the UTF-8 we print.
void PrepareConsoleOutput();

}  // namespace platform
