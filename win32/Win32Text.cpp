#include "win32/Win32Text.h"

#include "win32/Win32Api.h"

#include "platform/Text.h"

namespace win32 {
namespace {

constexpr wchar_t kControlPictures = 0x2400;
constexpr wchar_t kDeletePicture = 0x2421;
constexpr wchar_t kReplacement = 0xFFFD;

bool IsControl(wchar_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

}  // namespace

std::wstring Utf8ToWide(std::string_view str) {
    if (str.empty()) return {};
    const int n =
        ::MultiByteToWideChar(CP_UTF8, 0, str.data(), static_cast<int>(str.size()), nullptr, 0);
    std::wstring strWide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        ::MultiByteToWideChar(CP_UTF8, 0, str.data(), static_cast<int>(str.size()), strWide.data(),
                              n);
    return strWide;
}

std::string WideToUtf8(std::wstring_view str) {
    if (str.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, str.data(), static_cast<int>(str.size()),
                                        nullptr, 0, nullptr, nullptr);
    std::string strUtf8(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, str.data(), static_cast<int>(str.size()), strUtf8.data(),
                              n, nullptr, nullptr);
    return strUtf8;
}

std::wstring ToDisplayText(std::string_view strCp1252, bool bMultiLine) {
    const std::wstring str = Utf8ToWide(platform::Cp1252ToUtf8(strCp1252));
    std::wstring strOut;
    strOut.reserve(str.size());
    for (const wchar_t c : str) {
        if (c == L'\t') {
            strOut += c;
        } else if (bMultiLine && c == L'\n') {
            strOut += L"\r\n";
        } else {
            strOut += IsControl(c) ? kReplacement : c;
        }
    }
    return strOut;
}

std::wstring ToEditText(std::string_view strCp1252) {
    std::wstring str = Utf8ToWide(platform::Cp1252ToUtf8(strCp1252));
    for (wchar_t& c : str) {
        if (c < 0x20) {
            c = static_cast<wchar_t>(kControlPictures + c);
        } else if (c == 0x7F) {
            c = kDeletePicture;
        }
    }
    return str;
}

std::string FromEditText(std::wstring_view strText) {
    std::wstring str(strText);
    for (wchar_t& c : str) {
        if (c >= kControlPictures && c < kControlPictures + 0x20) {
            c = static_cast<wchar_t>(c - kControlPictures);
        } else if (c == kDeletePicture) {
            c = 0x7F;
        }
    }
    return platform::Utf8ToCp1252(WideToUtf8(str));
}

}  // namespace win32
