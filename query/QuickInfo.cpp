#include "query/QuickInfo.h"

#include "query/InfoReply.h"
#include "query/QueryResult.h"
#include "query/ServerQuery.h"
#include "res/StringTable.h"

namespace query {

CQuickInfoResult RunQuickInfo(const std::string& strServer, int32_t nPort,
                              platform::CClock& clock, platform::CStopSignal* pStop) {
    CServerQuery query(kInfoRequest, kInfoRecvFailLimit, clock);
    query.SetSilenceLimit(kInfoSilenceLimit);
    std::string strReply;
    EQueryResult nResult = query.Open(strServer, nPort);
    if (nResult == QUERY_OK) nResult = query.Exchange(strReply, pStop);
    query.Close();

    CQuickInfoResult result;
    if (nResult == QUERY_OK) {
        const CInfoReply info = ParseInfoReply(strReply);
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
    const int nId = QueryResultStringId(nResult);
    result.m_strStatus = nId != 0 ? res::LoadResString(nId) : std::string(kQuickInfoIdle);
    return result;
}

}  // namespace query
