#pragma once
// Keeps every message the core hands to its operator (a refusal, the
// update notice), from any thread, in the order they came.
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "core/OperatorMessage.h"

namespace core {

// Messages print as their fields in a failed expectation.
inline void PrintTo(const COperatorMessage& message, std::ostream* pOut) {
    *pOut << "{\"" << message.m_strText << "\", \"" << message.m_strCaption << "\", icon "
          << static_cast<int>(message.m_eIcon) << ", key \"" << message.m_strKey << "\"}";
}

}  // namespace core

namespace testsupport {

class CRecordingMessages {
public:
    // The hook to hand to the part under test; this object outlives it.
    core::MessageFn Fn() {
        return [this](const core::COperatorMessage& message) { Add(message); };
    }
    void Add(const core::COperatorMessage& message) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_messages.push_back(message);
    }
    std::vector<core::COperatorMessage> Messages() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_messages;
    }
    size_t Count() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_messages.size();
    }
    // The newest; an empty message when there is none.
    core::COperatorMessage Last() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_messages.empty() ? core::COperatorMessage{} : m_messages.back();
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_messages.clear();
    }

private:
    mutable std::mutex m_mutex;
    std::vector<core::COperatorMessage> m_messages;
};

}  // namespace testsupport
