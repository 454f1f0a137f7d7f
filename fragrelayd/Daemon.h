#pragma once
// fragrelayd's run: the bot without a window. It starts both sides as the
// Broadcast button does, prints both logs on standard output and the
// operator's messages on standard error, reads the settings file again on a
// reload request (SIGHUP) and, on a stop request (SIGTERM, SIGINT; Ctrl-C
// or the console's close on Windows), says QUIT and ends within two
// seconds whatever the network does. It never writes the settings file.
// Under systemd (NOTIFY_SOCKET) it says when it is ready, keeps a status
// line of both sides, and beats the watchdog only while the bot's threads
// keep their promises, so that a bot that hangs is restarted.
#include <condition_variable>
#include <mutex>
#include <string>

#include "config/Settings.h"
#include "core/Bot.h"
#include "fragrelayd/ConsoleOutput.h"
#include "fragrelayd/DaemonSettings.h"
#include "platform/Console.h"
#include "platform/ServiceNotify.h"

namespace fragrelayd {

class CDaemon final : public core::IBotObserver {
public:
    // The longest a stop waits for the bot's QUIT and the end of its threads.
    static constexpr uint32_t kStopLimitMs = 2000;
    // How late a thread may beat before the watchdog's beat is withheld.
    static constexpr uint32_t kBeatGraceMs = 5000;

    // out outlives the run; strSettingsPath is read again on a reload.
    CDaemon(CConsoleOutput& out, std::string strSettingsPath);

    // Main thread, once the stop and reload requests are caught: runs the
    // bot with these settings until a stop request. The exit status:
    // kExitOk after a stop; when neither side could start, kExitUsage if
    // precheck found both sides' settings wanting (a configuration error
    // that a restart does not mend), else kExitNothingStarted.
    int Run(const config::CSettings& settings, const CDaemonPrecheck& precheck);

    // ---- core::IBotObserver: the bot's threads.
    void OnLog(core::ESide eSide, const std::string& strLine) override;
    void OnStateChanged(const core::CBotState& state) override;
    void OnQuickInfo(const query::CQuickInfoResult&) override {}
    void OnTraffic(int32_t) override {}
    void OnMessage(const core::COperatorMessage& message) override;
    void OnEnded() override;

private:
    // Waits for the next stop or reload request, beating the watchdog on
    // the way while the bot is healthy.
    platform::EConsoleRequest WaitForRequest(core::CBot& bot, platform::CServiceNotifier& notifier);

    CConsoleOutput& m_out;
    platform::CServiceNotifier* m_pNotifier = nullptr;  // during Run
    std::mutex m_mutexStatus;
    std::string m_strStatus;  // the last status line sent; m_mutexStatus
    const std::string m_strSettingsPath;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_bEnded = false;  // m_mutex
};

// One beat of the service manager's watchdog, sent only while every thread
// of the bot keeps its promise (with CDaemon::kBeatGraceMs to spare), so that
// a bot with a stuck thread is left to the watchdog. True when the beat
// went out. The daemon's main thread, between its waits for a request.
bool BeatWatchdog(const core::CBot& bot, platform::CServiceNotifier& notifier);

}  // namespace fragrelayd
