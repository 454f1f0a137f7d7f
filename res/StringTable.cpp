#include "res/StringTable.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace res {
namespace {

struct CStringEntry {
    int nId;
    const char* pszText;
};

// Windows-1252 bytes; non-ASCII letters as \xNN escapes (split a literal
// where a hex digit follows one). Ascending by id.
constexpr CStringEntry kStrings[] = {
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
    // English
    {46, "  [killed]  "},
    {47, " killed a teammate."},
    {48, " is no more."},
    {49, " killed himself."},
    {50, " captured a flag!"},
    {51, "Couldn't write to file."},
    {52, "Battlefield 1942 to IRC relay"},
    {53, "Check"},
    // German
    {146, " [erledigte] "},
    {147, " hat einen Kameraden auf dem Gewissen."},
    {148, " ist gefallen."},
    {149, " beging Selbstmord."},
    {150, " hat eine Flagge eingenommen!"},
    // French
    {246, " [a tu\xE9] "},
    {247, " a tu\xE9 un co\xE9quipier."},
    {248, " n'est plus."},
    {249, " s'est suicid\xE9."},
    {250, " a captur\xE9 un drapeau!"},
    // Spanish
    {346, " [ha matado] "},
    {347,
     " ha matado a un compa\xF1"
     "ero."},
    {348, " ha muerto."},
    {349, " se ha suicidado."},
    {350, " ha capturado una bandera!"},
    // Swedish
    {446,
     " [d\xF6"
     "dade] "},
    {447,
     " d\xF6"
     "dade en lagkamrat."},
    {448, " dog."},
    {449, " tog sj\xE4lvmord."},
    {450, " tog en flagga!"},
    // Icelandic
    {546, " [drap] "},
    {547, " drap li\xF0sf\xE9laga."},
    {548, " er ekki lifandi lengur."},
    {549, " drap sj\xE1lfansig."},
    {550, " n\xE1\xF0i flaggi!"},
    // Dutch
    {646, " [vermoorde] "},
    {647, " vermoorde een Teamlid."},
    {648, " is gestorven."},
    {649, " heeft zelfmoord gepleegd."},
    {650, " heeft een vlag bemachtigd!"},
    // Finnish
    {746, " [tappoi] "},
    {747, " tappoi oman sotilaan."},
    {748, " kuoli."},
    {749, " tappoi itsens\xE4."},
    {750, " valtasi lipun!"},
};

static_assert(std::is_sorted(std::begin(kStrings), std::end(kStrings),
                             [](const CStringEntry& a, const CStringEntry& b) {
                                 return a.nId < b.nId;
                             }),
              "the string table must stay sorted by id");

}  // namespace

std::string LoadResString(int nId) {
    const auto it =
        std::lower_bound(std::begin(kStrings), std::end(kStrings), nId,
                         [](const CStringEntry& entry, int nKey) { return entry.nId < nKey; });
    if (it == std::end(kStrings) || it->nId != nId) return std::string();
    return std::string(it->pszText);
}

std::vector<int> StringIds() {
    std::vector<int> ids;
    ids.reserve(std::size(kStrings));
    for (const CStringEntry& entry : kStrings) ids.push_back(entry.nId);
    return ids;
}

}  // namespace res
