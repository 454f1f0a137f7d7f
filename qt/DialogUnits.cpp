#include "qt/DialogUnits.h"

#include <QFontMetrics>
#include <algorithm>

namespace qt {
namespace {

// n * nNum / nDen rounded to the nearest integer (halves away from zero).
int MulDivRound(int n, int nNum, int nDen) {
    const long long nProduct = static_cast<long long>(n) * nNum;
    const long long nHalf = nDen / 2;
    return static_cast<int>(nProduct >= 0 ? (nProduct + nHalf) / nDen
                                          : -((-nProduct + nHalf) / nDen));
}

}  // namespace

QFont CDialogUnits::DialogFont() {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    return font;
}

CDialogUnits::CDialogUnits(const QFont& font) : m_font(font) {
    const QFontMetrics metrics(m_font);
    const int nWidth = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_nBaseX = std::max(1, MulDivRound(nWidth, 1, 52));
    m_nBaseY = std::max(1, metrics.height());
}

int CDialogUnits::ToPixelsX(int nUnits) const {
    return MulDivRound(nUnits, m_nBaseX, 4);
}

int CDialogUnits::ToPixelsY(int nUnits) const {
    return MulDivRound(nUnits, m_nBaseY, 8);
}

QRect CDialogUnits::ControlRect(const framework::CControlTemplate& ctrl) const {
    // Edges are mapped, not sizes, so that controls that touch in units
    // touch in pixels too.
    const int nLeft = ToPixelsX(ctrl.m_x);
    const int nTop = ToPixelsY(ctrl.m_y);
    const int nRight = ToPixelsX(ctrl.m_x + ctrl.m_cx);
    const int nBottom = ToPixelsY(ctrl.m_y + framework::ClosedHeight(ctrl));
    return QRect(nLeft, nTop, nRight - nLeft, nBottom - nTop);
}

QSize CDialogUnits::DialogSize(const framework::CDialogTemplate& dlg) const {
    return QSize(ToPixelsX(dlg.m_cx), ToPixelsY(dlg.m_cy));
}

}  // namespace qt
