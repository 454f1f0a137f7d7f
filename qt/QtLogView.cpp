#include "qt/QtLogView.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <algorithm>
#include <string>

#include "framework/Page.h"
#include "qt/QtText.h"

namespace qt {
namespace {

size_t CountLines(std::string_view str) {
    return 1 + static_cast<size_t>(std::count(str.begin(), str.end(), '\n'));
}

}  // namespace

CQtLogView::CQtLogView(QWidget* pParent) : QPlainTextEdit(pParent) {
    setReadOnly(true);
    // Nobody undoes a log; an undo stack would grow without bound.
    document()->setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

void CQtLogView::SetAll(std::string_view strText) {
    clear();
    m_nLines = 0;
    if (!strText.empty()) InsertAtEnd(strText);
    FollowEnd();
}

void CQtLogView::AppendAndTrim(std::string_view strLines, bool bAppend, size_t nTrim) {
    if (bAppend && nTrim >= m_nLines) {
        // Every line shown goes: skip the appended ones that go too.
        size_t nSkip = nTrim - m_nLines;
        clear();
        m_nLines = 0;
        size_t nPos = 0;
        while (nSkip > 0 && nPos != std::string_view::npos) {
            const size_t nEnd = strLines.find('\n', nPos);
            nPos = nEnd == std::string_view::npos ? nEnd : nEnd + 1;
            --nSkip;
        }
        if (nPos != std::string_view::npos) InsertAtEnd(strLines.substr(nPos));
    } else {
        if (bAppend) InsertAtEnd(strLines);
        TrimFront(nTrim);
    }
    FollowEnd();
}

void CQtLogView::FollowEnd() {
    QScrollBar* pBar = verticalScrollBar();
    if (pBar->isSliderDown()) return;
    pBar->setValue(pBar->maximum());
}

void CQtLogView::InsertAtEnd(std::string_view strLines) {
    // A line is cut where the page's log cuts it, so that one huge line
    // cannot stall the view either.
    constexpr size_t kMaxLine = framework::CPage::kLogMaxBytes;
    std::string strCut;
    if (strLines.size() > kMaxLine) {
        size_t nPos = 0;
        for (;;) {
            const size_t nEnd = strLines.find('\n', nPos);
            std::string_view line = strLines.substr(
                nPos, nEnd == std::string_view::npos ? std::string_view::npos : nEnd - nPos);
            if (nPos > 0) strCut += '\n';
            strCut.append(line.substr(0, kMaxLine));
            if (nEnd == std::string_view::npos) break;
            nPos = nEnd + 1;
        }
        strLines = strCut;
    }
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    if (m_nLines > 0) cursor.insertBlock();
    // insertText turns each "\n" into a new block: one block per line.
    cursor.insertText(ToDisplayText(strLines, true));
    m_nLines += CountLines(strLines);
}

void CQtLogView::TrimFront(size_t nLines) {
    if (nLines == 0 || m_nLines == 0) return;
    if (nLines >= m_nLines) {
        clear();
        m_nLines = 0;
        return;
    }
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::Start);
    cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, static_cast<int>(nLines));
    cursor.removeSelectedText();
    m_nLines -= nLines;
}

}  // namespace qt
