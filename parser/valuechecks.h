#pragma once
// Value checks of configuration texts. Each check writes its outcome into the configuration
// tree: on success the item's message is cleared and the item marked valid, and the value is
// stored through the out-parameter; on failure the out-parameter is left untouched, the item
// gets the check's message and is marked faulty. The result (1 valid, 0 not) repeats that mark;
// callers that act on the tree's marks (the branch checks) may leave it unread.

#include <cstdint>

#include "configuration/tree.h"

// Any non-empty text. "Value missing".
int Parser_CheckStringValue(ConfigurationTree &tree, const char *text, int item);

// Digits with an optional leading minus, min <= value <= max (32-bit).
// "Value missing", "Integer value expected", "Integer value between %d and %d expected".
int Parser_CheckIntegerValue(ConfigurationTree &tree, const char *text, int min, int max, int item, int *value);

// The same in 64 bits; "Integer value between %s and %s expected".
int Parser_CheckInteger64Value(ConfigurationTree &tree, const char *text, int64_t min, int64_t max, int item,
                               int64_t *value);

// Digits, at most one decimal point, an optional leading minus; min <= value <= max.
// "Value missing", "Numerical value expected", "Numerical value between %f and %f expected".
int Parser_CheckDoubleValue(ConfigurationTree &tree, const char *text, double min, double max, int item,
                            double *value);

// Clears the item's message and fault mark (an item the current configuration does not use).
void Parser_ClearItemCheck(ConfigurationTree &tree, int item);
