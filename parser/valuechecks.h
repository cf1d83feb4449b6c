#pragma once
// Value checks of configuration texts. Each check writes its outcome into the configuration
// tree: on success the item's message is cleared and the item marked valid, and the value is
// stored through the out-parameter; on failure the out-parameter is left untouched, the item
// gets the check's message and is marked faulty. The result (1 valid, 0 not) repeats that mark;
// callers that act on the tree's marks (the branch checks) may leave it unread.

#include <cstdint>
#include <string_view>

#include "configuration/tree.h"

// Any non-empty text. "Value missing".
int Parser_CheckStringValue(ConfigurationTree &tree, const char *text, int item);

// Digits with an optional leading minus, min <= value <= max (32-bit).
// "Value missing", "Integer value expected", "Integer value between %d and %d expected".
int Parser_CheckIntegerValue(ConfigurationTree &tree, const char *text, int min, int max, int item, int *value);

// The same in 64 bits; "Integer value between %s and %s expected".
int Parser_CheckInteger64Value(ConfigurationTree &tree, const char *text, int64_t min, int64_t max, int item,
                               int64_t *value);

// Which multiplier letters a decimal text may end with.
enum class DecimalSuffixes {
    None,
    Metric,  // k, M or G: the number times 1e3, 1e6 or 1e9 (a rate "2.4M" is "2.4e6")
};

// What a decimal text holds.
enum class DecimalReading {
    Number,        // a number, in *value
    Missing,       // an empty text
    DecimalComma,  // no number, but one if its commas were points ("0,25")
    NotANumber,
};

// Reads a decimal text: an optional leading minus, digits with at most one decimal point, then
// either an exponent (e or E, an optional sign, digits) or, when `suffixes` allows it, one
// multiplier letter. Texts without digits ("", "-", ".") read as 0 as they always have; the
// exponent and the letter need digits before them. The number is converted exactly as strtod
// converts it in the "C" locale, whatever the program's locale. *value is set only for Number.
// This is the one reader of decimal configuration texts: every check below, and so the
// analysis, the runs, the command line's --set and loaded configuration files, read through it.
[[nodiscard]] DecimalReading Parser_ReadDecimalText(const char *text, DecimalSuffixes suffixes, double *value);

// Whether a decimal text ends in a multiplier letter (k, M or G), which Metric suffixes allow.
[[nodiscard]] bool Parser_HasMetricSuffix(std::string_view text);

// A decimal text (Parser_ReadDecimalText) with min <= value <= max. "Value missing",
// "Numerical value expected" (with "(use a point as decimal separator)" added for a decimal
// comma), "Numerical value between %f and %f expected".
int Parser_CheckDoubleValue(ConfigurationTree &tree, const char *text, double min, double max, int item,
                            double *value, DecimalSuffixes suffixes = DecimalSuffixes::None);

// Clears the item's message and fault mark (an item the current configuration does not use).
void Parser_ClearItemCheck(ConfigurationTree &tree, int item);
