#pragma once
// The Qt view of one framework page: a widget per control, placed by the
// template, kept in step with the page both ways.
//  - Page to widgets: changes made on any thread are queued by the page's
//    link and applied here on the GUI thread, in order.
//  - Widgets to page: what the operator does (typing, clicks, choices,
//    focus, Enter, Escape) runs on the UI dispatcher, which must be driven
//    by the GUI thread (CQtDispatcherHost), in the order it was done.
// Child pages created inside a control of this page (the tab pages of the
// main window) get views of their own, placed inside that control.
#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/Control.h"
#include "framework/Dispatcher.h"
#include "framework/Page.h"
#include "qt/DialogUnits.h"
#include "framework/PageMailbox.h"

class QKeyEvent;

namespace qt {

class CQtPageView final : public QWidget {
    Q_OBJECT

public:
    // GUI thread: attaches to the page and builds its controls and child
    // pages from the page's present state. The dispatcher and the page must
    // outlive the view (or the page's window be destroyed before the page
    // is deleted).
    CQtPageView(framework::CPage& page, framework::CDispatcher& dispatcher,
                const CDialogUnits& units, QWidget* pParent = nullptr);
    // GUI thread: the same with a link made earlier (a child page's).
    CQtPageView(std::unique_ptr<framework::CPageMailbox> pLink, framework::CDispatcher& dispatcher,
                const CDialogUnits& units, QWidget* pParent = nullptr);
    ~CQtPageView() override;

    // GUI thread, like every operation here.
    framework::CPage& Page() const { return m_pLink->Page(); }
    bool IsPageGone() const { return m_pLink->IsGone(); }
    // The widget of control nId, or nullptr.
    QWidget* ControlWidget(int nId) const;
    // The view of a child page created inside this one, or nullptr.
    CQtPageView* ChildView(const framework::CPage* pChild) const;
    // The operator asked to close the page's window (the close box): the
    // page's close handler runs on the dispatcher.
    void RequestClose();
    // Applies the changes queued so far now rather than at the next turn
    // of the event loop.
    void ApplyPendingChanges();

signals:
    void TitleChanged(const QString& strTitle);
    void PageEnded(int nResult);

protected:
    // Enter and Escape go to the page (OnOK, OnCancel); they never close a
    // window by themselves.
    void keyPressEvent(QKeyEvent* pEvent) override;
    // Focus moving into or out of a control is reported to the page.
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    struct CItem {
        int m_nId = framework::IDC_STATIC;
        framework::EControlKind m_eKind = framework::EControlKind::Static;
        QWidget* m_pWidget = nullptr;  // owned by this view (Qt parent)
        int m_nLimit = 0;
        int m_nCurSel = -1;
        int m_nPendingEdits = 0;  // typed texts not yet taken by the page
    };
    struct CLogBatch {
        std::string m_strLines;
        bool m_bAppend = false;
        size_t m_nTrim = 0;
    };

    // Building (QtPageView.cpp).
    void Build();
    void AddChild(framework::CPage* pChild, int nHostId);
    CItem* FindItem(int nId);
    void ApplyState(CItem& item, const framework::CControlState& st);
    void ApplyChange(const framework::CControlChange& change);
    void ApplyPageChange(const framework::CControlChange& change);
    void FlushLog(int nId, CLogBatch& batch);
    void SetText(CItem& item, const std::string& strText, bool bByUser);
    void SetItems(CItem& item, const std::vector<std::string>& items);
    void SetCurSel(CItem& item, int nSel);
    void SetLimit(CItem& item, int nLimit);
    void SetDigitsOnly(CItem& item, bool bDigitsOnly);

    // The operator (QtPageViewOperator.cpp).
    void Wire(CItem& item);
    // Runs fnPage on the dispatcher unless the page is gone by then, then
    // fnAfter on the view if it still exists.
    void PostToPage(std::function<void(framework::CPage&)> fnPage,
                    std::function<void(CQtPageView&)> fnAfter = nullptr);
    void OnTyped(int nId, const QString& strText);
    void AfterTyped(int nId, const std::string& strResult);
    void ResyncSelection(int nId);
    void OnFocusIn(QObject* pWatched);
    void OnFocusOut(QObject* pWatched);

    std::unique_ptr<framework::CPageMailbox> m_pLink;
    framework::CDispatcher& m_dispatcher;
    CDialogUnits m_units;
    std::vector<CItem> m_items;                // template order
    std::map<int, size_t> m_index;             // id -> m_items
    std::map<const QObject*, int> m_focusIds;  // focusable widget -> id
    std::map<const framework::CPage*, QPointer<CQtPageView>> m_children;
    bool m_bApplying = false;  // widget signals now come from the page, not the operator
};

}  // namespace qt
