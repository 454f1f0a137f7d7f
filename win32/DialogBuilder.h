#pragma once
// Our dialog templates as the system's in-memory dialog templates
// (DLGTEMPLATEEX), in the dialog units and with the font they are laid out
// for: "MS Shell Dlg" 8 pt, which Windows shows in its dialog font.
#include <cstdint>
#include <vector>

#include "framework/DialogTemplate.h"

namespace win32 {

// A control's window class and styles.
struct CControlStyle {
    const wchar_t* m_pszClass = L"STATIC";  // a class name (the tab control's)
    uint16_t m_nClassOrdinal = 0;           // or a predefined class's ordinal (0: use the name)
    uint32_t m_nStyle = 0;
    uint32_t m_nExStyle = 0;
};
CControlStyle StyleOf(const framework::CControlTemplate& ctrl);

// The template for CreateDialogIndirectParamW: a top-level window with a
// title bar, or (bChild) a page inside another window. Group boxes come
// first, so that the frames lie beneath the controls they hold.
std::vector<uint8_t> BuildDialogTemplate(const framework::CDialogTemplate& tmpl, bool bChild);

}  // namespace win32
