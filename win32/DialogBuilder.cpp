#include "win32/DialogBuilder.h"

#include "win32/Win32Api.h"

#include <string>

#include "win32/Win32Text.h"

namespace win32 {
namespace {

using framework::CControlTemplate;
using framework::EControlKind;
namespace style = framework::style;

constexpr uint16_t kButton = 0x0080;
constexpr uint16_t kEdit = 0x0081;
constexpr uint16_t kStatic = 0x0082;
constexpr uint16_t kComboBox = 0x0085;

class CWriter {
public:
    void Word(uint16_t n) { Raw(&n, sizeof n); }
    void Dword(uint32_t n) { Raw(&n, sizeof n); }
    void Short(int16_t n) { Raw(&n, sizeof n); }
    void Byte(uint8_t n) { m_bytes.push_back(n); }
    void String(const std::wstring& str) {
        for (const wchar_t c : str) Word(static_cast<uint16_t>(c));
        Word(0);
    }
    void Ordinal(uint16_t n) {
        Word(0xFFFF);
        Word(n);
    }
    void AlignDword() {
        while (m_bytes.size() % 4 != 0) m_bytes.push_back(0);
    }
    std::vector<uint8_t> Take() { return std::move(m_bytes); }

private:
    void Raw(const void* p, size_t n) {
        const auto* pBytes = static_cast<const uint8_t*>(p);
        m_bytes.insert(m_bytes.end(), pBytes, pBytes + n);
    }
    std::vector<uint8_t> m_bytes;
};

void WriteControl(CWriter& out, const CControlTemplate& ctrl) {
    const CControlStyle st = StyleOf(ctrl);
    out.AlignDword();
    out.Dword(0);  // help id
    out.Dword(st.nExStyle);
    out.Dword(st.nStyle);
    out.Short(static_cast<int16_t>(ctrl.x));
    out.Short(static_cast<int16_t>(ctrl.y));
    out.Short(static_cast<int16_t>(ctrl.cx));
    out.Short(static_cast<int16_t>(ctrl.cy));
    out.Dword(static_cast<uint32_t>(ctrl.nId));  // IDC_STATIC is -1, as the system has it
    if (st.nClassOrdinal != 0) {
        out.Ordinal(st.nClassOrdinal);
    } else {
        out.String(st.pszClass);
    }
    if (ctrl.eKind == EControlKind::Icon) {
        out.Ordinal(static_cast<uint16_t>(ctrl.nIconId));
    } else {
        out.String(ToDisplayText(ctrl.strText, false));
    }
    out.Word(0);  // no creation data
}

}  // namespace

CControlStyle StyleOf(const CControlTemplate& ctrl) {
    CControlStyle st;
    const uint32_t n = ctrl.nStyle;
    st.nStyle = WS_CHILD;
    if (n & style::Visible) st.nStyle |= WS_VISIBLE;
    if (n & style::Disabled) st.nStyle |= WS_DISABLED;
    if (n & style::TabStop) st.nStyle |= WS_TABSTOP;
    switch (ctrl.eKind) {
        case EControlKind::Static:
            st.nClassOrdinal = kStatic;
            // Server texts are shown as they are: no '&' underlines.
            st.nStyle |= SS_NOPREFIX;
            if (n & style::Center) {
                st.nStyle |= SS_CENTER;
            } else if (!(n & style::WordWrap)) {
                st.nStyle |= SS_LEFTNOWORDWRAP;
            }
            if (n & style::Sunken) st.nStyle |= SS_SUNKEN | SS_CENTERIMAGE;
            break;
        case EControlKind::GroupBox:
            st.nClassOrdinal = kButton;
            st.nStyle |= BS_GROUPBOX;
            break;
        case EControlKind::Edit:
            st.nClassOrdinal = kEdit;
            st.nExStyle |= WS_EX_CLIENTEDGE;
            if (n & style::AutoHScroll) st.nStyle |= ES_AUTOHSCROLL;
            if (n & style::ReadOnly) st.nStyle |= ES_READONLY;
            if (n & style::Password) st.nStyle |= ES_PASSWORD;
            if (n & style::Number) st.nStyle |= ES_NUMBER;
            if (n & style::MultiLine) st.nStyle |= ES_MULTILINE;
            break;
        case EControlKind::RichEditLog:
            // A multi-line edit that wraps its lines and scrolls.
            st.nClassOrdinal = kEdit;
            st.nExStyle |= WS_EX_CLIENTEDGE;
            st.nStyle |= ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL | ES_NOHIDESEL;
            if (n & style::ReadOnly) st.nStyle |= ES_READONLY;
            break;
        case EControlKind::PushButton:
            st.nClassOrdinal = kButton;
            st.nStyle |= BS_PUSHBUTTON | BS_NOTIFY;
            break;
        case EControlKind::DefPushButton:
            st.nClassOrdinal = kButton;
            st.nStyle |= BS_DEFPUSHBUTTON | BS_NOTIFY;
            break;
        case EControlKind::CheckBox:
            // The page ticks the box itself (an AutoCheck box toggles in the
            // page before its handler runs): the control never does.
            st.nClassOrdinal = kButton;
            st.nStyle |= BS_CHECKBOX | BS_NOTIFY;
            break;
        case EControlKind::DropList:
            st.nClassOrdinal = kComboBox;
            st.nStyle |= CBS_DROPDOWNLIST | WS_VSCROLL;
            break;
        case EControlKind::TabControl:
            st.pszClass = WC_TABCONTROLW;
            st.nStyle |= WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
            st.nExStyle |= WS_EX_CONTROLPARENT;
            break;
        case EControlKind::Icon:
            st.nClassOrdinal = kStatic;
            st.nStyle |= SS_ICON;
            break;
    }
    return st;
}

std::vector<uint8_t> BuildDialogTemplate(const framework::CDialogTemplate& tmpl, bool bChild) {
    uint32_t nStyle = DS_SETFONT | DS_FIXEDSYS;  // together: the shell's dialog font
    uint32_t nExStyle = 0;
    if (bChild) {
        nStyle |= WS_CHILD | DS_CONTROL | WS_CLIPSIBLINGS;
        nExStyle |= WS_EX_CONTROLPARENT;
    } else {
        nStyle |= WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_CENTER;
        if (tmpl.nStyle & style::SysMenu) nStyle |= WS_SYSMENU;
        if (tmpl.nStyle & style::MinimizeBox) nStyle |= WS_MINIMIZEBOX;
    }
    std::vector<const CControlTemplate*> order;
    for (const CControlTemplate& c : tmpl.controls)
        if (c.eKind == EControlKind::GroupBox) order.push_back(&c);
    for (const CControlTemplate& c : tmpl.controls)
        if (c.eKind != EControlKind::GroupBox) order.push_back(&c);

    CWriter out;
    out.Word(1);       // DLGTEMPLATEEX version
    out.Word(0xFFFF);  // signature
    out.Dword(0);      // help id
    out.Dword(nExStyle);
    out.Dword(nStyle);
    out.Word(static_cast<uint16_t>(order.size()));
    out.Short(0);
    out.Short(0);
    out.Short(static_cast<int16_t>(tmpl.cx));
    out.Short(static_cast<int16_t>(tmpl.cy));
    out.Word(0);  // no menu
    out.Word(0);  // the dialog class
    out.String(ToDisplayText(tmpl.strCaption, false));
    // The templates name "MS Sans Serif" 8 pt; "MS Shell Dlg" with
    // DS_FIXEDSYS is the same size in the system's own dialog font.
    out.Word(static_cast<uint16_t>(tmpl.nPointSize > 0 ? tmpl.nPointSize : 8));
    out.Word(FW_NORMAL);
    out.Byte(0);  // not italic
    out.Byte(DEFAULT_CHARSET);
    out.String(L"MS Shell Dlg");
    for (const CControlTemplate* pCtrl : order) WriteControl(out, *pCtrl);
    return out.Take();
}

}  // namespace win32
