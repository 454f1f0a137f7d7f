#pragma once
// Message boxes go to a sink: the Qt view shows them, the headless program
// prints them, tests record them. Any thread may show a message box.
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace framework {

enum class EIcon {
    Error,    // the stop sign
    Warning,  // the exclamation mark
    Information,
    Question,
};

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

enum class EButtons {
    Ok,     // IDOK
    YesNo,  // IDYES or IDNO
};

struct CMessage {
    std::string m_strText;     // Windows-1252 bytes; "\n" breaks a line
    std::string m_strCaption;  // Windows-1252 bytes
    EIcon m_eIcon = EIcon::Information;
    EButtons m_eButtons = EButtons::Ok;

    bool operator==(const CMessage&) const = default;
};

class IMessageSink {
public:
    virtual ~IMessageSink() = default;
    // Shows the box with its buttons and returns when the operator has
    // closed it: IDOK, or IDYES/IDNO for a question (a sink with nobody to
    // ask answers IDNO, which keeps things as they are). Called from any
    // thread; a sink whose UI lives on another thread hands the box over
    // and waits.
    virtual int ShowMessage(const CMessage& msg) = 0;
};

// Keeps every message, in order; returns at once (a question gets the
// answer set for it, IDNO until one is). Thread-safe.
class CRecordingMessageSink final : public IMessageSink {
public:
    int ShowMessage(const CMessage& msg) override;
    void SetAnswer(int nAnswer);
    std::vector<CMessage> Messages() const;
    size_t Count() const;
    // The last message, or an empty one when there is none.
    CMessage Last() const;
    void Clear();

private:
    mutable std::mutex m_mutex;
    std::vector<CMessage> m_messages;
    int m_nAnswer = IDNO;
};

// Writes "caption: text" and a line feed to a stream (stderr for the
// headless program) and returns at once; a question is answered IDNO.
// Thread-safe.
class CPrintMessageSink final : public IMessageSink {
public:
    explicit CPrintMessageSink(std::FILE* pOut) : m_pOut(pOut) {}
    int ShowMessage(const CMessage& msg) override;

private:
    std::mutex m_mutex;
    std::FILE* m_pOut;
};

}  // namespace framework
