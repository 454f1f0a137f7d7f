#pragma once
// Dialog units to pixels, by the classic rule: a horizontal unit is a
// quarter of the font's average character width (the width of A-Z and a-z
// divided by 52, rounded), a vertical unit an eighth of its height.
#include <QFont>
#include <QRect>

#include "framework/DialogTemplate.h"

namespace qt {

class CDialogUnits {
public:
    // The 8-point sans font every page is shown in (DejaVu Sans where the
    // fonts-dejavu-core package is installed). GUI thread.
    static QFont DialogFont();

    // Measures the font. GUI thread (font metrics need the application).
    explicit CDialogUnits(const QFont& font = DialogFont());

    const QFont& Font() const { return m_font; }
    int BaseX() const { return m_nBaseX; }  // average character width, pixels
    int BaseY() const { return m_nBaseY; }  // character height, pixels

    int ToPixelsX(int nUnits) const;
    int ToPixelsY(int nUnits) const;
    // Where a control sits on its page; a drop-down list with its closed
    // height.
    QRect ControlRect(const framework::CControlTemplate& ctrl) const;
    // Size of a whole page or window.
    QSize DialogSize(const framework::CDialogTemplate& dlg) const;

private:
    QFont m_font;
    int m_nBaseX;
    int m_nBaseY;
};

}  // namespace qt
