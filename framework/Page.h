#pragma once
// A dialog page built from a template. Its controls are state that any
// thread may read and write: each change is applied under the page's lock,
// one at a time, and every attached view is told of it in the same order.
// Handlers (clicks, focus, selection) run on the thread that caused them:
// the UI thread for the operator's actions, which the view runs through the
// dispatcher; a test acting as the operator calls the same operations.
//
// Unknown control ids are programming errors: setters return false,
// getters return empty values, and UnknownIdUses() counts them so that each
// page's tests can assert it stays 0.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "framework/ChangeQueue.h"
#include "framework/Control.h"
#include "framework/DataExchange.h"
#include "framework/DialogTemplate.h"
#include "framework/MessageBox.h"

namespace framework {

class CLogBuffer;

class CPage {
public:
    // A page made from a template that outlives it; nullptr (a template
    // the caller did not find) gives a page without controls, and Create
    // fails.
    explicit CPage(const CDialogTemplate* pTemplate);
    // A page made from the caller's template, which must outlive it.
    explicit CPage(const CDialogTemplate& tmpl);
    // Detaches all views (waiting for a delivery in progress). Derived pages
    // stop their threads before this runs.
    virtual ~CPage();
    CPage(const CPage&) = delete;
    CPage& operator=(const CPage&) = delete;

    // ---- Window life (UI thread) ----
    // Builds the controls from the template, then runs OnInitDialog. A child
    // page names its parent page and the parent's control it lives in (the
    // tab control). False when already created or the template is unknown.
    bool Create(IMessageSink& messages, CPage* pParent = nullptr, int nHostId = 0);
    bool IsCreated() const { return m_bCreated.load(); }
    // Runs OnDestroy and tells the views; the state stays readable.
    void DestroyWindow();
    const CDialogTemplate& Template() const { return *m_pTemplate; }
    // The caption of the page's own message boxes (a refused transfer); the
    // program gives its name. Before Create.
    void SetMessageTitle(std::string strTitle) { m_strMessageTitle = std::move(strTitle); }
    const std::string& MessageTitle() const { return m_strMessageTitle; }
    bool HasTemplate() const { return m_bHasTemplate; }
    CPage* Parent() const { return m_pParent; }
    int HostId() const { return m_nHostId; }

    // Page-wide state (any thread).
    void ShowWindow(bool bShow);
    bool IsWindowVisible() const;
    // Position in pixels within the parent's host control.
    void MoveWindow(int nX, int nY);
    void SetWindowText(std::string strTitle);
    std::string GetWindowText() const;
    // Ends the page's modal run (the main window) with a result (IDOK, ...).
    void EndDialog(int nResult);
    bool IsEnded() const;
    int ModalResult() const;

    // ---- Data exchange ----
    // Moves every declared field to its control (false) or back (true, with
    // validation). On a failure it shows the message box, puts the focus on
    // the control and returns false; fields from that one on keep their
    // values. Transfers of one page run one at a time (any thread).
    bool UpdateData(bool bSaveAndValidate = true);
    // Held by every transfer: hold it to read fields that a transfer on
    // another thread may replace. Recursive; never hold it while waiting for
    // the UI thread.
    std::unique_lock<std::recursive_mutex> LockFields() const;

    // ---- Message boxes (any thread; blocks until the box is closed) ----
    // Without a sink (before Create) the message is dropped and IDOK returned.
    int MessageBox(const std::string& strText, const std::string& strCaption, EIcon eIcon,
                   EButtons eButtons = EButtons::Ok) const;
    IMessageSink* MessageSink() const { return m_pMessages.load(); }

    // ---- Control state (any thread) ----
    bool HasItem(int nId) const;
    EControlKind ItemKind(int nId) const;  // Static for an unknown id
    // Caption or text. On a log: the whole text (lines joined by "\n").
    // Setting ignores the typing limit, as a program may.
    std::string GetItemText(int nId) const;
    bool SetItemText(int nId, std::string strText);
    bool EnableItem(int nId, bool bEnable);
    bool IsItemEnabled(int nId) const;
    bool ShowItem(int nId, bool bShow);
    bool IsItemVisible(int nId) const;
    bool SetReadOnly(int nId, bool bReadOnly);
    bool IsReadOnly(int nId) const;
    bool SetCheck(int nId, int nCheck);  // BST_UNCHECKED or BST_CHECKED
    int GetCheck(int nId) const;
    // Selection of a drop-down list or tab control; out of range clears it.
    bool SetCurSel(int nId, int nIndex);
    int GetCurSel(int nId) const;
    bool SetListItems(int nId, std::vector<std::string> items);  // clears the selection
    bool AddListItem(int nId, std::string strItem);
    std::vector<std::string> GetListItems(int nId) const;
    // Most characters the operator may type (0: the edit default, 30000).
    bool SetLimitText(int nId, int nMaxChars);
    int GetLimitText(int nId) const;
    bool SetDigitsOnly(int nId, bool bDigitsOnly);
    bool IsDigitsOnly(int nId) const;
    bool SetPasswordStyle(int nId, bool bPassword);
    bool IsPasswordStyle(int nId) const;

