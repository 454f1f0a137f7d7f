#pragma once
// One widget per kind of control, placed where its template says.
#include <QCheckBox>
#include <QIcon>
#include <QPixmap>
#include <QWidget>

#include "framework/Control.h"
#include "qt/DialogUnits.h"

namespace qt {

// Characters an edit takes when its page set no limit (the framework's
// default for edits).
constexpr int kDefaultEditLimit = 30000;

// A check box that never toggles itself: a click only reports to the page,
// and the box shows whatever state the page then holds.
class CQtCheckBox final : public QCheckBox {
    Q_OBJECT

public:
    using QCheckBox::QCheckBox;

protected:
    void nextCheckState() override {}
};

// A group box drawn as the classic one: the frame's top line runs through
// the middle of the title, so that controls placed just under the title
// stay clear of the line. It is a frame only: clicks go to the controls
// drawn inside it.
class CQtGroupFrame final : public QWidget {
    Q_OBJECT

public:
    explicit CQtGroupFrame(QWidget* pParent = nullptr);
    void SetTitle(const QString& strTitle);
    const QString& Title() const { return m_strTitle; }

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    QString m_strTitle;
};

// GUI thread: the widget for one control (kind, template position, fixed
// styles), as a child of pPage. Its state (text, flags, items) is applied
// by the view afterwards. Static -> QLabel, GroupBox -> CQtGroupFrame, Edit ->
// QLineEdit, RichEditLog -> CQtLogView, buttons -> QPushButton, CheckBox ->
// CQtCheckBox, DropList -> QComboBox, TabControl -> CQtTabHost, Icon ->
// QLabel with the icon's picture.
QWidget* CreateControlWidget(const framework::CControlTemplate& ctrl, const CDialogUnits& units,
                             QWidget* pPage);

// GUI thread: an icon resource as a Qt icon (every size it comes in), and
// its picture nearest to nSize pixels (null for an unknown id).
QIcon IconFromResource(int nIconId);
QPixmap IconPixmap(int nIconId, int nSize);

}  // namespace qt
