// Parser_ExtractTextValueFromBuffer for the three text formats on arbitrary text.
// Oracle: the same result, offset, length and value as the C library's strtol (base 10 or 16,
// saturated to 32 bits) or strtod in the "C" locale, tried at up to 50 start positions.
// Also Parser_ScanPlainTextValues on the same text, against that search value by value.

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <string>
#include <vector>

#include "fuzzsupport.h"
#include "parser/formats.h"

namespace {

constexpr int kStartPositions = 50;

locale_t CLocale()
{
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t{});
    return locale;
}

// Characters consumed and value of the C library's parse at `start`.
int ReferenceParse(int code, const char *start, double *value)
{
    char *end = nullptr;
    if (code == kTextFloatingPoint) {
        *value = strtod_l(start, &end, CLocale());
    } else {
        const long parsed = strtol_l(start, &end, code == kTextHexadecimal ? 16 : 10, CLocale());
        const long saturated = parsed < INT32_MIN ? INT32_MIN : (parsed > INT32_MAX ? INT32_MAX : parsed);
        *value = static_cast<double>(saturated);
    }
    return static_cast<int>(end - start);
}

int Reference(int code, const char *text, double *value, int *offset, int *length)
{
    *value = 0.0;
    *length = 0;
    for (int p = 0; p < kStartPositions && text[p] != '\0' && *length == 0; ++p) {
        *offset = p;
        *length = ReferenceParse(code, text + p, value);
    }
    if (*length == 0) *value = 0.0;
    return *length != 0 ? 1 : 0;
}

bool SameValue(double a, double b)
{
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The batch scan from the start of the text must take the values the search finds one after
// the other, bit for bit, ending where they end.
void CheckScan(int code, const std::string &text)
{
    constexpr int kMaxValues = 64;
    std::vector<char> padded(text.begin(), text.end());
    padded.push_back('\0');
    padded.insert(padded.end(), kTextScanPadding, '5');
    double values[kMaxValues];
    int64_t ends[kMaxValues];
    const auto size = static_cast<int64_t>(text.size());
    const int scanned = Parser_ScanPlainTextValues(code, padded.data(), 0, size, kMaxValues, values, ends);
    FUZZ_CHECK(scanned >= 0 && scanned <= kMaxValues, "scan count " + std::to_string(scanned));
    int64_t k = 0;
    for (int v = 0; v < scanned; ++v) {
        double value = 0.0;
        int offset = 0, length = 0;
        const std::string detail = "scan code " + std::to_string(code) + " value " + std::to_string(v);
        FUZZ_CHECK(Parser_ExtractTextValueFromBuffer(code, padded.data() + k, &value, &offset, &length) == 1, detail);
        FUZZ_CHECK(ends[v] == k + offset + length && ends[v] < size, detail + " end " + std::to_string(ends[v]));
        FUZZ_CHECK(SameValue(values[v], value), detail);
        k = ends[v];
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0) return 0;
    const int code = data[0] % 3;
    const std::string text(reinterpret_cast<const char *>(data) + 1, size - 1);  // NUL-terminated by c_str

    double value = -1.0, expectedValue = -1.0;
    int offset = -1, length = -1, expectedOffset = -1, expectedLength = -1;
    const int found = Parser_ExtractTextValueFromBuffer(code, text.c_str(), &value, &offset, &length);
    const int expected = Reference(code, text.c_str(), &expectedValue, &expectedOffset, &expectedLength);

    const std::string detail = "code " + std::to_string(code) + " text '" + text.substr(0, 80) + "'";
    FUZZ_CHECK(found == expected, detail);
    FUZZ_CHECK(length == expectedLength, detail + " length " + std::to_string(length));
    FUZZ_CHECK(SameValue(value, expectedValue), detail);
    if (found) FUZZ_CHECK(offset == expectedOffset, detail + " offset " + std::to_string(offset));
    CheckScan(code, text);
    return 0;
}
