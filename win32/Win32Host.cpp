#include "win32/Win32Host.h"

#include "win32/Win32Text.h"

namespace win32 {

namespace {

constexpr UINT WM_FR_RUN = WM_APP + 10;
constexpr UINT WM_FR_BOX = WM_APP + 11;
constexpr wchar_t kClassName[] = L"FragrelayHost";

struct CBoxRequest {
    framework::CMessage m_msg;
    bool m_bDone = false;
    int m_nResult = framework::IDOK;
};

}  // namespace

// Outlives the host while a box is open or a thread waits for one.
struct CWin32Host::CShared {
    std::mutex mutex;
    std::condition_variable cv;
    bool bShutdown = false;
};

int ShowSystemMessageBox(HWND hOwner, const framework::CMessage& msg) {
    UINT nType = msg.m_eButtons == framework::EButtons::YesNo ? MB_YESNO : MB_OK;
    switch (msg.m_eIcon) {
        case framework::EIcon::Error:
            nType |= MB_ICONERROR;
            break;
        case framework::EIcon::Warning:
            nType |= MB_ICONWARNING;
            break;
        case framework::EIcon::Question:
            nType |= MB_ICONQUESTION;
            break;
        case framework::EIcon::Information:
            nType |= MB_ICONINFORMATION;
            break;
    }
    const int nButton = ::MessageBoxW(hOwner, ToDisplayText(msg.m_strText, true).c_str(),
                                      ToDisplayText(msg.m_strCaption, false).c_str(), nType);
    if (msg.m_eButtons != framework::EButtons::YesNo) return framework::IDOK;
    return nButton == framework::IDYES ? framework::IDYES : framework::IDNO;
}

CWin32Host::CWin32Host(HINSTANCE hInstance)
    : m_dispatcher(this), m_pShared(std::make_shared<CShared>()) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &CWin32Host::WindowProc;
    wc.hInstance = hInstance;
    wc.lpszClassName = kClassName;
    ::RegisterClassExW(&wc);  // fails harmlessly when a second host registers it again
    m_hWnd = ::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, hInstance,
                               this);
    m_dwGuiThread = ::GetCurrentThreadId();
    m_dispatcher.BindToCurrentThread();
}

CWin32Host::~CWin32Host() {
    Shutdown();
    m_dispatcher.Stop();
    if (m_hWnd != nullptr) {
        ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
        ::DestroyWindow(m_hWnd);
    }
}

LRESULT CALLBACK CWin32Host::WindowProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    if (nMsg == WM_NCCREATE) {
        const auto* pCreate = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(pCreate->lpCreateParams));
    }
    auto* pHost = reinterpret_cast<CWin32Host*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (pHost != nullptr && nMsg == WM_FR_RUN) {
        pHost->RunNow();
        return 0;
    }
    if (pHost != nullptr && nMsg == WM_FR_BOX) {
        auto* pRequest = reinterpret_cast<CBoxRequest*>(lParam);
        const std::shared_ptr<CShared> pShared = pHost->m_pShared;
        // The request belongs to the waiting thread, which leaves once the
        // host shuts down: touched only under the lock and before that.
        framework::CMessage msg;
        {
            std::lock_guard<std::mutex> lock(pShared->mutex);
            if (pShared->bShutdown) return 0;
            msg = pRequest->m_msg;
        }
        const int nResult = pHost->Exec(msg);
        {
            std::lock_guard<std::mutex> lock(pShared->mutex);
            if (pShared->bShutdown) return 0;
            pRequest->m_bDone = true;
            pRequest->m_nResult = nResult;
        }
        pShared->cv.notify_all();
        return 0;
    }
    return ::DefWindowProcW(hWnd, nMsg, wParam, lParam);
}

void CWin32Host::Wake() {
    ::PostMessageW(m_hWnd, WM_FR_RUN, 0, 0);
}

void CWin32Host::RunNow() {
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

int CWin32Host::Exec(const framework::CMessage& msg) {
    return m_fnBox != nullptr ? m_fnBox(m_hOwner, msg) : ShowSystemMessageBox(m_hOwner, msg);
}

int CWin32Host::ShowMessage(const framework::CMessage& msg) {
    const std::shared_ptr<CShared> pShared = m_pShared;
    {
        std::lock_guard<std::mutex> lock(pShared->mutex);
        if (pShared->bShutdown)
            return msg.m_eButtons == framework::EButtons::YesNo ? framework::IDNO : framework::IDOK;
    }
    if (::GetCurrentThreadId() == m_dwGuiThread) return Exec(msg);
    // The request lives on this waiting thread; the GUI thread fills it in
    // under the lock, and Shutdown releases the wait if it never does.
    auto pRequest = std::make_shared<CBoxRequest>();
    pRequest->m_msg = msg;
    // A box that never shows answers a question with no.
    if (msg.m_eButtons == framework::EButtons::YesNo) pRequest->m_nResult = framework::IDNO;
    if (!::PostMessageW(m_hWnd, WM_FR_BOX, 0, reinterpret_cast<LPARAM>(pRequest.get())))
        return pRequest->m_nResult;
    std::unique_lock<std::mutex> lock(pShared->mutex);
    pShared->cv.wait(lock, [&] { return pRequest->m_bDone || pShared->bShutdown; });
    return pRequest->m_nResult;
}

void CWin32Host::Shutdown() {
    {
        std::lock_guard<std::mutex> lock(m_pShared->mutex);
        m_pShared->bShutdown = true;
    }
    m_pShared->cv.notify_all();
}

}  // namespace win32
