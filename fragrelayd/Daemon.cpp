#include "fragrelayd/Daemon.h"

#include <chrono>
#include <utility>

#include "core/UpdateCheck.h"
#include "fragrelayd/DaemonCommandLine.h"
#include "platform/Console.h"

namespace fragrelayd {

CDaemon::CDaemon(CConsoleOutput& out, std::string strSettingsPath)
    : m_out(out), m_strSettingsPath(std::move(strSettingsPath)) {}

int CDaemon::Run(const config::CSettings& settings, const CDaemonPrecheck& precheck) {
    core::CBot::COptions options;
    options.strUpdateHost = core::BuiltUpdateHost();
    core::CBot bot(settings, options);
    bot.AddObserver(*this);
    bot.Start();
    if (!bot.StartBroadcast()) {
        m_out.PrintErr("fragrelayd: neither the IRC side nor the game side could be started");
        bot.Shutdown();
        // Settings that neither side can start with are a configuration
        // error, which trying again does not mend.
        return precheck.bIrcProblems && precheck.bGameProblems ? kExitUsage : kExitNothingStarted;
    }
    for (;;) {
        const platform::EConsoleRequest eRequest =
            platform::WaitForConsoleRequest(platform::kWaitForever);
        if (eRequest == platform::EConsoleRequest::Stop) break;
        if (eRequest == platform::EConsoleRequest::Reload)
            ReloadDaemonSettings(bot, m_strSettingsPath, m_out);
    }
    // QUIT, then every thread ends; each wait of the bot has its own bound,
    // and this one caps the whole.
    bot.Quit();
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_cv.wait_for(lock, std::chrono::milliseconds(kStopLimitMs), [this] { return m_bEnded; });
    }
    bot.Shutdown();
    return kExitOk;
}

void CDaemon::OnLog(core::ESide eSide, const std::string& strLine) {
    m_out.PrintLog(eSide == core::ESide::Irc ? "irc: " : "game: ", strLine);
}

void CDaemon::OnStateChanged(const core::CBotState& /*state*/) {}

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
