#pragma once
// A small page for the framework's own tests: one control of each kind and
// fields bound in a fixed order.
#include <atomic>
#include <string>
#include <vector>

#include "framework/ControlHandles.h"
#include "framework/Page.h"

namespace fwtest {

enum : int {
    kName = 10,    // edit, text
    kCount = 11,   // edit, 32-bit integer
    kPort = 12,    // edit, 16-bit integer, digits only
    kColour = 13,  // edit, text of at most 2 characters
    kFlag = 14,    // check box (plain)
    kChoice = 15,  // drop-down list
    kAuto = 16,    // check box that toggles itself
    kGo = 17,      // push button
    kLocked = 18,  // read-only edit
    kOff = 19,     // disabled push button
    kLog = 20,     // log
    kTabs = 21,    // tab control
    kStatus = 22,  // static text
};

inline const framework::CDialogTemplate& TestTemplate() {
    using framework::EControlKind;
    namespace style = framework::style;
    constexpr uint32_t kVis = style::Visible | style::TabStop;
    static const framework::CDialogTemplate kTemplate = {
        900,
        "Test page",
        300,
        200,
        "MS Sans Serif",
        8,
        style::Child,
        {
            {kName, EControlKind::Edit, "", 10, 10, 80, 12, kVis, {}, 0},
            {kCount, EControlKind::Edit, "", 10, 30, 80, 12, kVis, {}, 0},
            {kPort, EControlKind::Edit, "", 10, 50, 80, 12, kVis | style::Number, {}, 0},
            {kColour, EControlKind::Edit, "", 10, 70, 80, 12, kVis, {}, 0},
            {kFlag, EControlKind::CheckBox, "Flag", 10, 90, 80, 10, kVis, {}, 0},
            {kChoice, EControlKind::DropList, "", 10, 110, 80, 50, kVis, {"zero", "one", "two"}, 0},
            {kAuto,
             EControlKind::CheckBox,
             "Auto",
             10,
             130,
             80,
             10,
             kVis | style::AutoCheck,
             {},
             0},
            {kGo, EControlKind::PushButton, "Go", 100, 10, 50, 14, kVis, {}, 0},
            {kLocked, EControlKind::Edit, "fixed", 100, 30, 80, 12, kVis | style::ReadOnly, {}, 0},
            {kOff, EControlKind::PushButton, "Off", 100, 50, 50, 14, kVis | style::Disabled, {}, 0},
            {kLog, EControlKind::RichEditLog, "", 100, 70, 150, 80, kVis | style::MultiLine, {}, 0},
            {kTabs, EControlKind::TabControl, "", 190, 10, 100, 40, kVis, {}, 0},
            {kStatus, EControlKind::Static, "idle", 10, 160, 80, 8, style::Visible, {}, 0},
        }};
    return kTemplate;
}

// Fields in exchange order: name, count, port, colour (limit 2), flag, choice.
class CTestPage : public framework::CPage {
public:
    CTestPage() : CPage(TestTemplate()) {
        SetMessageTitle("fragrelay");
        MapClick(kGo, [this] { m_events.push_back("click go"); });
        MapClick(kFlag, [this] { m_events.push_back("click flag"); });
        MapClick(kAuto, [this] { m_events.push_back("click auto"); });
        MapNotify(kName, framework::ENotify::SetFocus, [this] { m_events.push_back("name+"); });
        MapNotify(kName, framework::ENotify::KillFocus, [this] { m_events.push_back("name-"); });
        MapNotify(kTabs, framework::ENotify::SelChanging, [this] {
            m_events.push_back("changing from " + std::to_string(m_tabs.GetCurSel()));
        });
        MapNotify(kTabs, framework::ENotify::SelChange, [this] {
            m_events.push_back("changed to " + std::to_string(m_tabs.GetCurSel()));
        });
    }

    std::string m_strName = "alpha";
    int32_t m_nCount = 7;
    int16_t m_nPort = 23000;
    std::string m_strColour = "04";
    int32_t m_bFlag = 1;
    int32_t m_nChoice = 2;
    framework::CLogCtrl m_log;
    framework::CTabCtrl m_tabs;
    std::vector<std::string> m_events;  // handlers that ran, in order (UI thread)
    bool m_bOverrideKeys = false;       // OnOK/OnCancel as the program's pages do

protected:
    void DoDataExchange(framework::CDataExchange& dx) override {
        dx.Control(kLog, m_log);
        dx.Control(kTabs, m_tabs);
        dx.Text(kName, m_strName);
        dx.Int(kCount, m_nCount);
        dx.Short(kPort, m_nPort);
        dx.Text(kColour, m_strColour, 2);
        dx.Check(kFlag, m_bFlag);
        dx.ListIndex(kChoice, m_nChoice);
    }
    void OnOK() override {
        m_events.push_back("ok");
        if (!m_bOverrideKeys) CPage::OnOK();
    }
    void OnCancel() override {
        m_events.push_back("cancel");
        if (!m_bOverrideKeys) CPage::OnCancel();
    }
};

}  // namespace fwtest
