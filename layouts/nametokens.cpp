// Rates and centre frequencies written in file names, taken only where they cannot be misread.

#include <charconv>
#include <regex>
#include <string>

#include "layouts/layouts.h"

namespace {

double Number(const std::string &text)
{
    double value = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

double Multiplier(const std::string &prefix)
{
    if (prefix == "k") return 1e3;
    if (prefix == "M") return 1e6;
    if (prefix == "G") return 1e9;
    return 1.0;
}

// rtl_433: "_<centre>M_<rate>k", the rate in kHz.
const std::regex &Rtl433Pair()
{
    static const std::regex pattern(R"(_([0-9]+(?:\.[0-9]+)?)M_([0-9]+(?:\.[0-9]+)?)k(?:[_.]|$))");
    return pattern;
}

// gqrx: "gqrx_<date>_<time>_<centre Hz>_<rate Hz>_fc.raw".
const std::regex &GqrxName()
{
    static const std::regex pattern(R"(^gqrx_[0-9]{8}_[0-9]{6}_([0-9]+)_([0-9]+)_fc\.raw$)");
    return pattern;
}

// A number with "sps", "Sps", "SPS" or "S/s" and an optional k, M or G before it.
const std::regex &SamplesPerSecond()
{
    static const std::regex pattern(R"((?:^|[^0-9.])([0-9]+(?:\.[0-9]+)?)([kMG]?)(?:sps|Sps|SPS|S/s)(?![A-Za-z]))");
    return pattern;
}

// "_<n>kHz", "_<n>MHz", "_<n>Hz": a centre frequency as SDR programs write it.
const std::regex &HertzToken()
{
    static const std::regex pattern(R"(_([0-9]+(?:\.[0-9]+)?)([kMG]?)Hz(?![A-Za-z]))");
    return pattern;
}

}  // namespace

std::optional<double> Layouts_RateFromName(std::string_view fileName)
{
    const std::string name(fileName);
    std::smatch match;
    if (std::regex_search(name, match, Rtl433Pair())) return Number(match[2]) * 1e3;
    if (std::regex_search(name, match, GqrxName())) return Number(match[2]);
    if (std::regex_search(name, match, SamplesPerSecond())) return Number(match[1]) * Multiplier(match[2]);
    return std::nullopt;
}

std::optional<double> Layouts_CentreFromName(std::string_view fileName)
{
    const std::string name(fileName);
    std::smatch match;
    if (std::regex_search(name, match, Rtl433Pair())) return Number(match[1]) * 1e6;
    if (std::regex_search(name, match, GqrxName())) return Number(match[1]);
    if (std::regex_search(name, match, HertzToken())) return Number(match[1]) * Multiplier(match[2]);
    return std::nullopt;
}
