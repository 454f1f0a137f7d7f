#pragma once
// Dialog templates as data: what a page is built from. Positions and sizes
// are dialog units of the template's font: one horizontal unit is a quarter
// of the font's average character width (over A-Z and a-z), one vertical
// unit an eighth of its height. The view turns them into pixels.
#include <cstdint>
#include <string>
#include <vector>

namespace framework {

// Id of a control that no code addresses (labels, frames, the icon).
constexpr int IDC_STATIC = -1;

enum class EControlKind {
    Static,       // text label or text read-out
    GroupBox,     // frame with an optional title
    Edit,         // one-line edit (multi-line with style::MultiLine)
    RichEditLog,  // multi-line log: lines are appended, the view follows its end
    PushButton,
    DefPushButton,  // push button drawn as the default one
    CheckBox,
    DropList,    // drop-down list combo box (no typing)
    TabControl,  // tab strip; its items carry page pointers (CTabCtrl)
    Icon,        // picture of an icon resource (CControlTemplate::m_nIconId)
};

// Style flags of a control or a dialog, combined with |.
namespace style {
constexpr uint32_t Visible = 1u << 0;
constexpr uint32_t Disabled = 1u << 1;
constexpr uint32_t TabStop = 1u << 2;
constexpr uint32_t ReadOnly = 1u << 3;  // edits and logs
constexpr uint32_t Password = 1u << 4;  // edit shows bullets
constexpr uint32_t Number = 1u << 5;    // edit takes typed digits only
constexpr uint32_t MultiLine = 1u << 6;
constexpr uint32_t VScroll = 1u << 7;
constexpr uint32_t AutoHScroll = 1u << 8;  // edit scrolls instead of stopping at its edge
constexpr uint32_t AutoCheck = 1u << 9;    // check box toggles itself when clicked
constexpr uint32_t Sunken = 1u << 10;      // static drawn with a sunken edge
constexpr uint32_t Center = 1u << 11;      // static text centred
constexpr uint32_t WordWrap = 1u << 12;    // static text wraps onto further lines
// Dialog styles.
constexpr uint32_t Child = 1u << 16;    // a page inside another window
constexpr uint32_t SysMenu = 1u << 17;  // title bar with system menu and close box
constexpr uint32_t MinimizeBox = 1u << 18;
}  // namespace style

struct CControlTemplate {
    int m_nId = IDC_STATIC;
    EControlKind m_eKind = EControlKind::Static;
    std::string m_strText;
    int m_x = 0;
    int m_y = 0;
    int m_cx = 0;
    int m_cy = 0;  // for a DropList: the height with the list dropped down
    uint32_t m_nStyle = style::Visible;
    std::vector<std::string> m_items;  // a DropList's initial items, in order
    int m_nIconId = 0;                 // the icon resource an Icon control shows
};

struct CDialogTemplate {
    int m_nId = 0;
    std::string m_strCaption;
    int m_cx = 0;
    int m_cy = 0;
    std::string m_strFont = "MS Sans Serif";  // shown with the view's 8-point sans
    int m_nPointSize = 8;
    uint32_t m_nStyle = style::Child;
    std::vector<CControlTemplate> m_controls;  // in tab order

    // The control with that id, or nullptr (also for IDC_STATIC).
    const CControlTemplate* Find(int nControlId) const;
};

// Height a control covers when closed: a drop-down list shows one line
// (kDropListClosedHeight); every other control its template height.
constexpr int kDropListClosedHeight = 12;
int ClosedHeight(const CControlTemplate& ctrl);

}  // namespace framework
