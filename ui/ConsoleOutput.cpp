#include "ui/ConsoleOutput.h"

#include "framework/Page.h"
#include "platform/Text.h"

namespace ui {

std::string ConsoleLogText(std::string_view strPrefix, std::string_view strLine) {
    std::string strOut;
    size_t nAt = 0;
    for (;;) {
        const size_t nBreak = strLine.find_first_of("\r\n", nAt);
        const std::string_view strPart =
            strLine.substr(nAt, nBreak == std::string_view::npos ? nBreak : nBreak - nAt);
        // "\r\n" is one break, not an empty line between two.
        const bool bSkipEmpty = strPart.empty() && nAt > 0 && strLine[nAt - 1] == '\r';
        if (!bSkipEmpty) {
            strOut += strPrefix;
            strOut += platform::Cp1252ToUtf8(strPart);
            strOut += '\n';
        }
        if (nBreak == std::string_view::npos || nBreak + 1 == strLine.size()) break;
        nAt = nBreak + 1;
    }
    return strOut;
}

void CConsoleOutput::PrintLog(std::string_view strPrefix, std::string_view strLine) {
    const std::string strText = ConsoleLogText(strPrefix, strLine);
    std::lock_guard<std::mutex> lock(m_mutex);
    std::fwrite(strText.data(), 1, strText.size(), m_pOut);
    std::fflush(m_pOut);
}

int CConsoleOutput::ShowMessage(const framework::CMessage& msg) {
    const std::string strText =
        platform::Cp1252ToUtf8(msg.strCaption) + ": " + platform::Cp1252ToUtf8(msg.strText) + "\n";
    std::lock_guard<std::mutex> lock(m_mutex);
    std::fwrite(strText.data(), 1, strText.size(), m_pErr);
    std::fflush(m_pErr);
    return framework::IDOK;
}

CLogPrinter::CLogPrinter(framework::CPage& page, int nLogId, std::string strPrefix,
                         CConsoleOutput& out)
    : m_page(page), m_nLogId(nLogId), m_strPrefix(std::move(strPrefix)), m_out(out) {
    m_page.AttachView(*this);
}

CLogPrinter::~CLogPrinter() {
    std::unique_lock<std::mutex> lock(m_mutexGone);
    if (m_bPageGone) return;
    lock.unlock();
    m_page.DetachView(*this);
}

void CLogPrinter::OnPageChanged(framework::CPage& /*page*/,
                                const framework::CControlChange& change) {
    if (change.eWhat == framework::EChange::PageDestroyed) {
        std::lock_guard<std::mutex> lock(m_mutexGone);
        m_bPageGone = true;
        return;
    }
    // A log replaced as a whole (Text) is not new output; only appends are.
    if (change.eWhat != framework::EChange::LogAppend || change.nId != m_nLogId) return;
    {
        std::lock_guard<std::mutex> lock(m_mutexGone);
        if (m_bPageGone) return;
    }
    m_out.PrintLog(m_strPrefix, change.strText);
}

}  // namespace ui
