#include "core/QuickInfoCheck.h"

#include <system_error>
#include <utility>

#include "platform/ThreadName.h"


namespace core {

bool CQuickInfoCheck::Start(std::string strServer, int32_t nPort, CHooks hooks) {
    if (m_bRunning.load()) return false;
    // The previous thread has taken its last step; only its return is left.
    if (m_pThread && m_pThread->joinable()) m_pThread->join();
    m_stop.Reset();
    m_bRunning = true;
    try {
        m_pThread = std::make_unique<std::thread>(
            [this, strServer = std::move(strServer), nPort, hooks]() {
                platform::NameThisThread("quickinfo");
                const query::CQuickInfoResult result = query::RunQuickInfo(strServer, nPort, m_clock, &m_stop);
                if (hooks.m_fnResult) hooks.m_fnResult(result);
                // Over before the owner is told: a new check asked for from
                // m_fnOver on must find none running.
                m_bRunning = false;
                if (hooks.m_fnOver) hooks.m_fnOver();
            });
    } catch (const std::system_error&) {
        // No thread to be had: the check never ran.
        m_bRunning = false;
        m_pThread.reset();
        if (hooks.m_fnOver) hooks.m_fnOver();
        return false;
    }
    return true;
}

void CQuickInfoCheck::Stop() {
    m_stop.Stop();
    if (m_pThread && m_pThread->joinable()) m_pThread->join();
}

}  // namespace core
