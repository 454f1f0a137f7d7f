// CPage: reading and writing control state.
#include <algorithm>
#include <utility>

#include "framework/Page.h"
#include "framework/PageControl.h"

namespace framework {

bool CPage::HasItem(int nId) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return Find(nId) != nullptr;
}

EControlKind CPage::ItemKind(int nId) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const CControl* pCtrl = Find(nId);
    return pCtrl != nullptr ? pCtrl->m_state.m_eKind : EControlKind::Static;
}

std::string CPage::GetItemText(int nId) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const CControl* pCtrl = Find(nId);
    if (pCtrl == nullptr) {
        NoteUnknown();
        return std::string();
    }
    return pCtrl->IsLog() ? pCtrl->m_pLog->Text() : pCtrl->m_state.m_strText;
}

bool CPage::SetItemText(int nId, std::string strText) {
    return Modify(nId, [&](CControl& ctrl) {
        if (ctrl.IsLog()) {
            ctrl.m_pLog->Assign(strText);
            Publish(EChange::Text, nId, ctrl.m_pLog->Text());
            return;
        }
        if (ctrl.m_state.m_strText == strText) return;
        ctrl.m_state.m_strText = std::move(strText);
        Publish(EChange::Text, nId, ctrl.m_state.m_strText);
    });
}

namespace {

// Sets one flag and reports whether it changed.
bool SetFlag(bool& bField, bool bValue) {
    if (bField == bValue) return false;
    bField = bValue;
    return true;
}

}  // namespace

bool CPage::EnableItem(int nId, bool bEnable) {
    return Modify(nId, [&](CControl& ctrl) {
        if (SetFlag(ctrl.m_state.m_bEnabled, bEnable)) Publish(EChange::Enabled, nId, {}, bEnable);
    });
}

bool CPage::ShowItem(int nId, bool bShow) {
    return Modify(nId, [&](CControl& ctrl) {
        if (SetFlag(ctrl.m_state.m_bVisible, bShow)) Publish(EChange::Visible, nId, {}, bShow);
    });
}

bool CPage::SetReadOnly(int nId, bool bReadOnly) {
    return Modify(nId, [&](CControl& ctrl) {
        if (SetFlag(ctrl.m_state.m_bReadOnly, bReadOnly)) {
            Publish(EChange::ReadOnly, nId, {}, bReadOnly);
        }
    });
}

bool CPage::SetDigitsOnly(int nId, bool bDigitsOnly) {
    return Modify(nId, [&](CControl& ctrl) {
        if (SetFlag(ctrl.m_state.m_bDigitsOnly, bDigitsOnly)) {
            Publish(EChange::DigitsOnly, nId, {}, bDigitsOnly);
        }
    });
}

bool CPage::SetPasswordStyle(int nId, bool bPassword) {
    return Modify(nId, [&](CControl& ctrl) {
        if (SetFlag(ctrl.m_state.m_bPassword, bPassword)) {
            Publish(EChange::Password, nId, {}, bPassword);
        }
    });
}

bool CPage::SetCheck(int nId, int nCheck) {
    const int nState = nCheck != BST_UNCHECKED ? BST_CHECKED : BST_UNCHECKED;
    return Modify(nId, [&](CControl& ctrl) {
        if (ctrl.m_state.m_nCheck == nState) return;
        ctrl.m_state.m_nCheck = nState;
        Publish(EChange::Check, nId, {}, nState);
    });
}

bool CPage::SetCurSel(int nId, int nIndex) {
    return Modify(nId, [&](CControl& ctrl) {
        const int nCount = static_cast<int>(ctrl.m_state.m_items.size());
        const int nSel = (nIndex >= 0 && nIndex < nCount) ? nIndex : -1;
        if (ctrl.m_state.m_nCurSel == nSel) return;
        ctrl.m_state.m_nCurSel = nSel;
        Publish(EChange::CurSel, nId, {}, nSel);
    });
}

bool CPage::SetListItems(int nId, std::vector<std::string> items) {
    return Modify(nId, [&](CControl& ctrl) {
        ctrl.m_state.m_items = std::move(items);
        ctrl.m_state.m_params.clear();
        CControlChange change;
        change.m_eWhat = EChange::Items;
        change.m_nId = nId;
        change.m_items = ctrl.m_state.m_items;
        Publish(std::move(change));
        if (ctrl.m_state.m_nCurSel != -1) {
            ctrl.m_state.m_nCurSel = -1;
            Publish(EChange::CurSel, nId, {}, -1);
        }
    });
}

bool CPage::AddListItem(int nId, std::string strItem) {
    return Modify(nId, [&](CControl& ctrl) {
        ctrl.m_state.m_items.push_back(std::move(strItem));
        CControlChange change;
        change.m_eWhat = EChange::Items;
        change.m_nId = nId;
        change.m_items = ctrl.m_state.m_items;
        Publish(std::move(change));
    });
}

bool CPage::SetLimitText(int nId, int nMaxChars) {
    const int nLimit = std::max(0, nMaxChars);
    return Modify(nId, [&](CControl& ctrl) {
        if (ctrl.m_state.m_nLimit == nLimit) return;
        ctrl.m_state.m_nLimit = nLimit;
        Publish(EChange::LimitText, nId, {}, nLimit);
    });
}

template <typename T>
T CPage::ReadState(int nId, T CControlState::*pMember, T fallback) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const CControl* pCtrl = Find(nId);
    if (pCtrl == nullptr) {
        NoteUnknown();
        return fallback;
    }
    return pCtrl->m_state.*pMember;
}

