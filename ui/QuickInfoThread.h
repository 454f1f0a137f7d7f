#pragma once
// The quick-info check of the game tab: one info query to the game server,
// whose answer fills the "Quick Info" panel (host name, game port, mod,
// map, players, version) and whose progress or failure shows in its status
// line. It runs on a thread of its own, owned by the page
// (m_pQuickInfoThread), so that the window stays responsive.
#include "platform/Clock.h"

class CGameDlg;

// Texts of the status line besides the failure texts of the string table.
inline constexpr char kQuickInfoReceiving[] = "receive status ...";
inline constexpr char kQuickInfoIdle[] = "idle";
// What clears a panel text before its new one is written.
inline constexpr int kQuickInfoBlankLength = 65;

// The check itself, on the calling thread: status "receive status ...",
// then one info exchange with m_strServer and m_nQueryPort (10 failed
// receives, or 10 empty waits once the server was heard, end it; the
// page's clock paces re-sends). On success the six panel fields get the
// reply's values and the status "idle"; on a failure the six fields are
// blank and the status shows the failure's text. Only the panel's controls
// are refreshed, so the operator's pending language choice stays. Ends
// on every path by clearing the running flag, then EnableQuickInfoInputs;
// returns 0. pStop (optional)
// ends a check that a server keeps waiting within half a second. Quick-info
// thread (tests may call it directly).
int QuickInfoThread(CGameDlg* pGameDlg, platform::CStopSignal* pStop = nullptr);

// Starts QuickInfoThread on a new thread kept in m_pQuickInfoThread, with
// the page's own stop signal. A previous check that has ended is joined
// first; while one still runs nothing starts and false is returned. UI
// thread (the Check handler, after its validation and blanking).
bool StartQuickInfoThread(CGameDlg& dlg);

// True from StartQuickInfoThread until the check has shown its result,
// before the inputs come back. Any thread.
bool IsQuickInfoRunning(const CGameDlg& dlg);

// Asks a running check to end and joins its thread; does nothing when none
// was started. UI thread (or the page's owner before it deletes the page).
void StopQuickInfoThread(CGameDlg& dlg);
