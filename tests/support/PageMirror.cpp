#include "support/PageMirror.h"

#include <utility>

#include "framework/Page.h"

namespace testsupport {

using framework::EChange;
using framework::EControlKind;
using framework::IDC_STATIC;
namespace {

// Splits a log text into its lines as the page stores them.
std::deque<std::string> SplitLines(const std::string& strText) {
    std::deque<std::string> lines;
    if (strText.empty()) return lines;
    size_t nStart = 0;
    for (;;) {
        const size_t nEnd = strText.find('\n', nStart);
        lines.push_back(
            strText.substr(nStart, nEnd == std::string::npos ? std::string::npos : nEnd - nStart));
        if (nEnd == std::string::npos) break;
        nStart = nEnd + 1;
    }
    return lines;
}

}  // namespace

CPageMirror::CPageMirror(CPage& page, bool bRecord) : m_page(page), m_bRecord(bRecord) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state = page.AttachView(*this);
    for (const CControlState& st : m_state.m_controls) {
        if (st.m_eKind == EControlKind::RichEditLog) m_logs[st.m_nId] = SplitLines(st.m_strText);
    }
}

CPageMirror::~CPageMirror() {
    m_page.DetachView(*this);
}

CControlState* CPageMirror::Find(int nId) {
    for (CControlState& st : m_state.m_controls) {
        if (st.m_nId == nId && nId != IDC_STATIC) return &st;
    }
    return nullptr;
}

void CPageMirror::OnPageChanged(CPage&, const CControlChange& change) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_nChangeCount;
    if (m_bRecord) m_changes.push_back(change);
    m_state.m_nSeq = change.m_nSeq;
    switch (change.m_eWhat) {
        case EChange::Title:
            m_state.m_strTitle = change.m_strText;
            return;
        case EChange::PageVisible:
            m_state.m_bVisible = change.m_nValue != 0;
            return;
        case EChange::PageMoved:
            m_state.m_nX = change.m_nValue;
            m_state.m_nY = change.m_nValue2;
            return;
        case EChange::Focus:
            m_state.m_nFocusId = change.m_nId;
            return;
        case EChange::PageEnded:
            m_state.m_bEnded = true;
            return;
        case EChange::ChildCreated:
            m_state.m_children.push_back(change.m_pChild);
            return;
        case EChange::PageDestroyed:
            return;
        default:
            break;
    }
    CControlState* pState = Find(change.m_nId);
    if (pState == nullptr) return;
    CControlState& st = *pState;
    switch (change.m_eWhat) {
        case EChange::Text:
            if (st.m_eKind == EControlKind::RichEditLog) {
                m_logs[st.m_nId] = SplitLines(change.m_strText);
            } else {
                st.m_strText = change.m_strText;
            }
            break;
        case EChange::Enabled:
            st.m_bEnabled = change.m_nValue != 0;
            break;
        case EChange::Visible:
            st.m_bVisible = change.m_nValue != 0;
            break;
        case EChange::ReadOnly:
            st.m_bReadOnly = change.m_nValue != 0;
            break;
        case EChange::DigitsOnly:
            st.m_bDigitsOnly = change.m_nValue != 0;
            break;
        case EChange::Password:
            st.m_bPassword = change.m_nValue != 0;
            break;
        case EChange::Check:
            st.m_nCheck = change.m_nValue;
            break;
        case EChange::CurSel:
            st.m_nCurSel = change.m_nValue;
            break;
        case EChange::Items:
            st.m_items = change.m_items;
            break;
        case EChange::LimitText:
            st.m_nLimit = change.m_nValue;
            break;
        case EChange::LogAppend: {
            std::deque<std::string> added = SplitLines(change.m_strText);
            if (added.empty()) added.emplace_back();
            auto& lines = m_logs[st.m_nId];
            for (std::string& line : added) lines.push_back(std::move(line));
            break;
        }
        case EChange::LogTrim: {
            auto& lines = m_logs[st.m_nId];
            for (int n = 0; n < change.m_nValue && !lines.empty(); ++n) lines.pop_front();
            break;
        }
        default:
            break;
    }
}

CPageSnapshot CPageMirror::State() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    CPageSnapshot state = m_state;
    for (CControlState& st : state.m_controls) {
        const auto it = m_logs.find(st.m_nId);
        if (st.m_eKind != EControlKind::RichEditLog || it == m_logs.end()) continue;
        std::string strText;
        for (size_t n = 0; n < it->second.size(); ++n) {
            if (n > 0) strText += '\n';
            strText += it->second[n];
        }
        st.m_strText = std::move(strText);
    }
    return state;
}

std::vector<CControlChange> CPageMirror::Changes() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_changes;
}

size_t CPageMirror::ChangeCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nChangeCount;
}

uint64_t CPageMirror::LastSeq() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_state.m_nSeq;
}

}  // namespace testsupport
