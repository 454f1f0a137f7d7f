#pragma once
// The Win32 view of one framework page: a real dialog built in memory from
// the page's template, kept in step with the page both ways.
//  - Page to controls: changes made on any thread are queued by the page's
//    link and applied here on the GUI thread, in order.
//  - Controls to page: what the operator does (typing, clicks, choices,
//    focus, Enter, Escape, the close box) runs on the UI dispatcher, which
//    the GUI thread drives (CWin32DispatcherHost), in the order it was done.
// Child pages created inside a control of this page (the tab pages of the
// main window) get views of their own, inside that control.
#include "win32/Win32Api.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/Control.h"
#include "framework/Dispatcher.h"
#include "framework/Page.h"
#include "framework/PageMailbox.h"

namespace win32 {

// Posted to a page's window when changes wait for it.
constexpr UINT WM_FR_CHANGES = WM_APP + 1;

class CWin32PageView {
public:
    // GUI thread: attaches to the page and builds its dialog (a top-level
    // window when hParent is null, else a child page inside hParent) and its
    // child pages from the page's present state. The dispatcher and the page
    // must outlive the view (or the page's window be destroyed first).
    CWin32PageView(framework::CPage& page, framework::CDispatcher& dispatcher, HINSTANCE hInstance,
                   HWND hParent = nullptr);
    CWin32PageView(std::unique_ptr<framework::CPageMailbox> pLink, framework::CDispatcher& dispatcher,
                   HINSTANCE hInstance, HWND hParent);
    // GUI thread: destroys the child views and the window.
    ~CWin32PageView();
    CWin32PageView(const CWin32PageView&) = delete;
    CWin32PageView& operator=(const CWin32PageView&) = delete;

    // GUI thread, like every operation here.
    HWND Window() const { return m_hWnd; }
    // Whether this page's window and those of all its child pages exist:
    // the system may refuse them (Wine with no display, for one).
    bool IsWhole() const;
    framework::CPage& Page() const { return m_pLink->Page(); }
    bool IsPageGone() const { return m_pLink->IsGone(); }
    HWND ControlWindow(int nId) const;
    CWin32PageView* ChildView(const framework::CPage* pChild) const;
    // The view, of this one and its children, whose window holds hWnd.
    CWin32PageView* ViewHolding(HWND hWnd);
    // Applies the changes queued so far now.
    void ApplyPendingChanges();
    // Runs when the page's run ends (EndDialog): the program's loop ends.
    void SetOnEnded(std::function<void(int)> fn) { m_fnEnded = std::move(fn); }
    // Runs when the user logs off or Windows shuts down (the top-level
    // window is told): the process ends once it returns.
    void SetOnEndSession(std::function<void()> fn) { m_fnEndSession = std::move(fn); }

    // The operator, on the dispatcher: Enter, Escape and the close box
    // reach the page that holds the focus (or this one).
    void PressEnter();
    void PressEscape();
    void RequestClose();

private:
    struct CItem {
        int m_nId = framework::IDC_STATIC;
        framework::EControlKind m_eKind = framework::EControlKind::Static;
        HWND m_hWnd = nullptr;
        int m_nLimit = 0;
        int m_nPendingEdits = 0;         // typed texts not yet taken by the page
        std::deque<size_t> m_lineChars;  // a log's lines, characters each with "\r\n"
    };

    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT nMsg, WPARAM wParam, LPARAM lParam);
    void Build(HWND hParent);
    void AddChild(framework::CPage* pChild, int nHostId);
    CItem* FindItem(int nId);
    CItem* FindItem(HWND hWnd);
    void ApplyState(CItem& item, const framework::CControlState& st);
    void ApplyChange(const framework::CControlChange& change);
    void ApplyPageChange(const framework::CControlChange& change);
    void SetText(CItem& item, const std::string& strText, bool bByUser);
    void SetItems(CItem& item, const std::vector<std::string>& items, int nCurSel);
    void SetCurSel(CItem& item, int nSel);
    void SetLimit(CItem& item, int nLimit);
    void SetStyleBit(CItem& item, DWORD dwBit, bool bOn);
    void LogSetAll(CItem& item, const std::string& strText);
    void LogAppend(CItem& item, const std::string& strLine);
    void LogTrim(CItem& item, size_t nLines);
    void LogFollowEnd(CItem& item);

    // The operator (Win32PageViewOperator.cpp).
    void OnCommand(int nId, int nCode, HWND hControl);
    void OnTyped(int nId);
    void AfterTyped(int nId, const std::string& strResult);
    void OnFocusLost();
    // Runs fnPage on the dispatcher unless the page is gone by then, then
    // fnAfter on the view's thread if the view still exists.
    void PostToPage(std::function<void(framework::CPage&)> fnPage,
                    std::function<void(CWin32PageView&)> fnAfter = nullptr);

    std::unique_ptr<framework::CPageMailbox> m_pLink;
    framework::CDispatcher& m_dispatcher;
    HINSTANCE m_hInstance;
    HWND m_hWnd = nullptr;
    std::vector<uint8_t> m_template;
    std::vector<CItem> m_items;  // template order
    std::map<int, size_t> m_index;
    std::map<const framework::CPage*, std::unique_ptr<CWin32PageView>> m_children;
    std::function<void(int)> m_fnEnded;
    std::function<void()> m_fnEndSession;
    bool m_bApplying = false;  // control notifications now come from the page
    // Tells posted work whether this view still exists (GUI thread only).
    std::shared_ptr<bool> m_pAlive = std::make_shared<bool>(true);
};

}  // namespace win32
