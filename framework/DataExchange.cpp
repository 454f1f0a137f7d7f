#include "framework/DataExchange.h"

#include "framework/ControlHandles.h"
#include "framework/Page.h"
#include "platform/Text.h"

namespace framework {

const char* const kMsgEnterInteger = "Please enter an integer.";

std::string LimitMessage(int nMaxChars) {
    return "Please enter no more than " + platform::IntToText(nMaxChars) + " characters.";
}

std::optional<int32_t> ParseIntegerField(std::string_view str) {
    const auto isBlank = [](char ch) { return ch == ' ' || ch == '\t'; };
    size_t n = 0;
    while (n < str.size() && isBlank(str[n])) ++n;
    bool bNegative = false;
    if (n < str.size() && (str[n] == '-' || str[n] == '+')) {
        bNegative = str[n] == '-';
        ++n;
    }
    const size_t nFirstDigit = n;
    int64_t nValue = 0;
    for (; n < str.size() && str[n] >= '0' && str[n] <= '9'; ++n) {
        nValue = nValue * 10 + (str[n] - '0');
        // Beyond 32 bits the operator typed no integer this field can hold.
        if (nValue > int64_t{INT32_MAX} + 1) return std::nullopt;
    }
    if (n == nFirstDigit) return std::nullopt;
    while (n < str.size() && isBlank(str[n])) ++n;
    if (n != str.size()) return std::nullopt;
    if (bNegative) nValue = -nValue;
    if (nValue > INT32_MAX || nValue < INT32_MIN) return std::nullopt;
    return static_cast<int32_t>(nValue);
}

CDataExchange::CDataExchange(CPage& page, bool bSaveAndValidate)
    : m_page(page), m_bSave(bSaveAndValidate) {}

bool CDataExchange::Skip(int nId) {
    if (m_bFailed) return true;
    if (!m_page.HasItem(nId)) {
        m_page.NoteUnknown();
        return true;
    }
    return false;
}

void CDataExchange::Fail(int nId, std::string strText) {
    m_bFailed = true;
    m_nFailedId = nId;
    m_failMessage = CMessage{std::move(strText), m_page.MessageTitle(), EIcon::Warning};
}

bool CDataExchange::SaveInt(int nId, int32_t& nOut) {
    const std::optional<int32_t> value = ParseIntegerField(m_page.GetItemText(nId));
    if (!value) {
        Fail(nId, kMsgEnterInteger);
        return false;
    }
    nOut = *value;
    return true;
}

void CDataExchange::Text(int nId, std::string& str, int nMaxChars) {
    if (Skip(nId)) return;
    if (!m_bSave) {
        m_page.SetItemText(nId, str);
        if (nMaxChars > 0) m_page.SetLimitText(nId, nMaxChars);
        return;
    }
    std::string strText = m_page.GetItemText(nId);
    // Checked before the field is written: a refused text never lands in it.
    if (nMaxChars > 0 && strText.size() > static_cast<size_t>(nMaxChars)) {
        Fail(nId, LimitMessage(nMaxChars));
        return;
    }
    str = std::move(strText);
}

void CDataExchange::Int(int nId, int32_t& n) {
    if (Skip(nId)) return;
    if (!m_bSave) {
        m_page.SetItemText(nId, platform::IntToText(n));
        return;
    }
    int32_t nValue = 0;
    if (SaveInt(nId, nValue)) n = nValue;
}

void CDataExchange::Int(int nId, std::atomic<int32_t>& n) {
    int32_t nValue = n.load();
    Int(nId, nValue);
    if (m_bSave && !m_bFailed) n.store(nValue);
}

void CDataExchange::Short(int nId, int16_t& n) {
    if (Skip(nId)) return;
    if (!m_bSave) {
        m_page.SetItemText(nId, platform::IntToText(n));
        return;
    }
    int32_t nValue = 0;
    if (SaveInt(nId, nValue)) {
        n = static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(nValue) & 0xFFFFu));
    }
}

void CDataExchange::Short(int nId, std::atomic<int16_t>& n) {
    int16_t nValue = n.load();
    Short(nId, nValue);
    if (m_bSave && !m_bFailed) n.store(nValue);
}

void CDataExchange::Check(int nId, int32_t& n) {
    if (Skip(nId)) return;
    if (!m_bSave) {
        m_page.SetCheck(nId, n != 0 ? BST_CHECKED : BST_UNCHECKED);
        return;
    }
    n = m_page.GetCheck(nId) == BST_CHECKED ? 1 : 0;
}

void CDataExchange::Check(int nId, std::atomic<int32_t>& n) {
    int32_t nValue = n.load();
    Check(nId, nValue);
    if (m_bSave && !m_bFailed) n.store(nValue);
}

void CDataExchange::Check(int nId, bool& b) {
    int32_t nValue = b ? 1 : 0;
    Check(nId, nValue);
    b = nValue != 0;
}

void CDataExchange::Check(int nId, std::atomic<bool>& b) {
    int32_t nValue = b.load() ? 1 : 0;
    Check(nId, nValue);
    if (m_bSave && !m_bFailed) b.store(nValue != 0);
}

void CDataExchange::ListIndex(int nId, int32_t& n) {
    if (Skip(nId)) return;
    if (!m_bSave) {
        m_page.SetCurSel(nId, n);
        return;
    }
    n = m_page.GetCurSel(nId);
}

void CDataExchange::Control(int nId, CLogCtrl& ctrl) {
    if (Skip(nId)) return;
    ctrl.Attach(m_page, nId);
}

void CDataExchange::Control(int nId, CTabCtrl& ctrl) {
    if (Skip(nId)) return;
    ctrl.Attach(m_page, nId);
}

}  // namespace framework
