#include "qt/QtMessageSink.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>
#include <condition_variable>
#include <mutex>

#include "qt/QtText.h"

namespace qt {

// Outlives the sink while a box is open: a box's nested event loop may see
// the sink destroyed before it returns.
struct CQtMessageSink::CShared {
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_bShutdown = false;
    int m_nWaiting = 0;
};

namespace {

QMessageBox::Icon ToQtIcon(framework::EIcon eIcon) {
    switch (eIcon) {
        case framework::EIcon::Error:
            return QMessageBox::Critical;
        case framework::EIcon::Warning:
            return QMessageBox::Warning;
        case framework::EIcon::Question:
            return QMessageBox::Question;
        case framework::EIcon::Information:
            break;
    }
    return QMessageBox::Information;
}

bool OnGuiThread() {
    const QCoreApplication* pApp = QCoreApplication::instance();
    return pApp != nullptr && QThread::currentThread() == pApp->thread();
}

}  // namespace

CQtMessageSink::CQtMessageSink(QWidget* pParent)
    : m_pShared(std::make_shared<CShared>()), m_pParentWidget(pParent) {}

CQtMessageSink::~CQtMessageSink() {
    Shutdown();
    std::unique_lock<std::mutex> lock(m_pShared->m_mutex);
    m_pShared->m_cv.wait(lock, [&] { return m_pShared->m_nWaiting == 0; });
}

void CQtMessageSink::Shutdown() {
    {
        std::lock_guard<std::mutex> lock(m_pShared->m_mutex);
        m_pShared->m_bShutdown = true;
    }
    m_pShared->m_cv.notify_all();
}

int CQtMessageSink::Exec(const framework::CMessage& msg, QWidget* pParent) {
    // On the heap: a parent destroyed while the box runs deletes it.
    QPointer<QMessageBox> pBox = new QMessageBox(
        ToQtIcon(msg.m_eIcon), ToDisplayText(msg.m_strCaption, false),
        ToDisplayText(msg.m_strText, true),
        msg.m_eButtons == framework::EButtons::YesNo ? QMessageBox::Yes | QMessageBox::No
                                                     : QMessageBox::Ok,
        pParent);
    // Text from outside never turns into markup.
    pBox->setTextFormat(Qt::PlainText);
    const int nButton = pBox->exec();
    delete pBox.data();
    if (msg.m_eButtons != framework::EButtons::YesNo) return framework::IDOK;
    return nButton == QMessageBox::Yes ? framework::IDYES : framework::IDNO;
}

int CQtMessageSink::ShowMessage(const framework::CMessage& msg) {
    const std::shared_ptr<CShared> pShared = m_pShared;
    {
        std::lock_guard<std::mutex> lock(pShared->m_mutex);
        if (pShared->m_bShutdown)
            return msg.m_eButtons == framework::EButtons::YesNo ? framework::IDNO : framework::IDOK;
    }
    if (OnGuiThread()) return Exec(msg, m_pParentWidget.data());

    struct CRequest {
        bool m_bDone = false;
        int m_nResult = framework::IDOK;
    };
    auto pRequest = std::make_shared<CRequest>();
    // A box dropped at shutdown answers a question with no.
    if (msg.m_eButtons == framework::EButtons::YesNo) pRequest->m_nResult = framework::IDNO;
    {
        std::lock_guard<std::mutex> lock(pShared->m_mutex);
        ++pShared->m_nWaiting;
    }
    // Posted to the sink: a sink destroyed first drops the request, and
    // Shutdown releases the waiter.
    QMetaObject::invokeMethod(
        this,
        [this, pShared, pRequest, msg] {
            {
                std::lock_guard<std::mutex> lock(pShared->m_mutex);
                if (pShared->m_bShutdown) return;
            }
            const int nResult = Exec(msg, m_pParentWidget.data());
            {
                std::lock_guard<std::mutex> lock(pShared->m_mutex);
                pRequest->m_bDone = true;
                pRequest->m_nResult = nResult;
            }
            pShared->m_cv.notify_all();
        },
        Qt::QueuedConnection);

    std::unique_lock<std::mutex> lock(pShared->m_mutex);
    pShared->m_cv.wait(lock, [&] { return pRequest->m_bDone || pShared->m_bShutdown; });
    --pShared->m_nWaiting;
    const int nResult = pRequest->m_nResult;
    lock.unlock();
    pShared->m_cv.notify_all();
    return nResult;
}

}  // namespace qt
