// CQtPageView: what the operator does with the widgets goes to the page, on
// the UI dispatcher, in the order it was done.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <memory>
#include <utility>

#include "qt/QtPageView.h"
#include "qt/QtTabHost.h"
#include "qt/QtText.h"

namespace qt {

using framework::CPage;
using framework::EControlKind;

void CQtPageView::Wire(CItem& item) {
    const int nId = item.m_nId;
    if (nId == framework::IDC_STATIC) return;
    QWidget* pFocusWidget = item.m_pWidget;
    switch (item.m_eKind) {
        case EControlKind::Edit:
            connect(static_cast<QLineEdit*>(item.m_pWidget), &QLineEdit::textEdited, this,
                    [this, nId](const QString& str) { OnTyped(nId, str); });
            break;
        case EControlKind::PushButton:
        case EControlKind::DefPushButton:
        case EControlKind::CheckBox:
            connect(static_cast<QAbstractButton*>(item.m_pWidget), &QAbstractButton::clicked, this,
                    [this, nId] { PostToPage([nId](CPage& page) { page.Click(nId); }); });
            break;
        case EControlKind::DropList:
            connect(static_cast<QComboBox*>(item.m_pWidget), &QComboBox::activated, this,
                    [this, nId](int nIndex) {
                        PostToPage([nId, nIndex](CPage& page) { page.ChooseItem(nId, nIndex); },
                                   [nId](CQtPageView& view) { view.ResyncSelection(nId); });
                    });
            break;
        case EControlKind::TabControl: {
            QTabBar* pBar = static_cast<CQtTabHost*>(item.m_pWidget)->TabBar();
            pFocusWidget = pBar;
            connect(pBar, &QTabBar::currentChanged, this, [this, nId](int nIndex) {
                if (m_bApplying || nIndex < 0) return;
                PostToPage([nId, nIndex](CPage& page) { page.ChooseItem(nId, nIndex); },
                           [nId](CQtPageView& view) { view.ResyncSelection(nId); });
            });
            break;
        }
        case EControlKind::RichEditLog:
        case EControlKind::Static:
        case EControlKind::GroupBox:
        case EControlKind::Icon:
            break;
    }
    if (pFocusWidget->focusPolicy() != Qt::NoFocus) {
        m_focusIds[pFocusWidget] = nId;
        pFocusWidget->installEventFilter(this);
    }
}

void CQtPageView::PostToPage(std::function<void(CPage&)> fnPage,
                             std::function<void(CQtPageView&)> fnAfter) {
    if (IsPageGone()) return;
    // Runs on the GUI thread (the host drives the dispatcher there), so the
    // guarded pointer is checked on the thread that deletes views.
    QPointer<CQtPageView> pSelf(this);
    m_dispatcher.Post([pSelf, fnPage = std::move(fnPage), fnAfter = std::move(fnAfter)] {
        if (pSelf.isNull() || pSelf->IsPageGone()) return;
        fnPage(pSelf->Page());
        if (fnAfter && !pSelf.isNull()) fnAfter(*pSelf);
    });
}

void CQtPageView::OnTyped(int nId, const QString& strText) {
    CItem* pItem = FindItem(nId);
    if (pItem == nullptr || IsPageGone()) return;
    ++pItem->m_nPendingEdits;
    auto pResult = std::make_shared<std::string>();
    PostToPage([nId, pResult, strTyped = FromEditText(strText)](
                   CPage& page) { *pResult = page.TypeText(nId, strTyped); },
               [nId, pResult](CQtPageView& view) {
                   // Queued behind the page's echo of this text (posted while the
                   // page took it), so that the echo still counts as pending.
                   QMetaObject::invokeMethod(
                       &view, [pView = &view, nId, pResult] { pView->AfterTyped(nId, *pResult); },
                       Qt::QueuedConnection);
               });
}

void CQtPageView::AfterTyped(int nId, const std::string& strResult) {
    CItem* pItem = FindItem(nId);
    if (pItem == nullptr) return;
    if (pItem->m_nPendingEdits > 0) --pItem->m_nPendingEdits;
    if (pItem->m_nPendingEdits > 0) return;
    // The page may have taken less than was typed (a character the code
    // page lacks, a locked edit): show what it holds.
    auto* pEdit = static_cast<QLineEdit*>(pItem->m_pWidget);
    const QString str = ToEditText(strResult);
    if (pEdit->text() == str) return;
    const int nCursor = pEdit->cursorPosition();
    m_bApplying = true;
    SetText(*pItem, strResult, false);
    m_bApplying = false;
    pEdit->setCursorPosition(std::min(nCursor, static_cast<int>(str.size())));
}

void CQtPageView::ResyncSelection(int nId) {
    CItem* pItem = FindItem(nId);
    if (pItem == nullptr || IsPageGone()) return;
    m_bApplying = true;
    SetCurSel(*pItem, Page().GetCurSel(nId));
    m_bApplying = false;
}

void CQtPageView::RequestClose() {
    PostToPage([](CPage& page) { page.PressClose(); });
}

void CQtPageView::keyPressEvent(QKeyEvent* pEvent) {
    const int nKey = pEvent->key();
    const bool bPlain = (pEvent->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (bPlain && (nKey == Qt::Key_Return || nKey == Qt::Key_Enter)) {
        PostToPage([](CPage& page) { page.PressEnter(); });
        pEvent->accept();
        return;
    }
    if (bPlain && nKey == Qt::Key_Escape) {
        PostToPage([](CPage& page) { page.PressEscape(); });
        pEvent->accept();
        return;
    }
    QWidget::keyPressEvent(pEvent);
}

bool CQtPageView::eventFilter(QObject* pWatched, QEvent* pEvent) {
    if (pEvent->type() == QEvent::FocusIn || pEvent->type() == QEvent::FocusOut) {
        const Qt::FocusReason eReason = static_cast<QFocusEvent*>(pEvent)->reason();
        // Switching windows or opening a list's popup keeps the focus where
        // it is, as far as the page is concerned.
        const bool bKept =
            eReason == Qt::ActiveWindowFocusReason || eReason == Qt::PopupFocusReason;
        if (!bKept && !m_bApplying) {
            if (pEvent->type() == QEvent::FocusIn) {
                OnFocusIn(pWatched);
            } else {
                OnFocusOut(pWatched);
            }
        }
    }
    return QWidget::eventFilter(pWatched, pEvent);
}

void CQtPageView::OnFocusIn(QObject* pWatched) {
    const auto it = m_focusIds.find(pWatched);
    if (it == m_focusIds.end()) return;
    const int nId = it->second;
    PostToPage([nId](CPage& page) { page.FocusItem(nId); });
}

void CQtPageView::OnFocusOut(QObject*) {
    // Qt names the new focus widget before the old one hears of it: a move
    // to another control of this page is reported by its FocusIn alone.
    if (m_focusIds.count(QApplication::focusWidget()) != 0) return;
    PostToPage([](CPage& page) { page.SetFocusItem(0); });
}

}  // namespace qt