bool CPage::IsItemEnabled(int nId) const {
    return ReadState(nId, &CControlState::m_bEnabled, false);
}
bool CPage::IsItemVisible(int nId) const {
    return ReadState(nId, &CControlState::m_bVisible, false);
}
bool CPage::IsReadOnly(int nId) const {
    return ReadState(nId, &CControlState::m_bReadOnly, false);
}
bool CPage::IsDigitsOnly(int nId) const {
    return ReadState(nId, &CControlState::m_bDigitsOnly, false);
}
bool CPage::IsPasswordStyle(int nId) const {
    return ReadState(nId, &CControlState::m_bPassword, false);
}
int CPage::GetCheck(int nId) const {
    return ReadState(nId, &CControlState::m_nCheck, BST_UNCHECKED);
}
int CPage::GetCurSel(int nId) const {
    return ReadState(nId, &CControlState::m_nCurSel, -1);
}
int CPage::GetLimitText(int nId) const {
    return ReadState(nId, &CControlState::m_nLimit, 0);
}
std::vector<std::string> CPage::GetListItems(int nId) const {
    return ReadState(nId, &CControlState::m_items, std::vector<std::string>());
}

// ---- Logs ----

bool CPage::AppendLogLine(int nId, std::string_view strLine) {
    bool bLog = false;
    const bool bKnown = Modify(nId, [&](CControl& ctrl) {
        if (!ctrl.IsLog()) return;
        bLog = true;
        const size_t nDropped = ctrl.m_pLog->Append(strLine);
        Publish(EChange::LogAppend, nId, std::string(strLine));
        if (nDropped > 0) Publish(EChange::LogTrim, nId, {}, static_cast<int>(nDropped));
    });
    if (bKnown && !bLog) NoteUnknown();
    return bLog;
}

bool CPage::ScrollToEnd(int nId) {
    bool bLog = false;
    const bool bKnown = Modify(nId, [&](CControl& ctrl) {
        if (!ctrl.IsLog()) return;
        bLog = true;
        Publish(EChange::ScrollToEnd, nId);
    });
    if (bKnown && !bLog) NoteUnknown();
    return bLog;
}

size_t CPage::GetLogLineCount(int nId) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const CControl* pCtrl = Find(nId);
    if (pCtrl == nullptr || !pCtrl->IsLog()) {
        NoteUnknown();
        return 0;
    }
    return pCtrl->m_pLog->LineCount();
}

bool CPage::SetLogLimits(int nId, size_t nMaxLines, size_t nMaxBytes) {
    bool bLog = false;
    const bool bKnown = Modify(nId, [&](CControl& ctrl) {
        if (!ctrl.IsLog()) return;
        bLog = true;
        const std::string strBefore = ctrl.m_pLog->Text();
        ctrl.m_pLog->SetLimits(nMaxLines, nMaxBytes);
        // Lines may be cut short as well as dropped: send the text whole.
        std::string strAfter = ctrl.m_pLog->Text();
        if (strAfter != strBefore) Publish(EChange::Text, nId, std::move(strAfter));
    });
    if (bKnown && !bLog) NoteUnknown();
    return bLog;
}

// ---- Tab items ----

bool CPage::InsertTabItem(int nId, int nIndex, std::string strCaption, CPage* pParam) {
    bool bTab = false;
    const bool bKnown = Modify(nId, [&](CControl& ctrl) {
        if (ctrl.m_state.m_eKind != EControlKind::TabControl) return;
        bTab = true;
        CControlState& st = ctrl.m_state;
        st.m_params.resize(st.m_items.size(), nullptr);
        const int nCount = static_cast<int>(st.m_items.size());
        const int nAt = std::clamp(nIndex, 0, nCount);
        st.m_items.insert(st.m_items.begin() + nAt, std::move(strCaption));
        st.m_params.insert(st.m_params.begin() + nAt, pParam);
        CControlChange change;
        change.m_eWhat = EChange::Items;
        change.m_nId = nId;
        change.m_items = st.m_items;
        Publish(std::move(change));
        // The first item becomes the selection; a selection behind the new
        // item keeps pointing at the same item.
        int nSel = st.m_nCurSel;
        if (nSel < 0) {
            nSel = 0;
        } else if (nSel >= nAt) {
            ++nSel;
        }
        if (nSel != st.m_nCurSel) {
            st.m_nCurSel = nSel;
            Publish(EChange::CurSel, nId, {}, nSel);
        }
    });
    if (bKnown && !bTab) NoteUnknown();
    return bTab;
}

CPage* CPage::GetTabItemParam(int nId, int nIndex) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const CControl* pCtrl = Find(nId);
    if (pCtrl == nullptr || pCtrl->m_state.m_eKind != EControlKind::TabControl) {
        NoteUnknown();
        return nullptr;
    }
    const auto& params = pCtrl->m_state.m_params;
    if (nIndex < 0 || static_cast<size_t>(nIndex) >= params.size()) return nullptr;
    return params[static_cast<size_t>(nIndex)];
}

// ---- Focus ----

bool CPage::SetFocusItem(int nId) {
    int nOld = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (nId != 0 && Find(nId) == nullptr) {
            NoteUnknown();
            return false;
        }
        if (m_nFocusId == nId) return true;
        nOld = m_nFocusId;
        m_nFocusId = nId;
        Publish(EChange::Focus, nId);
    }
    m_changes.Deliver();
    if (nOld != 0) Fire(nOld, ENotify::KillFocus);
    if (nId != 0) Fire(nId, ENotify::SetFocus);
    return true;
}

int CPage::GetFocusItem() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nFocusId;
}

}  // namespace framework
