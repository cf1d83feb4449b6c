#pragma once
// Search patterns with escape sequences (\\ \0 \r \n) in the metadata previews.

#include "configuration/tree.h"

// Searches buffer[0 .. length-1] for the translated pattern, leaving `margin` bytes out at both
// ends; the first match (fromEnd 0) or the last (fromEnd 1). Returns the index just after the
// match (before 0) or just before it (before 1); -1 when there is none. An empty pattern
// matches nothing.
[[nodiscard]] int Parser_FindEscapeSequencePattern(const char *buffer, int length, const char *pattern, int margin, int before,
                                     int fromEnd);

// Searches one preview of `length` bytes for a configured pattern and reports to tree item
// `item`: empty pattern "Pattern missing" (position untouched), no match "Pattern not found"
// (position -1), a match clears the item and stores the result in *position.
void Parser_MetaFindPattern(ConfigurationTree &tree, const char *buffer, int length, const char *pattern,
                            int before, int fromEnd, int margin, int item, int *position);

// The same, but the match may start anywhere from index `from` (>= 0) to the end of the
// preview: the search for a suffix that follows a prefix found at `from`.
void Parser_MetaFindPatternFrom(ConfigurationTree &tree, const char *buffer, int length, const char *pattern,
                                int before, int fromEnd, int from, int item, int *position);
