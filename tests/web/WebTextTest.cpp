// Text on its way from the bot's Windows-1252 bytes to the page: the code
// page's conversion (with the bytes it leaves undefined), IRC formatting
// taken out, HTML escaping, link segments and dates.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "web/WebText.h"

namespace {

struct CTextRow {
    const char* m_pszName;
    std::string m_strIn;
    std::string m_strOut;
};

const std::string kReplacement = "\xEF\xBF\xBD";

TEST(WebTextTest, ConvertsWindows1252ToUtf8) {
    const std::vector<CTextRow> rows = {
        {"Ascii", "Sgt.Pepper [X]", "Sgt.Pepper [X]"},
        {"Empty", "", ""},
        {"Latin1", "Ren\xE9 M\xFCller", "Ren\xC3\xA9 M\xC3\xBC" "ller"},
        {"Euro", "\x80", "\xE2\x82\xAC"},
        {"QuotesAndDashes", "\x93\x94\x96\x97", "\xE2\x80\x9C\xE2\x80\x9D\xE2\x80\x93\xE2\x80\x94"},
        {"CapitalYDiaeresis", "\x9F", "\xC5\xB8"},
        {"NoBreakSpace", "\xA0", "\xC2\xA0"},
        {"LastByte", "\xFF", "\xC3\xBF"},
        {"Undefined81", "a\x81" "b", "a" + kReplacement + "b"},
        {"Undefined8D", "\x8D", kReplacement},
        {"Undefined8F", "\x8F", kReplacement},
        {"Undefined90", "\x90", kReplacement},
        {"Undefined9D", "\x9D", kReplacement},
        {"ControlBytes", std::string("a\x01\tb\0c", 6),
         "a" + kReplacement + kReplacement + "b" + kReplacement + "c"},
        {"Delete", "x\x7Fy", "x" + kReplacement + "y"},
        {"MarkupStaysText", "<script>&\"'", "<script>&\"'"},
    };
    for (const CTextRow& row : rows) {
        SCOPED_TRACE(row.m_pszName);
        EXPECT_EQ(web::WebText(row.m_strIn), row.m_strOut);
    }
}

TEST(WebTextTest, TakesIrcFormattingOutOfEventLines) {
    const std::vector<CTextRow> rows = {
        {"Plain", "Alice killed Bob", "Alice killed Bob"},
        {"Bold", "\x02" "Alice\x02 scored", "Alice scored"},
        {"Colour", "\x03" "4Alice\x03 killed \x03" "12Bob", "Alice killed Bob"},
        {"ColourWithBackground", "\x03" "04,12Axis\x0F wins", "Axis wins"},
        {"ColourWithoutDigitsKeepsComma", "\x03,5", ",5"},
        {"ThreeDigitsLeaveTheThird", "\x03" "123", "3"},
        {"DigitsAfterColourAreEaten", "\x03" "0399 points", "99 points"},
        {"HexColour", "\x04" "FF0000,00ff00red", "red"},
        {"ItalicUnderlineReverse", "\x1D" "a\x1F" "b\x16" "c\x1E" "d\x11" "e", "abcde"},
        {"OtherControlsStayVisible", "a\x07" "b", "a" + kReplacement + "b"},
        {"ConvertedAfterwards", "\x03" "4Ren\xE9", "Ren\xC3\xA9"},
    };
    for (const CTextRow& row : rows) {
        SCOPED_TRACE(row.m_pszName);
        EXPECT_EQ(web::WebTextFromIrc(row.m_strIn), row.m_strOut);
    }
}

TEST(WebTextTest, EscapesHtml) {
    const std::vector<CTextRow> rows = {
        {"Script", "<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
        {"Ampersand", "A&B", "A&amp;B"},
        {"AlreadyAnEntity", "&amp;", "&amp;amp;"},
        {"Quotes", "\"x\" 'y'", "&quot;x&quot; &#39;y&#39;"},
        {"Utf8Untouched", "Ren\xC3\xA9", "Ren\xC3\xA9"},
    };
    for (const CTextRow& row : rows) {
        SCOPED_TRACE(row.m_pszName);
        EXPECT_EQ(web::HtmlEscape(row.m_strIn), row.m_strOut);
    }
}

TEST(WebTextTest, EncodesLinkSegments) {
    const std::vector<CTextRow> rows = {
        {"Plain", "Alice-1_x.y~", "Alice-1_x.y~"},
        {"Blank", "Sgt Pepper", "Sgt%20Pepper"},
        {"Slash", "a/b", "a%2Fb"},
        {"Markup", "<s>", "%3Cs%3E"},
        {"PercentAndQuery", "100%?x=1#y", "100%25%3Fx%3D1%23y"},
        {"Utf8", "Ren\xC3\xA9", "Ren%C3%A9"},
    };
    for (const CTextRow& row : rows) {
        SCOPED_TRACE(row.m_pszName);
        EXPECT_EQ(web::PercentEncodeSegment(row.m_strIn), row.m_strOut);
    }
}

TEST(WebTextTest, NamesFromLinksComeBackAsTheBotsBytes) {
    EXPECT_EQ(web::NameFromWeb("Ren\xC3\xA9"), "Ren\xE9");
    EXPECT_EQ(web::NameFromWeb("\xE2\x82\xAC"), "\x80");
    EXPECT_EQ(web::NameFromWeb("<script>"), "<script>");
    // Not UTF-8, or not in the code page: never more than a '?' each.
    EXPECT_EQ(web::NameFromWeb("\xFF\xFE"), "??");
    EXPECT_EQ(web::NameFromWeb("\xE4\xB8\xAD"), "?");
    // Overlong forms and surrogates are not what they imitate.
    EXPECT_EQ(web::NameFromWeb("\xC0\xAE\xC0\xAE"), "????");
    EXPECT_EQ(web::NameFromWeb("\xE0\x80\xAF"), "???");
    EXPECT_EQ(web::NameFromWeb("\xED\xA0\x80"), "???");
    EXPECT_EQ(web::NameFromWeb("\xC3"), "?");
    // What the page links to finds the same player again.
    std::string strName = "Ren\xE9 [\x80] <b>";
    EXPECT_EQ(web::NameFromWeb(web::WebText(strName)), strName);
}

TEST(WebTextTest, WritesUtcDates) {
    EXPECT_EQ(web::UtcText(0), "");
    EXPECT_EQ(web::UtcText(-5), "");
    EXPECT_EQ(web::UtcText(1), "1970-01-01T00:00:01Z");
    EXPECT_EQ(web::UtcText(951782400), "2000-02-29T00:00:00Z");
    EXPECT_EQ(web::UtcText(1709251199), "2024-02-29T23:59:59Z");
    EXPECT_EQ(web::UtcText(1735689600), "2025-01-01T00:00:00Z");
}

}  // namespace
