#include "framework/ControlHandles.h"

#include <utility>

#include "framework/Page.h"

namespace framework {

bool CLogCtrl::AppendLine(std::string_view strLine) const {
    return m_pPage != nullptr && m_pPage->AppendLogLine(m_nId, strLine);
}

bool CLogCtrl::ScrollToEnd() const {
    return m_pPage != nullptr && m_pPage->ScrollToEnd(m_nId);
}

std::string CLogCtrl::GetText() const {
    return m_pPage != nullptr ? m_pPage->GetItemText(m_nId) : std::string();
}

bool CLogCtrl::SetText(std::string strText) const {
    return m_pPage != nullptr && m_pPage->SetItemText(m_nId, std::move(strText));
}

size_t CLogCtrl::GetLineCount() const {
    return m_pPage != nullptr ? m_pPage->GetLogLineCount(m_nId) : 0;
}

bool CLogCtrl::SetReadOnly(bool bReadOnly) const {
    return m_pPage != nullptr && m_pPage->SetReadOnly(m_nId, bReadOnly);
}

bool CTabCtrl::InsertItem(int nIndex, std::string strCaption, CPage* pParam) const {
    return m_pPage != nullptr &&
           m_pPage->InsertTabItem(m_nId, nIndex, std::move(strCaption), pParam);
}

CPage* CTabCtrl::GetItemParam(int nIndex) const {
    return m_pPage != nullptr ? m_pPage->GetTabItemParam(m_nId, nIndex) : nullptr;
}

int CTabCtrl::GetItemCount() const {
    return m_pPage != nullptr ? static_cast<int>(m_pPage->GetListItems(m_nId).size()) : 0;
}

int CTabCtrl::GetCurSel() const {
    return m_pPage != nullptr ? m_pPage->GetCurSel(m_nId) : -1;
}

bool CTabCtrl::SetCurSel(int nIndex) const {
    return m_pPage != nullptr && m_pPage->SetCurSel(m_nId, nIndex);
}

}  // namespace framework
