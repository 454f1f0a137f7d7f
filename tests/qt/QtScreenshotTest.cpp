// The program's pages as the operator sees them: the main window with its
// four tabs and every template as a page, checked for clipped and
// overlapping controls and written as PNG files for a person to look at.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QSpontaneKeyEvent>
#include <QTabBar>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "QtTestSupport.h"
#include "config/SettingsFormat.h"
#include "core/Bot.h"
#include "qt/QtControls.h"
#include "qt/QtMainWindow.h"
#include "qt/QtTabHost.h"
#include "dialogs/DialogTemplates.h"
#include "res/Resource.h"
#include "res/StringTable.h"
#include "ui/AboutDlg.h"
#include "ui/ColorDlg.h"
#include "ui/IrcDlg.h"

namespace qttest {
namespace {

using framework::CPage;

// A page shown without its behaviour: the captions its class would set at
// start come from the string table, and its logs hold a few lines.
class CStillPage : public CPage {
public:
    explicit CStillPage(int nTemplateId) : CPage(dialogs::FindDialogTemplate(nTemplateId)) {}

protected:
    bool OnInitDialog() override {
        CPage::OnInitDialog();
        const std::map<std::string, int> kPlaceholders = {
            {"IDS_CONNECT", res::IDS_CONNECT},
            {"IDS_PAUSE", res::IDS_PAUSE},
            {"IDS_CHECK", res::IDS_CHECK},
        };
        for (const framework::CControlTemplate& ctrl : Template().m_controls) {
            const auto it = kPlaceholders.find(ctrl.m_strText);
            if (it != kPlaceholders.end()) SetItemText(ctrl.m_nId, res::LoadResString(it->second));
        }
        if (Template().m_nId == res::IDD_GAME) {
            SetCurSel(res::IDC_GAME_LANGUAGE, 2);
            SetItemText(res::IDC_GAME_SERVER, "127.0.0.1");
            SetItemText(res::IDC_GAME_PORT, "23000");
            AppendLogLine(res::IDC_GAME_LOG, "Sgt.Pepper [a tu\xE9] Fran\xE7ois");
            AppendLogLine(res::IDC_GAME_LOG, "Map: El Alamein (Conquest)");
        }
        return true;
    }
};

// The values a page is bound to, made before the page that refers to them.
struct CSampleValues {
    explicit CSampleValues(config::CSettings values) : m_values(std::move(values)) {}
    config::CSettings m_values;
};

// The values the settings loader puts in when there is no file, with a few
// of the operator's own.
config::CSettings SampleValues() {
    config::CSettings values = config::DefaultSettings();
    values.m_irc.m_strNick = "fragrelay";
    values.m_irc.m_nPort = 6667;
    values.m_irc.m_strPassword = "secret";
    values.m_nTicketSecs = 60;
    return values;
}

// The IRC page itself over a bot that is never started.
class CSampleIrcPage : private CSampleValues, public ui::CIrcDlg {
public:
    CSampleIrcPage() : CSampleValues(SampleValues()), CIrcDlg(m_bot, m_values) {}

private:
    core::CBot m_bot{SampleValues(), core::CBot::COptions{}};
};

std::unique_ptr<ui::CIrcDlg> MakeIrcPage() {
    return std::make_unique<CSampleIrcPage>();
}

void AddIrcLogSample(CPage& page) {
    page.AppendLogLine(res::IDC_IRC_LOG, ":: fragrelay has joined #fragrelay");
    page.AppendLogLine(res::IDC_IRC_LOG, "<Zo\xEB> caf\xE9 at the \x80 5 server?");
}

// The Settings page with the values it shows.
class CSampleSettingsPage : private CSampleValues, public ui::CColorDlg {
public:
    CSampleSettingsPage() : CSampleValues(SampleValues()), CColorDlg(m_values) {}
    const monitor::CColorScheme& Scheme() const { return m_values.m_colors; }
};

std::unique_ptr<CSampleSettingsPage> MakeSettingsPage() {
    return std::make_unique<CSampleSettingsPage>();
}

// The main page as the main window will drive it: four tab pages, one of
// them shown at a time, switched by the tab control's notifications.
class CTabbedMainPage : public CPage {
public:
    CTabbedMainPage() : CPage(dialogs::FindDialogTemplate(res::IDD_MAIN)) {
        MapNotify(res::IDC_MAIN_TAB, framework::ENotify::SelChanging,
                  [this] { ShowSelected(false); });
        MapNotify(res::IDC_MAIN_TAB, framework::ENotify::SelChange, [this] { ShowSelected(true); });
    }
    ~CTabbedMainPage() override {
        for (auto it = m_pages.rbegin(); it != m_pages.rend(); ++it) (*it)->DestroyWindow();
    }
    CPage& TabPage(int nIndex) const { return *m_pages[static_cast<size_t>(nIndex)]; }

protected:
    bool OnInitDialog() override {
        CPage::OnInitDialog();
        SetItemText(res::IDC_MAIN_TRAFFIC, "Traffic: 0 kb/s");
        SetItemText(res::IDC_MAIN_BROADCAST, res::LoadResString(res::IDS_START_BROADCAST));
        SetItemText(res::IDC_MAIN_APPLY, res::LoadResString(res::IDS_APPLY));
        SetItemText(res::IDC_MAIN_QUIT, res::LoadResString(res::IDS_QUIT));
        SetWindowText(res::LoadResString(res::IDS_TITLE));
        const char* const kCaptions[4] = {"IRC", "BF42", "Settings", "Information"};
        m_pages.push_back(MakeIrcPage());
        m_pages.push_back(std::make_unique<CStillPage>(res::IDD_GAME));
        m_pages.push_back(MakeSettingsPage());
        m_pages.push_back(std::make_unique<ui::CAboutDlg>());
        for (int n = 0; n < 4; ++n) {
            InsertTabItem(res::IDC_MAIN_TAB, n, kCaptions[n],
                          m_pages[static_cast<size_t>(n)].get());
        }
        for (int n = 0; n < 4; ++n) {
            CPage& page = TabPage(n);
            page.Create(*MessageSink(), this, res::IDC_MAIN_TAB);
            if (n == 0) AddIrcLogSample(page);
            page.MoveWindow(10, 30);
            page.ShowWindow(n == 0);
        }
        return true;
    }
    void OnOK() override {}
    void OnCancel() override {}

private:
    void ShowSelected(bool bShow) {
        const int nSel = GetCurSel(res::IDC_MAIN_TAB);
        if (CPage* pPage = GetTabItemParam(res::IDC_MAIN_TAB, nSel)) pPage->ShowWindow(bShow);
    }

