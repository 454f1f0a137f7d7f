#include "web/WebModel.h"

namespace web {

namespace {

constexpr std::pair<ETopMetric, std::string_view> kMetricWords[] = {
    {ETopMetric::Kills, "kills"},
    {ETopMetric::KillsPerDeath, "kd"},
    {ETopMetric::Flags, "flags"},
    {ETopMetric::Teamkills, "tk"},
};

constexpr std::pair<ETopPeriod, std::string_view> kPeriodWords[] = {
    {ETopPeriod::Today, "today"},
    {ETopPeriod::Week, "week"},
    {ETopPeriod::All, "all"},
};

}  // namespace

std::string_view TopMetricWord(ETopMetric eMetric) {
    for (const auto& [e, word] : kMetricWords)
        if (e == eMetric) return word;
    return {};
}

std::string_view TopPeriodWord(ETopPeriod ePeriod) {
    for (const auto& [e, word] : kPeriodWords)
        if (e == ePeriod) return word;
    return {};
}

std::optional<ETopMetric> ParseTopMetric(std::string_view strWord) {
    for (const auto& [e, word] : kMetricWords)
        if (word == strWord) return e;
    return std::nullopt;
}

std::optional<ETopPeriod> ParseTopPeriod(std::string_view strWord) {
    for (const auto& [e, word] : kPeriodWords)
        if (word == strWord) return e;
    return std::nullopt;
}

}  // namespace web
