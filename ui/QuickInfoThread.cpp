#include "ui/QuickInfoThread.h"

#include <memory>
#include <string>
#include <system_error>
#include <thread>

#include "query/InfoReply.h"
#include "query/QueryResult.h"
#include "query/ServerQuery.h"
#include "res/Resource.h"
#include "ui/GameDlg.h"

namespace {

const std::string kBlank(kQuickInfoBlankLength, ' ');

// Puts the panel's seven fields into their controls. Only the panel: a
// whole-page transfer would also put back the stored language and undo a
// choice the operator has made during the check. Fields lock held.
void RefreshPanel(CGameDlg& dlg) {
    dlg.SetItemText(res::IDC_QI_GAMEPORT, dlg.m_strQiGamePort);
    dlg.SetItemText(res::IDC_QI_HOSTNAME, dlg.m_strQiHostname);
    dlg.SetItemText(res::IDC_QI_MAP, dlg.m_strQiMap);
    dlg.SetItemText(res::IDC_QI_MOD, dlg.m_strQiMod);
    dlg.SetItemText(res::IDC_QI_PLAYERS, dlg.m_strQiPlayers);
    dlg.SetItemText(res::IDC_QI_VERSION, dlg.m_strQiVersion);
    dlg.SetItemText(res::IDC_QI_STATUS, dlg.m_strQiStatus);
}

void ShowStatus(CGameDlg& dlg, const std::string& strStatus) {
    const auto lock = dlg.LockFields();
    dlg.m_strQiStatus = strStatus;
    RefreshPanel(dlg);
}

// The status is cleared before its new text, as for every panel text.
void ShowFinalStatus(CGameDlg& dlg, const std::string& strStatus) {
    ShowStatus(dlg, kBlank);
    ShowStatus(dlg, strStatus);
}

void ShowValues(CGameDlg& dlg, const CInfoReply& info) {
    const auto lock = dlg.LockFields();
    dlg.m_strQiGamePort = info.GamePortText();
    dlg.m_strQiHostname = info.m_strHostname;
    dlg.m_strQiMap = info.m_strMapName;
    dlg.m_strQiMod = info.m_strMod;
    dlg.m_strQiPlayers = info.PlayersText();
    dlg.m_strQiVersion = info.m_strVersion;
}

// No value of an earlier check may stand beside a failure.
void BlankValues(CGameDlg& dlg) {
    const auto lock = dlg.LockFields();
    for (std::string* pField : {&dlg.m_strQiGamePort, &dlg.m_strQiHostname, &dlg.m_strQiMap,
                                &dlg.m_strQiMod, &dlg.m_strQiPlayers, &dlg.m_strQiVersion})
        *pField = kBlank;
}

}  // namespace

int QuickInfoThread(CGameDlg* pGameDlg, platform::CStopSignal* pStop) {
    CGameDlg& dlg = *pGameDlg;
    ShowStatus(dlg, kQuickInfoReceiving);

    std::string strServer;
    int32_t nPort = 0;
    {
        const auto lock = dlg.LockFields();
        strServer = dlg.m_strServer;
        nPort = dlg.m_nQueryPort;
    }
    CServerQuery query(kInfoRequest, kInfoRecvFailLimit, dlg.Clock());
    query.SetSilenceLimit(kInfoSilenceLimit);
    std::string strReply;
    QueryResult nResult = query.Open(strServer, nPort);
    if (nResult == QUERY_OK) nResult = query.Exchange(strReply, pStop);
    query.Close();

    if (nResult == QUERY_OK) {
        ShowValues(dlg, ParseInfoReply(strReply));
        ShowFinalStatus(dlg, kQuickInfoIdle);
    } else {
        BlankValues(dlg);
        // Stopped is no failure: the panel just goes back to rest.
        const int nId = QueryResultStringId(nResult);
        ShowFinalStatus(dlg, nId != 0 ? dlg.LoadResString(nId) : std::string(kQuickInfoIdle));
    }
    // Over before the inputs come back: a Check pressed once they are back
    // must find no check running.
    dlg.m_bQuickInfoRunning = false;
    dlg.EnableQuickInfoInputs();
    return 0;
}

bool StartQuickInfoThread(CGameDlg& dlg) {
    if (dlg.m_bQuickInfoRunning.load()) return false;
    // The previous thread has taken its last step; only its return is left.
    if (dlg.m_pQuickInfoThread && dlg.m_pQuickInfoThread->joinable())
        dlg.m_pQuickInfoThread->join();
    dlg.m_quickInfoStop.Reset();
    dlg.m_bQuickInfoRunning = true;
    try {
        dlg.m_pQuickInfoThread =
            std::make_unique<std::thread>([&dlg] { QuickInfoThread(&dlg, &dlg.m_quickInfoStop); });
    } catch (const std::system_error&) {
        // No thread to be had: the check never ran, so the inputs come back.
        dlg.m_bQuickInfoRunning = false;
        dlg.m_pQuickInfoThread.reset();
        dlg.EnableQuickInfoInputs();
        return false;
    }
    return true;
}

bool IsQuickInfoRunning(const CGameDlg& dlg) {
    return dlg.m_bQuickInfoRunning.load();
}

void StopQuickInfoThread(CGameDlg& dlg) {
    dlg.m_quickInfoStop.Stop();
    if (dlg.m_pQuickInfoThread && dlg.m_pQuickInfoThread->joinable())
        dlg.m_pQuickInfoThread->join();
}
