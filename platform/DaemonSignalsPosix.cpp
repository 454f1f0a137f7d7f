#include "platform/DaemonSignals.h"

#include <pthread.h>
#include <signal.h>

#include <ctime>

namespace platform {

namespace {

sigset_t RequestSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGHUP);
    return signals;
}

}  // namespace

void CatchDaemonRequests() {
    // Blocked signals are taken by sigtimedwait alone, also a SIGINT that a
    // shell set to be ignored for a background job.
    const sigset_t signals = RequestSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

EDaemonRequest WaitForDaemonRequest(uint32_t nMs) {
    const sigset_t signals = RequestSignals();
    const timespec wait{static_cast<time_t>(nMs / 1000), static_cast<long>(nMs % 1000) * 1000000L};
    const int nSignal = sigtimedwait(&signals, nullptr, &wait);
    if (nSignal == SIGHUP) return EDaemonRequest::Reload;
    if (nSignal == SIGTERM || nSignal == SIGINT) return EDaemonRequest::Stop;
    return EDaemonRequest::None;
}

}  // namespace platform