    std::vector<std::unique_ptr<CPage>> m_pages;
};

QString ScreenshotPath(const char* pszName) {
    const QString strDir = QStringLiteral(FR_SCREENSHOT_DIR);
    QDir().mkpath(strDir);
    return strDir + QLatin1Char('/') + QLatin1String(pszName) + QStringLiteral(".png");
}

// Saves the widget's picture and checks that something was drawn.
void SaveScreenshot(QWidget& widget, const char* pszName) {
    const QImage image = widget.grab().toImage();
    ASSERT_FALSE(image.isNull()) << pszName;
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 3) {
        for (int x = 0; x < image.width(); x += 3) colours.insert(image.pixel(x, y));
    }
    EXPECT_GT(colours.size(), 8) << pszName << ": next to nothing drawn";
    EXPECT_TRUE(image.save(ScreenshotPath(pszName))) << pszName;
}

// Every control inside its page, no two controls on top of each other
// (frames aside), and every single-line text wide enough for its words.
void ExpectReadableLayout(const QWidget& page, const char* pszName) {
    const QRect pageRect(QPoint(0, 0), page.size());
    const QList<QWidget*> controls = page.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    std::vector<QWidget*> solid;
    for (QWidget* pControl : controls) {
        if (qobject_cast<qt::CQtPageView*>(pControl) != nullptr) continue;
        EXPECT_TRUE(pageRect.contains(pControl->geometry()))
            << pszName << ": " << pControl->metaObject()->className() << " outside the page";
        if (qobject_cast<qt::CQtGroupFrame*>(pControl) == nullptr) solid.push_back(pControl);
        const QFontMetrics metrics(pControl->font());
        if (auto* pLabel = qobject_cast<QLabel*>(pControl)) {
            if (pLabel->text().isEmpty()) continue;
            const int nNeeded =
                pLabel->wordWrap() ? pLabel->heightForWidth(pLabel->width()) : metrics.height();
            EXPECT_LE(nNeeded, pLabel->height())
                << pszName << ": \"" << pLabel->text().toStdString() << "\" too low";
            if (!pLabel->wordWrap()) {
                EXPECT_LE(metrics.horizontalAdvance(pLabel->text()) + 2 * pLabel->frameWidth(),
                          pLabel->width())
                    << pszName << ": \"" << pLabel->text().toStdString() << "\" clipped";
            }
        } else if (auto* pCheck = qobject_cast<QCheckBox*>(pControl)) {
            EXPECT_LE(pCheck->sizeHint().width(), pCheck->width())
                << pszName << ": \"" << pCheck->text().toStdString() << "\" clipped";
        } else if (auto* pButton = qobject_cast<QPushButton*>(pControl)) {
            EXPECT_LE(metrics.horizontalAdvance(pButton->text()) + 8, pButton->width())
                << pszName << ": \"" << pButton->text().toStdString() << "\" clipped";
        } else if (auto* pEdit = qobject_cast<QLineEdit*>(pControl)) {
            EXPECT_LE(metrics.height(), pEdit->height()) << pszName << ": edit too low";
        }
    }
    for (size_t i = 0; i < solid.size(); ++i) {
        for (size_t j = i + 1; j < solid.size(); ++j) {
            EXPECT_FALSE(solid[i]->geometry().intersects(solid[j]->geometry()))
                << pszName << ": " << solid[i]->metaObject()->className() << " at ("
                << solid[i]->x() << "," << solid[i]->y() << ") overlaps "
                << solid[j]->metaObject()->className() << " at (" << solid[j]->x() << ","
                << solid[j]->y() << ")";
        }
    }
}

TEST(QtScreenshotTest, MainWindowShowsOneTabPageAtATimeAndSwitchesByTab) {
    qt::CQtDispatcherHost host;
    framework::CRecordingMessageSink sink;
    CTabbedMainPage mainPage;
    ASSERT_TRUE(mainPage.Create(sink));
    const qt::CDialogUnits units;
    qt::CQtMainWindow window(mainPage, host.Dispatcher(), units, res::IDR_MAINFRAME);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("fragrelay"));
    EXPECT_FALSE(window.windowIcon().isNull());
    ExpectReadableLayout(*window.PageView(), "main window");

