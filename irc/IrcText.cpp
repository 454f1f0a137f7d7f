#include "irc/IrcText.h"

#include "res/Resource.h"
#include "res/StringTable.h"

namespace irc {

namespace {

// (Split literals: a hex escape would swallow the digits after it.)
std::string Notice(const char* pszState) {
    return "\x03"
           "10" +
           res::LoadResString(res::IDS_APPNAME) + " \x03[\x03" + pszState + "\x03]";
}

}  // namespace

std::string LivenessPing() {
    return "PING :" + res::LoadResString(res::IDS_APPNAME);
}

std::string NoticeOffline() {
    return Notice("05OFFLINE");
}

std::string NoticePaused() {
    return Notice("07PAUSED");
}

std::string NickOf(std::string_view strText) {
    const size_t nBang = strText.find('!');
    if (nBang == std::string_view::npos) return {};
    return std::string(strText.substr(0, nBang));
}

std::string CommandOf(std::string_view strText) {
    const size_t nSpace = strText.find(' ');
    std::string_view rest = nSpace == std::string_view::npos ? strText : strText.substr(nSpace + 1);
    // The word ends at the next space or at the end of the text.
    return std::string(rest.substr(0, rest.find(' ')));
}

std::string LastWordOf(std::string_view strText) {
    const size_t nSpace = strText.rfind(' ');
    if (nSpace == std::string_view::npos) return std::string(strText);
    return std::string(strText.substr(nSpace + 1));
}

std::string StripLogColours(std::string_view strText) {
    std::string strOut;
    strOut.reserve(strText.size());
    for (size_t i = 0; i < strText.size();) {
        if (strText[i] != '\x03') {
            strOut += strText[i++];
            continue;
        }
        ++i;
        for (int nDigits = 0; nDigits < 2 && i < strText.size(); ++nDigits) {
            if (strText[i] < '0' || strText[i] > '9') break;
            ++i;
        }
    }
    return strOut;
}

std::string ShortenErrorText(std::string_view strText) {
    std::string strOut(strText);
    const size_t nParen = strText.find('(');
    if (nParen == std::string_view::npos) return strOut;
    const size_t nColon = strText.find(':');
    if (nColon == std::string_view::npos) return strOut.substr(nParen);
    if (nParen > nColon + 1) strOut.erase(nColon, nParen - nColon - 1);
    return strOut;
}

std::string_view AuthServiceOf(EAuthNetwork eNetwork) {
    switch (eNetwork) {
        case EAuthNetwork::Quakenet:
            return kQuakenetService;
        case EAuthNetwork::Gamesnet:
            return kGamesnetService;
        case EAuthNetwork::Sasl:
        case EAuthNetwork::None:
            break;
    }
    return {};
}

std::string Attribution() {
    return res::LoadResString(res::IDS_ATTRIBUTION);
}

std::string QuitLine(std::string_view strVersion) {
    std::string strLine = "QUIT :";
    strLine += strVersion;
    strLine += " /// ";
    strLine += Attribution();
    return strLine;
}

std::string NextAttemptText(uint32_t nDelayMs) {
    const uint32_t nSecs = nDelayMs / 1000 + (nDelayMs % 1000 != 0 ? 1 : 0);
    return "Next attempt in " + std::to_string(nSecs) + (nSecs == 1 ? " second" : " seconds");
}

std::string SkippedLinesText(uint32_t nSkipped) {
    return "(" + std::to_string(nSkipped) + (nSkipped == 1 ? " line" : " lines") +
           " skipped to keep the channel current)";
}

}  // namespace irc
