// Input: one received block of the update server's answer. The body is a
// tail of the block, the version line never holds a line feed, and the
// comparison is a strict order.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/UpdateCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    const std::string_view strResponse(reinterpret_cast<const char*>(pData), nSize);
    const std::string strBody = core::ExtractUpdateBody(strResponse);
    if (strBody.size() > strResponse.size()) abort();
    if (strResponse.substr(strResponse.size() - strBody.size()) != strBody) abort();

    const std::string strNewest = core::ReadNewestVersion(strBody);
    if (strNewest.find('\n') != std::string::npos) abort();
    if (!strNewest.empty() && strBody.compare(0, 7, "curVer=") != 0) abort();

    const std::string_view strOwn = "v1.3 BETA";
    const bool bNewer = core::IsNewerVersion(strNewest, strOwn);
    if (bNewer && core::IsNewerVersion(strOwn, strNewest)) abort();
    if (core::IsNewerVersion(strNewest, strNewest)) abort();
    if (bNewer != (strNewest > strOwn)) abort();  // std::string_view orders bytes unsigned
    if (bNewer && core::UpdateNoticeText(strOwn, strNewest).size() < strNewest.size()) abort();
    return 0;
}
