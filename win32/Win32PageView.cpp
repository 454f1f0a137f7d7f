#include "win32/Win32PageView.h"

#include <uxtheme.h>

#include <algorithm>
#include <utility>

#include "win32/DialogBuilder.h"
#include "win32/Win32Text.h"

namespace win32 {

using framework::CControlChange;
using framework::CControlState;
using framework::EChange;
using framework::EControlKind;

namespace {

// The framework's limit when a page sets none.
constexpr int kDefaultEditLimit = 30000;
constexpr wchar_t kPasswordChar = 0x25CF;

// The framework places child pages in pixels of a 96 dots-per-inch screen,
// where the dialog font and its units are sized: on a screen with more
// dots the font, and so every control, is larger, and the page's place
// grows with it.
int ScaledToScreen(HWND hWnd, int nPixels) {
    HDC hdc = ::GetDC(hWnd);
    const int nDpi = hdc != nullptr ? ::GetDeviceCaps(hdc, LOGPIXELSY) : 96;
    if (hdc != nullptr) ::ReleaseDC(hWnd, hdc);
    return ::MulDiv(nPixels, nDpi > 0 ? nDpi : 96, 96);
}

std::wstring WindowText(HWND hWnd) {
    const int n = ::GetWindowTextLengthW(hWnd);
    std::wstring str(static_cast<size_t>(std::max(n, 0)) + 1, L'\0');
    const int nGot = ::GetWindowTextW(hWnd, str.data(), n + 1);
    str.resize(static_cast<size_t>(std::max(nGot, 0)));
    return str;
}

}  // namespace

CWin32PageView::CWin32PageView(framework::CPage& page, framework::CDispatcher& dispatcher,
                               HINSTANCE hInstance, HWND hParent)
    : CWin32PageView(std::make_unique<framework::CPageMailbox>(page), dispatcher, hInstance, hParent) {}

CWin32PageView::CWin32PageView(std::unique_ptr<framework::CPageMailbox> pLink,
                               framework::CDispatcher& dispatcher, HINSTANCE hInstance,
                               HWND hParent)
    : m_pLink(std::move(pLink)), m_dispatcher(dispatcher), m_hInstance(hInstance) {
    Build(hParent);
    m_pLink->SetWake([hWnd = m_hWnd] {
        return ::PostMessageW(hWnd, WM_FR_CHANGES, 0, 0) != FALSE;
    });
}

CWin32PageView::~CWin32PageView() {
    *m_pAlive = false;
    m_pLink->SetWake(nullptr);
    m_children.clear();
    if (m_hWnd != nullptr) {
        ::SetWindowLongPtrW(m_hWnd, DWLP_USER, 0);
        ::DestroyWindow(m_hWnd);
    }
}

INT_PTR CALLBACK CWin32PageView::DialogProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    if (nMsg == WM_INITDIALOG) {
        ::SetWindowLongPtrW(hWnd, DWLP_USER, lParam);
        auto* pView = reinterpret_cast<CWin32PageView*>(lParam);
        pView->m_hWnd = hWnd;
        return FALSE;  // the page puts the focus where it wants it
    }
    auto* pView = reinterpret_cast<CWin32PageView*>(::GetWindowLongPtrW(hWnd, DWLP_USER));
    return pView != nullptr ? pView->OnMessage(nMsg, wParam, lParam) : FALSE;
}

