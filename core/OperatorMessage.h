#pragma once
// What the operator must see and answer: the window shows it as a message
// box, fragrelayd prints it as "caption: text" on standard error. The core
// hands it out; it shows nothing itself. Pure; any thread.
#include <functional>
#include <string>

namespace core {

enum class EMessageIcon {
    Error,  // the stop sign
    Warning,
    Information,
};

struct COperatorMessage {
    std::string m_strText;     // Windows-1252 bytes; "\n" breaks a line
    std::string m_strCaption;  // Windows-1252 bytes
    EMessageIcon m_eIcon = EMessageIcon::Information;
    // The settings key whose field the operator should mend (the window
    // puts the focus there); empty when the message names none.
    std::string m_strKey;

    bool operator==(const COperatorMessage&) const = default;
};

// Where a message goes; called on any thread, must return at once.
using MessageFn = std::function<void(const COperatorMessage&)>;

}  // namespace core
