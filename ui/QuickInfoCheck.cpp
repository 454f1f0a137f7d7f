#include "ui/QuickInfoCheck.h"

#include <system_error>
#include <utility>

#include "query/InfoReply.h"
#include "query/QueryResult.h"
#include "query/ServerQuery.h"
#include "res/StringTable.h"

namespace ui {

CQuickInfoResult RunQuickInfo(const std::string& strServer, int32_t nPort,
                              platform::CClock& clock, platform::CStopSignal* pStop) {
    query::CServerQuery query(query::kInfoRequest, query::kInfoRecvFailLimit, clock);
    query.SetSilenceLimit(query::kInfoSilenceLimit);
    std::string strReply;
    query::QueryResult nResult = query.Open(strServer, nPort);
    if (nResult == query::QUERY_OK) nResult = query.Exchange(strReply, pStop);
    query.Close();

    CQuickInfoResult result;
    if (nResult == query::QUERY_OK) {
        const query::CInfoReply info = query::ParseInfoReply(strReply);
        result.m_strGamePort = info.GamePortText();
        result.m_strHostname = info.m_strHostname;
        result.m_strMap = info.m_strMapName;
        result.m_strMod = info.m_strMod;
        result.m_strPlayers = info.PlayersText();
        result.m_strVersion = info.m_strVersion;
        result.m_strStatus = kQuickInfoIdle;
        return result;
    }
    // No value of an earlier check may stand beside a failure.
    const std::string strBlank(kQuickInfoBlankLength, ' ');
    for (std::string* pField : {&result.m_strGamePort, &result.m_strHostname, &result.m_strMap,
                                &result.m_strMod, &result.m_strPlayers, &result.m_strVersion})
        *pField = strBlank;
    // Stopped is no failure: the panel just goes back to rest.
    const int nId = query::QueryResultStringId(nResult);
    result.m_strStatus = nId != 0 ? res::LoadResString(nId) : std::string(kQuickInfoIdle);
    return result;
}

bool CQuickInfoCheck::Start(std::string strServer, int32_t nPort, CHooks hooks) {
    if (m_bRunning.load()) return false;
    // The previous thread has taken its last step; only its return is left.
    if (m_pThread && m_pThread->joinable()) m_pThread->join();
    m_stop.Reset();
    m_bRunning = true;
    try {
        m_pThread = std::make_unique<std::thread>(
            [this, strServer = std::move(strServer), nPort, hooks]() {
                const CQuickInfoResult result = RunQuickInfo(strServer, nPort, m_clock, &m_stop);
                if (hooks.fnResult) hooks.fnResult(result);
                // Over before the owner is told: a new check asked for from
                // fnOver on must find none running.
                m_bRunning = false;
                if (hooks.fnOver) hooks.fnOver();
            });
    } catch (const std::system_error&) {
        // No thread to be had: the check never ran.
        m_bRunning = false;
        m_pThread.reset();
        if (hooks.fnOver) hooks.fnOver();
        return false;
    }
    return true;
}

void CQuickInfoCheck::Stop() {
    m_stop.Stop();
    if (m_pThread && m_pThread->joinable()) m_pThread->join();
}

}  // namespace ui
