#pragma once
// The GUI thread's side of the framework on Windows: a hidden message
// window that runs the UI dispatcher's work between messages, and message
// boxes that any thread may ask for and the GUI thread shows.
#include "win32/Win32Api.h"

#include <condition_variable>
#include <memory>
#include <mutex>

#include "framework/Dispatcher.h"
#include "framework/MessageBox.h"

namespace win32 {

class CWin32Host final : public framework::IDispatcherHost, public framework::IMessageSink {
public:
    // GUI thread: the dispatcher's UI thread becomes this thread.
    explicit CWin32Host(HINSTANCE hInstance);
    // GUI thread: releases the threads still waiting for a box (they get
    // IDOK) and stops the dispatcher (work not yet run is dropped). Stop the
    // threads that post work before this runs.
    ~CWin32Host() override;
    CWin32Host(const CWin32Host&) = delete;
    CWin32Host& operator=(const CWin32Host&) = delete;

    framework::CDispatcher& Dispatcher() { return m_dispatcher; }
    // GUI thread: the window that owns the boxes (may be null).
    void SetOwner(HWND hOwner) { m_hOwner = hOwner; }

    // Any thread: schedules a run of the pending work on the GUI thread.
    void Wake() override;

    // Any thread: shows the box with an OK button and returns IDOK once it
    // is closed. Another thread waits for the GUI thread to show it.
    int ShowMessage(const framework::CMessage& msg) override;
    // Any thread: from now on no box is shown and waiting threads return
    // IDOK at once (the program is ending; the GUI loop may be gone).
    void Shutdown();

    // Test seam: the box itself (GUI thread). The default is MessageBoxW.
    using BoxFn = int (*)(HWND hOwner, const framework::CMessage& msg);
    void SetBoxFunction(BoxFn fn) { m_fnBox = fn; }

private:
    struct CShared;
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam);
    void RunNow();
    int Exec(const framework::CMessage& msg);

    framework::CDispatcher m_dispatcher;
    HWND m_hWnd = nullptr;
    HWND m_hOwner = nullptr;
    DWORD m_dwGuiThread = 0;
    BoxFn m_fnBox = nullptr;
    std::shared_ptr<CShared> m_pShared;
    // A handler that opens a modal box runs a nested message loop; work
    // that arrives meanwhile waits for the handler to finish, keeping the order.
    bool m_bRunning = false;
    bool m_bRewake = false;
};

// The system's message box for a framework message (GUI thread).
int ShowSystemMessageBox(HWND hOwner, const framework::CMessage& msg);

}  // namespace win32
