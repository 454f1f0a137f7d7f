#include "ui/AboutDlg.h"

#include "dialogs/DialogTemplates.h"
#include "res/Resource.h"
#include "res/StringTable.h"

namespace ui {

CAboutDlg::CAboutDlg() : CPage(dialogs::FindDialogTemplate(res::IDD_ABOUT)) {
    SetMessageTitle(res::LoadResString(res::IDS_APPNAME));
}

}  // namespace ui