    auto* pHost =
        qobject_cast<qt::CQtTabHost*>(window.PageView()->ControlWidget(res::IDC_MAIN_TAB));
    ASSERT_NE(pHost, nullptr);
    QTabBar* pBar = pHost->TabBar();
    ASSERT_EQ(pBar->count(), 4);
    const char* const kShots[4] = {"main_irc", "main_bf42", "main_settings", "main_information"};
    for (int nTab = 0; nTab < 4; ++nTab) {
        QTest::mouseClick(pBar, Qt::LeftButton, {}, pBar->tabRect(nTab).center());
        ASSERT_TRUE(SpinUntil([&] {
            for (int n = 0; n < 4; ++n) {
                qt::CQtPageView* pView = window.TabPageView(res::IDC_MAIN_TAB, n);
                if (pView == nullptr || pView->isVisible() != (n == nTab)) return false;
            }
            return true;
        })) << "tab "
            << nTab;
        EXPECT_EQ(mainPage.GetCurSel(res::IDC_MAIN_TAB), nTab);
        qt::CQtPageView* pShown = window.TabPageView(res::IDC_MAIN_TAB, nTab);
        EXPECT_EQ(pShown->parentWidget(), pHost);
        EXPECT_EQ(pShown->pos(), QPoint(10, 30));
        // The page lies in the tab control's pane, under the strip.
        EXPECT_TRUE(QRect(QPoint(0, 0), pHost->size()).contains(pShown->geometry()));
        EXPECT_GE(pShown->y(), pBar->geometry().bottom());
        ExpectReadableLayout(*pShown, kShots[nTab]);
        SaveScreenshot(window, kShots[nTab]);
    }

    // Escape and Enter on the main window close nothing.
    QTest::keyClick(pBar, Qt::Key_Escape);
    QTest::keyClick(pBar, Qt::Key_Return);
    auto pDone = std::make_shared<bool>(false);
    host.Dispatcher().Post([pDone] { *pDone = true; });
    ASSERT_TRUE(SpinUntil([&] { return *pDone; }));
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(mainPage.IsEnded());
}

