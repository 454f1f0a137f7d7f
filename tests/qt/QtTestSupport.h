#pragma once
// Shared pieces of the Qt view tests: a page template with one control of
// each kind, a page that records what its handlers saw, and a fixture with
// the dispatcher driven by the event loop.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QThread>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "framework/Dispatcher.h"
#include "framework/MessageBox.h"
#include "framework/Page.h"
#include "qt/DialogUnits.h"
#include "qt/QtDispatcherHost.h"
#include "qt/QtPageView.h"

namespace qttest {

// Every wait spins the event loop and is bounded.
constexpr int kWaitMs = 5000;

template <typename Pred>
bool SpinUntil(Pred pred, int nTimeoutMs = kWaitMs) {
    return QTest::qWaitFor(pred, nTimeoutMs);
}

inline bool OnGuiThread() {
    return QThread::currentThread() == qApp->thread();
}

// Types each character as a key carrying that text (QTest::keyClicks only
// knows the keys of a Latin keyboard).
inline void TypeText(QWidget* pWidget, const QString& strText) {
    for (const QChar ch : strText) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(pWidget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(pWidget, &release);
    }
}

// Clicks a check box on its box (its middle may be past its caption,
// where a click does nothing).
inline void ClickCheckBox(QCheckBox* pBox) {
    QStyleOptionButton option;
    option.initFrom(pBox);
    const QRect box = pBox->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, pBox);
    QTest::mouseClick(pBox, Qt::LeftButton, {}, box.center());
}

// Control ids of the test template.
enum : int {
    ID_EDIT = 10,
    ID_DIGITS = 11,
    ID_PASSWORD = 12,
    ID_BUTTON = 20,
    ID_AUTOCHECK = 21,
    ID_CHECK = 22,
    ID_LIST = 30,
    ID_LOG = 40,
    ID_LABEL = 50,
    ID_TABS = 60,
};

inline const framework::CDialogTemplate& TestTemplate() {
    using framework::CControlTemplate;
    using framework::EControlKind;
    namespace style = framework::style;
    static const framework::CDialogTemplate kTemplate = [] {
        framework::CDialogTemplate dlg;
        dlg.m_nId = 9001;
        dlg.m_strCaption = "test page";
        dlg.m_cx = 300;
        dlg.m_cy = 200;
        const uint32_t kTab = style::Visible | style::TabStop;
        auto ctl = [](int nId, EControlKind eKind, const char* pszText, int x, int y, int cx,
                      int cy, uint32_t nStyle, std::vector<std::string> items = {}) {
            CControlTemplate ctrl;
            ctrl.m_nId = nId;
            ctrl.m_eKind = eKind;
            ctrl.m_strText = pszText;
            ctrl.m_x = x;
            ctrl.m_y = y;
            ctrl.m_cx = cx;
            ctrl.m_cy = cy;
            ctrl.m_nStyle = nStyle;
            ctrl.m_items = std::move(items);
            return ctrl;
        };
        dlg.m_controls = {
            ctl(framework::IDC_STATIC, EControlKind::GroupBox, "frame", 2, 2, 296, 196,
                style::Visible),
            ctl(ID_EDIT, EControlKind::Edit, "", 8, 10, 100, 12, kTab | style::AutoHScroll),
            ctl(ID_DIGITS, EControlKind::Edit, "", 8, 26, 40, 12, kTab | style::Number),
            ctl(ID_PASSWORD, EControlKind::Edit, "", 8, 42, 60, 12, kTab | style::Password),
            ctl(ID_BUTTON, EControlKind::PushButton, "Go", 120, 10, 50, 14, kTab),
            ctl(ID_AUTOCHECK, EControlKind::CheckBox, "auto", 120, 28, 60, 10,
                kTab | style::AutoCheck),
            ctl(ID_CHECK, EControlKind::CheckBox, "plain", 120, 42, 60, 10, kTab),
            ctl(ID_LIST, EControlKind::DropList, "", 190, 10, 60, 50, kTab,
                {"one", "two", "three"}),
            ctl(ID_LOG, EControlKind::RichEditLog, "", 8, 60, 160, 60,
                kTab | style::MultiLine | style::VScroll | style::ReadOnly),
            ctl(ID_LABEL, EControlKind::Static, "label", 8, 126, 160, 8, style::Visible),
            ctl(ID_TABS, EControlKind::TabControl, "", 180, 60, 110, 60, kTab),
        };
        return dlg;
    }();
    return kTemplate;
}

// A page whose handlers record where they ran.
class CRecordingPage : public framework::CPage {
public:
    explicit CRecordingPage(framework::CDispatcher& dispatcher)
        : CPage(TestTemplate()), m_dispatcher(dispatcher) {
        MapClick(ID_BUTTON, [this] { Note(m_nClicks); });
        MapClick(ID_AUTOCHECK, [this] { Note(m_nAutoClicks); });
        // A plain check box changes only when its handler says so.
        MapClick(ID_CHECK, [this] {
            Note(m_nCheckClicks);
            SetCheck(ID_CHECK, GetCheck(ID_CHECK) == framework::BST_CHECKED
                                   ? framework::BST_UNCHECKED
                                   : framework::BST_CHECKED);
        });
        MapNotify(ID_LIST, framework::ENotify::SelChange, [this] { Note(m_nListChanges); });
    }

    std::atomic<int> m_nClicks{0};
    std::atomic<int> m_nAutoClicks{0};
    std::atomic<int> m_nCheckClicks{0};
    std::atomic<int> m_nListChanges{0};
    std::atomic<int> m_nOK{0};
    std::atomic<int> m_nCancel{0};
    std::atomic<int> m_nOffDispatcher{0};  // handlers that ran anywhere else

protected:
    void OnOK() override { Note(m_nOK); }
    void OnCancel() override { Note(m_nCancel); }

private:
    void Note(std::atomic<int>& nCounter) {
        if (!m_dispatcher.IsUiThread() || !OnGuiThread()) ++m_nOffDispatcher;
        ++nCounter;
    }

    framework::CDispatcher& m_dispatcher;
};

// A created test page with its view, shown and active.
class CViewFixture : public ::testing::Test {
protected:
    void SetUp() override {
        m_pPage = std::make_unique<CRecordingPage>(m_host.Dispatcher());
        ASSERT_TRUE(m_pPage->Create(m_sink));
        m_pView = std::make_unique<qt::CQtPageView>(*m_pPage, m_host.Dispatcher(), m_units);
        m_pView->show();
        m_pView->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_pView.get()));
    }
    void TearDown() override {
        m_pView.reset();
        m_pPage.reset();
    }

    template <typename T>
    T* Widget(int nId) const {
        return qobject_cast<T*>(m_pView->ControlWidget(nId));
    }
    // Waits until the dispatcher has run everything posted so far.
    bool Settle() {
        auto pDone = std::make_shared<std::atomic<bool>>(false);
        m_host.Dispatcher().Post([pDone] { pDone->store(true); });
        return SpinUntil([&] { return pDone->load(); });
    }

    qt::CQtDispatcherHost m_host;
    framework::CRecordingMessageSink m_sink;
    qt::CDialogUnits m_units;
    std::unique_ptr<CRecordingPage> m_pPage;
    std::unique_ptr<qt::CQtPageView> m_pView;
};

}  // namespace qttest
