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
    for (const CControlState& st : m_state.controls) {
        if (st.eKind == EControlKind::RichEditLog) m_logs[st.nId] = SplitLines(st.strText);
    }
}

CPageMirror::~CPageMirror() {
    m_page.DetachView(*this);
}

CControlState* CPageMirror::Find(int nId) {
    for (CControlState& st : m_state.controls) {
        if (st.nId == nId && nId != IDC_STATIC) return &st;
    }
    return nullptr;
}

void CPageMirror::OnPageChanged(CPage&, const CControlChange& change) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_nChangeCount;
    if (m_bRecord) m_changes.push_back(change);
    m_state.nSeq = change.nSeq;
    switch (change.eWhat) {
        case EChange::Title:
            m_state.strTitle = change.strText;
            return;
        case EChange::PageVisible:
            m_state.bVisible = change.nValue != 0;
            return;
        case EChange::PageMoved:
            m_state.nX = change.nValue;
            m_state.nY = change.nValue2;
            return;
        case EChange::Focus:
            m_state.nFocusId = change.nId;
            return;
        case EChange::PageEnded:
            m_state.bEnded = true;
            return;
        case EChange::ChildCreated:
            m_state.children.push_back(change.pChild);
            return;
        case EChange::PageDestroyed:
            return;
        default:
            break;
    }
    CControlState* pState = Find(change.nId);
    if (pState == nullptr) return;
    CControlState& st = *pState;
    switch (change.eWhat) {
        case EChange::Text:
            if (st.eKind == EControlKind::RichEditLog) {
                m_logs[st.nId] = SplitLines(change.strText);
            } else {
                st.strText = change.strText;
            }
            break;
        case EChange::Enabled:
            st.bEnabled = change.nValue != 0;
            break;
        case EChange::Visible:
            st.bVisible = change.nValue != 0;
            break;
        case EChange::ReadOnly:
            st.bReadOnly = change.nValue != 0;
            break;
        case EChange::DigitsOnly:
            st.bDigitsOnly = change.nValue != 0;
            break;
        case EChange::Password:
            st.bPassword = change.nValue != 0;
            break;
        case EChange::Check:
            st.nCheck = change.nValue;
            break;
        case EChange::CurSel:
            st.nCurSel = change.nValue;
            break;
        case EChange::Items:
            st.items = change.items;
            break;
        case EChange::LimitText:
            st.nLimit = change.nValue;
            break;
        case EChange::LogAppend: {
            std::deque<std::string> added = SplitLines(change.strText);
            if (added.empty()) added.emplace_back();
            auto& lines = m_logs[st.nId];
            for (std::string& line : added) lines.push_back(std::move(line));
            break;
        }
        case EChange::LogTrim: {
            auto& lines = m_logs[st.nId];
            for (int n = 0; n < change.nValue && !lines.empty(); ++n) lines.pop_front();
            break;
        }
        default:
            break;
    }
}

CPageSnapshot CPageMirror::State() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    CPageSnapshot state = m_state;
    for (CControlState& st : state.controls) {
        const auto it = m_logs.find(st.nId);
        if (st.eKind != EControlKind::RichEditLog || it == m_logs.end()) continue;
        std::string strText;
        for (size_t n = 0; n < it->second.size(); ++n) {
            if (n > 0) strText += '\n';
            strText += it->second[n];
        }
        st.strText = std::move(strText);
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
    return m_state.nSeq;
}

}  // namespace testsupport
