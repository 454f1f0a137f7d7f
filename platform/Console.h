#pragma once
// What a program without a window needs from the system (ConsolePosix.cpp
// on Linux, ConsoleWin32.cpp on Windows): the operator's or the service
// manager's requests - stop it, or read its settings again - and output
// that a terminal or a pipe takes as UTF-8. Every other signal keeps its
// default action.
#include <cstdint>

namespace platform {

enum class EConsoleRequest { None, Stop, Reload };

// Main thread, before any other thread starts. From now on the requests to
// stop reach WaitForConsoleRequest instead of ending the process: SIGTERM
// and SIGINT on Linux; Ctrl-C, Ctrl-Break, closing the console window,
// log-off and shut-down on Windows. A program started with the interrupt
// ignored (a background job of a shell script) may keep ignoring it
// (Windows does; Linux hands it to the wait all the same), unless
// bEvenIfIgnored.
void CatchStopRequests(bool bEvenIfIgnored = false);

// Main thread, before any other thread starts: the request to read the
// settings again reaches WaitForConsoleRequest as Reload instead of ending
// the process. That is SIGHUP on Linux, the daemons' convention. Windows
// has no such request: there this does nothing and Reload never comes.
void CatchReloadRequests();

// WaitForConsoleRequest's wait without a limit.
inline constexpr uint32_t kWaitForever = 0xFFFFFFFFu;

// Main thread: waits up to nMs (kWaitForever: until one comes) for a
// request that is caught; None when none came. Each request is reported once. After a close, log-off or
// shut-down on Windows the system allows a few seconds before it ends the
// process.
EConsoleRequest WaitForConsoleRequest(uint32_t nMs);

// Once, at start: writing to a reader that went away fails instead of
// ending the process, and a Windows console shows the UTF-8 we print.
void PrepareConsoleOutput();

}  // namespace platform
