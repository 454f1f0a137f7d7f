// The string table: every id the program uses, byte-exact Windows-1252.
#include <gtest/gtest.h>

#include <climits>

#include "platform/Text.h"
#include "res/Resource.h"
#include "res/StringTable.h"

using res::LoadResString;

namespace {

struct CStringRow {
    int m_nId;
    const char* m_pszText;
};

TEST(StringTable, EveryOperatorTextTheProgramUses) {
    const CStringRow rows[] = {
        {1, "Connect"},
        {2, "Disconnect"},
        {3, "Pause"},
        {4, "Unpause"},
        {5, "Start Broadcast"},
        {6, "Stop Broadcast"},
        {7, "Apply"},
        {8, "Quit"},
        {9, "0 - white"},
        {10, "1 - black"},
        {11, "2 - blue"},
        {12, "3 - green"},
        {13, "4 - lightred"},
        {14, "5 - brown"},
        {15, "6 - purple"},
        {16, "7 - orange"},
        {17, "8 - yellow"},
        {18, "9 - lightgreen"},
        {19, "10 - cyan"},
        {20, "11 - lightcyan"},
        {21, "12 - lightblue"},
        {22, "13 - pink"},
        {23, "14 - grey"},
        {24, "15 - lightgrey"},
        {25, "KILL- allied color:"},
        {26, "FLAG - allied color:"},
        {27, "KILL - axis color:"},
        {28, "FLAG - axis color:"},
        {29, "STATUS - color:"},
        {30, "SETTINGS - key color:"},
        {31, "SETTINGS - value color:"},
        {32, "fragrelay"},
        {37, "Couldn't create Socket!"},
        {38, "Couldn't find Server! Check the Portsettings."},
        {39, "Couldn't find Server at this IP!"},
        {40, "Fill out all Inputfields!"},
        {41, "Error"},
        {42, "v1.3 BETA"},
        {43, "fragrelay"},
        {44, "Connection closed/refused."},
        {45, "Server timed out."},
        {51, "Couldn't write to file."},
        {53, "Check"},
    };
    for (const CStringRow& row : rows) {
        EXPECT_EQ(LoadResString(row.m_nId), row.m_pszText) << "string " << row.m_nId;
    }
    // The attribution is ours to word, but must exist and fit in one line.
    const std::string strAttribution = LoadResString(res::IDS_ATTRIBUTION);
    EXPECT_FALSE(strAttribution.empty());
    EXPECT_EQ(strAttribution.find_first_of("\r\n\x01"), std::string::npos);
}

struct CPhraseRow {
    const char* m_pszName;
    int m_nLanguage;
    // Kill, teamkill, death, suicide, flag capture, written in UTF-8 here
    // and stored as Windows-1252 in the table.
    const char* m_pszPhrases[5];
};

TEST(StringTable, EventPhrasesOfAllEightLanguages) {
    const CPhraseRow rows[] = {
        {"English",
         0,
         {"  [killed]  ", " killed a teammate.", " is no more.", " killed himself.",
          " captured a flag!"}},
        {"German",
         1,
         {" [erledigte] ", " hat einen Kameraden auf dem Gewissen.", " ist gefallen.",
          " beging Selbstmord.", " hat eine Flagge eingenommen!"}},
        {"French",
         2,
         {" [a tué] ", " a tué un coéquipier.", " n'est plus.", " s'est suicidé.",
          " a capturé un drapeau!"}},
        {"Spanish",
         3,
         {" [ha matado] ", " ha matado a un compañero.", " ha muerto.", " se ha suicidado.",
          " ha capturado una bandera!"}},
        {"Swedish",
         4,
         {" [dödade] ", " dödade en lagkamrat.", " dog.", " tog självmord.", " tog en flagga!"}},
        {"Icelandic",
         5,
         {" [drap] ", " drap liðsfélaga.", " er ekki lifandi lengur.", " drap sjálfansig.",
          " náði flaggi!"}},
        {"Dutch",
         6,
         {" [vermoorde] ", " vermoorde een Teamlid.", " is gestorven.",
          " heeft zelfmoord gepleegd.", " heeft een vlag bemachtigd!"}},
        {"Finnish",
         7,
         {" [tappoi] ", " tappoi oman sotilaan.", " kuoli.", " tappoi itsensä.",
          " valtasi lipun!"}},
    };
    for (const CPhraseRow& row : rows) {
        for (int nRole = 0; nRole < 5; ++nRole) {
            const int nId =
                row.m_nLanguage * res::IDS_LANGUAGE_STRIDE + res::IDS_PHRASE_KILL + nRole;
            EXPECT_EQ(LoadResString(nId), platform::Utf8ToCp1252(row.m_pszPhrases[nRole]))
                << row.m_pszName << ", string " << nId;
        }
    }
}

TEST(StringTable, LettersOutsideAsciiAreSingleWindows1252Bytes) {
    const CStringRow rows[] = {
        {246, " [a tu\xE9] "},
        {250, " a captur\xE9 un drapeau!"},
        {347,
         " ha matado a un compa\xF1"
         "ero."},
        {446,
         " [d\xF6"
         "dade] "},
        {449, " tog sj\xE4lvmord."},
        {547, " drap li\xF0sf\xE9laga."},
        {550, " n\xE1\xF0i flaggi!"},
        {749, " tappoi itsens\xE4."},
    };
    for (const CStringRow& row : rows) {
        EXPECT_EQ(LoadResString(row.m_nId), row.m_pszText) << "string " << row.m_nId;
    }
    // No text may hold UTF-8 by mistake (its lead bytes 0xC2/0xC3 spell
    // letters none of our texts use).
    for (const int nId : res::StringIds()) {
        const std::string str = LoadResString(nId);
        EXPECT_FALSE(str.empty()) << "string " << nId;
        EXPECT_EQ(str.find_first_of("\xC2\xC3"), std::string::npos) << "string " << nId;
    }
}

TEST(StringTable, UnknownIdsGiveAnEmptyText) {
    const int ids[] = {0,   -1,  -46, 33,  34,  35,   36,      56,     99,
                       100, 145, 151, 846, 850, 1000, INT_MAX, INT_MIN};
    for (const int nId : ids) EXPECT_EQ(LoadResString(nId), "") << "string " << nId;
    // Language -1 (nothing selected) gives empty phrases.
    for (int nRole = 46; nRole <= 50; ++nRole) EXPECT_EQ(LoadResString(-100 + nRole), "");
}

TEST(StringTable, HoldsExactlyTheNamedIds) {
    std::vector<int> expected;
    for (int nId = 1; nId <= 32; ++nId) expected.push_back(nId);
    for (int nId = 37; nId <= 55; ++nId) expected.push_back(nId);
    for (int nRole = res::IDS_STATS_FIRST; nRole <= res::IDS_STATS_LAST; ++nRole)
        expected.push_back(nRole);
    for (int nLanguage = 1; nLanguage < res::kLanguageCount; ++nLanguage) {
        for (int nRole = 46; nRole <= 50; ++nRole) expected.push_back(nLanguage * 100 + nRole);
        for (int nRole : {res::IDS_PHRASE_SERVER_DOWN, res::IDS_PHRASE_SERVER_BACK})
            expected.push_back(nLanguage * 100 + nRole);
        for (int nRole = res::IDS_STATS_FIRST; nRole <= res::IDS_STATS_LAST; ++nRole)
            expected.push_back(nLanguage * 100 + nRole);
    }
    EXPECT_EQ(res::StringIds(), expected);
}

}  // namespace