TEST(QtScreenshotTest, CloseBoxAsksThePageAndLeavesClosingToTheProgram) {
    qt::CQtDispatcherHost host;
    framework::CRecordingMessageSink sink;
    CTabbedMainPage mainPage;
    ASSERT_TRUE(mainPage.Create(sink));
    const qt::CDialogUnits units;
    qt::CQtMainWindow window(mainPage, host.Dispatcher(), units, res::IDR_MAINFRAME);
    int nEnded = 0;
    QObject::connect(&window, &qt::CQtMainWindow::Ended, [&](int n) { nEnded = n; });
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    // The title bar's close box: the page's close handler ends its run.
    QCloseEvent closeBox;
    QSpontaneKeyEvent::setSpontaneous(&closeBox);
    qApp->notify(&window, &closeBox);  // keeps it spontaneous, as the window system sends it
    EXPECT_FALSE(closeBox.isAccepted());
    ASSERT_TRUE(SpinUntil([&] { return nEnded == framework::IDOK; }));
    EXPECT_TRUE(mainPage.IsEnded());
    EXPECT_TRUE(window.isVisible());
    // The program closes the window itself.
    EXPECT_TRUE(window.close());
    EXPECT_FALSE(window.isVisible());
}

TEST(QtScreenshotTest, EveryTemplateAsAPage) {
    struct CRow {
        int m_nTemplateId;
        const char* m_pszShot;
    };
    const CRow rows[] = {
        {res::IDD_IRC, "page_130_irc"},
        {res::IDD_GAME, "page_131_bf42"},
        {res::IDD_ABOUT, "page_132_information"},
        {res::IDD_COLORS, "page_133_settings"},
    };
    qt::CQtDispatcherHost host;
    framework::CRecordingMessageSink sink;
    const qt::CDialogUnits units;
    for (const CRow& row : rows) {
        std::unique_ptr<CPage> pPage;
        if (row.m_nTemplateId == res::IDD_IRC) {
            pPage = MakeIrcPage();
        } else if (row.m_nTemplateId == res::IDD_COLORS) {
            pPage = MakeSettingsPage();
        } else if (row.m_nTemplateId == res::IDD_ABOUT) {
            pPage = std::make_unique<ui::CAboutDlg>();
        } else {
            pPage = std::make_unique<CStillPage>(row.m_nTemplateId);
        }
        ASSERT_TRUE(pPage->Create(sink)) << row.m_pszShot;
        if (row.m_nTemplateId == res::IDD_IRC) AddIrcLogSample(*pPage);
        qt::CQtPageView view(*pPage, host.Dispatcher(), units);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view)) << row.m_pszShot;
        EXPECT_EQ(view.size(), units.DialogSize(pPage->Template())) << row.m_pszShot;
        ExpectReadableLayout(view, row.m_pszShot);
        SaveScreenshot(view, row.m_pszShot);
        EXPECT_EQ(pPage->UnknownIdUses(), 0u) << row.m_pszShot;
    }
}

TEST(QtScreenshotTest, SettingsPageTakesAColourTypedJustBeforeAToggle) {
    qt::CQtDispatcherHost host;
    framework::CRecordingMessageSink sink;
    auto pPage = MakeSettingsPage();
    CSampleSettingsPage& settings = *pPage;
    ASSERT_TRUE(settings.Create(sink));
    const qt::CDialogUnits units;
    qt::CQtPageView view(settings, host.Dispatcher(), units);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    auto* pEdit = qobject_cast<QLineEdit*>(view.ControlWidget(res::IDC_COLOR_STATUS));
    auto* pKills = qobject_cast<QCheckBox*>(view.ControlWidget(res::IDC_SHOW_KILL));
    ASSERT_NE(pEdit, nullptr);
    ASSERT_NE(pKills, nullptr);
    EXPECT_EQ(pEdit->text(), QStringLiteral("14"));
    EXPECT_TRUE(pKills->isChecked());
    EXPECT_EQ(pEdit->maxLength(), 2);

    pEdit->selectAll();
    QTest::keyClicks(pEdit, QStringLiteral("7"));
    ClickCheckBox(pKills);
    ASSERT_TRUE(SpinUntil([&] { return !pKills->isChecked(); }));
    EXPECT_EQ(settings.Scheme().m_bShowKill, 0);
    EXPECT_EQ(settings.Scheme().m_strStatusColor, "7");
    EXPECT_EQ(pEdit->text(), QStringLiteral("7"));
    // Enter and Escape do nothing on this page.
    QTest::keyClick(pEdit, Qt::Key_Escape);
    QTest::keyClick(pEdit, Qt::Key_Return);
    EXPECT_TRUE(view.isVisible());
    EXPECT_TRUE(sink.Messages().empty());
}

}  // namespace
}  // namespace qttest
