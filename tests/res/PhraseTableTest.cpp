// The event phrases of all eight languages, byte for byte in Windows-1252
// (typed here on their own, so that a wrong byte in the string table shows),
// the language list, and phrase bases that no language has.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <ostream>
#include <string>

#include "dialogs/DialogTemplates.h"
#include "res/Languages.h"
#include "res/Resource.h"
#include "res/StringTable.h"

namespace {

using res::EPhrase;

struct CPhraseRow {
    const char* m_pszName;
    int32_t m_nLanguage;
    EPhrase m_ePhrase;
    int m_nStringId;
    const char* m_pszBytes;
};

// Literals are split where a hex escape is followed by a letter a-f.
const CPhraseRow kPhrases[] = {
    {"English_Kill", 0, EPhrase::Kill, 46, "  [killed]  "},
    {"English_Teamkill", 0, EPhrase::Teamkill, 47, " killed a teammate."},
    {"English_Death", 0, EPhrase::Death, 48, " is no more."},
    {"English_Suicide", 0, EPhrase::Suicide, 49, " killed himself."},
    {"English_Flag", 0, EPhrase::Flag, 50, " captured a flag!"},
    {"German_Kill", 1, EPhrase::Kill, 146, " [erledigte] "},
    {"German_Teamkill", 1, EPhrase::Teamkill, 147, " hat einen Kameraden auf dem Gewissen."},
    {"German_Death", 1, EPhrase::Death, 148, " ist gefallen."},
    {"German_Suicide", 1, EPhrase::Suicide, 149, " beging Selbstmord."},
    {"German_Flag", 1, EPhrase::Flag, 150, " hat eine Flagge eingenommen!"},
    {"French_Kill", 2, EPhrase::Kill, 246, " [a tu\xE9] "},
    {"French_Teamkill", 2, EPhrase::Teamkill, 247, " a tu\xE9 un co\xE9quipier."},
    {"French_Death", 2, EPhrase::Death, 248, " n'est plus."},
    {"French_Suicide", 2, EPhrase::Suicide, 249, " s'est suicid\xE9."},
    {"French_Flag", 2, EPhrase::Flag, 250, " a captur\xE9 un drapeau!"},
    {"Spanish_Kill", 3, EPhrase::Kill, 346, " [ha matado] "},
    {"Spanish_Teamkill", 3, EPhrase::Teamkill, 347,
     " ha matado a un compa\xF1"
     "ero."},
    {"Spanish_Death", 3, EPhrase::Death, 348, " ha muerto."},
    {"Spanish_Suicide", 3, EPhrase::Suicide, 349, " se ha suicidado."},
    {"Spanish_Flag", 3, EPhrase::Flag, 350, " ha capturado una bandera!"},
    {"Swedish_Kill", 4, EPhrase::Kill, 446,
     " [d\xF6"
     "dade] "},
    {"Swedish_Teamkill", 4, EPhrase::Teamkill, 447,
     " d\xF6"
     "dade en lagkamrat."},
    {"Swedish_Death", 4, EPhrase::Death, 448, " dog."},
    {"Swedish_Suicide", 4, EPhrase::Suicide, 449, " tog sj\xE4lvmord."},
    {"Swedish_Flag", 4, EPhrase::Flag, 450, " tog en flagga!"},
    {"Icelandic_Kill", 5, EPhrase::Kill, 546, " [drap] "},
    {"Icelandic_Teamkill", 5, EPhrase::Teamkill, 547, " drap li\xF0sf\xE9laga."},
    {"Icelandic_Death", 5, EPhrase::Death, 548, " er ekki lifandi lengur."},
    {"Icelandic_Suicide", 5, EPhrase::Suicide, 549, " drap sj\xE1lfansig."},
    {"Icelandic_Flag", 5, EPhrase::Flag, 550, " n\xE1\xF0i flaggi!"},
    {"Dutch_Kill", 6, EPhrase::Kill, 646, " [vermoorde] "},
    {"Dutch_Teamkill", 6, EPhrase::Teamkill, 647, " vermoorde een Teamlid."},
    {"Dutch_Death", 6, EPhrase::Death, 648, " is gestorven."},
    {"Dutch_Suicide", 6, EPhrase::Suicide, 649, " heeft zelfmoord gepleegd."},
    {"Dutch_Flag", 6, EPhrase::Flag, 650, " heeft een vlag bemachtigd!"},
    {"Finnish_Kill", 7, EPhrase::Kill, 746, " [tappoi] "},
    {"Finnish_Teamkill", 7, EPhrase::Teamkill, 747, " tappoi oman sotilaan."},
    {"Finnish_Death", 7, EPhrase::Death, 748, " kuoli."},
    {"Finnish_Suicide", 7, EPhrase::Suicide, 749, " tappoi itsens\xE4."},
    {"Finnish_Flag", 7, EPhrase::Flag, 750, " valtasi lipun!"},
};

void PrintTo(const CPhraseRow& row, std::ostream* pOut) {
    *pOut << row.m_pszName;
}

class PhraseTable : public testing::TestWithParam<CPhraseRow> {};

TEST_P(PhraseTable, StringAndLookupHoldTheExactBytes) {
    const CPhraseRow& row = GetParam();
    const std::string strExpected = row.m_pszBytes;
    EXPECT_EQ(res::LoadResString(row.m_nStringId), strExpected);
    EXPECT_EQ(res::LanguagePhrase(row.m_nLanguage, row.m_ePhrase), strExpected);
    EXPECT_EQ(res::LoadPhrase(res::PhraseBase(row.m_nLanguage), row.m_ePhrase), strExpected);
}

INSTANTIATE_TEST_SUITE_P(AllLanguages, PhraseTable, testing::ValuesIn(kPhrases),
                         [](const testing::TestParamInfo<CPhraseRow>& info) {
                             return std::string(info.param.m_pszName);
                         });

TEST(Languages, ListInIndexOrderMatchesTheGameTabsList) {
    const std::vector<std::string> expected = {"English", "German",    "French", "Spanish",
                                               "Swedish", "Icelandic", "Dutch",  "Finnish"};
    EXPECT_EQ(res::LanguageNames(), expected);
    EXPECT_EQ(static_cast<int>(expected.size()), res::kLanguageCount);

    const framework::CDialogTemplate* pGame = dialogs::FindDialogTemplate(res::IDD_GAME);
    ASSERT_NE(pGame, nullptr);
    const framework::CControlTemplate* pList = pGame->Find(res::IDC_GAME_LANGUAGE);
    ASSERT_NE(pList, nullptr);
    EXPECT_EQ(pList->m_items, expected);
}

TEST(Languages, PhraseBaseIsIndexTimesHundred) {
    for (int32_t n = 0; n < res::kLanguageCount; ++n) {
        EXPECT_EQ(res::PhraseBase(n), n * 100) << "index " << n;
    }
}

TEST(Languages, IndexOutsideTheListHasNoPhrases) {
    // -1 is no selection; the others come only from a hand-edited file.
    const struct {
        const char* m_pszName;
        int32_t m_nLanguage;
    } kRows[] = {{"NoSelection", -1},
                 {"JustPastFinnish", 8},
                 {"Large", 100},
                 {"MaxInt", INT32_MAX},
                 {"MinInt", INT32_MIN}};
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.m_pszName);
        EXPECT_EQ(res::PhraseBase(row.m_nLanguage), res::kNoPhraseBase);
        for (int nRole = 46; nRole <= 50; ++nRole) {
            EXPECT_EQ(res::LanguagePhrase(row.m_nLanguage, static_cast<EPhrase>(nRole)), "");
        }
    }
    EXPECT_EQ(res::kNoPhraseBase, -100);
}

TEST(Languages, BaseThatIsNoLanguagesGivesEmptyPhrase) {
    // Base 7 + 46 is the Check caption, base 800 lies past Finnish.
    const int32_t kBases[] = {7, -100, 800, 150, INT32_MAX, INT32_MIN};
    for (const int32_t nBase : kBases) {
        EXPECT_EQ(res::LoadPhrase(nBase, EPhrase::Kill), "") << "base " << nBase;
        EXPECT_EQ(res::LoadPhrase(nBase, EPhrase::Flag), "") << "base " << nBase;
    }
}

}  // namespace
