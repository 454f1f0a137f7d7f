#pragma once
// The program's window: a top-level frame around the view of the main
// page (template 102). The page's own work (tab items, the tab pages as
// children of its tab control, showing the selected one) makes the tabs
// appear inside it; this class adds what a top-level window needs: title,
// icon, fixed size, the title bar's boxes, and the close box reaching the
// page instead of closing the window.
#include <QWidget>

#include "framework/Dispatcher.h"
#include "framework/Page.h"
#include "qt/DialogUnits.h"
#include "qt/QtPageView.h"

class QCloseEvent;

namespace qt {

class CQtMainWindow final : public QWidget {
    Q_OBJECT

public:
    // GUI thread: the window of mainPage, with the icon nIconId. Shown by
    // the caller. The page and the dispatcher must outlive it.
    CQtMainWindow(framework::CPage& mainPage, framework::CDispatcher& dispatcher,
                  const CDialogUnits& units, int nIconId, QWidget* pParent = nullptr);

    // GUI thread.
    CQtPageView* PageView() const { return m_pView; }
    // The view of the page that tab item nIndex of tab control nTabId
    // carries, or nullptr.
    CQtPageView* TabPageView(int nTabId, int nIndex) const;

signals:
    // The main page ended its run (EndDialog) with this result: the
    // program's loop ends here.
    void Ended(int nResult);

protected:
    // The close box asks the page (its close handler decides); a close by
    // the program itself goes through.
    void closeEvent(QCloseEvent* pEvent) override;

private:
    CQtPageView* m_pView;
};

}  // namespace qt