void CWin32PageView::Build(HWND hParent) {
    const framework::CPageSnapshot& initial = m_pLink->Initial();
    const framework::CDialogTemplate& tmpl = Page().Template();
    m_template = BuildDialogTemplate(tmpl, hParent != nullptr);
    ::CreateDialogIndirectParamW(m_hInstance,
                                 reinterpret_cast<const DLGTEMPLATE*>(m_template.data()), hParent,
                                 &CWin32PageView::DialogProc, reinterpret_cast<LPARAM>(this));
    if (m_hWnd == nullptr) return;
    m_bApplying = true;
    for (const CControlState& st : initial.m_controls) {
        CItem item;
        item.m_nId = st.m_nId;
        item.m_eKind = st.m_eKind;
        if (st.m_nId != framework::IDC_STATIC) item.m_hWnd = ::GetDlgItem(m_hWnd, st.m_nId);
        m_items.push_back(std::move(item));
        if (st.m_nId != framework::IDC_STATIC) m_index.emplace(st.m_nId, m_items.size() - 1);
    }
    for (size_t n = 0; n < m_items.size(); ++n) {
        if (m_items[n].m_hWnd != nullptr) ApplyState(m_items[n], initial.m_controls[n]);
    }
    if (hParent != nullptr) {
        ::SetWindowPos(m_hWnd, HWND_TOP, ScaledToScreen(m_hWnd, initial.m_nX),
                       ScaledToScreen(m_hWnd, initial.m_nY), 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
        // A page on a tab is drawn on the tab's own background, as the
        // system's property pages are.
        wchar_t szClass[64] = {};
        ::GetClassNameW(hParent, szClass, 64);
        if (std::wstring(szClass) == WC_TABCONTROLW)
            ::EnableThemeDialogTexture(m_hWnd, ETDT_ENABLETAB);
    }
    ::SetWindowTextW(m_hWnd, ToDisplayText(initial.m_strTitle, false).c_str());
    for (framework::CPage* pChild : initial.m_children) AddChild(pChild, pChild->HostId());
    ::ShowWindow(m_hWnd, initial.m_bVisible ? SW_SHOWNA : SW_HIDE);
    if (const CItem* pFocus = FindItem(initial.m_nFocusId)) ::SetFocus(pFocus->m_hWnd);
    m_bApplying = false;
}

void CWin32PageView::AddChild(framework::CPage* pChild, int nHostId) {
    if (pChild == nullptr || m_children.count(pChild) != 0) return;
    HWND hHost = m_hWnd;
    if (const CItem* pItem = FindItem(nHostId)) hHost = pItem->m_hWnd;
    m_children[pChild] = std::make_unique<CWin32PageView>(m_pLink->TakeChildMailbox(pChild),
                                                          m_dispatcher, m_hInstance, hHost);
}

HWND CWin32PageView::ControlWindow(int nId) const {
    const auto it = m_index.find(nId);
    return it == m_index.end() ? nullptr : m_items[it->second].m_hWnd;
}

bool CWin32PageView::IsWhole() const {
    if (m_hWnd == nullptr) return false;
    for (const auto& [pPage, pView] : m_children)
        if (!pView->IsWhole()) return false;
    return true;
}

CWin32PageView* CWin32PageView::ChildView(const framework::CPage* pChild) const {
    const auto it = m_children.find(pChild);
    return it == m_children.end() ? nullptr : it->second.get();
}

CWin32PageView* CWin32PageView::ViewHolding(HWND hWnd) {
    // The innermost page first: a child page lies inside this one.
    for (auto& [pPage, pView] : m_children) {
        if (CWin32PageView* pFound = pView->ViewHolding(hWnd)) return pFound;
    }
    if (hWnd != nullptr && (hWnd == m_hWnd || ::IsChild(m_hWnd, hWnd))) return this;
    return nullptr;
}

CWin32PageView::CItem* CWin32PageView::FindItem(int nId) {
    const auto it = m_index.find(nId);
    return it == m_index.end() ? nullptr : &m_items[it->second];
}

CWin32PageView::CItem* CWin32PageView::FindItem(HWND hWnd) {
    for (CItem& item : m_items)
        if (item.m_hWnd == hWnd && hWnd != nullptr) return &item;
    return nullptr;
}

void CWin32PageView::ApplyState(CItem& item, const CControlState& st) {
    item.m_nLimit = st.m_nLimit;
    if (item.m_eKind == EControlKind::DropList || item.m_eKind == EControlKind::TabControl) {
        SetItems(item, st.m_items, st.m_nCurSel);
    }
    SetText(item, st.m_strText, false);
    ::EnableWindow(item.m_hWnd, st.m_bEnabled);
    ::ShowWindow(item.m_hWnd, st.m_bVisible ? SW_SHOWNA : SW_HIDE);
    if (item.m_eKind == EControlKind::Edit || item.m_eKind == EControlKind::RichEditLog) {
        ::SendMessageW(item.m_hWnd, EM_SETREADONLY, st.m_bReadOnly, 0);
    }
    if (item.m_eKind == EControlKind::Edit) {
        ::SendMessageW(item.m_hWnd, EM_SETPASSWORDCHAR, st.m_bPassword ? kPasswordChar : 0, 0);
        SetStyleBit(item, ES_NUMBER, st.m_bDigitsOnly);
        SetLimit(item, st.m_nLimit);
    }
    if (item.m_eKind == EControlKind::CheckBox) {
        ::SendMessageW(item.m_hWnd, BM_SETCHECK,
                       st.m_nCheck == framework::BST_CHECKED ? framework::BST_CHECKED
                                                             : framework::BST_UNCHECKED,
                       0);
    }
}

void CWin32PageView::ApplyPendingChanges() {
    std::deque<CControlChange> changes = m_pLink->TakeChanges();
    if (changes.empty()) return;
    const std::shared_ptr<bool> pAlive = m_pAlive;
    m_bApplying = true;
    for (const CControlChange& change : changes) {
        ApplyChange(change);
        if (!*pAlive) return;  // the main page ended and its owner let go of the view
    }
    m_bApplying = false;
}

void CWin32PageView::ApplyChange(const CControlChange& change) {
    switch (change.m_eWhat) {
        case EChange::Title:
        case EChange::PageVisible:
        case EChange::PageMoved:
        case EChange::ChildCreated:
        case EChange::PageEnded:
        case EChange::PageDestroyed:
        case EChange::Focus:
            ApplyPageChange(change);
            return;
        default:
            break;
    }
    CItem* pItem = FindItem(change.m_nId);
    if (pItem == nullptr || pItem->m_hWnd == nullptr) return;
    CItem& item = *pItem;
    const bool bOn = change.m_nValue != 0;
    switch (change.m_eWhat) {
        case EChange::Text:
            SetText(item, change.m_strText, change.m_bByUser);
            break;
        case EChange::Enabled:
            ::EnableWindow(item.m_hWnd, bOn);
            break;
        case EChange::Visible:
            ::ShowWindow(item.m_hWnd, bOn ? SW_SHOWNA : SW_HIDE);
            break;
        case EChange::ReadOnly:
            ::SendMessageW(item.m_hWnd, EM_SETREADONLY, bOn, 0);
            break;
        case EChange::DigitsOnly:
            SetStyleBit(item, ES_NUMBER, bOn);
            break;
        case EChange::Password:
            ::SendMessageW(item.m_hWnd, EM_SETPASSWORDCHAR, bOn ? kPasswordChar : 0, 0);
            ::InvalidateRect(item.m_hWnd, nullptr, TRUE);
            break;
        case EChange::Check:
            ::SendMessageW(item.m_hWnd, BM_SETCHECK,
                           change.m_nValue == framework::BST_CHECKED ? framework::BST_CHECKED
                                                                     : framework::BST_UNCHECKED,
                           0);
            break;
        case EChange::CurSel:
            SetCurSel(item, change.m_nValue);
            break;
        case EChange::Items:
            SetItems(item, change.m_items, -1);
            break;
        case EChange::LimitText:
            SetLimit(item, change.m_nValue);
            break;
        case EChange::LogAppend:
            if (item.m_eKind == EControlKind::RichEditLog) LogAppend(item, change.m_strText);
            break;
        case EChange::LogTrim:
            if (item.m_eKind == EControlKind::RichEditLog)
                LogTrim(item, static_cast<size_t>(std::max(0, change.m_nValue)));
            break;
        case EChange::ScrollToEnd:
            if (item.m_eKind == EControlKind::RichEditLog) LogFollowEnd(item);
            break;
        default:
            break;
    }
}

void CWin32PageView::ApplyPageChange(const CControlChange& change) {
    switch (change.m_eWhat) {
        case EChange::Title:
            ::SetWindowTextW(m_hWnd, ToDisplayText(change.m_strText, false).c_str());
            break;
        case EChange::PageVisible:
            ::ShowWindow(m_hWnd, change.m_nValue != 0 ? SW_SHOWNA : SW_HIDE);
            break;
        case EChange::PageMoved:
            ::SetWindowPos(m_hWnd, nullptr, ScaledToScreen(m_hWnd, change.m_nValue),
                           ScaledToScreen(m_hWnd, change.m_nValue2), 0, 0,
                           SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            break;
        case EChange::ChildCreated:
            AddChild(change.m_pChild, change.m_nId);
            break;
        case EChange::PageEnded:
            if (m_fnEnded) {
                m_fnEnded(change.m_nValue);  // may delete this view
            } else if (::GetParent(m_hWnd) != nullptr) {
                ::ShowWindow(m_hWnd, SW_HIDE);  // an ended child page is hidden
            }
            break;
        case EChange::PageDestroyed:
            ::ShowWindow(m_hWnd, SW_HIDE);
            break;
        case EChange::Focus: {
            const CItem* pItem = FindItem(change.m_nId);
            if (pItem != nullptr && pItem->m_hWnd != nullptr && ::GetFocus() != pItem->m_hWnd)
                ::SetFocus(pItem->m_hWnd);
            break;
        }
        default:
            break;
    }
}

void CWin32PageView::SetText(CItem& item, const std::string& strText, bool bByUser) {
    switch (item.m_eKind) {
        case EControlKind::Edit: {
            // The echo of a text the operator typed: a later keystroke is on
            // its way, so the control is already ahead of it.
            if (bByUser && item.m_nPendingEdits > 0) break;
            const std::wstring str = ToEditText(strText);
            if (WindowText(item.m_hWnd) == str) break;
            // A program may set a text longer than the typing limit.
            ::SendMessageW(item.m_hWnd, EM_SETLIMITTEXT, std::max<size_t>(str.size(), 1), 0);
            ::SetWindowTextW(item.m_hWnd, str.c_str());
            SetLimit(item, item.m_nLimit);
            break;
        }
        case EControlKind::RichEditLog:
            LogSetAll(item, strText);
            break;
        case EControlKind::Static:
            ::SetWindowTextW(item.m_hWnd, ToDisplayText(strText, true).c_str());
            break;
        case EControlKind::GroupBox:
        case EControlKind::PushButton:
        case EControlKind::DefPushButton:
        case EControlKind::CheckBox:
            ::SetWindowTextW(item.m_hWnd, ToDisplayText(strText, false).c_str());
            break;
        case EControlKind::DropList:
        case EControlKind::TabControl:
        case EControlKind::Icon:
            break;
    }
}

void CWin32PageView::SetItems(CItem& item, const std::vector<std::string>& items, int nCurSel) {
    if (item.m_eKind == EControlKind::DropList) {
        ::SendMessageW(item.m_hWnd, CB_RESETCONTENT, 0, 0);
        for (const std::string& str : items) {
            const std::wstring strItem = ToDisplayText(str, false);
            ::SendMessageW(item.m_hWnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(strItem.c_str()));
        }
        ::SendMessageW(item.m_hWnd, CB_SETCURSEL, static_cast<WPARAM>(nCurSel), 0);
    } else if (item.m_eKind == EControlKind::TabControl) {
        TabCtrl_DeleteAllItems(item.m_hWnd);
        for (size_t n = 0; n < items.size(); ++n) {
            std::wstring strCaption = ToDisplayText(items[n], false);
            TCITEMW tci{};
            tci.mask = TCIF_TEXT;
            tci.pszText = strCaption.data();
            ::SendMessageW(item.m_hWnd, TCM_INSERTITEMW, n, reinterpret_cast<LPARAM>(&tci));
        }
        if (nCurSel >= 0) TabCtrl_SetCurSel(item.m_hWnd, nCurSel);
    }
}

void CWin32PageView::SetCurSel(CItem& item, int nSel) {
    if (item.m_eKind == EControlKind::DropList) {
        ::SendMessageW(item.m_hWnd, CB_SETCURSEL, static_cast<WPARAM>(nSel), 0);
    } else if (item.m_eKind == EControlKind::TabControl && nSel >= 0) {
        TabCtrl_SetCurSel(item.m_hWnd, nSel);
    }
}

void CWin32PageView::SetLimit(CItem& item, int nLimit) {
    item.m_nLimit = nLimit;
    if (item.m_eKind != EControlKind::Edit) return;
    // Never below the text shown: the limit only stops typing.
    const int nChars = nLimit > 0 ? nLimit : kDefaultEditLimit;
    const int nShown = ::GetWindowTextLengthW(item.m_hWnd);
    ::SendMessageW(item.m_hWnd, EM_SETLIMITTEXT, static_cast<WPARAM>(std::max(nChars, nShown)), 0);
}

void CWin32PageView::SetStyleBit(CItem& item, DWORD dwBit, bool bOn) {
    const LONG_PTR nStyle = ::GetWindowLongPtrW(item.m_hWnd, GWL_STYLE);
    const LONG_PTR nNew = bOn ? (nStyle | dwBit) : (nStyle & ~static_cast<LONG_PTR>(dwBit));
    if (nNew != nStyle) ::SetWindowLongPtrW(item.m_hWnd, GWL_STYLE, nNew);
}

// Logs: the control holds the same lines as the page's log. Each line's
// length is kept, so that dropping the oldest lines is one selection and
// one replacement, whatever the log holds.
void CWin32PageView::LogSetAll(CItem& item, const std::string& strText) {
    item.m_lineChars.clear();
    ::SendMessageW(item.m_hWnd, EM_SETLIMITTEXT, 0, 0);  // the system's largest
    ::SetWindowTextW(item.m_hWnd, L"");
    if (!strText.empty()) LogAppend(item, strText);
    LogFollowEnd(item);
}

void CWin32PageView::LogAppend(CItem& item, const std::string& strLine) {
    // A "\n" in the text starts a further line, as in the page's log.
    size_t nAt = 0;
    std::wstring strAll;
    for (;;) {
        const size_t nEnd = strLine.find('\n', nAt);
        const std::string_view part = std::string_view(strLine).substr(
            nAt, nEnd == std::string::npos ? std::string::npos : nEnd - nAt);
        const std::wstring strPart = ToDisplayText(part, false);
        const bool bFirstLine = item.m_lineChars.empty();
        if (!bFirstLine) {
            item.m_lineChars.back() += 2;  // the previous line gains its break
            strAll += L"\r\n";
        }
        strAll += strPart;
        item.m_lineChars.push_back(strPart.size());
        if (nEnd == std::string::npos) break;
        nAt = nEnd + 1;
    }
    const int nLen = ::GetWindowTextLengthW(item.m_hWnd);
    ::SendMessageW(item.m_hWnd, EM_SETSEL, nLen, nLen);
    ::SendMessageW(item.m_hWnd, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(strAll.c_str()));
    LogFollowEnd(item);
}

void CWin32PageView::LogTrim(CItem& item, size_t nLines) {
    if (nLines == 0 || item.m_lineChars.empty()) return;
    if (nLines >= item.m_lineChars.size()) {
        item.m_lineChars.clear();
        ::SetWindowTextW(item.m_hWnd, L"");
        return;
    }
    size_t nChars = 0;
    for (size_t n = 0; n < nLines; ++n) {
        nChars += item.m_lineChars.front();
        item.m_lineChars.pop_front();
    }
    ::SendMessageW(item.m_hWnd, EM_SETSEL, 0, static_cast<LPARAM>(nChars));
    ::SendMessageW(item.m_hWnd, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
    LogFollowEnd(item);
}

void CWin32PageView::LogFollowEnd(CItem& item) {
    const int nLen = ::GetWindowTextLengthW(item.m_hWnd);
    ::SendMessageW(item.m_hWnd, EM_SETSEL, nLen, nLen);
    ::SendMessageW(item.m_hWnd, WM_VSCROLL, SB_BOTTOM, 0);
}

}  // namespace win32
