#include <pthread.h>
#include <signal.h>
#include <time.h>

#include <atomic>

#include "platform/Console.h"

namespace platform {

namespace {

// Set once by the main thread before any other thread starts.
std::atomic<bool> g_bReloadCaught{false};

sigset_t RequestSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    if (g_bReloadCaught.load()) sigaddset(&signals, SIGHUP);
    return signals;
}

}  // namespace

void CatchStopRequests(bool bEvenIfIgnored) {
    // A shell starts background jobs with SIGINT ignored; whether an ignored
    // signal that is blocked stays pending is the system's choice (Linux
    // keeps it), so take it back first when asked.
    if (bEvenIfIgnored) {
        ::signal(SIGINT, SIG_DFL);
        ::signal(SIGTERM, SIG_DFL);
    }
    // Taken by the main thread alone: blocked before any thread starts, so
    // every thread inherits the mask.
    const sigset_t signals = RequestSignals();
    ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

void CatchReloadRequests() {
    g_bReloadCaught = true;
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGHUP);
    ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

EConsoleRequest WaitForConsoleRequest(uint32_t nMs) {
    const sigset_t signals = RequestSignals();
    int nSignal = -1;
    if (nMs == kWaitForever) {
        nSignal = ::sigwaitinfo(&signals, nullptr);
    } else {
        timespec wait{static_cast<time_t>(nMs / 1000), static_cast<long>(nMs % 1000) * 1000000L};
        nSignal = ::sigtimedwait(&signals, nullptr, &wait);
    }
    if (nSignal == SIGHUP) return EConsoleRequest::Reload;
    if (nSignal == SIGTERM || nSignal == SIGINT) return EConsoleRequest::Stop;
    return EConsoleRequest::None;
}

void PrepareConsoleOutput() {
    ::signal(SIGPIPE, SIG_IGN);
}

}  // namespace platform
