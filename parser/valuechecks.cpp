#include "parser/valuechecks.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

#include "parser/formats.h"

namespace {

constexpr const char *kValueMissing = "Value missing";
constexpr const char *kIntegerExpected = "Integer value expected";
constexpr const char *kNumberExpected = "Numerical value expected";

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

// Digits, with a minus sign allowed only as the first character.
bool HasIntegerCharacters(const char *text)
{
    for (int i = 0; text[i] != '\0'; ++i) {
        const char c = text[i];
        if (c == '-' && i == 0) continue;
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// Digits, at most one decimal point, a minus sign only as the first character.
bool HasDecimalCharacters(const char *text)
{
    int points = 0;
    for (int i = 0; text[i] != '\0'; ++i) {
        const char c = text[i];
        if (c == '-' && i == 0) continue;
        if (c == '.' && ++points == 1) continue;
        if (c < '0' || c > '9') return false;
    }
    return true;
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

int Parser_CheckDoubleValue(ConfigurationTree &tree, const char *text, double min, double max, int item,
                            double *value)
{
    if (IsEmpty(text)) {
        Fail(tree, item, kValueMissing);
        return 0;
    }
    if (!HasDecimalCharacters(text)) {
        Fail(tree, item, kNumberExpected);
        return 0;
    }
    // A digit string beyond the double range converts to infinity; it must not pass.
    const double converted = std::atof(text);
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
