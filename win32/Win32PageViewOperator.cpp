// CWin32PageView: what the operator does with the controls goes to the
// page, on the UI dispatcher, in the order it was done.

#include <algorithm>
#include <memory>
#include <utility>

#include "win32/Win32PageView.h"
#include "win32/Win32Text.h"

namespace win32 {

using framework::CPage;
using framework::EControlKind;

namespace {

// Posted to a page's window: a focus change has settled; and: the page took
// a typed text (the results wait in the view, oldest first).
constexpr UINT WM_FR_FOCUSCHECK = WM_APP + 2;
constexpr UINT WM_FR_AFTERTYPED = WM_APP + 3;

// The typed texts the page has taken, per view window, in order.
struct CTyped {
    int m_nId;
    std::string m_strResult;
};

std::wstring ControlText(HWND hWnd) {
    const int n = ::GetWindowTextLengthW(hWnd);
    std::wstring str(static_cast<size_t>(n > 0 ? n : 0) + 1, L'\0');
    const int nGot = ::GetWindowTextW(hWnd, str.data(), n + 1);
    str.resize(static_cast<size_t>(nGot > 0 ? nGot : 0));
    return str;
}

}  // namespace

INT_PTR CWin32PageView::OnMessage(UINT nMsg, WPARAM wParam, LPARAM lParam) {
    switch (nMsg) {
        case WM_FR_CHANGES:
            ApplyPendingChanges();
            return TRUE;
        case WM_FR_AFTERTYPED: {
            auto* pTyped = reinterpret_cast<CTyped*>(lParam);
            const std::unique_ptr<CTyped> pOwned(pTyped);
            AfterTyped(pTyped->m_nId, pTyped->m_strResult);
            return TRUE;
        }
        case WM_FR_FOCUSCHECK: {
            // Another program active: the focus stays where it is, as far as
            // the page is concerned.
            HWND hFocus = ::GetFocus();
            if (hFocus != nullptr && FindItem(hFocus) == nullptr && !IsPageGone())
                PostToPage([](CPage& page) { page.SetFocusItem(0); });
            return TRUE;
        }
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
            return TRUE;
        case WM_NOTIFY: {
            const auto* pHdr = reinterpret_cast<const NMHDR*>(lParam);
            const int nId = static_cast<int>(pHdr->idFrom);
            CItem* pItem = FindItem(nId);
            if (pHdr->code == TCN_SELCHANGE && pItem != nullptr && !m_bApplying) {
                const int nIndex = TabCtrl_GetCurSel(pHdr->hwndFrom);
                PostToPage([nId, nIndex](CPage& page) { page.ChooseItem(nId, nIndex); },
                           [nId](CWin32PageView& view) {
                               if (CItem* p = view.FindItem(nId))
                                   view.SetCurSel(*p, view.Page().GetCurSel(nId));
                           });
            }
            return TRUE;
        }
        case WM_CTLCOLORSTATIC: {
            // A read-only log is a document to read, on the window colour
            // (a read-only edit would otherwise be grey).
            const CItem* pItem = FindItem(reinterpret_cast<HWND>(lParam));
            if (pItem != nullptr && pItem->m_eKind == EControlKind::RichEditLog) {
                ::SetBkColor(reinterpret_cast<HDC>(wParam), ::GetSysColor(COLOR_WINDOW));
                ::SetTextColor(reinterpret_cast<HDC>(wParam), ::GetSysColor(COLOR_WINDOWTEXT));
                return reinterpret_cast<INT_PTR>(::GetSysColorBrush(COLOR_WINDOW));
            }
            return FALSE;
        }
        case WM_CLOSE:
            RequestClose();
            return TRUE;
        case WM_ENDSESSION:
            if (wParam != FALSE && m_fnEndSession) m_fnEndSession();
            return TRUE;
        default:
            return FALSE;
    }
}

void CWin32PageView::OnCommand(int nId, int nCode, HWND hControl) {
    if (hControl == nullptr || nId == framework::IDOK || nId == framework::IDCANCEL) {
        // Enter and Escape, from the dialog manager (a menu or accelerator
        // has no control either; there are none).
        if (nId == framework::IDOK) PressEnter();
        if (nId == framework::IDCANCEL) PressEscape();
        return;
    }
    CItem* pItem = FindItem(hControl);
    if (pItem == nullptr || m_bApplying) return;
    switch (nCode) {
        case BN_CLICKED:
            if (pItem->m_eKind == EControlKind::PushButton ||
                pItem->m_eKind == EControlKind::DefPushButton ||
                pItem->m_eKind == EControlKind::CheckBox) {
                PostToPage([nId](CPage& page) { page.Click(nId); });
            }
            break;
        case EN_CHANGE:
            if (pItem->m_eKind == EControlKind::Edit) OnTyped(nId);
            break;
        case CBN_SELCHANGE: {
            const int nIndex = static_cast<int>(::SendMessageW(hControl, CB_GETCURSEL, 0, 0));
            PostToPage([nId, nIndex](CPage& page) { page.ChooseItem(nId, nIndex); },
                       [nId](CWin32PageView& view) {
                           if (CItem* p = view.FindItem(nId))
                               view.SetCurSel(*p, view.Page().GetCurSel(nId));
                       });
            break;
        }
        case EN_SETFOCUS:
        case CBN_SETFOCUS:
        case BN_SETFOCUS:
            PostToPage([nId](CPage& page) { page.FocusItem(nId); });
            break;
        case EN_KILLFOCUS:
        case CBN_KILLFOCUS:
        case BN_KILLFOCUS:
            OnFocusLost();
            break;
        default:
            break;
    }
}

void CWin32PageView::OnFocusLost() {
    // The new focus is known once the change has settled: a move to another
    // control of this page is reported by its SetFocus alone.
    ::PostMessageW(m_hWnd, WM_FR_FOCUSCHECK, 0, 0);
}

void CWin32PageView::OnTyped(int nId) {
    CItem* pItem = FindItem(nId);
    if (pItem == nullptr || IsPageGone()) return;
    ++pItem->m_nPendingEdits;
    const std::string strTyped = FromEditText(ControlText(pItem->m_hWnd));
    auto pResult = std::make_shared<std::string>();
    PostToPage(
        [nId, pResult, strTyped](CPage& page) { *pResult = page.TypeText(nId, strTyped); },
        [nId, pResult](CWin32PageView& view) {
            // Posted behind the page's echo of this text (posted while
            // the page took it), so that the echo still counts as pending.
            auto* pTyped = new CTyped{nId, *pResult};
            if (!::PostMessageW(view.m_hWnd, WM_FR_AFTERTYPED, 0, reinterpret_cast<LPARAM>(pTyped)))
                delete pTyped;
        });
}

void CWin32PageView::AfterTyped(int nId, const std::string& strResult) {
    CItem* pItem = FindItem(nId);
    if (pItem == nullptr) return;
    if (pItem->m_nPendingEdits > 0) --pItem->m_nPendingEdits;
    if (pItem->m_nPendingEdits > 0) return;
    // The page may have taken less than was typed (a character the code
    // page lacks, a locked edit): show what it holds.
    const std::wstring str = ToEditText(strResult);
    if (ControlText(pItem->m_hWnd) == str) return;
    DWORD dwStart = 0, dwEnd = 0;
    ::SendMessageW(pItem->m_hWnd, EM_GETSEL, reinterpret_cast<WPARAM>(&dwStart),
                   reinterpret_cast<LPARAM>(&dwEnd));
    m_bApplying = true;
    SetText(*pItem, strResult, false);
    m_bApplying = false;
    const DWORD dwCaret = std::min<DWORD>(dwEnd, static_cast<DWORD>(str.size()));
    ::SendMessageW(pItem->m_hWnd, EM_SETSEL, dwCaret, dwCaret);
}

void CWin32PageView::PostToPage(std::function<void(CPage&)> fnPage,
                                std::function<void(CWin32PageView&)> fnAfter) {
    if (IsPageGone()) return;
    // The dispatcher runs on the GUI thread, so the flag is read on the
    // thread that deletes views.
    std::weak_ptr<bool> alive = m_pAlive;
    CWin32PageView* pSelf = this;
    m_dispatcher.Post([alive, pSelf, fnPage = std::move(fnPage), fnAfter = std::move(fnAfter)] {
        const auto IsAlive = [&] {
            const std::shared_ptr<bool> p = alive.lock();
            return p && *p;
        };
        if (!IsAlive() || pSelf->IsPageGone()) return;
        fnPage(pSelf->Page());
        if (fnAfter && IsAlive()) fnAfter(*pSelf);
    });
}

void CWin32PageView::PressEnter() {
    // The dialog manager tells the window it runs for; the page that holds
    // the focus is the one whose Enter it is.
    CWin32PageView* pTarget = ViewHolding(::GetFocus());
    if (pTarget == nullptr) pTarget = this;
    pTarget->PostToPage([](CPage& page) { page.PressEnter(); });
}

void CWin32PageView::PressEscape() {
    CWin32PageView* pTarget = ViewHolding(::GetFocus());
    if (pTarget == nullptr) pTarget = this;
    pTarget->PostToPage([](CPage& page) { page.PressEscape(); });
}

void CWin32PageView::RequestClose() {
    PostToPage([](CPage& page) { page.PressClose(); });
}

}  // namespace win32
