#pragma once
// Control objects a page binds with CDataExchange::Control, like member
// controls of a window class: m_log.AppendLine(...), m_tabCtrl.GetItemParam(1).
// They forward to the page and are as thread-safe as its control state.
#include <cstddef>
#include <string>
#include <string_view>

namespace framework {

class CPage;

class CControlHandle {
public:
    // Binding again to the same control writes nothing, so a page may run its
    // data exchange while worker threads use the handle.
    void Attach(CPage& page, int nId) {
        if (m_pPage == &page && m_nId == nId) return;
        m_pPage = &page;
        m_nId = nId;
    }
    bool IsAttached() const { return m_pPage != nullptr; }
    int Id() const { return m_nId; }
    CPage* Page() const { return m_pPage; }

protected:
    CPage* m_pPage = nullptr;
    int m_nId = 0;
};

// A RichEditLog control.
class CLogCtrl : public CControlHandle {
public:
    // Appends one line (see CPage::AppendLogLine). False when not attached.
    bool AppendLine(std::string_view strLine) const;
    bool ScrollToEnd() const;
    std::string GetText() const;
    bool SetText(std::string strText) const;
    size_t GetLineCount() const;
    bool SetReadOnly(bool bReadOnly) const;
};

// A TabControl: its items carry a page pointer as their parameter.
class CTabCtrl : public CControlHandle {
public:
    bool InsertItem(int nIndex, std::string strCaption, CPage* pParam) const;
    CPage* GetItemParam(int nIndex) const;  // nullptr when out of range
    int GetItemCount() const;
    int GetCurSel() const;
    bool SetCurSel(int nIndex) const;  // no SelChanging/SelChange handlers
};

}  // namespace framework
