#pragma once
// /metrics in the Prometheus text exposition format (version 0.0.4). Pure.
#include <string>
#include <string_view>

#include "web/WebModel.h"

namespace web {

// Every family with its HELP and TYPE lines, label values escaped.
std::string MetricsText(const CWebMetrics& metrics);

// A label value as the format wants it: Windows-1252 converted to UTF-8
// (control bytes, line feeds among them, to U+FFFD), backslash and double
// quote escaped.
std::string EscapeLabelValue(std::string_view strCp1252);

}  // namespace web
