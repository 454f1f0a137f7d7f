// Pages as the operator drives them: typing, clicking, choosing, the keys,
// and the tab control's page pointers.
#include <gtest/gtest.h>

#include "framework/MessageBox.h"
#include "support/PageMirror.h"
#include "tests/framework/TestPage.h"

using namespace fwtest;
using framework::CPage;
using framework::EChange;

namespace {

class PageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_page.Create(m_sink));
        m_page.m_events.clear();
    }

    framework::CRecordingMessageSink m_sink;
    CTestPage m_page;
};

TEST_F(PageTest, ControlsStartAsTheTemplateSays) {
    EXPECT_EQ(m_page.GetWindowText(), "Test page");
    EXPECT_TRUE(m_page.IsReadOnly(kLocked));
    EXPECT_EQ(m_page.GetItemText(kLocked), "fixed");
    EXPECT_FALSE(m_page.IsItemEnabled(kOff));
    EXPECT_TRUE(m_page.IsItemEnabled(kGo));
    EXPECT_TRUE(m_page.IsDigitsOnly(kPort));
    EXPECT_FALSE(m_page.IsDigitsOnly(kName));
    EXPECT_EQ(m_page.GetListItems(kChoice), (std::vector<std::string>{"zero", "one", "two"}));
    EXPECT_EQ(m_page.GetItemText(kStatus), "idle");
    EXPECT_EQ(m_page.UnknownIdUses(), 0u);
}

TEST(Page, UnknownTemplateOrIdIsAProgrammingErrorNotACrash) {
    framework::CRecordingMessageSink sink;
    CPage page(nullptr);  // a template its caller did not find
    EXPECT_FALSE(page.HasTemplate());
    EXPECT_FALSE(page.Create(sink));
    EXPECT_FALSE(page.SetItemText(5, "x"));
    EXPECT_EQ(page.GetItemText(5), "");
    EXPECT_FALSE(page.Click(5));
    EXPECT_EQ(page.UnknownIdUses(), 3u);

    CTestPage test;
    ASSERT_TRUE(test.Create(sink));
    EXPECT_FALSE(test.Create(sink));               // only once
    EXPECT_FALSE(test.AppendLogLine(kName, "x"));  // not a log
    EXPECT_EQ(test.UnknownIdUses(), 1u);
}

TEST_F(PageTest, TypingIsRefusedWhereTheOperatorCannotType) {
    EXPECT_EQ(m_page.TypeText(kLocked, "new"), "fixed");
    EXPECT_EQ(m_page.TypeText(kStatus, "new"), "idle");
    m_page.EnableItem(kName, false);
    EXPECT_EQ(m_page.TypeText(kName, "new"), "alpha");
    m_page.EnableItem(kName, true);
    m_page.ShowItem(kName, false);
    EXPECT_EQ(m_page.TypeText(kName, "new"), "alpha");
    m_page.ShowItem(kName, true);
    EXPECT_EQ(m_page.TypeText(kName, "new"), "new");
    EXPECT_EQ(m_page.GetFocusItem(), kName);  // typing needs the focus first
}

TEST_F(PageTest, ClickRunsTheHandlerOnlyOnAnEnabledVisibleButton) {
    EXPECT_FALSE(m_page.Click(kOff));
    EXPECT_FALSE(m_page.Click(kName));  // an edit is no button
    m_page.ShowItem(kGo, false);
    EXPECT_FALSE(m_page.Click(kGo));
    EXPECT_TRUE(m_page.m_events.empty());
    m_page.ShowItem(kGo, true);

    m_page.FocusItem(kName);
    EXPECT_TRUE(m_page.Click(kGo));
    // The mouse takes the focus away from the edit before the handler runs.
    EXPECT_EQ(m_page.m_events, (std::vector<std::string>{"name+", "name-", "click go"}));
}

TEST_F(PageTest, PlainCheckBoxLeavesItsStateToTheHandler) {
    m_page.SetCheck(kFlag, framework::BST_CHECKED);
    m_page.SetCheck(kAuto, framework::BST_CHECKED);
    EXPECT_TRUE(m_page.Click(kFlag));
    EXPECT_EQ(m_page.GetCheck(kFlag), framework::BST_CHECKED);
    EXPECT_TRUE(m_page.Click(kAuto));
    EXPECT_EQ(m_page.GetCheck(kAuto), framework::BST_UNCHECKED);
    EXPECT_TRUE(m_page.Click(kAuto));
    EXPECT_EQ(m_page.GetCheck(kAuto), framework::BST_CHECKED);
    EXPECT_EQ(m_page.m_events,
              (std::vector<std::string>{"click flag", "click auto", "click auto"}));
}

TEST_F(PageTest, ChoosingAListItem) {
    EXPECT_TRUE(m_page.ChooseItem(kChoice, 1));
    EXPECT_EQ(m_page.GetCurSel(kChoice), 1);
    EXPECT_FALSE(m_page.ChooseItem(kChoice, 3));
    EXPECT_FALSE(m_page.ChooseItem(kChoice, -1));
    EXPECT_EQ(m_page.GetCurSel(kChoice), 1);
    m_page.EnableItem(kChoice, false);
    EXPECT_FALSE(m_page.ChooseItem(kChoice, 0));
    EXPECT_EQ(m_page.GetCurSel(kChoice), 1);
    // A program may clear the selection; an index out of range does too.
    EXPECT_TRUE(m_page.SetCurSel(kChoice, 7));
    EXPECT_EQ(m_page.GetCurSel(kChoice), -1);
}

