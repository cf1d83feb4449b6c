// Rates and centre frequencies written in file names, taken only where they cannot be misread.

#include <cctype>
#include <charconv>
#include <cmath>
#include <string>

#include "layouts/layouts.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }

// A number "<digits>[.<digits>]" at `at`; `end` is set just after it.
std::optional<double> NumberAt(std::string_view name, size_t at, size_t &end)
{
    size_t k = at;
    while (k < name.size() && IsDigit(name[k])) ++k;
    if (k == at) return std::nullopt;
    if (k + 1 < name.size() && name[k] == '.' && IsDigit(name[k + 1])) {
        ++k;
        while (k < name.size() && IsDigit(name[k])) ++k;
    }
    double value = 0.0;
    std::from_chars(name.data() + at, name.data() + k, value);
    end = k;
    return value;
}

// The digits-only number of exactly `digits` digits (any count when 0) at `at`, followed by `next`.
bool DigitsThen(std::string_view name, size_t &at, size_t digits, char next)
{
    size_t k = at;
    while (k < name.size() && IsDigit(name[k])) ++k;
    if (k == at || (digits != 0 && k - at != digits) || k >= name.size() || name[k] != next) return false;
    at = k + 1;
    return true;
}

double Multiplier(char prefix)
{
    if (prefix == 'k') return 1e3;
    if (prefix == 'M') return 1e6;
    if (prefix == 'G') return 1e9;
    return 1.0;
}

bool EndsToken(std::string_view name, size_t at) { return at >= name.size() || !IsLetter(name[at]); }

struct CentreAndRate {
    double centre;
    double rate;
};

// rtl_433: "_<centre>M_<rate>k", the rate in kHz, then "_", "." or the end.
std::optional<CentreAndRate> Rtl433Pair(std::string_view name)
{
    for (size_t at = name.find('_'); at != std::string_view::npos; at = name.find('_', at + 1)) {
        size_t end = 0;
        const auto centre = NumberAt(name, at + 1, end);
        if (!centre || end + 1 >= name.size() || name[end] != 'M' || name[end + 1] != '_') continue;
        const auto rate = NumberAt(name, end + 2, end);
        if (!rate || end >= name.size() || name[end] != 'k') continue;
        if (end + 1 == name.size() || name[end + 1] == '_' || name[end + 1] == '.') return CentreAndRate{*centre * 1e6, *rate * 1e3};
    }
    return std::nullopt;
}

// gqrx: "gqrx_<date>_<time>_<centre Hz>_<rate Hz>_fc.raw".
std::optional<CentreAndRate> GqrxName(std::string_view name)
{
    if (!name.starts_with("gqrx_") || !name.ends_with("_fc.raw")) return std::nullopt;
    size_t at = 5;
    if (!DigitsThen(name, at, 8, '_') || !DigitsThen(name, at, 6, '_')) return std::nullopt;
    const size_t centreAt = at;
    if (!DigitsThen(name, at, 0, '_')) return std::nullopt;
    const size_t rateAt = at;
    if (!DigitsThen(name, at, 0, '_') || name.substr(at) != "fc.raw") return std::nullopt;
    size_t end = 0;
    return CentreAndRate{*NumberAt(name, centreAt, end), *NumberAt(name, rateAt, end)};
}

// A number with "sps", "Sps", "SPS" or "S/s" and an optional k, M or G before it.
std::optional<double> SamplesPerSecond(std::string_view name)
{
    for (size_t at = 0; at < name.size(); ++at) {
        if (!IsDigit(name[at]) || (at > 0 && (IsDigit(name[at - 1]) || name[at - 1] == '.'))) continue;
        size_t end = 0;
        const auto number = NumberAt(name, at, end);
        double factor = 1.0;
        if (end < name.size() && Multiplier(name[end]) != 1.0) factor = Multiplier(name[end++]);
        for (std::string_view unit : {"sps", "Sps", "SPS", "S/s"})
            if (name.substr(end).starts_with(unit) && EndsToken(name, end + unit.size())) return *number * factor;
    }
    return std::nullopt;
}

// "_<n>kHz", "_<n>MHz", "_<n>GHz", "_<n>Hz": a centre frequency as SDR programs write it.
std::optional<double> HertzToken(std::string_view name)
{
    for (size_t at = name.find('_'); at != std::string_view::npos; at = name.find('_', at + 1)) {
        size_t end = 0;
        const auto number = NumberAt(name, at + 1, end);
        if (!number) continue;
        double factor = 1.0;
        if (end < name.size() && Multiplier(name[end]) != 1.0) factor = Multiplier(name[end++]);
        if (name.substr(end).starts_with("Hz") && EndsToken(name, end + 2)) return *number * factor;
    }
    return std::nullopt;
}

// A frequency a name gives: "_0sps" or an overflowing number names none.
std::optional<double> Frequency(std::optional<double> hz)
{
    if (hz && std::isfinite(*hz) && *hz > 0.0) return hz;
    return std::nullopt;
}

std::optional<double> RateOf(std::string_view fileName)
{
    if (const auto pair = Rtl433Pair(fileName)) return pair->rate;
    if (const auto gqrx = GqrxName(fileName)) return gqrx->rate;
    return SamplesPerSecond(fileName);
}

std::optional<double> CentreOf(std::string_view fileName)
{
    if (const auto pair = Rtl433Pair(fileName)) return pair->centre;
    if (const auto gqrx = GqrxName(fileName)) return gqrx->centre;
    return HertzToken(fileName);
}

}  // namespace

std::optional<double> Layouts_RateFromName(std::string_view fileName) { return Frequency(RateOf(fileName)); }

std::optional<double> Layouts_CentreFromName(std::string_view fileName) { return Frequency(CentreOf(fileName)); }
