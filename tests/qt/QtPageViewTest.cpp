// Page to widgets: whatever thread changes a control, its widget follows on
// the GUI thread, in order.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "QtTestSupport.h"
#include "qt/QtLogView.h"
#include "qt/QtTabHost.h"

namespace qttest {
namespace {

using framework::BST_CHECKED;

using QtPageViewTest = CViewFixture;

TEST_F(QtPageViewTest, WorkerChangesReachTheWidgetsOnTheGuiThreadOnly) {
    auto* pEdit = Widget<QLineEdit>(ID_EDIT);
    auto* pLabel = Widget<QLabel>(ID_LABEL);
    ASSERT_NE(pEdit, nullptr);
    ASSERT_NE(pLabel, nullptr);
    std::mutex mutex;
    std::set<QThread*> threads;
    std::vector<QString> seen;
    // Direct connections run on whichever thread changes the widget.
    QObject::connect(
        pEdit, &QLineEdit::textChanged, pEdit,
        [&](const QString& str) {
            std::lock_guard<std::mutex> lock(mutex);
            threads.insert(QThread::currentThread());
            seen.push_back(str);
        },
        Qt::DirectConnection);

    constexpr int kCount = 300;
    std::thread worker([&] {
        for (int n = 1; n <= kCount; ++n) {
            m_pPage->SetItemText(ID_EDIT, "v" + std::to_string(n));
            m_pPage->SetItemText(ID_LABEL, "L" + std::to_string(n));
        }
        m_pPage->EnableItem(ID_BUTTON, false);
        m_pPage->SetCheck(ID_AUTOCHECK, BST_CHECKED);
        m_pPage->ShowItem(ID_LIST, false);
    });
    worker.join();
    ASSERT_TRUE(SpinUntil([&] { return pEdit->text() == QStringLiteral("v300"); }));
    EXPECT_EQ(pLabel->text(), QStringLiteral("L300"));
    EXPECT_FALSE(Widget<QPushButton>(ID_BUTTON)->isEnabled());
    EXPECT_TRUE(Widget<QCheckBox>(ID_AUTOCHECK)->isChecked());
    EXPECT_TRUE(Widget<QComboBox>(ID_LIST)->isHidden());

    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(threads, std::set<QThread*>{qApp->thread()});
    // In the order they were made: each value once, ascending.
    ASSERT_EQ(seen.size(), static_cast<size_t>(kCount));
    for (int n = 0; n < kCount; ++n) {
        EXPECT_EQ(seen[static_cast<size_t>(n)], QStringLiteral("v%1").arg(n + 1));
    }
}

TEST_F(QtPageViewTest, ConcurrentWritersEndInThePagesFinalState) {
    std::vector<std::thread> writers;
    for (int w = 0; w < 4; ++w) {
        writers.emplace_back([this, w] {
            for (int n = 0; n < 200; ++n) {
                m_pPage->SetItemText(ID_EDIT, "w" + std::to_string(w) + "n" + std::to_string(n));
                m_pPage->SetCheck(ID_AUTOCHECK, n % 2);
                m_pPage->SetCurSel(ID_LIST, n % 3);
                m_pPage->AppendLogLine(ID_LOG, "w" + std::to_string(w));
            }
        });
    }
    for (std::thread& t : writers) t.join();
    const std::string strFinal = m_pPage->GetItemText(ID_EDIT);
    ASSERT_TRUE(SpinUntil([&] {
        return Widget<QLineEdit>(ID_EDIT)->text() == QString::fromStdString(strFinal) &&
               Widget<qt::CQtLogView>(ID_LOG)->LineCount() == 800;
    }));
    EXPECT_EQ(Widget<QCheckBox>(ID_AUTOCHECK)->isChecked(),
              m_pPage->GetCheck(ID_AUTOCHECK) == BST_CHECKED);
    EXPECT_EQ(Widget<QComboBox>(ID_LIST)->currentIndex(), m_pPage->GetCurSel(ID_LIST));
    EXPECT_EQ(Widget<qt::CQtLogView>(ID_LOG)->toPlainText().toStdString(),
              m_pPage->GetItemText(ID_LOG));
}

TEST_F(QtPageViewTest, WindowsTextIsShownAsUnicodeInEveryKindOfControl) {
    m_pPage->SetItemText(ID_LABEL, "Caf\xE9 \x80 \x8A\x9A");
    m_pPage->SetItemText(ID_BUTTON, "G\xE9");
    m_pPage->SetItemText(ID_EDIT, "\x93quoted\x94");
    m_pPage->SetListItems(ID_LIST, {"Espa\xF1ol", "\x85"});
    m_pPage->InsertTabItem(ID_TABS, 0, "\xC9t\xE9", nullptr);
    m_pPage->AppendLogLine(ID_LOG, "tu\xE9 \x99");
    ASSERT_TRUE(SpinUntil([&] { return Widget<QLabel>(ID_LABEL)->text() != "label"; }));
    EXPECT_EQ(Widget<QLabel>(ID_LABEL)->text(), QStringLiteral(u"Café € Šš"));
    EXPECT_EQ(Widget<QPushButton>(ID_BUTTON)->text(), QStringLiteral(u"Gé"));
    EXPECT_EQ(Widget<QLineEdit>(ID_EDIT)->text(), QStringLiteral(u"“quoted”"));
    EXPECT_EQ(Widget<QComboBox>(ID_LIST)->itemText(0), QStringLiteral(u"Español"));
    EXPECT_EQ(Widget<QComboBox>(ID_LIST)->itemText(1), QStringLiteral(u"…"));
    EXPECT_EQ(Widget<qt::CQtTabHost>(ID_TABS)->TabBar()->tabText(0), QStringLiteral(u"Été"));
    EXPECT_EQ(Widget<qt::CQtLogView>(ID_LOG)->toPlainText(), QStringLiteral(u"tué ™"));
}

TEST_F(QtPageViewTest, HostileTextStaysPlainText) {
    // A server name with markup or control bytes must not become markup or
    // cut the text at a NUL.
    m_pPage->SetItemText(ID_LABEL, std::string("<img src=x>\0tail", 16));
    ASSERT_TRUE(SpinUntil([&] { return Widget<QLabel>(ID_LABEL)->text() != "label"; }));
    EXPECT_EQ(Widget<QLabel>(ID_LABEL)->text(), QStringLiteral(u"<img src=x>\uFFFDtail"));
    EXPECT_EQ(Widget<QLabel>(ID_LABEL)->textFormat(), Qt::PlainText);
}

TEST_F(QtPageViewTest, ProgramMaySetATextLongerThanTheTypingLimit) {
    m_pPage->SetLimitText(ID_EDIT, 2);
    m_pPage->SetItemText(ID_EDIT, "12345");
    auto* pEdit = Widget<QLineEdit>(ID_EDIT);
    ASSERT_TRUE(SpinUntil([&] { return pEdit->text() == "12345"; }));
    // Shorter again: the limit of 2 holds for typing.
    m_pPage->SetItemText(ID_EDIT, "1");
    ASSERT_TRUE(SpinUntil([&] { return pEdit->text() == "1"; }));
    EXPECT_EQ(pEdit->maxLength(), 2);
}

TEST_F(QtPageViewTest, StylesAndFlagsFollowThePage) {
    auto* pPassword = Widget<QLineEdit>(ID_PASSWORD);
    auto* pDigits = Widget<QLineEdit>(ID_DIGITS);
    EXPECT_EQ(pPassword->echoMode(), QLineEdit::Password);
    EXPECT_NE(pDigits->validator(), nullptr);
    m_pPage->SetPasswordStyle(ID_PASSWORD, false);
    m_pPage->SetDigitsOnly(ID_DIGITS, false);
    m_pPage->SetReadOnly(ID_EDIT, true);
    ASSERT_TRUE(SpinUntil([&] { return Widget<QLineEdit>(ID_EDIT)->isReadOnly(); }));
    EXPECT_EQ(pPassword->echoMode(), QLineEdit::Normal);
    EXPECT_EQ(pDigits->validator(), nullptr);
}

TEST(QtPageViewBuildTest, ControlsSitWhereTheTemplateSaysInTheStateThePageHolds) {
    qt::CQtDispatcherHost host;
    framework::CRecordingMessageSink sink;
    CRecordingPage page(host.Dispatcher());
    ASSERT_TRUE(page.Create(sink));
    // State made before any view exists is in the view from the start.
    page.SetItemText(ID_EDIT, "before");
    page.EnableItem(ID_BUTTON, false);
    page.SetCurSel(ID_LIST, 2);
    page.AppendLogLine(ID_LOG, "first\nsecond");
    const qt::CDialogUnits units;
    qt::CQtPageView view(page, host.Dispatcher(), units);

    EXPECT_EQ(qobject_cast<QLineEdit*>(view.ControlWidget(ID_EDIT))->text(), "before");
    EXPECT_FALSE(view.ControlWidget(ID_BUTTON)->isEnabled());
    EXPECT_EQ(qobject_cast<QComboBox*>(view.ControlWidget(ID_LIST))->currentIndex(), 2);
    EXPECT_EQ(qobject_cast<qt::CQtLogView*>(view.ControlWidget(ID_LOG))->LineCount(), 2u);
    EXPECT_EQ(view.size(), QSize(units.ToPixelsX(300), units.ToPixelsY(200)));

    for (const framework::CControlTemplate& ctrl : TestTemplate().m_controls) {
        if (ctrl.m_nId == framework::IDC_STATIC) continue;
        QWidget* pWidget = view.ControlWidget(ctrl.m_nId);
        ASSERT_NE(pWidget, nullptr) << ctrl.m_nId;
        const QRect expected(
            units.ToPixelsX(ctrl.m_x), units.ToPixelsY(ctrl.m_y),
            units.ToPixelsX(ctrl.m_x + ctrl.m_cx) - units.ToPixelsX(ctrl.m_x),
            units.ToPixelsY(ctrl.m_y + framework::ClosedHeight(ctrl)) - units.ToPixelsY(ctrl.m_y));
        EXPECT_EQ(pWidget->geometry(), expected) << ctrl.m_nId;
    }
    // A drop-down list covers one line when closed, not its dropped height.
    EXPECT_LT(view.ControlWidget(ID_LIST)->height(), units.ToPixelsY(50) / 2);
    EXPECT_EQ(view.ControlWidget(9999), nullptr);
}

TEST_F(QtPageViewTest, FocusSetByThePageMovesToTheWidget) {
    m_pPage->SetFocusItem(ID_DIGITS);
    ASSERT_TRUE(SpinUntil([&] { return Widget<QLineEdit>(ID_DIGITS)->hasFocus(); }));
    m_pPage->SetFocusItem(ID_EDIT);
    ASSERT_TRUE(SpinUntil([&] { return Widget<QLineEdit>(ID_EDIT)->hasFocus(); }));
    ASSERT_TRUE(Settle());
    EXPECT_EQ(m_pPage->GetFocusItem(), ID_EDIT);
}

// A child page created inside the tab control after the view exists.
TEST_F(QtPageViewTest, ChildPageAppearsInsideItsHostControl) {
    CRecordingPage child(m_host.Dispatcher());
    ASSERT_TRUE(child.Create(m_sink, m_pPage.get(), ID_TABS));
    child.MoveWindow(3, 25);
    child.SetItemText(ID_LABEL, "in the child");
    qt::CQtPageView* pChildView = nullptr;
    ASSERT_TRUE(SpinUntil([&] {
        pChildView = m_pView->ChildView(&child);
        return pChildView != nullptr && pChildView->pos() == QPoint(3, 25);
    }));
    EXPECT_EQ(pChildView->parentWidget(), m_pView->ControlWidget(ID_TABS));
    EXPECT_TRUE(pChildView->isVisible());
    ASSERT_TRUE(SpinUntil([&] {
        auto* pLabel = qobject_cast<QLabel*>(pChildView->ControlWidget(ID_LABEL));
        return pLabel->text() == "in the child";
    }));
    child.ShowWindow(false);
    ASSERT_TRUE(SpinUntil([&] { return pChildView->isHidden(); }));
    child.DestroyWindow();
    ASSERT_TRUE(SpinUntil([&] { return pChildView->IsPageGone(); }));
}

TEST_F(QtPageViewTest, ChildPageDestroyedBeforeTheGuiSawItIsNeverUsed) {
    // Created and destroyed in one go on the UI thread: the view hears of
    // both afterwards, and from then on leaves the page alone.
    CRecordingPage child(m_host.Dispatcher());
    m_host.Dispatcher().Post([&] {
        child.Create(m_sink, m_pPage.get(), ID_TABS);
        child.SetItemText(ID_EDIT, "short-lived");
        child.DestroyWindow();
    });
    ASSERT_TRUE(SpinUntil([&] { return m_pView->ChildView(&child) != nullptr; }));
    qt::CQtPageView* pChildView = m_pView->ChildView(&child);
    ASSERT_TRUE(SpinUntil([&] { return pChildView->isHidden(); }));
    EXPECT_TRUE(pChildView->IsPageGone());
    QTest::mouseClick(pChildView->ControlWidget(ID_BUTTON), Qt::LeftButton);
    ASSERT_TRUE(Settle());
    EXPECT_EQ(child.m_nClicks.load(), 0);
}

}  // namespace
}  // namespace qttest
