// Message boxes: shown modally on the GUI thread, whoever asks; a worker
// waits for the operator's answer.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>
#include <QTimer>
#include <atomic>
#include <functional>
#include <thread>

#include "QtTestSupport.h"
#include "qt/QtMessageSink.h"
#include "support/Wait.h"

namespace qttest {
namespace {

// A modal box runs its own event loop, so the test meets it from a timer
// of the GUI thread: fnWhileOpen runs on each tick while a box is open and
// returns true to close it with OK.
class CBoxWatcher {
public:
    explicit CBoxWatcher(std::function<bool(QMessageBox&)> fnWhileOpen)
        : m_fnWhileOpen(std::move(fnWhileOpen)) {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Tick(); });
        m_timer.start(5);
    }
    int BoxesClosed() const { return m_nClosed; }

private:
    void Tick() {
        auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (pBox == nullptr || !pBox->isVisible()) return;
        if (!m_fnWhileOpen(*pBox)) return;
        ++m_nClosed;
        pBox->button(QMessageBox::Ok)->click();
    }

    std::function<bool(QMessageBox&)> m_fnWhileOpen;
    QTimer m_timer;
    int m_nClosed = 0;
};

TEST(QtMessageSinkTest, WorkersBoxAppearsOnTheGuiThreadAndTheWorkerWaitsForIt) {
    qt::CQtMessageSink sink;
    std::atomic<bool> bReturned{false};
    std::atomic<int> nResult{0};
    bool bReturnedWhileOpen = true;
    QThread* pBoxThread = nullptr;
    bool bModal = false;
    QString strText, strTitle;
    QMessageBox::Icon eIcon = QMessageBox::NoIcon;
    Qt::TextFormat eFormat = Qt::AutoText;
    CBoxWatcher watcher([&](QMessageBox& box) {
        bReturnedWhileOpen = bReturned.load();
        pBoxThread = QThread::currentThread();
        bModal = box.isModal();
        strText = box.text();
        strTitle = box.windowTitle();
        eIcon = box.icon();
        eFormat = box.textFormat();
        return true;
    });
    std::thread worker([&] {
        nResult = sink.ShowMessage(
            {"Caf\xE9: \x80 5\nsecond <b>line</b>", "Error", framework::EIcon::Error});
        bReturned = true;
    });
    const bool bDone = SpinUntil([&] { return bReturned.load(); });
    worker.join();
    ASSERT_TRUE(bDone);
    EXPECT_EQ(watcher.BoxesClosed(), 1);
    EXPECT_FALSE(bReturnedWhileOpen);
    EXPECT_EQ(pBoxThread, qApp->thread());
    EXPECT_TRUE(bModal);
    EXPECT_EQ(strText, QStringLiteral(u"Café: € 5\nsecond <b>line</b>"));
    EXPECT_EQ(strTitle, QStringLiteral("Error"));
    EXPECT_EQ(eIcon, QMessageBox::Critical);
    EXPECT_EQ(eFormat, Qt::PlainText);
    EXPECT_EQ(nResult.load(), framework::IDOK);
}

TEST(QtMessageSinkTest, HandlerOnTheGuiThreadShowsItsBoxAndLaterWorkWaitsForIt) {
    qt::CQtDispatcherHost host;
    qt::CQtMessageSink sink;
    framework::CPage page(TestTemplate());
    ASSERT_TRUE(page.Create(sink));
    std::atomic<int> nStage{0};
    std::atomic<int> nStageSeenByLater{-1};
    bool bPostedLater = false;
    QMessageBox::Icon eIcon = QMessageBox::NoIcon;
    int nTicksAfterPost = 0;
    CBoxWatcher watcher([&](QMessageBox& box) {
        eIcon = box.icon();
        if (!bPostedLater) {
            // Work posted while the box is open runs after the handler.
            host.Dispatcher().Post([&] { nStageSeenByLater = nStage.load(); });
            bPostedLater = true;
            return false;
        }
        // A few turns of the nested loop: the later work must not run.
        return ++nTicksAfterPost >= 3;
    });
    host.Dispatcher().Post([&] {
        nStage = 1;
        page.MessageBox("Fill out all Inputfields!", "Error", framework::EIcon::Warning);
        nStage = 2;
    });
    ASSERT_TRUE(SpinUntil([&] { return nStageSeenByLater.load() != -1; }));
    EXPECT_EQ(nStageSeenByLater.load(), 2);
    EXPECT_EQ(eIcon, QMessageBox::Warning);
    EXPECT_EQ(watcher.BoxesClosed(), 1);
}

TEST(QtMessageSinkTest, ShutdownReleasesAWaitingWorkerWithoutAGuiLoop) {
    auto pSink = std::make_unique<qt::CQtMessageSink>();
    std::atomic<bool> bReturned{false};
    std::thread worker([&] {
        pSink->ShowMessage({"never shown", "Error", framework::EIcon::Error});
        bReturned = true;
    });
    // The GUI thread does not run its loop: the program is ending.
    pSink->Shutdown();
    EXPECT_TRUE(testsupport::WaitUntil([&] { return bReturned.load(); }));
    if (!bReturned.load()) {
        // Still waiting: let the box appear and close it, so the test ends.
        CBoxWatcher watcher([](QMessageBox&) { return true; });
        SpinUntil([&] { return bReturned.load(); });
    }
    worker.join();
    pSink.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace
}  // namespace qttest
