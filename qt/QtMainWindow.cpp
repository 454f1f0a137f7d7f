#include "qt/QtMainWindow.h"

#include <QCloseEvent>

#include "qt/QtControls.h"
#include "qt/QtText.h"

namespace qt {

CQtMainWindow::CQtMainWindow(framework::CPage& mainPage, framework::CDispatcher& dispatcher,
                             const CDialogUnits& units, int nIconId, QWidget* pParent)
    : QWidget(pParent, Qt::Window), m_pView(new CQtPageView(mainPage, dispatcher, units, this)) {
    const framework::CDialogTemplate& tmpl = mainPage.Template();
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if ((tmpl.m_nStyle & framework::style::SysMenu) != 0) {
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    }
    if ((tmpl.m_nStyle & framework::style::MinimizeBox) != 0) {
        flags |= Qt::WindowMinimizeButtonHint;
    }
    setWindowFlags(flags);
    setFont(units.Font());
    setFixedSize(units.DialogSize(tmpl));
    m_pView->move(0, 0);
    m_pView->show();
    setWindowTitle(m_pView->windowTitle());
    setWindowIcon(IconFromResource(nIconId));
    connect(m_pView, &CQtPageView::TitleChanged, this, &QWidget::setWindowTitle);
    connect(m_pView, &CQtPageView::PageEnded, this, &CQtMainWindow::Ended);
}

CQtPageView* CQtMainWindow::TabPageView(int nTabId, int nIndex) const {
    if (m_pView->IsPageGone()) return nullptr;
    return m_pView->ChildView(m_pView->Page().GetTabItemParam(nTabId, nIndex));
}

void CQtMainWindow::closeEvent(QCloseEvent* pEvent) {
    if (!pEvent->spontaneous() || m_pView->IsPageGone()) {
        pEvent->accept();
        return;
    }
    pEvent->ignore();
    m_pView->RequestClose();
}

}  // namespace qt
