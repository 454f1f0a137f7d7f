#pragma once
// Data exchange between a page's fields and its controls, field by field in
// the order the page's DoDataExchange declares them. Saving (controls to
// fields) validates: a text that is not an integer, or a text longer than
// its limit, shows a message box with the program's name as caption, puts
// the focus on that control and stops the transfer there, so that this
// field and every field after it keep their values.
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "framework/MessageBox.h"

namespace framework {

class CPage;
class CLogCtrl;
class CTabCtrl;

// The framework's own validation texts.
extern const char* const kMsgEnterInteger;  // "Please enter an integer."
// "Please enter no more than N characters."
std::string LimitMessage(int nMaxChars);

// An integer as the operator may type it: optional blanks, an optional sign,
// decimal digits, optional blanks; nothing else, and within 32 bits.
std::optional<int32_t> ParseIntegerField(std::string_view str);

class CDataExchange {
public:
    CDataExchange(CPage& page, bool bSaveAndValidate);

    bool IsSaving() const { return m_bSave; }
    // A check failed; every later exchange does nothing.
    bool Failed() const { return m_bFailed; }
    int FailedId() const { return m_nFailedId; }
    // The message to show for the failure (shown by CPage::UpdateData once
    // the transfer is over).
    const CMessage& FailMessage() const { return m_failMessage; }

    // Text of an edit or static. With nMaxChars > 0, loading also sets the
    // control's limit and saving refuses a longer text.
    void Text(int nId, std::string& str, int nMaxChars = 0);
    // Decimal integer text.
    void Int(int nId, int32_t& n);
    void Int(int nId, std::atomic<int32_t>& n);
    // 16-bit integer: saving keeps the low 16 bits of the 32-bit value typed;
    // loading shows the signed value.
    void Short(int nId, int16_t& n);
    void Short(int nId, std::atomic<int16_t>& n);
    // Check box bound to an int used as a bool: loading ticks it for any
    // value but 0, saving stores 1 or 0.
    void Check(int nId, int32_t& n);
    void Check(int nId, std::atomic<int32_t>& n);
    void Check(int nId, bool& b);
    void Check(int nId, std::atomic<bool>& b);
    // Selected index of a drop-down list; -1 for none. Loading an index out
    // of range clears the selection.
    void ListIndex(int nId, int32_t& n);
    // Binds a control object to its control (both directions, no value).
    void Control(int nId, CLogCtrl& ctrl);
    void Control(int nId, CTabCtrl& ctrl);

private:
    bool Skip(int nId);  // failed earlier, or no such control
    void Fail(int nId, std::string strText);
    bool SaveInt(int nId, int32_t& nOut);

    CPage& m_page;
    bool m_bSave;
    bool m_bFailed = false;
    int m_nFailedId = 0;
    CMessage m_failMessage;
};

}  // namespace framework
