// Data exchange: both directions, the fixed order, and a failed check
// stopping the transfer where it happened.
#include <gtest/gtest.h>

#include "framework/DataExchange.h"
#include "framework/MessageBox.h"
#include "tests/framework/TestPage.h"

using namespace fwtest;
using framework::CMessage;
using framework::EIcon;

namespace {

struct CIntRow {
    const char* m_pszName;
    const char* m_pszText;
    bool m_bValid;
    int32_t m_nValue;
};

TEST(ParseIntegerField, AcceptsOnlyBlanksSignDigitsBlanks) {
    const CIntRow rows[] = {
        {"plain", "42", true, 42},
        {"blanks around", "  42  ", true, 42},
        {"tabs around", "\t42\t", true, 42},
        {"minus", "-17", true, -17},
        {"plus", "+17", true, 17},
        {"leading zeros", "007", true, 7},
        {"largest", "2147483647", true, INT32_MAX},
        {"smallest", "-2147483648", true, INT32_MIN},
        {"empty", "", false, 0},
        {"only blanks", "   ", false, 0},
        {"only sign", "-", false, 0},
        {"trailing letter", "12a", false, 0},
        {"blank inside", "1 2", false, 0},
        {"sign after blank after sign", "- 5", false, 0},
        {"hex", "0x10", false, 0},
        {"decimal point", "1.5", false, 0},
        {"one past largest", "2147483648", false, 0},
        {"one past smallest", "-2147483649", false, 0},
        {"huge", "99999999999999999999999", false, 0},
        {"line feed", "5\n", false, 0},
    };
    for (const CIntRow& row : rows) {
        SCOPED_TRACE(row.m_pszName);
        const std::optional<int32_t> value = framework::ParseIntegerField(row.m_pszText);
        ASSERT_EQ(value.has_value(), row.m_bValid);
        if (row.m_bValid) {
            EXPECT_EQ(*value, row.m_nValue);
        }
    }
}

class DataExchangeTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_page.Create(m_sink)); }

    framework::CRecordingMessageSink m_sink;
    CTestPage m_page;
};

TEST_F(DataExchangeTest, LoadPutsEveryFieldIntoItsControl) {
    // Create ran the first load.
    EXPECT_EQ(m_page.GetItemText(kName), "alpha");
    EXPECT_EQ(m_page.GetItemText(kCount), "7");
    EXPECT_EQ(m_page.GetItemText(kPort), "23000");
    EXPECT_EQ(m_page.GetItemText(kColour), "04");
    EXPECT_EQ(m_page.GetLimitText(kColour), 2);
    EXPECT_EQ(m_page.GetCheck(kFlag), framework::BST_CHECKED);
    EXPECT_EQ(m_page.GetCurSel(kChoice), 2);
    EXPECT_TRUE(m_page.m_log.IsAttached());
    EXPECT_TRUE(m_page.m_tabs.IsAttached());

    m_page.m_nCount = -5;
    m_page.m_nPort = -25536;  // shown signed
    m_page.m_bFlag = 5;       // any value but 0 ticks the box
    m_page.m_nChoice = 3;     // out of range: no selection
    EXPECT_TRUE(m_page.UpdateData(false));
    EXPECT_EQ(m_page.GetItemText(kCount), "-5");
    EXPECT_EQ(m_page.GetItemText(kPort), "-25536");
    EXPECT_EQ(m_page.GetCheck(kFlag), framework::BST_CHECKED);
    EXPECT_EQ(m_page.GetCurSel(kChoice), -1);
    EXPECT_EQ(m_sink.Count(), 0u);
    EXPECT_EQ(m_page.UnknownIdUses(), 0u);
}

