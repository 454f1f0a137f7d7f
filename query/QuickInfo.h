#pragma once
// The quick-info exchange: one info query to the game server, whose answer
// fills the "Quick Info" panel (host name, game port, mod, map,
// players, version) and whose failure shows in its status line. Runs on the
// calling thread; core/QuickInfoCheck gives it a thread of its own.
#include <cstdint>
#include <string>

#include "platform/Clock.h"

namespace query {

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

}  // namespace query
