#pragma once
// Inside of CPage: one control's state. Only the framework's own sources
// include this.
#include <memory>

#include "framework/Control.h"
#include "framework/LogBuffer.h"
#include "framework/Page.h"

namespace framework {

struct CPage::CControl {
    const CControlTemplate* m_pTemplate = nullptr;
    CControlState m_state;               // m_strText unused for a log
    std::unique_ptr<CLogBuffer> m_pLog;  // RichEditLog only

    bool IsLog() const { return m_pLog != nullptr; }
    bool IsEdit() const { return m_state.m_eKind == EControlKind::Edit; }
};

// Characters the operator may type into an edit without a limit of its own.
constexpr int kDefaultEditLimit = 30000;

}  // namespace framework
