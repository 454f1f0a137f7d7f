#pragma once
// The Information tab: the program's name, version and thanks. It has no
// input controls and no behaviour of its own.
#include "framework/Page.h"

namespace ui {

class CAboutDlg : public framework::CPage {
public:
    // From the Information template.
    CAboutDlg();

protected:
    // Enter and Escape do nothing: a tab page must not end itself.
    void OnOK() override {}
    void OnCancel() override {}
};

}  // namespace ui
