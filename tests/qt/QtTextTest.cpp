// Windows-1252 bytes as the screen shows them, and typed text back.
#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>
#include <string>

#include "QtTestSupport.h"
#include "qt/QtText.h"

namespace {

using qt::FromEditText;
using qt::ToDisplayText;
using qt::ToEditText;

// The code page's row 0x80 to 0x9F, from its published table; the five
// bytes it leaves undefined (0 here) have no character.
constexpr char16_t kRow80[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       // 88-8F
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,  // 98-9F
};

TEST(QtTextTest, EveryByteOfTheRow80ToThe9FShowsAsItsCharacter) {
    for (int n = 0; n < 32; ++n) {
        const int nByte = 0x80 + n;
        const std::string strByte(1, static_cast<char>(nByte));
        const QString strShown = ToDisplayText(strByte, false);
        const QString strEdit = ToEditText(strByte);
        ASSERT_EQ(strShown.size(), 1) << "byte " << nByte;
        ASSERT_EQ(strEdit.size(), 1) << "byte " << nByte;
        if (kRow80[n] != 0) {
            EXPECT_EQ(strShown.at(0).unicode(), kRow80[n]) << "byte " << nByte;
            EXPECT_EQ(strEdit.at(0).unicode(), kRow80[n]) << "byte " << nByte;
        } else {
            // Shown as "no character"; an edit keeps the byte's own code point.
            EXPECT_EQ(strShown.at(0).unicode(), 0xFFFD) << "byte " << nByte;
            EXPECT_EQ(strEdit.at(0).unicode(), nByte) << "byte " << nByte;
        }
        EXPECT_EQ(FromEditText(strEdit), strByte) << "byte " << nByte;
    }
}

TEST(QtTextTest, ShownTexts) {
    struct CRow {
        const char* m_pszName;
        std::string m_strBytes;
        bool m_bMultiLine;
        QString m_strShown;
    };
    const CRow rows[] = {
        {"e acute", "caf\xE9", false, QStringLiteral(u"café")},
        {"phrase with e acute", " [a tu\xE9] ", false, QStringLiteral(u" [a tué] ")},
        {"euro and quotes", "\x80 \x93x\x94", false, QStringLiteral(u"€ “x”")},
        {"high latin", "\xF1\xF6\xE4\xF0\xE1\xFF", false, QStringLiteral(u"ñöäðáÿ")},
        {"nul does not cut the text", std::string("a\0b", 3), false, QStringLiteral(u"a\uFFFDb")},
        {"formatting bytes",
         "\x02"
         "b\x1F",
         false, QStringLiteral(u"\uFFFDb\uFFFD")},
        {"line feed in one line", "a\nb", false, QStringLiteral(u"a\uFFFDb")},
        {"line feed in several lines", "a\nb", true, QStringLiteral(u"a\nb")},
        {"carriage return", "a\r\nb", true, QStringLiteral(u"a\uFFFD\nb")},
        {"tab stays", "a\tb", false, QStringLiteral(u"a\tb")},
        {"delete", "a\x7F", false, QStringLiteral(u"a\uFFFD")},
        {"markup stays text", "<b>x</b>&amp;", false, QStringLiteral(u"<b>x</b>&amp;")},
    };
    for (const CRow& row : rows) {
        EXPECT_EQ(ToDisplayText(row.m_strBytes, row.m_bMultiLine), row.m_strShown) << row.m_pszName;
    }
}

TEST(QtTextTest, EveryByteSurvivesAnEditAndBack) {
    std::string strAll;
    for (int n = 0; n < 256; ++n) strAll += static_cast<char>(n);
    const QString str = ToEditText(strAll);
    EXPECT_EQ(str.size(), 256);
    EXPECT_FALSE(str.contains(QChar(u'\0')));
    EXPECT_FALSE(str.contains(QChar(u'\n')));
    EXPECT_EQ(FromEditText(str), strAll);
}

TEST(QtTextTest, TypedCharactersTheCodePageLacksBecomeQuestionMarks) {
    EXPECT_EQ(FromEditText(QStringLiteral(u"a中b")), "a?b");
    EXPECT_EQ(FromEditText(QStringLiteral(u"Ω€")), "?\x80");
    EXPECT_EQ(FromEditText(QStringLiteral(u"x\U0001F600")), "x?");
}

TEST(QtTextTest, FontHasTheGlyphsTheTextsNeed) {
    // Without the DejaVu fonts every glyph would be drawn as a box.
    const qt::CDialogUnits units;
    const QFontInfo info(units.Font());
    EXPECT_EQ(info.family(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(info.pointSize(), 8);
    const QFontMetrics metrics(units.Font());
    for (const char16_t ch : {u'A', u'z', u'é', u'€', u'ð', u'“', u'™', u'\uFFFD'}) {
        EXPECT_TRUE(metrics.inFont(QChar(ch))) << static_cast<int>(ch);
    }
    // An 8-point font: a few pixels wide, a dozen or so high.
    EXPECT_GE(units.BaseX(), 4);
    EXPECT_LE(units.BaseX(), 9);
    EXPECT_GE(units.BaseY(), 10);
    EXPECT_LE(units.BaseY(), 18);
}

}  // namespace