TEST_F(DataExchangeTest, SaveTakesEveryControlIntoItsField) {
    m_page.SetItemText(kName, "beta");
    m_page.SetItemText(kCount, " -12 ");
    m_page.SetItemText(kPort, "6667");
    m_page.SetItemText(kColour, "7");
    m_page.SetCheck(kFlag, framework::BST_UNCHECKED);
    m_page.SetCurSel(kChoice, 0);
    EXPECT_TRUE(m_page.UpdateData(true));
    EXPECT_EQ(m_page.m_strName, "beta");
    EXPECT_EQ(m_page.m_nCount, -12);
    EXPECT_EQ(m_page.m_nPort, 6667);
    EXPECT_EQ(m_page.m_strColour, "7");
    EXPECT_EQ(m_page.m_bFlag, 0);
    EXPECT_EQ(m_page.m_nChoice, 0);

    m_page.SetCheck(kFlag, framework::BST_CHECKED);
    m_page.SetCurSel(kChoice, -1);
    EXPECT_TRUE(m_page.UpdateData(true));
    EXPECT_EQ(m_page.m_bFlag, 1);
    EXPECT_EQ(m_page.m_nChoice, -1);
    EXPECT_EQ(m_sink.Count(), 0u);
}

TEST_F(DataExchangeTest, ShortTakesTheLowSixteenBits) {
    const struct {
        const char* m_pszText;
        int16_t m_nExpected;
    } rows[] = {
        {"70000", 4464}, {"40000", -25536}, {"65535", -1},    {"65536", 0},
        {"-1", -1},      {"-70000", -4464}, {"32767", 32767}, {"2147483647", -1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.m_pszText);
        m_page.SetItemText(kPort, row.m_pszText);
        ASSERT_TRUE(m_page.UpdateData(true));
        EXPECT_EQ(m_page.m_nPort, row.m_nExpected);
    }
}

TEST_F(DataExchangeTest, IntegerFailureStopsTheTransferThere) {
    // The fields before the bad one are taken; it and those after keep theirs.
    m_page.SetItemText(kName, "gamma");
    m_page.SetItemText(kCount, "12x");
    m_page.SetItemText(kPort, "1234");
    m_page.SetItemText(kColour, "99");
    m_page.SetCheck(kFlag, framework::BST_UNCHECKED);
    m_page.SetCurSel(kChoice, 0);
    m_page.FocusItem(kName);
    m_page.m_events.clear();

    EXPECT_FALSE(m_page.UpdateData(true));
    EXPECT_EQ(m_page.m_strName, "gamma");
    EXPECT_EQ(m_page.m_nCount, 7);
    EXPECT_EQ(m_page.m_nPort, 23000);
    EXPECT_EQ(m_page.m_strColour, "04");
    EXPECT_EQ(m_page.m_bFlag, 1);
    EXPECT_EQ(m_page.m_nChoice, 2);

    ASSERT_EQ(m_sink.Count(), 1u);
    EXPECT_EQ(m_sink.Last(), (CMessage{"Please enter an integer.", "fragrelay", EIcon::Warning}));
    EXPECT_EQ(m_page.GetFocusItem(), kCount);
    EXPECT_EQ(m_page.m_events, (std::vector<std::string>{"name-"}));
    // The controls keep what the operator typed, to be corrected.
    EXPECT_EQ(m_page.GetItemText(kCount), "12x");
}

TEST_F(DataExchangeTest, EmptyIntegerFieldIsNotAnInteger) {
    m_page.SetItemText(kPort, "");
    EXPECT_FALSE(m_page.UpdateData(true));
    EXPECT_EQ(m_page.m_nPort, 23000);
    EXPECT_EQ(m_page.GetFocusItem(), kPort);
    EXPECT_EQ(m_sink.Last().m_strText, "Please enter an integer.");
}

