// platform/Console.h on Windows: the console control handler and a UTF-8
// console.
#include <windows.h>

#include <cstdlib>

#include "platform/Console.h"

namespace platform {

namespace {

// Auto-reset: each request is reported once.
HANDLE StopEvent() {
    static const HANDLE s_hEvent = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    return s_hEvent;
}

// Runs on a thread the system starts for each event.
BOOL WINAPI OnConsoleEvent(DWORD dwType) {
    switch (dwType) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            ::SetEvent(StopEvent());
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            ::SetEvent(StopEvent());
            // Returning would end the process at once. The system allows a
            // few seconds; the main thread says goodbye, saves and ends the
            // process meanwhile, which also ends this thread.
            ::Sleep(INFINITE);
            return TRUE;
        default:
            return FALSE;
    }
}

UINT g_nOldOutputCp = 0;

void RestoreOutputCp() {
    // The console outlives the program: give back the code page it had.
    if (g_nOldOutputCp != 0) ::SetConsoleOutputCP(g_nOldOutputCp);
}

}  // namespace

void CatchStopRequests(bool bEvenIfIgnored) {
    StopEvent();
    // A process started with Ctrl-C ignored keeps that unless asked.
    if (bEvenIfIgnored) ::SetConsoleCtrlHandler(nullptr, FALSE);
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void CatchReloadRequests() {
    // Windows sends a console program no request to read its settings
    // again; the operator stops the program and starts it again.
}

EConsoleRequest WaitForConsoleRequest(uint32_t nMs) {
    return ::WaitForSingleObject(StopEvent(), nMs) == WAIT_OBJECT_0 ? EConsoleRequest::Stop
                                                                    : EConsoleRequest::None;
}

void PrepareConsoleOutput() {
    // Only a console shows text by its code page; a pipe or a file takes
    // the bytes as they are, which are UTF-8 already.
    const UINT nOld = ::GetConsoleOutputCP();
    if (nOld != 0 && nOld != CP_UTF8 && ::SetConsoleOutputCP(CP_UTF8)) {
        g_nOldOutputCp = nOld;
        std::atexit(RestoreOutputCp);
    }
}

}  // namespace platform
