#include "framework/MessageBox.h"

namespace framework {

int CRecordingMessageSink::ShowMessage(const CMessage& msg) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_messages.push_back(msg);
    return msg.m_eButtons == EButtons::YesNo ? m_nAnswer : IDOK;
}

void CRecordingMessageSink::SetAnswer(int nAnswer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nAnswer = nAnswer;
}

std::vector<CMessage> CRecordingMessageSink::Messages() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_messages;
}

size_t CRecordingMessageSink::Count() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_messages.size();
}

CMessage CRecordingMessageSink::Last() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_messages.empty() ? CMessage{} : m_messages.back();
}

void CRecordingMessageSink::Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_messages.clear();
}

int CPrintMessageSink::ShowMessage(const CMessage& msg) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_pOut != nullptr) {
        std::fwrite(msg.m_strCaption.data(), 1, msg.m_strCaption.size(), m_pOut);
        std::fputs(": ", m_pOut);
        std::fwrite(msg.m_strText.data(), 1, msg.m_strText.size(), m_pOut);
        std::fputc('\n', m_pOut);
        std::fflush(m_pOut);
    }
    return msg.m_eButtons == EButtons::YesNo ? IDNO : IDOK;
}

}  // namespace framework
