#pragma once
// The requests a service manager or a terminal sends a program without a
// window: stop it (SIGTERM, SIGINT) or read its settings again (SIGHUP, the
// daemons' convention). Every other signal keeps its default action.
// (DaemonSignalsPosix.cpp; on Windows only the console's stop requests
// would map to Stop.)
#include <cstdint>

namespace platform {

enum class EDaemonRequest { None, Stop, Reload };

// Main thread, before any other thread starts (they inherit the mask): from
// now on the requests reach WaitForDaemonRequest instead of ending the
// process, and writing to a reader that went away fails instead of ending
// it (SIGPIPE ignored).
void CatchDaemonRequests();

// Main thread: waits up to nMs for a request; each one is reported once.
EDaemonRequest WaitForDaemonRequest(uint32_t nMs);

}  // namespace platform
