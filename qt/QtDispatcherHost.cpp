#include "qt/QtDispatcherHost.h"

#include <QMetaObject>

namespace qt {

CQtDispatcherHost::CQtDispatcherHost(QObject* pParent) : QObject(pParent), m_dispatcher(this) {
    m_dispatcher.BindToCurrentThread();
}

CQtDispatcherHost::~CQtDispatcherHost() {
    m_dispatcher.Stop();
}

void CQtDispatcherHost::Wake() {
    QMetaObject::invokeMethod(
        this, [this] { RunNow(); }, Qt::QueuedConnection);
}

void CQtDispatcherHost::RunNow() {
    if (m_bRunning) {
        m_bRewake = true;
        return;
    }
    m_bRunning = true;
    m_dispatcher.RunPending();
    m_bRunning = false;
    if (m_bRewake) {
        m_bRewake = false;
        Wake();
    }
}

}  // namespace qt