TEST_F(DataExchangeTest, TextOverItsLimitStopsTheTransferThere) {
    m_page.SetItemText(kColour, "123");  // a program may set more than the limit
    m_page.SetCheck(kFlag, framework::BST_UNCHECKED);
    EXPECT_FALSE(m_page.UpdateData(true));
    EXPECT_EQ(m_page.m_strColour, "04");
    EXPECT_EQ(m_page.m_bFlag, 1);
    EXPECT_EQ(m_sink.Last(),
              (CMessage{"Please enter no more than 2 characters.", "fragrelay", EIcon::Warning}));
    EXPECT_EQ(m_page.GetFocusItem(), kColour);

    m_page.SetItemText(kColour, "12");  // exactly at the limit
    EXPECT_TRUE(m_page.UpdateData(true));
    EXPECT_EQ(m_page.m_strColour, "12");
    EXPECT_EQ(m_page.m_bFlag, 0);
}

TEST_F(DataExchangeTest, TypingHonoursDigitsOnlyAndTheLimitBeforeTheTransfer) {
    EXPECT_EQ(m_page.TypeText(kPort, "6a6b6c7"), "6667");
    EXPECT_EQ(m_page.TypeText(kColour, "123"), "12");
    EXPECT_TRUE(m_page.UpdateData(true));
    EXPECT_EQ(m_page.m_nPort, 6667);
    EXPECT_EQ(m_page.m_strColour, "12");
}

TEST_F(DataExchangeTest, AtomicFieldsExchangeLikePlainOnes) {
    class CAtomicPage : public framework::CPage {
    public:
        CAtomicPage() : CPage(TestTemplate()) { SetMessageTitle("fragrelay"); }
        std::atomic<int32_t> m_nCount{3};
        std::atomic<int16_t> m_nPort{80};
        std::atomic<bool> m_bFlag{false};

    protected:
        void DoDataExchange(framework::CDataExchange& dx) override {
            dx.Int(kCount, m_nCount);
            dx.Short(kPort, m_nPort);
            dx.Check(kFlag, m_bFlag);
        }
    } page;
    ASSERT_TRUE(page.Create(m_sink));
    EXPECT_EQ(page.GetItemText(kCount), "3");
    page.SetItemText(kCount, "9");
    page.SetItemText(kPort, "70000");
    page.SetCheck(kFlag, framework::BST_CHECKED);
    EXPECT_TRUE(page.UpdateData(true));
    EXPECT_EQ(page.m_nCount.load(), 9);
    EXPECT_EQ(page.m_nPort.load(), 4464);
    EXPECT_TRUE(page.m_bFlag.load());

    page.SetItemText(kCount, "nine");
    page.SetItemText(kPort, "1");
    EXPECT_FALSE(page.UpdateData(true));
    EXPECT_EQ(page.m_nCount.load(), 9);
    EXPECT_EQ(page.m_nPort.load(), 4464);
}

TEST_F(DataExchangeTest, UnknownControlIsCountedAndSkipped) {
    class CTypoPage : public framework::CPage {
    public:
        CTypoPage() : CPage(TestTemplate()) { SetMessageTitle("fragrelay"); }
        std::string m_strA = "a";
        std::string m_strB = "b";

    protected:
        void DoDataExchange(framework::CDataExchange& dx) override {
            dx.Text(4242, m_strA);
            dx.Text(kName, m_strB);
        }
    } page;
    ASSERT_TRUE(page.Create(m_sink));
    EXPECT_EQ(page.GetItemText(kName), "b");
    EXPECT_EQ(page.UnknownIdUses(), 1u);
}

TEST(MessageSinks, PrintSinkWritesCaptionColonText) {
    std::FILE* pFile = std::tmpfile();
    ASSERT_NE(pFile, nullptr);
    framework::CPrintMessageSink sink(pFile);
    EXPECT_EQ(sink.ShowMessage({"Couldn't write to file.", "Error", EIcon::Error}),
              framework::IDOK);
    std::rewind(pFile);
    char buf[128] = {};
    const size_t n = std::fread(buf, 1, sizeof(buf) - 1, pFile);
    std::fclose(pFile);
    EXPECT_EQ(std::string(buf, n), "Error: Couldn't write to file.\n");
}

}  // namespace
