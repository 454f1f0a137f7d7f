#include "qt/QtTabHost.h"

#include <QPainter>
#include <QStyleOptionTabWidgetFrame>

namespace qt {

CQtTabHost::CQtTabHost(QWidget* pParent) : QWidget(pParent), m_pBar(new QTabBar(this)) {
    m_pBar->setDrawBase(false);
    m_pBar->setExpanding(false);
    m_pBar->setUsesScrollButtons(true);
    m_pBar->move(0, 0);
    // The pane's frame opens under the selected tab.
    connect(m_pBar, &QTabBar::currentChanged, this, [this] { update(); });
}

void CQtTabHost::resizeEvent(QResizeEvent* pEvent) {
    QWidget::resizeEvent(pEvent);
    UpdateBarGeometry();
}

void CQtTabHost::UpdateBarGeometry() {
    const QSize hint = m_pBar->sizeHint();
    m_pBar->setGeometry(0, 0, qMin(hint.width(), width()), hint.height());
    update();
}

void CQtTabHost::paintEvent(QPaintEvent*) {
    QStyleOptionTabWidgetFrame option;
    option.initFrom(this);
    option.shape = m_pBar->shape();
    const int nBarHeight = m_pBar->sizeHint().height();
    const int nOverlap = style()->pixelMetric(QStyle::PM_TabBarBaseOverlap, nullptr, this);
    option.rect = QRect(0, nBarHeight - nOverlap, width(), height() - nBarHeight + nOverlap);
    option.tabBarSize = m_pBar->sizeHint();
    option.tabBarRect = QRect(0, 0, m_pBar->sizeHint().width(), nBarHeight);
    option.selectedTabRect = m_pBar->tabRect(m_pBar->currentIndex());
    option.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_FrameTabWidget, &option, &painter, this);
}

}  // namespace qt
