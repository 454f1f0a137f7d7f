#include <pthread.h>
#include <signal.h>
#include <time.h>

#include "platform/Console.h"

namespace platform {

namespace {

sigset_t StopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    return signals;
}

}  // namespace

void CatchStopRequests(bool bEvenIfIgnored) {
    // A shell starts background jobs with SIGINT ignored; an ignored signal
    // never becomes pending, so take it back first when asked.
    if (bEvenIfIgnored) {
        ::signal(SIGINT, SIG_DFL);
        ::signal(SIGTERM, SIG_DFL);
    }
    // Taken by the main thread alone: blocked before any thread starts, so
    // every thread inherits the mask.
    const sigset_t signals = StopSignals();
    ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

bool WaitForStopRequest(uint32_t nMs) {
    const sigset_t signals = StopSignals();
    timespec wait{static_cast<time_t>(nMs / 1000), static_cast<long>(nMs % 1000) * 1000000L};
    return ::sigtimedwait(&signals, nullptr, &wait) > 0;
}

void PrepareConsoleOutput() {
    ::signal(SIGPIPE, SIG_IGN);
}

}  // namespace platform
