// The Information tab: texts only, and nothing the keys can end.
#include <gtest/gtest.h>

#include <string>

#include "framework/MessageBox.h"
#include "res/Resource.h"
#include "ui/AboutDlg.h"

namespace {

using framework::EControlKind;

TEST(AboutDlg, ShowsNameVersionAndThanksWithoutInputs) {
    framework::CRecordingMessageSink sink;
    ui::CAboutDlg dlg;
    ASSERT_TRUE(dlg.Create(sink));

    bool bTitle = false;
    bool bVersion = false;
    bool bIcon = false;
    int nLabels = 0;
    for (const framework::CControlState& ctrl : dlg.Snapshot().m_controls) {
        switch (ctrl.m_eKind) {
            case EControlKind::GroupBox:
                bTitle = bTitle || ctrl.m_strText == "About fragrelay";
                break;
            case EControlKind::Icon:
                bIcon = ctrl.m_pTemplate->m_nIconId == res::IDR_MAINFRAME;
                break;
            case EControlKind::Static:
                ++nLabels;
                bVersion = bVersion || (ctrl.m_strText.find("fragrelay") != std::string::npos &&
                                        ctrl.m_strText.find("1.3 BETA") != std::string::npos);
                break;
            default:
                ADD_FAILURE() << "input control " << ctrl.m_nId << " on the information page";
        }
    }
    EXPECT_TRUE(bTitle);
    EXPECT_TRUE(bIcon);
    EXPECT_TRUE(bVersion);
    EXPECT_EQ(nLabels, 2);  // the version line and the thanks
}

TEST(AboutDlg, EnterAndEscapeDoNotEndThePage) {
    framework::CRecordingMessageSink sink;
    ui::CAboutDlg dlg;
    ASSERT_TRUE(dlg.Create(sink));
    dlg.PressEnter();
    dlg.PressEscape();
    EXPECT_FALSE(dlg.IsEnded());
    EXPECT_EQ(sink.Count(), 0u);
}

}  // namespace
