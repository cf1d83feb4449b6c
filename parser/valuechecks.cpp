#include "parser/valuechecks.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <limits>
#include <string>

#include "parser/formats.h"

namespace {

constexpr const char *kValueMissing = "Value missing";
constexpr const char *kIntegerExpected = "Integer value expected";
constexpr const char *kNumberExpected = "Numerical value expected";
constexpr const char *kUsePointExpected = "Numerical value expected (use a point as decimal separator)";

// printf-style formatting into a string of any length ("%f" of a large bound is long).
__attribute__((format(printf, 1, 2))) std::string Format(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(needed > 0 ? static_cast<size_t>(needed) : 0, '\0');
    if (needed > 0) std::vsnprintf(text.data(), text.size() + 1, format, args);
    va_end(args);
    return text;
}

void Fail(ConfigurationTree &tree, int item, const std::string &message)
{
    Gui_SetConfigurationTreeItemMessage(tree, item, message);
}

bool IsEmpty(const char *text) { return text == nullptr || text[0] == '\0'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Digits, with a minus sign allowed only as the first character.
bool HasIntegerCharacters(const char *text)
{
    for (int i = 0; text[i] != '\0'; ++i) {
        const char c = text[i];
        if (c == '-' && i == 0) continue;
        if (!IsDigit(c)) return false;
    }
    return true;
}

const char *SkipDigits(const char *c, int *digits)
{
    for (; IsDigit(*c); ++c) ++*digits;
    return c;
}

// The power of ten a multiplier letter stands for; 0 for any other character.
int MetricPower(char c)
{
    switch (c) {
    case 'k': return 3;
    case 'M': return 6;
    case 'G': return 9;
    default: return 0;
    }
}

// Whether `text` has the form Parser_ReadDecimalText reads. *suffixPower receives the power of
// ten of a closing multiplier letter, 0 without one.
bool IsDecimalText(const char *text, DecimalSuffixes suffixes, int *suffixPower)
{
    *suffixPower = 0;
    const char *c = text;
    if (*c == '-') ++c;
    int digits = 0;
    c = SkipDigits(c, &digits);
    if (*c == '.') c = SkipDigits(c + 1, &digits);
    if (*c == '\0') return true;
    if (digits == 0) return false;
    if (*c == 'e' || *c == 'E') {
        ++c;
        if (*c == '+' || *c == '-') ++c;
        int exponentDigits = 0;
        c = SkipDigits(c, &exponentDigits);
        return exponentDigits > 0 && *c == '\0';
    }
    if (suffixes == DecimalSuffixes::Metric) *suffixPower = MetricPower(*c);
    return *suffixPower != 0 && c[1] == '\0';
}

// Converts text that passed HasIntegerCharacters like atoi/atoll would, but reports a value
// that does not fit into 64 bits instead of overflowing. A lone minus sign gives 0.
bool ToInt64(const char *text, int64_t *value)
{
    const bool negative = text[0] == '-';
    // Accumulate towards the negative side: its range is one larger than the positive one.
    int64_t result = 0;
    constexpr int64_t lowest = std::numeric_limits<int64_t>::min();
    for (const char *p = text + (negative ? 1 : 0); *p != '\0'; ++p) {
        const int digit = *p - '0';
        if (result < (lowest + digit) / 10) return false;
        result = result * 10 - digit;
    }
    if (!negative) {
        if (result == lowest) return false;
        result = -result;
    }
    *value = result;
    return true;
}

enum class IntegerText { Reported, OutOfRange, InRange };

// The part of the integer checks they share. A missing or non-integer text is reported here; a
// text out of [min, max] (or beyond 64 bits) is left to the caller, which words the range.
IntegerText CheckIntegerText(ConfigurationTree &tree, const char *text, int64_t min, int64_t max, int item,
                             int64_t *value)
{
    if (IsEmpty(text)) {
        Fail(tree, item, kValueMissing);
        return IntegerText::Reported;
    }
    if (!HasIntegerCharacters(text)) {
        Fail(tree, item, kIntegerExpected);
        return IntegerText::Reported;
    }
    return ToInt64(text, value) && *value >= min && *value <= max ? IntegerText::InRange : IntegerText::OutOfRange;
}

}  // namespace

int Parser_CheckStringValue(ConfigurationTree &tree, const char *text, int item)
{
    if (IsEmpty(text)) {
        Fail(tree, item, kValueMissing);
        return 0;
    }
    Parser_ClearItemCheck(tree, item);
    return 1;
}

int Parser_CheckIntegerValue(ConfigurationTree &tree, const char *text, int min, int max, int item, int *value)
{
    int64_t converted = 0;
    const IntegerText check = CheckIntegerText(tree, text, min, max, item, &converted);
    if (check == IntegerText::OutOfRange) Fail(tree, item, Format("Integer value between %d and %d expected", min, max));
    if (check != IntegerText::InRange) return 0;
    *value = static_cast<int>(converted);
    Parser_ClearItemCheck(tree, item);
    return 1;
}

int Parser_CheckInteger64Value(ConfigurationTree &tree, const char *text, int64_t min, int64_t max, int item,
                               int64_t *value)
{
    int64_t converted = 0;
    const IntegerText check = CheckIntegerText(tree, text, min, max, item, &converted);
    if (check == IntegerText::OutOfRange) {
        char minText[21];
        char maxText[21];
        Parser_Int64ToString(min, minText);
        Parser_Int64ToString(max, maxText);
        Fail(tree, item, Format("Integer value between %s and %s expected", minText, maxText));
    }
    if (check != IntegerText::InRange) return 0;
    *value = converted;
    Parser_ClearItemCheck(tree, item);
    return 1;
}

bool Parser_HasMetricSuffix(std::string_view text) { return !text.empty() && MetricPower(text.back()) != 0; }

DecimalReading Parser_ReadDecimalText(const char *text, DecimalSuffixes suffixes, double *value)
{
    if (IsEmpty(text)) return DecimalReading::Missing;
    int suffixPower = 0;
    if (!IsDecimalText(text, suffixes, &suffixPower)) {
        std::string pointed = text;
        std::replace(pointed.begin(), pointed.end(), ',', '.');
        return pointed != text && IsDecimalText(pointed.c_str(), suffixes, &suffixPower) ? DecimalReading::DecimalComma
                                                                                         : DecimalReading::NotANumber;
    }
    // The letter is read as the exponent it stands for, so that "2.4M" gives exactly what
    // "2.4e6" gives.
    std::string number = text;
    if (suffixPower != 0) {
        number.back() = 'e';
        number.push_back(static_cast<char>('0' + suffixPower));  // 3, 6 or 9
    }
    // A text without digits holds no number for the parser and reads as 0.
    double converted = 0.0;
    int offset = 0;
    int length = 0;
    if (Parser_ExtractTextValueFromBuffer(kTextFloatingPoint, number.c_str(), &converted, &offset, &length) == 0)
        converted = 0.0;
    *value = converted;
    return DecimalReading::Number;
}

int Parser_CheckDoubleValue(ConfigurationTree &tree, const char *text, double min, double max, int item,
                            double *value, DecimalSuffixes suffixes)
{
    double converted = 0.0;
    switch (Parser_ReadDecimalText(text, suffixes, &converted)) {
    case DecimalReading::Missing: Fail(tree, item, kValueMissing); return 0;
    case DecimalReading::DecimalComma: Fail(tree, item, kUsePointExpected); return 0;
    case DecimalReading::NotANumber: Fail(tree, item, kNumberExpected); return 0;
    case DecimalReading::Number: break;
    }
    // An exponent or digits beyond the double range convert to infinity; it must not pass.
    if (!std::isfinite(converted) || converted < min || converted > max) {
        Fail(tree, item, Format("Numerical value between %f and %f expected", min, max));
        return 0;
    }
    *value = converted;
    Parser_ClearItemCheck(tree, item);
    return 1;
}

void Parser_ClearItemCheck(ConfigurationTree &tree, int item)
{
    Gui_SetConfigurationTreeItemMessage(tree, item, std::string());
}
