// The program's real main window under the Qt view: the application object
// makes it with its four real pages from a settings file, the Qt frame
// shows it, each tab is clicked and written as a PNG for a person to look
// at, and Quit, clicked on screen, ends the run after saving.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTabBar>
#include <chrono>
#include <cstdio>
#include <string>

#include "QtTestSupport.h"
#include "config/TempFolder.h"
#include "qt/QtMainWindow.h"
#include "qt/QtTabHost.h"
#include "res/Resource.h"
#include "ui/BotApp.h"
#include "ui/GameDlg.h"
#include "ui/IrcDlg.h"

namespace qttest {
namespace {

// Points at 127.0.0.1 only; nothing connects unless a button says so.
const char kSettings[] =
    "// written by the test\r\n"
    "irc_Server=127.0.0.1\r\nirc_Port=6667\r\nirc_Nick=fragbot\r\nirc_altNick=fragbot2\r\n"
    "irc_Channel=#fragrelay\r\nirc_Auth=yes\r\nirc_Username=relay\r\nirc_Password=secret\r\n"
    "irc_Network=0\r\nirc_Tickettime=90\r\nbf_Language=1\r\nbf_Server=127.0.0.1\r\n"
    "bf_Port=23000\r\nallied_farbe_kill=02\r\nallied_farbe_flagge=12\r\naxis_farbe_kill=05\r\n"
    "axis_farbe_flagge=04\r\nstatus_farbe=14\r\nkey_farbe=10\r\nvalue_farbe=14\r\n"
    "show_flag=yes\r\nshow_kill=yes\r\nshow_ticket=no\r\nshow_tk=yes\r\n";

long MsSince(std::chrono::steady_clock::time_point start) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - start)
                                 .count());
}

void SaveScreenshot(QWidget& widget, const char* pszName) {
    const QImage image = widget.grab().toImage();
    ASSERT_FALSE(image.isNull()) << pszName;
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 3) {
        for (int x = 0; x < image.width(); x += 3) colours.insert(image.pixel(x, y));
    }
    EXPECT_GT(colours.size(), 8) << pszName << ": next to nothing drawn";
    const QString strDir = QStringLiteral(FR_SCREENSHOT_DIR);
    QDir().mkpath(strDir);
    EXPECT_TRUE(image.save(strDir + QLatin1Char('/') + QLatin1String(pszName) + ".png")) << pszName;
}

template <typename T>
T* ControlOf(qt::CQtPageView* pView, int nId) {
    return pView == nullptr ? nullptr : qobject_cast<T*>(pView->ControlWidget(nId));
}