    // Logs (RichEditLog controls). An append costs the same however long the
    // log is: the oldest lines go once it holds more than its limits
    // (default kLogMaxLines lines, kLogMaxBytes bytes), and views are told
    // of the appended line, not the whole text. A "\n" in strLine starts a
    // further line.
    static constexpr size_t kLogMaxLines = 2000;
    static constexpr size_t kLogMaxBytes = 256 * 1024;
    bool AppendLogLine(int nId, std::string_view strLine);
    bool ScrollToEnd(int nId);
    size_t GetLogLineCount(int nId) const;
    bool SetLogLimits(int nId, size_t nMaxLines, size_t nMaxBytes);

    // Tab control items: caption and page pointer per index.
    bool InsertTabItem(int nId, int nIndex, std::string strCaption, CPage* pParam);
    CPage* GetTabItemParam(int nId, int nIndex) const;  // nullptr when out of range

    // Focus: the control with the keyboard focus (0: none). Setting it runs
    // the KillFocus handler of the old control and the SetFocus handler of
    // the new one on the calling thread.
    bool SetFocusItem(int nId);
    int GetFocusItem() const;

    // Everything, for a view or a test.
    CPageSnapshot Snapshot() const;
    // Count of calls that named a control this page does not have, or used
    // a control as a kind it is not (appending to a button, ...).
    size_t UnknownIdUses() const { return m_nUnknownIds.load(); }

    // ---- Views (any thread) ----
    // Attaches a view and returns the state it starts from; it is told of
    // every later change. DetachView returns once no delivery to the view
    // is in progress (unless called from inside one).
    CPageSnapshot AttachView(IPageView& view);
    void DetachView(IPageView& view);

    // ---- The operator (UI thread, or a test acting as the operator) ----
    // Each of these that works on a control first moves the focus to it, as
    // the mouse would (running the KillFocus/SetFocus handlers).
    // Replaces the text as typing would: ignored (returns the old text) on a
    // read-only, disabled or hidden control or on a non-edit; non-digits
    // dropped on a digits-only edit; cut at the limit. Returns the new text.
    std::string TypeText(int nId, std::string_view strText);
    // Clicks a button or check box: ignored (false) when disabled or hidden.
    // An AutoCheck box toggles itself first; then the Clicked handler runs.
    bool Click(int nId);
    // Chooses an item of a drop-down list or a tab (SelChanging, the new
    // selection, SelChange). False when disabled, hidden or out of range.
    bool ChooseItem(int nId, int nIndex);
    // Puts the focus on a control as a mouse click into it would.
    bool FocusItem(int nId);
    // Enter and Escape reach OnOK and OnCancel; the close box OnClose.
    void PressEnter();
    void PressEscape();
    void PressClose();

protected:
    // Declares the fields in their exchange order.
    virtual void DoDataExchange(CDataExchange& dx);
    // After the controls exist: the base puts the fields into the controls
    // (UpdateData(false)) and returns true.
    virtual bool OnInitDialog();
    // Base: take the values (UpdateData(true)) and, when valid, EndDialog(IDOK).
    virtual void OnOK();
    // Base: EndDialog(IDCANCEL).
    virtual void OnCancel();
    // A close request. Base: the base class's OnOK (not an override of it).
    virtual void OnClose();
    virtual void OnDestroy() {}

    // Runs fn when control nId reports eCode (one handler per pair; a later
    // one replaces it). Usually called in the constructor.
    void MapNotify(int nId, ENotify eCode, std::function<void()> fn);
    void MapClick(int nId, std::function<void()> fn) {
        MapNotify(nId, ENotify::Clicked, std::move(fn));
    }

private:
    struct CControl;
    friend class CDataExchange;

    CControl* Find(int nId);              // lock held
    const CControl* Find(int nId) const;  // lock held
    void NoteUnknown() const { m_nUnknownIds.fetch_add(1); }
    // Runs fn on control nId under the lock, then delivers what it published.
    // False (and counted) for an unknown id.
    bool Modify(int nId, const std::function<void(CControl&)>& fn);
    // Lock held: numbers a change and queues it for the views.
    void Publish(EChange eWhat, int nId, std::string strText = std::string(), int nValue = 0,
                 bool bByUser = false);
    void Publish(CControlChange&& change);
    void Fire(int nId, ENotify eCode);  // runs a mapped handler, lock not held
    template <typename T>
    T ReadState(int nId, T CControlState::*pMember, T fallback) const;
    CControlState StateOf(const CControl& ctrl) const;  // lock held
    CPageSnapshot SnapshotLocked() const;
    void BuildControls();

    const CDialogTemplate* m_pTemplate;
    bool m_bHasTemplate;
    mutable std::mutex m_mutex;  // guards everything below and the controls
    std::vector<std::unique_ptr<CControl>> m_controls;
    std::map<int, size_t> m_index;  // id -> position in m_controls
    std::map<std::pair<int, ENotify>, std::function<void()>> m_handlers;
    std::string m_strTitle;
    std::string m_strMessageTitle;
    bool m_bVisible = true;
    int m_nX = 0;
    int m_nY = 0;
    int m_nFocusId = 0;
    bool m_bEnded = false;
    int m_nResult = 0;
    uint64_t m_nSeq = 0;
    std::vector<CPage*> m_children;

    std::atomic<bool> m_bCreated{false};
    std::atomic<IMessageSink*> m_pMessages{nullptr};
    CPage* m_pParent = nullptr;
    int m_nHostId = 0;
    mutable std::recursive_mutex m_fieldMutex;
    mutable std::atomic<size_t> m_nUnknownIds{0};
    CChangeQueue m_changes;
};

}  // namespace framework
