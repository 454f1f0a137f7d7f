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
    out.Dword(st.m_nExStyle);
    out.Dword(st.m_nStyle);
    out.Short(static_cast<int16_t>(ctrl.m_x));
    out.Short(static_cast<int16_t>(ctrl.m_y));
    out.Short(static_cast<int16_t>(ctrl.m_cx));
    out.Short(static_cast<int16_t>(ctrl.m_cy));
    out.Dword(static_cast<uint32_t>(ctrl.m_nId));  // IDC_STATIC is -1, as the system has it
    if (st.m_nClassOrdinal != 0) {
        out.Ordinal(st.m_nClassOrdinal);
    } else {
        out.String(st.m_pszClass);
    }
    if (ctrl.m_eKind == EControlKind::Icon) {
        out.Ordinal(static_cast<uint16_t>(ctrl.m_nIconId));
    } else {
        out.String(ToDisplayText(ctrl.m_strText, false));
    }
    out.Word(0);  // no creation data
}

}  // namespace

CControlStyle StyleOf(const CControlTemplate& ctrl) {
    CControlStyle st;
    const uint32_t n = ctrl.m_nStyle;
    st.m_nStyle = WS_CHILD;
    if (n & style::Visible) st.m_nStyle |= WS_VISIBLE;
    if (n & style::Disabled) st.m_nStyle |= WS_DISABLED;
    if (n & style::TabStop) st.m_nStyle |= WS_TABSTOP;
    switch (ctrl.m_eKind) {
        case EControlKind::Static:
            st.m_nClassOrdinal = kStatic;
            // Server texts are shown as they are: no '&' underlines.
            st.m_nStyle |= SS_NOPREFIX;
            if (n & style::Center) {
                st.m_nStyle |= SS_CENTER;
            } else if (!(n & style::WordWrap)) {
                st.m_nStyle |= SS_LEFTNOWORDWRAP;
            }
            if (n & style::Sunken) st.m_nStyle |= SS_SUNKEN | SS_CENTERIMAGE;
            break;
        case EControlKind::GroupBox:
            st.m_nClassOrdinal = kButton;
            st.m_nStyle |= BS_GROUPBOX;
            break;
        case EControlKind::Edit:
            st.m_nClassOrdinal = kEdit;
            st.m_nExStyle |= WS_EX_CLIENTEDGE;
            if (n & style::AutoHScroll) st.m_nStyle |= ES_AUTOHSCROLL;
            if (n & style::ReadOnly) st.m_nStyle |= ES_READONLY;
            if (n & style::Password) st.m_nStyle |= ES_PASSWORD;
            if (n & style::Number) st.m_nStyle |= ES_NUMBER;
            if (n & style::MultiLine) st.m_nStyle |= ES_MULTILINE;
            break;
        case EControlKind::RichEditLog:
            // A multi-line edit that wraps its lines and scrolls.
            st.m_nClassOrdinal = kEdit;
            st.m_nExStyle |= WS_EX_CLIENTEDGE;
            st.m_nStyle |= ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL | ES_NOHIDESEL;
            if (n & style::ReadOnly) st.m_nStyle |= ES_READONLY;
            break;
        case EControlKind::PushButton:
            st.m_nClassOrdinal = kButton;
            st.m_nStyle |= BS_PUSHBUTTON | BS_NOTIFY;
            break;
        case EControlKind::DefPushButton:
            st.m_nClassOrdinal = kButton;
            st.m_nStyle |= BS_DEFPUSHBUTTON | BS_NOTIFY;
            break;
        case EControlKind::CheckBox:
            // The page ticks the box itself (an AutoCheck box toggles in the
            // page before its handler runs): the control never does.
            st.m_nClassOrdinal = kButton;
            st.m_nStyle |= BS_CHECKBOX | BS_NOTIFY;
            break;
        case EControlKind::DropList:
            st.m_nClassOrdinal = kComboBox;
            st.m_nStyle |= CBS_DROPDOWNLIST | WS_VSCROLL;
            break;
        case EControlKind::TabControl:
            st.m_pszClass = WC_TABCONTROLW;
            st.m_nStyle |= WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
            st.m_nExStyle |= WS_EX_CONTROLPARENT;
            break;
        case EControlKind::Icon:
            st.m_nClassOrdinal = kStatic;
            st.m_nStyle |= SS_ICON;
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
        if (tmpl.m_nStyle & style::SysMenu) nStyle |= WS_SYSMENU;
        if (tmpl.m_nStyle & style::MinimizeBox) nStyle |= WS_MINIMIZEBOX;
    }
    std::vector<const CControlTemplate*> order;
    for (const CControlTemplate& c : tmpl.m_controls)
        if (c.m_eKind == EControlKind::GroupBox) order.push_back(&c);
    for (const CControlTemplate& c : tmpl.m_controls)
        if (c.m_eKind != EControlKind::GroupBox) order.push_back(&c);

    CWriter out;
    out.Word(1);       // DLGTEMPLATEEX version
    out.Word(0xFFFF);  // signature
    out.Dword(0);      // help id
    out.Dword(nExStyle);
    out.Dword(nStyle);
    out.Word(static_cast<uint16_t>(order.size()));
    out.Short(0);
    out.Short(0);
    out.Short(static_cast<int16_t>(tmpl.m_cx));
    out.Short(static_cast<int16_t>(tmpl.m_cy));
    out.Word(0);  // no menu
    out.Word(0);  // the dialog class
    out.String(ToDisplayText(tmpl.m_strCaption, false));
    // The templates name "MS Sans Serif" 8 pt; "MS Shell Dlg" with
    // DS_FIXEDSYS is the same size in the system's own dialog font.
    out.Word(static_cast<uint16_t>(tmpl.m_nPointSize > 0 ? tmpl.m_nPointSize : 8));
    out.Word(FW_NORMAL);
    out.Byte(0);  // not italic
    out.Byte(DEFAULT_CHARSET);
    out.String(L"MS Shell Dlg");
    for (const CControlTemplate* pCtrl : order) WriteControl(out, *pCtrl);
    return out.Take();
}

}  // namespace win32
