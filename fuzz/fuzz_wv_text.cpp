// The readers of our own .wv files and of text columns, and the readers of SDR programs' file
// names, on arbitrary bytes. The first byte chooses the reader. For the two file readers the
// next four bytes say how far the file runs beyond the bytes given, the rest are its first
// bytes; the name readers and the decimal text reader take the rest as the text.
// Oracles: a recognised file's header and trailer lie within the file and it has a format; a
// refusal has a reason; a rate or centre frequency from a name is finite and positive; the
// decimal reader accepts only texts whose letter it was allowed.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzzsupport.h"
#include "layouts/layouts.h"
#include "parser/valuechecks.h"

namespace {

void CheckFile(const LayoutReading &reading, int64_t fileSize)
{
    if (!reading.recognised) {
        FUZZ_CHECK(!reading.reason.empty(), "a refusal without a reason");
        return;
    }
    const LayoutFacts &facts = reading.facts;
    FUZZ_CHECK(facts.format.value.has_value(), "format missing");
    const int64_t header = facts.headerLength.value.value_or(0);
    const int64_t trailer = facts.trailerLength.value.value_or(0);
    FUZZ_CHECK(header >= 0 && trailer >= 0 && header <= fileSize && trailer <= fileSize - header,
               "header " + std::to_string(header) + ", trailer " + std::to_string(trailer) + ", file " +
                   std::to_string(fileSize));
}

void CheckText(std::string_view text)
{
    for (const auto &frequency : {Layouts_RateFromName(text), Layouts_CentreFromName(text)})
        FUZZ_CHECK(!frequency || (std::isfinite(*frequency) && *frequency > 0.0), "a frequency from a name");
    const std::string terminated(text.substr(0, std::min<size_t>(text.size(), 200)));
    if (terminated.find('\0') != std::string::npos) return;
    double value = 0.0;
    const bool plain =
        Parser_ReadDecimalText(terminated.c_str(), DecimalSuffixes::None, &value) == DecimalReading::Number;
    const bool lettered =
        Parser_ReadDecimalText(terminated.c_str(), DecimalSuffixes::Metric, &value) == DecimalReading::Number;
    FUZZ_CHECK(!plain || lettered, "a plain number refused where letters are allowed: " + terminated);
    FUZZ_CHECK(!plain || !Parser_HasMetricSuffix(terminated), "a letter read without being allowed: " + terminated);
    FUZZ_CHECK(!lettered || !std::isnan(value), "NaN from: " + terminated);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1) return 0;
    const int reader = data[0] % 3;
    const std::string_view rest(reinterpret_cast<const char *>(data + 1), size - 1);
    if (reader == 2) {
        CheckText(rest);
        return 0;
    }
    if (rest.size() < 4) return 0;
    uint32_t beyond = 0;
    std::memcpy(&beyond, rest.data(), 4);
    const std::string_view prefix = rest.substr(4, static_cast<size_t>(kLayoutPrefixBytes));
    const int64_t fileSize = static_cast<int64_t>(prefix.size()) + beyond;
    CheckFile(reader == 0 ? Layouts_ReadWv(prefix, fileSize) : Layouts_ReadTextColumns(prefix, fileSize), fileSize);
    return 0;
}
