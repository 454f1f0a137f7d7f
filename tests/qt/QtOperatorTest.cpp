// Widgets to page: typing, clicks, choices, focus and keys reach the page,
// and handlers run on the dispatcher, which the GUI thread drives.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <vector>

#include "QtTestSupport.h"
#include "qt/QtTabHost.h"

namespace qttest {
namespace {

using framework::BST_CHECKED;
using framework::BST_UNCHECKED;

using QtOperatorTest = CViewFixture;

TEST_F(QtOperatorTest, TypedTextReachesTheControlState) {
    struct CRow {
        const char* m_pszName;
        int m_nId;
        QString m_strTyped;
        std::string m_strInPage;
        QString m_strShown;  // what the edit shows once the page took it
    };
    const CRow rows[] = {
        {"plain", ID_EDIT, QStringLiteral("nick"), "nick", QStringLiteral("nick")},
        {"code page letters", ID_EDIT, QStringLiteral(u"é€ñ"), "\xE9\x80\xF1",
         QStringLiteral(u"é€ñ")},
        {"letters the code page lacks", ID_EDIT, QStringLiteral(u"a中"), "a?",
         QStringLiteral(u"a?")},
        {"digits only drops the rest", ID_DIGITS, QStringLiteral("6a6b67"), "6667",
         QStringLiteral("6667")},
        {"password", ID_PASSWORD, QStringLiteral("s3cret"), "s3cret", QStringLiteral("s3cret")},
    };
    for (const CRow& row : rows) {
        auto* pEdit = Widget<QLineEdit>(row.m_nId);
        pEdit->clear();
        m_pPage->SetItemText(row.m_nId, "");
        ASSERT_TRUE(SpinUntil([&] { return pEdit->text().isEmpty(); })) << row.m_pszName;
        TypeText(pEdit, row.m_strTyped);
        EXPECT_TRUE(SpinUntil([&] { return m_pPage->GetItemText(row.m_nId) == row.m_strInPage; }))
            << row.m_pszName << ": " << m_pPage->GetItemText(row.m_nId);
        EXPECT_TRUE(SpinUntil([&] { return pEdit->text() == row.m_strShown; }))
            << row.m_pszName << ": " << pEdit->text().toStdString();
    }
}

TEST_F(QtOperatorTest, TypingStopsAtTheLimit) {
    m_pPage->SetLimitText(ID_DIGITS, 2);
    auto* pEdit = Widget<QLineEdit>(ID_DIGITS);
    ASSERT_TRUE(SpinUntil([&] { return pEdit->maxLength() == 2; }));
    QTest::keyClicks(pEdit, QStringLiteral("12345"));
    ASSERT_TRUE(Settle());
    EXPECT_EQ(m_pPage->GetItemText(ID_DIGITS), "12");
    EXPECT_EQ(pEdit->text(), QStringLiteral("12"));
}

TEST_F(QtOperatorTest, TypingInTheMiddleIsNotUndoneByTheEchoOfEarlierKeys) {
    auto* pEdit = Widget<QLineEdit>(ID_EDIT);
    m_pPage->SetItemText(ID_EDIT, "hello");
    ASSERT_TRUE(SpinUntil([&] { return pEdit->text() == "hello"; }));
    std::vector<QString> shown;
    QObject::connect(pEdit, &QLineEdit::textChanged, pEdit,
                     [&](const QString& str) { shown.push_back(str); });
    pEdit->setCursorPosition(2);
    // Both keys are typed before the dispatcher takes the first one.
    QTest::keyClicks(pEdit, QStringLiteral("XY"));
    ASSERT_TRUE(SpinUntil([&] { return m_pPage->GetItemText(ID_EDIT) == "heXYllo"; }));
    ASSERT_TRUE(Settle());
    QCoreApplication::processEvents();
    EXPECT_EQ(pEdit->text(), QStringLiteral("heXYllo"));
    EXPECT_EQ(pEdit->cursorPosition(), 4);
    const std::vector<QString> expected = {QStringLiteral("heXllo"), QStringLiteral("heXYllo")};
    EXPECT_EQ(shown, expected);
}

TEST_F(QtOperatorTest, ClickRunsTheHandlerOnTheDispatcherOnTheGuiThread) {
    QTest::mouseClick(Widget<QPushButton>(ID_BUTTON), Qt::LeftButton);
    ASSERT_TRUE(SpinUntil([&] { return m_pPage->m_nClicks.load() == 1; }));
    EXPECT_EQ(m_pPage->m_nOffDispatcher.load(), 0);
    EXPECT_EQ(m_pPage->GetFocusItem(), ID_BUTTON);

    // A disabled button does nothing.
    m_pPage->EnableItem(ID_BUTTON, false);
    ASSERT_TRUE(SpinUntil([&] { return !Widget<QPushButton>(ID_BUTTON)->isEnabled(); }));
    QTest::mouseClick(Widget<QPushButton>(ID_BUTTON), Qt::LeftButton);
    ASSERT_TRUE(Settle());
    EXPECT_EQ(m_pPage->m_nClicks.load(), 1);
}

TEST_F(QtOperatorTest, CheckBoxesShowWhatThePageDecides) {
    auto* pAuto = Widget<QCheckBox>(ID_AUTOCHECK);
    auto* pPlain = Widget<QCheckBox>(ID_CHECK);
    // A self-toggling box toggles once per click.
    ClickCheckBox(pAuto);
    ASSERT_TRUE(SpinUntil([&] { return m_pPage->GetCheck(ID_AUTOCHECK) == BST_CHECKED; }));
    EXPECT_TRUE(SpinUntil([&] { return pAuto->isChecked(); }));
    ClickCheckBox(pAuto);
    ASSERT_TRUE(SpinUntil([&] { return m_pPage->GetCheck(ID_AUTOCHECK) == BST_UNCHECKED; }));
    EXPECT_TRUE(SpinUntil([&] { return !pAuto->isChecked(); }));
    EXPECT_EQ(m_pPage->m_nAutoClicks.load(), 2);

    // A plain box changes only through its handler; the widget never runs
    // ahead of the page.
    ClickCheckBox(pPlain);
    EXPECT_FALSE(pPlain->isChecked());
    ASSERT_TRUE(SpinUntil([&] { return pPlain->isChecked(); }));
    EXPECT_EQ(m_pPage->GetCheck(ID_CHECK), BST_CHECKED);
    EXPECT_EQ(m_pPage->m_nCheckClicks.load(), 1);
    EXPECT_EQ(m_pPage->m_nOffDispatcher.load(), 0);
}

TEST_F(QtOperatorTest, ChoosingAListItemOrATabReachesThePage) {
    auto* pCombo = Widget<QComboBox>(ID_LIST);
    pCombo->setFocus();
    QTest::keyClick(pCombo, Qt::Key_Down);
    ASSERT_TRUE(SpinUntil([&] { return m_pPage->GetCurSel(ID_LIST) == 0; }));
    EXPECT_EQ(m_pPage->m_nListChanges.load(), 1);

    m_pPage->InsertTabItem(ID_TABS, 0, "first", nullptr);
    m_pPage->InsertTabItem(ID_TABS, 1, "second", nullptr);
    QTabBar* pBar = Widget<qt::CQtTabHost>(ID_TABS)->TabBar();
    ASSERT_TRUE(SpinUntil([&] { return pBar->count() == 2; }));
    EXPECT_EQ(pBar->currentIndex(), 0);
    QTest::mouseClick(pBar, Qt::LeftButton, {}, pBar->tabRect(1).center());
    ASSERT_TRUE(SpinUntil([&] { return m_pPage->GetCurSel(ID_TABS) == 1; }));

    // A disabled control refuses the choice and the widget goes back.
    m_pPage->EnableItem(ID_TABS, false);
    ASSERT_TRUE(SpinUntil([&] { return !pBar->isEnabled(); }));
    pBar->setCurrentIndex(0);  // as if the operator got there anyway
    ASSERT_TRUE(Settle());
    EXPECT_TRUE(SpinUntil([&] { return pBar->currentIndex() == 1; }));
    EXPECT_EQ(m_pPage->GetCurSel(ID_TABS), 1);
}

TEST_F(QtOperatorTest, EnterAndEscapeReachOnOkAndOnCancel) {
    auto* pEdit = Widget<QLineEdit>(ID_EDIT);
    pEdit->setFocus();
    QTest::keyClick(pEdit, Qt::Key_Return);
    QTest::keyClick(pEdit, Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(Widget<QCheckBox>(ID_CHECK), Qt::Key_Escape);
    ASSERT_TRUE(SpinUntil([&] { return m_pPage->m_nOK.load() == 2 && m_pPage->m_nCancel == 1; }));
    EXPECT_EQ(m_pPage->m_nOffDispatcher.load(), 0);
    EXPECT_TRUE(m_pView->isVisible());
}

TEST(QtOperatorEndTest, EscapeOnAPageThatEndsReportsItAndClosesNothing) {
    // The framework's own OnCancel ends the page; the view reports it and
    // leaves closing to the program.
    qt::CQtDispatcherHost host;
    framework::CRecordingMessageSink sink;
    framework::CPage page(TestTemplate());
    ASSERT_TRUE(page.Create(sink));
    const qt::CDialogUnits units;
    qt::CQtPageView view(page, host.Dispatcher(), units);
    int nEnded = -1;
    QObject::connect(&view, &qt::CQtPageView::PageEnded, [&](int n) { nEnded = n; });
    view.show();
    QTest::keyClick(view.ControlWidget(ID_EDIT), Qt::Key_Escape);
    ASSERT_TRUE(SpinUntil([&] { return nEnded == framework::IDCANCEL; }));
    EXPECT_TRUE(view.isVisible());
}

TEST_F(QtOperatorTest, FocusMovesReachThePage) {
    Widget<QLineEdit>(ID_DIGITS)->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(SpinUntil([&] { return m_pPage->GetFocusItem() == ID_DIGITS; }));
    QTest::keyClick(Widget<QLineEdit>(ID_DIGITS), Qt::Key_Tab);
    ASSERT_TRUE(SpinUntil([&] { return m_pPage->GetFocusItem() == ID_PASSWORD; }));
}

}  // namespace
}  // namespace qttest
