#pragma once
// A log control: a read-only multi-line view that follows its end. It holds
// the same lines as the page's log: lines are appended and dropped from the
// start as the page reports, so an append costs only the new text and the
// view never grows past the page's bound.
#include <QPlainTextEdit>
#include <cstddef>
#include <string_view>

namespace qt {

class CQtLogView final : public QPlainTextEdit {
    Q_OBJECT

public:
    // GUI thread, like every operation here.
    explicit CQtLogView(QWidget* pParent = nullptr);

    // Replaces every line (an empty text is an empty log).
    void SetAll(std::string_view strText);
    // Appends strLines ("\n" between lines) when bAppend, then drops
    // nTrim lines from the start; lines that would be dropped at once are
    // never inserted. Follows the end afterwards.
    void AppendAndTrim(std::string_view strLines, bool bAppend, size_t nTrim);
    // Shows the last line, unless the operator is dragging the scroll bar.
    void FollowEnd();
    size_t LineCount() const { return m_nLines; }

private:
    void InsertAtEnd(std::string_view strLines);
    void TrimFront(size_t nLines);

    size_t m_nLines = 0;  // the widget shows one empty block for no lines
};

}  // namespace qt
