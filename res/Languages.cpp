#include "res/Languages.h"

#include "res/Resource.h"
#include "res/StringTable.h"

namespace res {

const std::vector<std::string>& LanguageNames() {
    static const std::vector<std::string> kNames = {
        "English", "German", "French", "Spanish", "Swedish", "Icelandic", "Dutch", "Finnish",
    };
    return kNames;
}

int32_t PhraseBase(int32_t nLanguage) {
    if (nLanguage < 0 || nLanguage >= kLanguageCount) return kNoPhraseBase;
    return nLanguage * res::IDS_LANGUAGE_STRIDE;
}

std::string LoadPhrase(int32_t nLangBase, EPhrase ePhrase) {
    // Only a language's own base: base 0 plus a stray offset would reach
    // the other strings of the table.
    if (nLangBase < 0 || nLangBase % res::IDS_LANGUAGE_STRIDE != 0 ||
        nLangBase / res::IDS_LANGUAGE_STRIDE >= kLanguageCount) {
        return std::string();
    }
    return res::LoadResString(nLangBase + static_cast<int32_t>(ePhrase));
}

std::string LanguagePhrase(int32_t nLanguage, EPhrase ePhrase) {
    return LoadPhrase(PhraseBase(nLanguage), ePhrase);
}

}  // namespace res