TEST(QtMainWindowApp, ShowsTheRealPagesOnEveryTabAndQuitOnScreenEndsTheRun) {
    testsupport::CTempFolder folder;
    ASSERT_TRUE(folder.IsValid());
    const std::string strSettings = folder / "settings.ini";
    ASSERT_TRUE(testsupport::WriteWholeFile(strSettings, kSettings));
    ui::CAppOptions options;
    options.m_strSettingsPath = strSettings;
    options.m_strUpdateHost.clear();

    qt::CQtDispatcherHost host;
    framework::CRecordingMessageSink sink;
    const auto start = std::chrono::steady_clock::now();
    ui::CBotApp app(host.Dispatcher(), platform::SystemClock(), options);
    ASSERT_TRUE(app.InitInstance(sink));
    ui::CMainDlg& main = *app.MainDlg();
    const qt::CDialogUnits units;
    auto pWindow =
        std::make_unique<qt::CQtMainWindow>(main, host.Dispatcher(), units, res::IDR_MAINFRAME);
    int nEnded = 0;
    QObject::connect(pWindow.get(), &qt::CQtMainWindow::Ended, [&](int n) { nEnded = n; });
    pWindow->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(pWindow.get()));
    std::printf("[ figure ] fragrelay window: start to shown %ld ms\n", MsSince(start));
    EXPECT_EQ(pWindow->windowTitle(), QStringLiteral("fragrelay"));

    // A few log lines, as the pages write them while they run.
    main.GamePage()->AppendLog(
        "\x03"
        "05Hans (11/6/2)\x03  [killed]  \x03"
        "02Tom (4/2/7)");
    main.GamePage()->AppendLog("Map changed from wake to berlin");
    main.IrcPage()->AppendLog("<alice> hello bot");

    qt::CQtPageView* pMainView = pWindow->PageView();
    EXPECT_EQ(ControlOf<QPushButton>(pMainView, res::IDC_MAIN_BROADCAST)->text(),
              QStringLiteral("Start Broadcast"));
    EXPECT_EQ(ControlOf<QLabel>(pMainView, res::IDC_MAIN_TRAFFIC)->text(),
              QStringLiteral("Traffic: 0 kb/s"));
    auto* pTabs = qobject_cast<qt::CQtTabHost*>(pMainView->ControlWidget(res::IDC_MAIN_TAB));
    ASSERT_NE(pTabs, nullptr);
    QTabBar* pBar = pTabs->TabBar();
    ASSERT_EQ(pBar->count(), ui::CMainDlg::kTabCount);

    const char* const kShots[] = {"app_irc", "app_bf42", "app_settings", "app_information"};
    for (int nTab : {1, 2, 3, 0}) {
        QTest::mouseClick(pBar, Qt::LeftButton, {}, pBar->tabRect(nTab).center());
        ASSERT_TRUE(SpinUntil([&] {
            for (int n = 0; n < ui::CMainDlg::kTabCount; ++n) {
                qt::CQtPageView* pView = pWindow->TabPageView(res::IDC_MAIN_TAB, n);
                if (pView == nullptr || pView->isVisible() != (n == nTab)) return false;
            }
            return true;
        })) << "tab "
            << nTab;
        SaveScreenshot(*pWindow, kShots[nTab]);
    }
    // The pages show the loaded settings.
    qt::CQtPageView* pIrcView = pWindow->TabPageView(res::IDC_MAIN_TAB, ui::CMainDlg::kTabIrc);
    EXPECT_EQ(ControlOf<QLineEdit>(pIrcView, res::IDC_IRC_NICK)->text(), QStringLiteral("fragbot"));
    qt::CQtPageView* pGameView = pWindow->TabPageView(res::IDC_MAIN_TAB, ui::CMainDlg::kTabGame);
    EXPECT_EQ(ControlOf<QLineEdit>(pGameView, res::IDC_GAME_PORT)->text(), QStringLiteral("23000"));

    // Quit on screen: no connection, so nothing to say; the settings are saved.
    const auto quit = std::chrono::steady_clock::now();
    QPushButton* pQuit = ControlOf<QPushButton>(pMainView, res::IDC_MAIN_QUIT);
    ASSERT_NE(pQuit, nullptr);
    QTest::mouseClick(pQuit, Qt::LeftButton);
    ASSERT_TRUE(SpinUntil([&] { return nEnded == framework::IDCANCEL; }));
    pWindow.reset();  // the views let go of their pages first
    app.ExitInstance();
    std::printf("[ figure ] fragrelay window: Quit to the end of the run %ld ms\n", MsSince(quit));
    EXPECT_TRUE(sink.Messages().empty());
    const std::string strSaved = testsupport::ReadWholeFile(strSettings);
    EXPECT_EQ(strSaved.find("// written by the test"), std::string::npos);
    // Every line as it was, then the connection's security keys.
    EXPECT_EQ(strSaved, std::string(kSettings).substr(std::string(kSettings).find("irc_Server")) +
                            "irc_TLS=no\r\nirc_TLSFingerprint=\r\nirc_ClientCert=\r\n"
                            "bf_DownAfter=10\r\nstats_File=fragrelay.db\r\nstats_Commands=yes\r\n"
                            "web_Address=\r\n");
}

}  // namespace
}  // namespace qttest
