#pragma once
// Control state as data, the changes a view is told about, and the view
// interface. A control's state lives in its page (CPage); a view mirrors it.
#include <cstdint>
#include <string>
#include <vector>

#include "framework/DialogTemplate.h"

namespace framework {

class CPage;

// Notifications a page's handlers can be mapped to (CPage::MapNotify).
enum class ENotify {
    Clicked,      // button or check box clicked by the operator
    SetFocus,     // control gained the focus
    KillFocus,    // control lost the focus
    SelChanging,  // tab control: the selection is about to change
    SelChange,    // tab control or drop-down list: the selection changed
};

// Check box states.
constexpr int BST_UNCHECKED = 0;
constexpr int BST_CHECKED = 1;

// The whole state of one control, as a snapshot.
struct CControlState {
    const CControlTemplate* pTemplate = nullptr;  // kind, position, template text
    int nId = IDC_STATIC;
    EControlKind eKind = EControlKind::Static;
    std::string strText;  // caption or text; a log's lines joined by "\n"
    bool bEnabled = true;
    bool bVisible = true;
    bool bReadOnly = false;
    bool bDigitsOnly = false;
    bool bPassword = false;
    int nCheck = BST_UNCHECKED;
    int nCurSel = -1;                // drop-down list or tab control; -1: none
    int nLimit = 0;                  // most characters the operator may type; 0: default
    std::vector<std::string> items;  // drop-down list items or tab captions
    std::vector<CPage*> params;      // tab items' pages, parallel to items
};

// What changed. Page-wide changes carry nId 0.
enum class EChange {
    Text,           // strText: the control's new text (a log: its whole text)
    Enabled,        // nValue 0/1
    Visible,        // nValue 0/1
    ReadOnly,       // nValue 0/1
    DigitsOnly,     // nValue 0/1
    Password,       // nValue 0/1
    Check,          // nValue: BST_*
    CurSel,         // nValue: index, -1 none
    Items,          // items (and the control's selection is then in CurSel)
    LimitText,      // nValue: character limit, 0 default
    LogAppend,      // strText: one line appended after the existing ones
    LogTrim,        // nValue: lines removed from the start of the log
    ScrollToEnd,    // the view shows the log's last line
    Focus,          // nId: the control that now has the focus (0: none)
    Title,          // page: strText is the new window title
    PageVisible,    // page: nValue 0/1
    PageMoved,      // page: nValue x, nValue2 y, in pixels within the host control
    ChildCreated,   // page: pChild was created inside host control nId
    PageEnded,      // page: EndDialog ran; nValue is the result
    PageDestroyed,  // page: its window is gone
};

struct CControlChange {
    uint64_t nSeq = 0;  // per page, increasing in the order the changes were made
    EChange eWhat = EChange::Text;
    int nId = 0;
    std::string strText;
    int nValue = 0;
    int nValue2 = 0;
    std::vector<std::string> items;
    CPage* pChild = nullptr;
    bool bByUser = false;  // made by the operator through the view or a test
};

// A page's state at one moment; changes with a greater nSeq follow it.
struct CPageSnapshot {
    uint64_t nSeq = 0;
    std::string strTitle;
    bool bVisible = true;
    int nX = 0;  // pixels within the host control (child pages)
    int nY = 0;
    int nFocusId = 0;
    bool bEnded = false;
    std::vector<CControlState> controls;  // template order
    std::vector<CPage*> children;         // child pages created inside this one
};

// Implemented by the Qt view (and by tests and the headless printer).
class IPageView {
public:
    virtual ~IPageView() = default;
    // Told of every change after the snapshot that AttachView returned, one
    // at a time and in order. It may be called on any thread (the thread
    // that made the change or another writer's), never with the page's lock
    // held, so it may read the page; a Qt view queues the change to the GUI
    // thread and must not block on it.
    virtual void OnPageChanged(CPage& page, const CControlChange& change) = 0;
};

}  // namespace framework
