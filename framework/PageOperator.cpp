// CPage: what the operator does (typing, clicking, choosing, keys). The
// mouse moves the focus to the control it works on, as on the screen.
#include <algorithm>
#include <cctype>

#include "framework/Page.h"
#include "framework/PageControl.h"

namespace framework {
namespace {

bool IsButton(EControlKind eKind) {
    return eKind == EControlKind::PushButton || eKind == EControlKind::DefPushButton ||
           eKind == EControlKind::CheckBox;
}

}  // namespace

std::string CPage::TypeText(int nId, std::string_view strText) {
    bool bTakes = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const CControl* pCtrl = Find(nId);
        if (pCtrl == nullptr) {
            NoteUnknown();
            return std::string();
        }
        const CControlState& st = pCtrl->m_state;
        bTakes = pCtrl->IsEdit() && st.m_bEnabled && st.m_bVisible && !st.m_bReadOnly;
        if (!bTakes) return st.m_strText;
    }
    SetFocusItem(nId);
    std::string strResult;
    Modify(nId, [&](CControl& ctrl) {
        CControlState& st = ctrl.m_state;
        // Checked again: another thread may have locked the edit meanwhile.
        if (!(st.m_bEnabled && st.m_bVisible && !st.m_bReadOnly)) {
            strResult = st.m_strText;
            return;
        }
        std::string strNew;
        strNew.reserve(strText.size());
        for (const char ch : strText) {
            if (st.m_bDigitsOnly && !std::isdigit(static_cast<unsigned char>(ch))) continue;
            strNew += ch;
        }
        const size_t nLimit =
            static_cast<size_t>(st.m_nLimit > 0 ? st.m_nLimit : kDefaultEditLimit);
        if (strNew.size() > nLimit) strNew.resize(nLimit);
        strResult = strNew;
        if (st.m_strText == strNew) return;
        st.m_strText = std::move(strNew);
        Publish(EChange::Text, nId, st.m_strText, 0, true);
    });
    return strResult;
}

bool CPage::Click(int nId) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const CControl* pCtrl = Find(nId);
        if (pCtrl == nullptr) {
            NoteUnknown();
            return false;
        }
        const CControlState& st = pCtrl->m_state;
        if (!IsButton(st.m_eKind) || !st.m_bEnabled || !st.m_bVisible) return false;
    }
    SetFocusItem(nId);
    Modify(nId, [&](CControl& ctrl) {
        CControlState& st = ctrl.m_state;
        if (st.m_eKind != EControlKind::CheckBox) return;
        if ((ctrl.m_pTemplate->m_nStyle & style::AutoCheck) == 0) return;
        st.m_nCheck = st.m_nCheck == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
        Publish(EChange::Check, nId, {}, st.m_nCheck, true);
    });
    Fire(nId, ENotify::Clicked);
    return true;
}

bool CPage::ChooseItem(int nId, int nIndex) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const CControl* pCtrl = Find(nId);
        if (pCtrl == nullptr) {
            NoteUnknown();
            return false;
        }
        const CControlState& st = pCtrl->m_state;
        const bool bList =
            st.m_eKind == EControlKind::DropList || st.m_eKind == EControlKind::TabControl;
        if (!bList || !st.m_bEnabled || !st.m_bVisible) return false;
        if (nIndex < 0 || static_cast<size_t>(nIndex) >= st.m_items.size()) return false;
    }
    SetFocusItem(nId);
    const bool bTab = ItemKind(nId) == EControlKind::TabControl;
    if (bTab) Fire(nId, ENotify::SelChanging);
    Modify(nId, [&](CControl& ctrl) {
        CControlState& st = ctrl.m_state;
        if (nIndex >= static_cast<int>(st.m_items.size()) || st.m_nCurSel == nIndex) return;
        st.m_nCurSel = nIndex;
        Publish(EChange::CurSel, nId, {}, nIndex, true);
    });
    Fire(nId, ENotify::SelChange);
    return true;
}

bool CPage::FocusItem(int nId) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const CControl* pCtrl = Find(nId);
        if (pCtrl == nullptr) {
            NoteUnknown();
            return false;
        }
        if (!pCtrl->m_state.m_bEnabled || !pCtrl->m_state.m_bVisible) return false;
    }
    return SetFocusItem(nId);
}

void CPage::PressEnter() {
    OnOK();
}

void CPage::PressEscape() {
    OnCancel();
}

void CPage::PressClose() {
    OnClose();
}

}  // namespace framework
