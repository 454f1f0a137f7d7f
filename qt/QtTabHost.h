#pragma once
// A tab control: the tab strip over a framed pane. Like the window it
// stands for, it does not switch pages itself: the pages living in it are
// shown and hidden by their owner's handlers, and are placed in it at the
// pixel positions their pages report.
#include <QTabBar>
#include <QWidget>

namespace qt {

class CQtTabHost final : public QWidget {
    Q_OBJECT

public:
    // GUI thread, like every operation here.
    explicit CQtTabHost(QWidget* pParent = nullptr);

    QTabBar* TabBar() const { return m_pBar; }
    // Fits the strip to its tabs (after tabs were added or removed).
    void UpdateBarGeometry();

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;

private:
    QTabBar* m_pBar;
};

}  // namespace qt
