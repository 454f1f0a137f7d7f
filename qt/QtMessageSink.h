#pragma once
// Message boxes for the framework, shown modally on the GUI thread. A
// worker thread that asks for one hands it to the GUI thread and waits
// until the operator has closed it, as the sink's contract says.
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <memory>

#include "framework/MessageBox.h"

namespace qt {

class CQtMessageSink final : public QObject, public framework::IMessageSink {
    Q_OBJECT

public:
    // GUI thread. Boxes are centred on pParent (may be null, or set later).
    explicit CQtMessageSink(QWidget* pParent = nullptr);
    // GUI thread: releases the threads still waiting (they get IDOK).
    ~CQtMessageSink() override;

    // GUI thread.
    void SetParentWidget(QWidget* pParent) { m_pParentWidget = pParent; }

    // Any thread: shows the box with an OK button and returns IDOK once it
    // is closed. On the GUI thread the box runs its own event loop; another
    // thread waits for the GUI thread to show and close it.
    int ShowMessage(const framework::CMessage& msg) override;

    // Any thread: from now on boxes are not shown and waiting threads return
    // IDOK at once (the program is ending and the GUI loop may be gone).
    void Shutdown();

private:
    struct CShared;
    static int Exec(const framework::CMessage& msg, QWidget* pParent);

    std::shared_ptr<CShared> m_pShared;
    QPointer<QWidget> m_pParentWidget;
};

}  // namespace qt
