#include "res/Version.h"

#include "res/Resource.h"
#include "res/StringTable.h"

#ifndef FR_RELEASE_VERSION
#error "FR_RELEASE_VERSION comes from the build (project VERSION in CMakeLists.txt)"
#endif

namespace res {

std::string_view ReleaseVersion() {
    return FR_RELEASE_VERSION;
}

std::string VersionText(std::string_view strProgram) {
    std::string str(strProgram);
    str += " (" + LoadResString(IDS_APPNAME) + ") ";
    str += ReleaseVersion();
    str += "\nCopyright (c) 2026 the fragrelay developers.\nLicensed under the MIT License.\n";
    str += "\nThe bot's version text on IRC: " + LoadResString(IDS_VERSION) + "\n";
    return str;
}

}  // namespace res
