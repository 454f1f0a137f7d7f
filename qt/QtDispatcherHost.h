#pragma once
// Drives the framework's UI dispatcher from the Qt event loop, so that
// button handlers and queued work run on the GUI thread between events.
// Views require their dispatcher to be run this way: the work they post
// touches widgets.
#include <QObject>

#include "framework/Dispatcher.h"

namespace qt {

class CQtDispatcherHost final : public QObject, public framework::IDispatcherHost {
    Q_OBJECT

public:
    // GUI thread: the dispatcher's UI thread becomes the GUI thread.
    explicit CQtDispatcherHost(QObject* pParent = nullptr);
    // GUI thread: stops the dispatcher (work not yet run is dropped). Stop
    // the threads that post work before this runs.
    ~CQtDispatcherHost() override;

    framework::CDispatcher& Dispatcher() { return m_dispatcher; }

    // Any thread: schedules a run of the pending work on the GUI thread.
    void Wake() override;

private:
    void RunNow();

    framework::CDispatcher m_dispatcher;
    // A handler that opens a modal box runs a nested event loop; work that
    // arrives meanwhile waits for the handler to finish, keeping the order.
    bool m_bRunning = false;
    bool m_bRewake = false;
};

}  // namespace qt
