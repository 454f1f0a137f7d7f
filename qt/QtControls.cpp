#include "qt/QtControls.h"

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRegion>
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "qt/QtLogView.h"
#include "qt/QtTabHost.h"
#include "res/Icon.h"

namespace qt {
namespace {

using framework::CControlTemplate;
using framework::EControlKind;
namespace style = framework::style;

// A copy of the image; a null image when its pixels do not fill it.
QImage ToImage(const res::CIconImage& image) {
    const size_t nPixels = static_cast<size_t>(std::max(0, image.m_nWidth)) *
                           static_cast<size_t>(std::max(0, image.m_nHeight));
    if (nPixels == 0 || image.m_pixels.size() < nPixels) return QImage();
    const QImage view(reinterpret_cast<const uchar*>(image.m_pixels.data()), image.m_nWidth,
                      image.m_nHeight, image.m_nWidth * 4, QImage::Format_ARGB32);
    return view.copy();
}

QWidget* CreateLabel(const CControlTemplate& ctrl) {
    auto* pLabel = new QLabel();
    // Server and channel texts are shown as they are, never as markup.
    pLabel->setTextFormat(Qt::PlainText);
    pLabel->setWordWrap((ctrl.m_nStyle & style::WordWrap) != 0);
    Qt::Alignment align = Qt::AlignTop;
    if ((ctrl.m_nStyle & style::Center) != 0) align = Qt::AlignHCenter;
    if ((ctrl.m_nStyle & style::Sunken) != 0) {
        pLabel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        align |= Qt::AlignVCenter;
    } else {
        align |= Qt::AlignLeft;
    }
    pLabel->setAlignment(align);
    return pLabel;
}

QWidget* CreateIcon(const CControlTemplate& ctrl, const QRect& rect) {
    auto* pLabel = new QLabel();
    // Shown at the icon's own size, as an icon control does.
    const QPixmap pixmap = IconPixmap(ctrl.m_nIconId, 32);
    pLabel->setPixmap(pixmap);
    pLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    pLabel->setMinimumSize(pixmap.size().expandedTo(rect.size()));
    return pLabel;
}

QWidget* CreateEdit() {
    auto* pEdit = new QLineEdit();
    pEdit->setMaxLength(kDefaultEditLimit);
    return pEdit;
}

QWidget* CreateButton(bool bDefault) {
    auto* pButton = new QPushButton();
    pButton->setAutoDefault(false);
    pButton->setDefault(bDefault);
    return pButton;
}

QWidget* CreateDropList(const CControlTemplate& ctrl) {
    auto* pCombo = new QComboBox();
    pCombo->setEditable(false);
    pCombo->setMaxVisibleItems(qMax(1, static_cast<int>(ctrl.m_items.size())));
    return pCombo;
}

}  // namespace

CQtGroupFrame::CQtGroupFrame(QWidget* pParent) : QWidget(pParent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void CQtGroupFrame::SetTitle(const QString& strTitle) {
    m_strTitle = strTitle;
    update();
}

void CQtGroupFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const int nLineY = metrics.height() / 2;
    // The title sits on the line, a little in from the left edge; the line
    // leaves a gap for it.
    QString strTitle;
    QRect textRect;
    if (!m_strTitle.isEmpty()) {
        const int nIndent = metrics.averageCharWidth();
        strTitle = metrics.elidedText(m_strTitle, Qt::ElideRight, qMax(0, width() - 2 * nIndent));
        textRect = QRect(nIndent, 0, metrics.horizontalAdvance(strTitle), metrics.height());
        const int nGap = qMax(1, metrics.averageCharWidth() / 3);
        painter.setClipRegion(QRegion(rect()) - QRegion(textRect.adjusted(-nGap, 0, nGap, 0)));
    }
    // An etched rectangle: a shadow line with a light line inside it.
    const QRect frame(0, nLineY, width() - 1, height() - nLineY - 1);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(frame.adjusted(0, 0, -1, -1));
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(frame.adjusted(1, 1, 0, 0));
    if (strTitle.isEmpty()) return;
    painter.setClipping(false);
    style()->drawItemText(&painter, textRect, Qt::AlignLeft | Qt::AlignTop, palette(), isEnabled(),
                          strTitle, QPalette::WindowText);
}

QWidget* CreateControlWidget(const CControlTemplate& ctrl, const CDialogUnits& units,
                             QWidget* pPage) {
    const QRect rect = units.ControlRect(ctrl);
    QWidget* pWidget = nullptr;
    switch (ctrl.m_eKind) {
        case EControlKind::Static:
            pWidget = CreateLabel(ctrl);
            break;
        case EControlKind::GroupBox:
            pWidget = new CQtGroupFrame();
            break;
        case EControlKind::Edit:
            pWidget = CreateEdit();
            break;
        case EControlKind::RichEditLog:
            pWidget = new CQtLogView();
            break;
        case EControlKind::PushButton:
            pWidget = CreateButton(false);
            break;
        case EControlKind::DefPushButton:
            pWidget = CreateButton(true);
            break;
        case EControlKind::CheckBox:
            pWidget = new CQtCheckBox();
            break;
        case EControlKind::DropList:
            pWidget = CreateDropList(ctrl);
            break;
        case EControlKind::TabControl:
            pWidget = new CQtTabHost();
            break;
        case EControlKind::Icon:
            pWidget = CreateIcon(ctrl, rect);
            break;
    }
    pWidget->setParent(pPage);
    if ((ctrl.m_nStyle & style::TabStop) == 0 && ctrl.m_eKind != EControlKind::GroupBox &&
        ctrl.m_eKind != EControlKind::Static && ctrl.m_eKind != EControlKind::Icon) {
        // Still focusable by a click, but Tab passes it by.
        pWidget->setFocusPolicy(Qt::ClickFocus);
    }
    pWidget->setGeometry(QRect(rect.topLeft(), rect.size().expandedTo(pWidget->minimumSize())));
    return pWidget;
}

QIcon IconFromResource(int nIconId) {
    QIcon icon;
    for (const res::CIconImage& image : res::LoadIconImages(nIconId)) {
        const QImage qimage = ToImage(image);
        if (!qimage.isNull()) icon.addPixmap(QPixmap::fromImage(qimage));
    }
    return icon;
}

QPixmap IconPixmap(int nIconId, int nSize) {
    const std::vector<res::CIconImage> images = res::LoadIconImages(nIconId);
    const res::CIconImage* pBest = nullptr;
    for (const res::CIconImage& image : images) {
        if (pBest == nullptr ||
            std::abs(image.m_nWidth - nSize) < std::abs(pBest->m_nWidth - nSize)) {
            pBest = &image;
        }
    }
    if (pBest == nullptr) return QPixmap();
    return QPixmap::fromImage(ToImage(*pBest));
}

}  // namespace qt
