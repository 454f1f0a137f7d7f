#include "qt/QtText.h"

#include <QByteArray>

#include "platform/Text.h"

namespace qt {
namespace {

constexpr char16_t kControlPictures = 0x2400;  // U+2400 SYMBOL FOR NULL
constexpr char16_t kDeletePicture = 0x2421;    // U+2421 SYMBOL FOR DELETE
constexpr char16_t kReplacement = 0xFFFD;

QString FromCp1252(std::string_view str) {
    const std::string strUtf8 = platform::Cp1252ToUtf8(str);
    return QString::fromUtf8(strUtf8.data(), static_cast<qsizetype>(strUtf8.size()));
}

bool IsControl(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

}  // namespace

QString ToDisplayText(std::string_view strCp1252, bool bMultiLine) {
    QString str = FromCp1252(strCp1252);
    for (QChar& ch : str) {
        const char16_t c = ch.unicode();
        if (c == u'\t' || (bMultiLine && c == u'\n')) continue;
        if (IsControl(c)) ch = QChar(kReplacement);
    }
    return str;
}

QString ToEditText(std::string_view strCp1252) {
    QString str = FromCp1252(strCp1252);
    for (QChar& ch : str) {
        const char16_t c = ch.unicode();
        if (c < 0x20) {
            ch = QChar(static_cast<char16_t>(kControlPictures + c));
        } else if (c == 0x7F) {
            ch = QChar(kDeletePicture);
        }
    }
    return str;
}

std::string FromEditText(const QString& strText) {
    QString str = strText;
    for (QChar& ch : str) {
        const char16_t c = ch.unicode();
        if (c >= kControlPictures && c < kControlPictures + 0x20) {
            ch = QChar(static_cast<char16_t>(c - kControlPictures));
        } else if (c == kDeletePicture) {
            ch = QChar(char16_t{0x7F});
        }
    }
    const QByteArray utf8 = str.toUtf8();
    return platform::Utf8ToCp1252(
        std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

}  // namespace qt
