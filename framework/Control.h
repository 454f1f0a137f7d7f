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
    const CControlTemplate* m_pTemplate = nullptr;  // kind, position, template text
    int m_nId = IDC_STATIC;
    EControlKind m_eKind = EControlKind::Static;
    std::string m_strText;  // caption or text; a log's lines joined by "\n"
    bool m_bEnabled = true;
    bool m_bVisible = true;
    bool m_bReadOnly = false;
    bool m_bDigitsOnly = false;
    bool m_bPassword = false;
    int m_nCheck = BST_UNCHECKED;
    int m_nCurSel = -1;                // drop-down list or tab control; -1: none
    int m_nLimit = 0;                  // most characters the operator may type; 0: default
    std::vector<std::string> m_items;  // drop-down list items or tab captions
    std::vector<CPage*> m_params;      // tab items' pages, parallel to items
};

// What changed. Page-wide changes carry m_nId 0.
enum class EChange {
    Text,           // m_strText: the control's new text (a log: its whole text)
    Enabled,        // m_nValue 0/1
    Visible,        // m_nValue 0/1
    ReadOnly,       // m_nValue 0/1
    DigitsOnly,     // m_nValue 0/1
    Password,       // m_nValue 0/1
    Check,          // m_nValue: BST_*
    CurSel,         // m_nValue: index, -1 none
    Items,          // items (and the control's selection is then in CurSel)
    LimitText,      // m_nValue: character limit, 0 default
    LogAppend,      // m_strText: one line appended after the existing ones
    LogTrim,        // m_nValue: lines removed from the start of the log
    ScrollToEnd,    // the view shows the log's last line
    Focus,          // m_nId: the control that now has the focus (0: none)
    Title,          // page: m_strText is the new window title
    PageVisible,    // page: m_nValue 0/1
    PageMoved,      // page: m_nValue x, m_nValue2 y, in pixels within the host control
    ChildCreated,   // page: m_pChild was created inside host control m_nId
    PageEnded,      // page: EndDialog ran; m_nValue is the result
    PageDestroyed,  // page: its window is gone
};

struct CControlChange {
    uint64_t m_nSeq = 0;  // per page, increasing in the order the changes were made
    EChange m_eWhat = EChange::Text;
    int m_nId = 0;
    std::string m_strText;
    int m_nValue = 0;
    int m_nValue2 = 0;
    std::vector<std::string> m_items;
    CPage* m_pChild = nullptr;
    bool m_bByUser = false;  // made by the operator through the view or a test
};

// A page's state at one moment; changes with a greater m_nSeq follow it.
struct CPageSnapshot {
    uint64_t m_nSeq = 0;
    std::string m_strTitle;
    bool m_bVisible = true;
    int m_nX = 0;  // pixels within the host control (child pages)
    int m_nY = 0;
    int m_nFocusId = 0;
    bool m_bEnded = false;
    std::vector<CControlState> m_controls;  // template order
    std::vector<CPage*> m_children;         // child pages created inside this one
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
