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
        const CControlState& st = pCtrl->state;
        bTakes = pCtrl->IsEdit() && st.bEnabled && st.bVisible && !st.bReadOnly;
        if (!bTakes) return st.strText;
    }
    SetFocusItem(nId);
    std::string strResult;
    Modify(nId, [&](CControl& ctrl) {
        CControlState& st = ctrl.state;
        // Checked again: another thread may have locked the edit meanwhile.
        if (!(st.bEnabled && st.bVisible && !st.bReadOnly)) {
            strResult = st.strText;
            return;
        }
        std::string strNew;
        strNew.reserve(strText.size());
        for (const char ch : strText) {
            if (st.bDigitsOnly && !std::isdigit(static_cast<unsigned char>(ch))) continue;
            strNew += ch;
        }
        const size_t nLimit = static_cast<size_t>(st.nLimit > 0 ? st.nLimit : kDefaultEditLimit);
        if (strNew.size() > nLimit) strNew.resize(nLimit);
        strResult = strNew;
        if (st.strText == strNew) return;
        st.strText = std::move(strNew);
        Publish(EChange::Text, nId, st.strText, 0, true);
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
        const CControlState& st = pCtrl->state;
        if (!IsButton(st.eKind) || !st.bEnabled || !st.bVisible) return false;
    }
    SetFocusItem(nId);
    Modify(nId, [&](CControl& ctrl) {
        CControlState& st = ctrl.state;
        if (st.eKind != EControlKind::CheckBox) return;
        if ((ctrl.pTemplate->nStyle & style::AutoCheck) == 0) return;
        st.nCheck = st.nCheck == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
        Publish(EChange::Check, nId, {}, st.nCheck, true);
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
        const CControlState& st = pCtrl->state;
        const bool bList =
            st.eKind == EControlKind::DropList || st.eKind == EControlKind::TabControl;
        if (!bList || !st.bEnabled || !st.bVisible) return false;
        if (nIndex < 0 || static_cast<size_t>(nIndex) >= st.items.size()) return false;
    }
    SetFocusItem(nId);
    const bool bTab = ItemKind(nId) == EControlKind::TabControl;
    if (bTab) Fire(nId, ENotify::SelChanging);
    Modify(nId, [&](CControl& ctrl) {
        CControlState& st = ctrl.state;
        if (nIndex >= static_cast<int>(st.items.size()) || st.nCurSel == nIndex) return;
        st.nCurSel = nIndex;
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
        if (!pCtrl->state.bEnabled || !pCtrl->state.bVisible) return false;
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
