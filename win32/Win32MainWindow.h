#pragma once
// The program's window: the view of the main page (template 102) as a
// top-level dialog. The page's own work (tab items, the tab pages as
// children of its tab control, showing the selected one) makes the tabs
// appear inside it; this class adds what a top-level window needs: the
// icon, the message loop's dialog keys, and the end of the loop when the
// page's run ends.
#include "win32/Win32Api.h"

#include <functional>
#include <memory>

#include "framework/Dispatcher.h"
#include "framework/Page.h"
#include "win32/Win32PageView.h"

namespace win32 {

class CWin32MainWindow {
public:
    // GUI thread: the window of mainPage with the icon resource nIconId of
    // hInstance (none when the program has no such resource). Hidden until
    // Show. The page and the dispatcher must outlive it.
    CWin32MainWindow(framework::CPage& mainPage, framework::CDispatcher& dispatcher,
                     HINSTANCE hInstance, int nIconId);
    ~CWin32MainWindow();

    // GUI thread, like every operation here.
    HWND Window() const { return m_pView->Window(); }
    CWin32PageView& View() const { return *m_pView; }
    // The view of the page that tab item nIndex of tab control nTabId
    // carries, or nullptr.
    CWin32PageView* TabPageView(int nTabId, int nIndex) const;
    void Show(int nCmdShow = SW_SHOWNORMAL);
    bool IsEnded() const { return m_bEnded; }

    // Runs messages until the page's run ends (WM_QUIT is posted then) and
    // returns its result. Enter and Escape go through the dialog manager.
    int RunMessageLoop();
    // One pass over the messages waiting now (tests): false once ended.
    bool PumpMessages();

private:
    std::unique_ptr<CWin32PageView> m_pView;
    bool m_bEnded = false;
    int m_nResult = 0;
    HICON m_hBigIcon = nullptr;
    HICON m_hSmallIcon = nullptr;
};

}  // namespace win32
