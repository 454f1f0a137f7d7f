#include "fragrelayd/Daemon.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "core/UpdateCheck.h"
#include "fragrelayd/DaemonCommandLine.h"
#include "fragrelayd/ServiceStatus.h"
#include "platform/Console.h"
#include "platform/PathText.h"

namespace fragrelayd {

CDaemon::CDaemon(CConsoleOutput& out, std::string strSettingsPath)
    : m_out(out), m_strSettingsPath(std::move(strSettingsPath)) {}

int CDaemon::Run(const config::CSettings& settings, const CDaemonPrecheck& precheck) {
    // Only the running daemon talks to the service manager (--check, run
    // by the unit's reload, must not).
    platform::CServiceNotifier notifier;
    if (!notifier.Problem().empty())
        m_out.PrintErr("fragrelayd: " + ConsoleUtf8Text(notifier.Problem()));
    m_pNotifier = &notifier;
    core::CBot::COptions options;
    options.m_strUpdateHost = core::BuiltUpdateHost();
    options.m_strSettingsFolder = platform::FolderOf(m_strSettingsPath);
    core::CBot bot(settings, options);
    bot.AddObserver(*this);
    bot.Start();
    if (!bot.StartBroadcast()) {
        m_out.PrintErr("fragrelayd: neither the IRC side nor the game side could be started");
        bot.Shutdown();
        m_pNotifier = nullptr;
        // Settings that neither side can start with are a configuration
        // error, which trying again does not mend.
        return precheck.m_bIrcProblems && precheck.m_bGameProblems ? kExitUsage
                                                                   : kExitNothingStarted;
    }
    // Both sides are on their way: each says where it stands as it goes.
    notifier.Ready();
    OnStateChanged(bot.State());
    for (;;) {
        const platform::EConsoleRequest eRequest = WaitForRequest(bot, notifier);
        if (eRequest == platform::EConsoleRequest::Stop) break;
        notifier.Reloading();
        ReloadDaemonSettings(bot, m_strSettingsPath, m_out);
        notifier.Ready();
    }
    notifier.Stopping();
    // QUIT, then every thread ends; each wait of the bot has its own bound,
    // and this one caps the whole.
    bot.Quit();
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_cv.wait_for(lock, std::chrono::milliseconds(kStopLimitMs), [this] { return m_bEnded; });
    }
    bot.Shutdown();
    m_pNotifier = nullptr;
    return kExitOk;
}

platform::EConsoleRequest CDaemon::WaitForRequest(core::CBot& bot,
                                                  platform::CServiceNotifier& notifier) {
    const uint64_t nWatchdogUsec = notifier.WatchdogUsec();
    if (nWatchdogUsec == 0) {
        for (;;) {
            const platform::EConsoleRequest eRequest =
                platform::WaitForConsoleRequest(platform::kWaitForever);
            if (eRequest != platform::EConsoleRequest::None) return eRequest;
        }
    }
    // Twice per limit, as the service manager asks; only while every thread
    // of the bot keeps its promise.
    const auto nBeatMs = static_cast<uint32_t>(std::max<uint64_t>(nWatchdogUsec / 2000, 1));
    for (;;) {
        const platform::EConsoleRequest eRequest = platform::WaitForConsoleRequest(nBeatMs);
        BeatWatchdog(bot, notifier);
        if (eRequest != platform::EConsoleRequest::None) return eRequest;
    }
}

bool BeatWatchdog(const core::CBot& bot, platform::CServiceNotifier& notifier) {
    return bot.IsHealthy(CDaemon::kBeatGraceMs) && notifier.Watchdog();
}

void CDaemon::OnLog(core::ESide eSide, const std::string& strLine) {
    m_out.PrintLog(eSide == core::ESide::Irc ? "irc: " : "game: ", strLine);
}

void CDaemon::OnStateChanged(const core::CBotState& state) {
    if (m_pNotifier == nullptr) return;
    const std::string strLine = ServiceStatusLine(state);
    std::lock_guard<std::mutex> lock(m_mutexStatus);
    if (strLine == m_strStatus) return;
    m_strStatus = strLine;
    m_pNotifier->Status(strLine);
}

void CDaemon::OnMessage(const core::COperatorMessage& message) {
    m_out.PrintMessage(message);
}

void CDaemon::OnEnded() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bEnded = true;
    }
    m_cv.notify_all();
}

}  // namespace fragrelayd
