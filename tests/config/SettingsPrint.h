#pragma once
// Failures print settings values as the file would hold them.
#include <ostream>

#include "config/SettingsFormat.h"

namespace config {
inline void PrintTo(const CSettings& values, std::ostream* pOut) {
    *pOut << "\n" << FormatSettings(values);
}
}  // namespace config
