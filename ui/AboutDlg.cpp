#include "ui/AboutDlg.h"

#include "res/Resource.h"

CAboutDlg::CAboutDlg() : CPage(res::IDD_ABOUT) {}