TEST_F(PageTest, TabItemsCarryTheirPages) {
    CTestPage pages[4];
    const char* const captions[] = {"IRC", "BF42", "Settings", "Information"};
    for (int n = 0; n < 4; ++n) {
        ASSERT_TRUE(m_page.m_tabs.InsertItem(n, captions[n], &pages[n]));
    }
    EXPECT_EQ(m_page.m_tabs.GetItemCount(), 4);
    EXPECT_EQ(m_page.m_tabs.GetCurSel(), 0);  // the first item is selected
    for (int n = 0; n < 4; ++n) EXPECT_EQ(m_page.m_tabs.GetItemParam(n), &pages[n]);
    EXPECT_EQ(m_page.m_tabs.GetItemParam(4), nullptr);
    EXPECT_EQ(m_page.m_tabs.GetItemParam(-1), nullptr);
    EXPECT_EQ(m_page.GetListItems(kTabs),
              (std::vector<std::string>{"IRC", "BF42", "Settings", "Information"}));

    // The operator's choice: the "changing" handler still sees the old one.
    EXPECT_TRUE(m_page.ChooseItem(kTabs, 2));
    EXPECT_EQ(m_page.m_events, (std::vector<std::string>{"changing from 0", "changed to 2"}));
    EXPECT_EQ(m_page.m_tabs.GetItemParam(m_page.m_tabs.GetCurSel()), &pages[2]);
}

TEST_F(PageTest, EnterAndEscapeReachTheOverrides) {
    m_page.m_bOverrideKeys = true;  // as the program's pages: do nothing
    m_page.PressEnter();
    m_page.PressEscape();
    EXPECT_EQ(m_page.m_events, (std::vector<std::string>{"ok", "cancel"}));
    EXPECT_FALSE(m_page.IsEnded());
}

TEST_F(PageTest, BaseOkEndsOnlyAfterAValidTransfer) {
    m_page.SetItemText(kCount, "x");
    m_page.PressEnter();
    EXPECT_FALSE(m_page.IsEnded());
    EXPECT_EQ(m_sink.Count(), 1u);
    m_page.SetItemText(kCount, "8");
    m_page.PressEnter();
    EXPECT_TRUE(m_page.IsEnded());
    EXPECT_EQ(m_page.ModalResult(), framework::IDOK);
    EXPECT_EQ(m_page.m_nCount, 8);
}

TEST_F(PageTest, CloseBoxUsesTheBaseOkEvenWhenOkIsOverridden) {
    m_page.m_bOverrideKeys = true;
    m_page.SetItemText(kName, "closing");
    m_page.PressClose();
    EXPECT_TRUE(m_page.IsEnded());
    EXPECT_EQ(m_page.ModalResult(), framework::IDOK);
    EXPECT_EQ(m_page.m_strName, "closing");
    EXPECT_TRUE(m_page.m_events.empty());  // the override did not run
}

TEST_F(PageTest, EscapeWithTheBaseCancelEndsWithCancel) {
    m_page.PressEscape();
    EXPECT_TRUE(m_page.IsEnded());
    EXPECT_EQ(m_page.ModalResult(), framework::IDCANCEL);
}

TEST_F(PageTest, ViewIsToldOfChangesAfterItsSnapshotOnly) {
    m_page.SetItemText(kName, "before");
    testsupport::CPageMirror mirror(m_page);
    EXPECT_EQ(mirror.ChangeCount(), 0u);
    m_page.SetItemText(kName, "after");
    m_page.SetItemText(kName, "after");  // no change, no notice
    m_page.EnableItem(kGo, false);
    m_page.TypeText(kCount, "5");
    const auto changes = mirror.Changes();
    ASSERT_EQ(changes.size(), 4u);
    EXPECT_EQ(changes[0].m_eWhat, EChange::Text);
    EXPECT_EQ(changes[0].m_strText, "after");
    EXPECT_FALSE(changes[0].m_bByUser);
    EXPECT_EQ(changes[1].m_eWhat, EChange::Enabled);
    EXPECT_EQ(changes[2].m_eWhat, EChange::Focus);
    EXPECT_EQ(changes[3].m_eWhat, EChange::Text);
    EXPECT_TRUE(changes[3].m_bByUser);
    for (size_t n = 1; n < changes.size(); ++n) EXPECT_GT(changes[n].m_nSeq, changes[n - 1].m_nSeq);
    const auto state = mirror.State();
    const auto page = m_page.Snapshot();
    for (size_t n = 0; n < page.m_controls.size(); ++n) {
        EXPECT_EQ(state.m_controls[n].m_strText, page.m_controls[n].m_strText);
        EXPECT_EQ(state.m_controls[n].m_bEnabled, page.m_controls[n].m_bEnabled);
    }
}

TEST_F(PageTest, ChildPageIsAnnouncedToItsParentsView) {
    testsupport::CPageMirror mirror(m_page);
    CTestPage child;
    ASSERT_TRUE(child.Create(m_sink, &m_page, kTabs));
    child.MoveWindow(10, 30);
    child.ShowWindow(false);
    EXPECT_EQ(child.Parent(), &m_page);
    EXPECT_EQ(child.HostId(), kTabs);
    EXPECT_FALSE(child.IsWindowVisible());
    const auto changes = mirror.Changes();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].m_eWhat, EChange::ChildCreated);
    EXPECT_EQ(changes[0].m_nId, kTabs);
    EXPECT_EQ(changes[0].m_pChild, &child);
    EXPECT_EQ(m_page.Snapshot().m_children, (std::vector<CPage*>{&child}));
}

TEST_F(PageTest, MessageBoxGoesToTheSink) {
    EXPECT_EQ(m_page.MessageBox("Fill out all Inputfields!", "Error", framework::EIcon::Error),
              framework::IDOK);
    EXPECT_EQ(m_sink.Last(),
              (framework::CMessage{"Fill out all Inputfields!", "Error", framework::EIcon::Error}));
}

}  // namespace
