#pragma once
// The quick-info check on a thread of its own: one info exchange
// (query/QuickInfo.h) whose result goes to the hooks its owner gives it.
// The check knows no page.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/Clock.h"
#include "query/QuickInfo.h"

namespace core {

class CQuickInfoCheck {
public:
    // Called on the check's thread, in this order: m_fnResult with what the
    // check found, then (the check no longer running) m_fnOver.
    struct CHooks {
        std::function<void(const query::CQuickInfoResult&)> m_fnResult;
        std::function<void()> m_fnOver;
    };

    explicit CQuickInfoCheck(platform::CClock& clock) : m_clock(clock) {}
    // Stops and joins a check still under way.
    ~CQuickInfoCheck() { Stop(); }
    CQuickInfoCheck(const CQuickInfoCheck&) = delete;
    CQuickInfoCheck& operator=(const CQuickInfoCheck&) = delete;

    // Starts a check on a thread of its own. A previous check that has ended
    // is joined first; while one still runs nothing starts and false is
    // returned. Without a thread to be had, m_fnOver runs at once and false is
    // returned. Owner's thread.
    bool Start(std::string strServer, int32_t nPort, CHooks hooks);
    // True from Start until the check has handed over its result, before
    // m_fnOver. Any thread.
    bool IsRunning() const { return m_bRunning.load(); }
    // Asks a running check to end and joins its thread; nothing when none
    // was started. Owner's thread.
    void Stop();

private:
    platform::CClock& m_clock;
    std::unique_ptr<std::thread> m_pThread;
    platform::CStopSignal m_stop;  // ends a check the server keeps waiting
    std::atomic<bool> m_bRunning{false};
};

}  // namespace core
