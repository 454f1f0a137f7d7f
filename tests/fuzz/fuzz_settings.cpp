// Input: the bytes of a settings file. Reading must give the same values
// whole and in pieces, and what is written from them must read back as
// the same values.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "config/SettingsFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    const std::string_view strText(reinterpret_cast<const char*>(pData), nSize);
    const config::CSettings values = config::ParseSettings(strText);

    // Pieces of a size the input chooses, so chunk borders fall everywhere.
    const size_t nChunk = nSize == 0 ? 1 : 1 + pData[0] % 17;
    config::CSettingsParser parser;
    for (size_t i = 0; i < nSize; i += nChunk) parser.Feed(strText.substr(i, nChunk));
    parser.Finish();
    if (!(parser.Values() == values)) abort();

    // Read values hold no blank, line feed or NUL, and every line they came
    // from fitted the limit: writing them loses nothing.
    const std::string strWritten = config::FormatSettings(values);
    if (!(config::ParseSettings(strWritten) == values)) abort();
    if (config::FormatSettings(config::ParseSettings(strWritten)) != strWritten) abort();
    return 0;
}
