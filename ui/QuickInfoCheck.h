#pragma once
// The quick-info check of the game tab: one info query to the game server,
// whose answer fills the "Quick Info" panel (host name, game port, mod,
// map, players, version) and whose progress or failure shows in its status
// line. The check knows no page: it runs on a thread of its own and hands
// its result to the hooks its owner gives it.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/Clock.h"

namespace ui {

// Texts of the status line besides the failure texts of the string table.
inline constexpr char kQuickInfoReceiving[] = "receive status ...";
inline constexpr char kQuickInfoIdle[] = "idle";
// What clears a panel text before its new one is written.
inline constexpr int kQuickInfoBlankLength = 65;

// What a check found, as the panel shows it: the reply's six values and the
// status "idle"; after a failure the six are blank and the status is the
// failure's text (a stopped check is no failure: blank values, "idle").
struct CQuickInfoResult {
    std::string m_strGamePort;
    std::string m_strHostname;
    std::string m_strMap;
    std::string m_strMod;
    std::string m_strPlayers;
    std::string m_strVersion;
    std::string m_strStatus;
};

// The check itself, on the calling thread: one info exchange with strServer
// on nPort (10 failed receives, or 10 empty waits once the server was heard,
// end it; the clock paces re-sends). pStop (optional) ends a check that a
// server keeps waiting within half a second.
CQuickInfoResult RunQuickInfo(const std::string& strServer, int32_t nPort,
                              platform::CClock& clock, platform::CStopSignal* pStop);

class CQuickInfoCheck {
public:
    // Called on the check's thread, in this order: fnResult with what the
    // check found, then (the check no longer running) fnOver.
    struct CHooks {
        std::function<void(const CQuickInfoResult&)> fnResult;
        std::function<void()> fnOver;
    };

    explicit CQuickInfoCheck(platform::CClock& clock) : m_clock(clock) {}
    // Stops and joins a check still under way.
    ~CQuickInfoCheck() { Stop(); }
    CQuickInfoCheck(const CQuickInfoCheck&) = delete;
    CQuickInfoCheck& operator=(const CQuickInfoCheck&) = delete;

    // Starts a check on a thread of its own. A previous check that has ended
    // is joined first; while one still runs nothing starts and false is
    // returned. Without a thread to be had, fnOver runs at once and false is
    // returned. Owner's thread (the UI thread).
    bool Start(std::string strServer, int32_t nPort, CHooks hooks);
    // True from Start until the check has handed over its result, before
    // fnOver. Any thread.
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

}  // namespace ui
