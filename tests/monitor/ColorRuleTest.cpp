// A colour text becomes exactly two digits after the 0x03 of a line.
#include <gtest/gtest.h>

#include <string>

#include "monitor/ColorRule.h"

namespace {

TEST(TwoDigitColor, OneCharacterGetsALeadingZero) {
    const struct {
        const char* m_pszName;
        const char* m_pszColor;
        const char* m_pszCode;
    } kRows[] = {
        {"SingleDigit", "7", "07"},
        {"Zero", "0", "00"},
        {"Blue", "2", "02"},
        {"TwoDigits", "12", "12"},
        {"TwoDigitsWithZero", "04", "04"},
        {"OutsidePalette", "99", "99"},
        {"Empty", "", ""},
    };
    for (const auto& row : kRows) {
        EXPECT_EQ(monitor::TwoDigitColor(row.m_pszColor), row.m_pszCode) << row.m_pszName;
    }
}

TEST(TwoDigitColor, LineCodeNeverSwallowsAFollowingDigit) {
    // "2" then a name starting with a digit: without the zero mIRC would
    // read colour 21.
    const std::string strLine = "\x03" + monitor::TwoDigitColor("2") + "1stSquad";
    EXPECT_EQ(strLine, std::string("\x03"
                                   "021stSquad"));
}

}  // namespace
