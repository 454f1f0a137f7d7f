#include "win32/Win32MainWindow.h"

namespace win32 {

CWin32MainWindow::CWin32MainWindow(framework::CPage& mainPage, framework::CDispatcher& dispatcher,
                                   HINSTANCE hInstance, int nIconId)
    : m_pView(std::make_unique<CWin32PageView>(mainPage, dispatcher, hInstance)) {
    m_pView->SetOnEnded([this](int nResult) {
        m_bEnded = true;
        m_nResult = nResult;
        ::ShowWindow(Window(), SW_HIDE);
        ::PostQuitMessage(nResult);
    });
    // Both sizes drawn for their own grid, rather than one scaled.
    m_hBigIcon = static_cast<HICON>(::LoadImageW(hInstance, MAKEINTRESOURCEW(nIconId), IMAGE_ICON,
                                                 ::GetSystemMetrics(SM_CXICON),
                                                 ::GetSystemMetrics(SM_CYICON), 0));
    m_hSmallIcon = static_cast<HICON>(::LoadImageW(hInstance, MAKEINTRESOURCEW(nIconId), IMAGE_ICON,
                                                   ::GetSystemMetrics(SM_CXSMICON),
                                                   ::GetSystemMetrics(SM_CYSMICON), 0));
    if (m_hBigIcon != nullptr)
        ::SendMessageW(Window(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hBigIcon));
    if (m_hSmallIcon != nullptr)
        ::SendMessageW(Window(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hSmallIcon));
}

CWin32MainWindow::~CWin32MainWindow() {
    m_pView.reset();
    if (m_hBigIcon != nullptr) ::DestroyIcon(m_hBigIcon);
    if (m_hSmallIcon != nullptr) ::DestroyIcon(m_hSmallIcon);
}

CWin32PageView* CWin32MainWindow::TabPageView(int nTabId, int nIndex) const {
    if (m_pView->IsPageGone()) return nullptr;
    return m_pView->ChildView(m_pView->Page().GetTabItemParam(nTabId, nIndex));
}

void CWin32MainWindow::Show(int nCmdShow) {
    ::ShowWindow(Window(), nCmdShow);
    ::UpdateWindow(Window());
}

int CWin32MainWindow::RunMessageLoop() {
    MSG msg{};
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!::IsDialogMessageW(Window(), &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    return m_nResult;
}

bool CWin32MainWindow::PumpMessages() {
    MSG msg{};
    while (!m_bEnded && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) return false;
        if (!::IsDialogMessageW(Window(), &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    return !m_bEnded;
}

}  // namespace win32
