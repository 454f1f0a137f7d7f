#pragma once
// The announcement languages and their event phrases. A language's five
// phrases sit in the string table at its phrase base (index * 100) plus 46
// to 50. All pure; any thread.
#include <cstdint>
#include <string>
#include <vector>

#include "res/Resource.h"  // kLanguageCount

namespace res {

// The game tab's language list, in index order: "English" (0) to
// "Finnish" (7).
const std::vector<std::string>& LanguageNames();

// The five event phrases, by their offset from the phrase base.
enum class EPhrase : int32_t {
    Kill = 46,      // stands between the killer's and the victim's names
    Teamkill = 47,  // follows the name of a player who killed a teammate
    Death = 48,     // follows the name of a player no killer accounts for
    Suicide = 49,   // follows the name of a player who killed himself
    Flag = 50,      // follows the name of a player who took a flag
    // Status texts of the game server's outage, said once each per outage.
    ServerDown = 54,  // the game server stopped answering
    ServerBack = 55,  // it answers again
};

// The base that no selection (-1) has, whose phrases are all empty.
constexpr int32_t kNoPhraseBase = -100;

// index * 100 for a language index 0..7. Any other index, -1 for no
// selection included, gives kNoPhraseBase: a hand-edited index can neither
// overflow the product nor land on a string that is not a phrase.
int32_t PhraseBase(int32_t nLanguage);

// The phrase at a base that PhraseBase gave; an empty text for any base
// that is not a language's.
std::string LoadPhrase(int32_t nLangBase, EPhrase ePhrase);

// The phrase of a language index; empty outside 0..7.
std::string LanguagePhrase(int32_t nLanguage, EPhrase ePhrase);

}  // namespace res
