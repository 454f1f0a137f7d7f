#pragma once
// The Windows headers for the view, without the macros that would rename
// the framework's own names: MessageBox (CPage::MessageBox would become
// MessageBoxW in this file only) and IDOK, IDCANCEL, IDYES, IDNO,
// BST_CHECKED and BST_UNCHECKED, which the framework defines with the
// system's values.
// Include it instead of <windows.h> wherever framework headers are used.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#undef MessageBox
#undef IDOK
#undef IDCANCEL
#undef IDYES
#undef IDNO
#undef BST_CHECKED
#undef BST_UNCHECKED
