// Pattern translation and search (Parser_FindEscapeSequencePattern and the tree-reporting
// searches built on it) on arbitrary buffers, patterns, margins and directions.
// Oracle: a pattern found is really at the returned position, inside the margins, and it is the
// first (or, searching from the end, the last) such place; "not found" means there is none.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <string>

#include "configuration/tree.h"
#include "fuzzsupport.h"
#include "parser/patterns.h"

namespace {

// The bytes the pattern stands for, written independently of the parser: \\ \0 \r \n are
// escapes, a backslash before anything else stays a backslash.
std::string Translate(const std::string &pattern)
{
    std::string bytes;
    for (size_t k = 0; k < pattern.size() && pattern[k] != '\0'; ++k) {
        if (pattern[k] == '\\' && k + 1 < pattern.size()) {
            const char next = pattern[k + 1];
            const char *escapes = "\\0rn";
            const char *meaning = "\\\0\r\n";
            const char *hit = next != '\0' ? std::strchr(escapes, next) : nullptr;
            if (hit) {
                bytes.push_back(meaning[hit - escapes]);
                ++k;
                continue;
            }
        }
        bytes.push_back(pattern[k]);
    }
    return bytes;
}

bool MatchesAt(const std::string &buffer, long long at, const std::string &bytes)
{
    return at >= 0 && at + static_cast<long long>(bytes.size()) <= static_cast<long long>(buffer.size()) &&
           buffer.compare(static_cast<size_t>(at), bytes.size(), bytes) == 0;
}

// Every start position the search may use: from `first` to length - n - endMargin.
long long ExpectedStart(const std::string &buffer, int length, const std::string &bytes, long long first,
                        long long endMargin, bool fromEnd)
{
    const long long n = static_cast<long long>(bytes.size());
    if (n == 0 || length <= 0) return -1;
    const long long low = std::max(0LL, first);
    const long long high = length - n - std::max(0LL, endMargin);
    if (fromEnd) {
        for (long long p = high; p >= low; --p)
            if (MatchesAt(buffer, p, bytes)) return p;
    } else {
        for (long long p = low; p <= high; ++p)
            if (MatchesAt(buffer, p, bytes)) return p;
    }
    return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider provider(data, size);
    const int before = provider.ConsumeBool() ? 1 : 0;
    const int fromEnd = provider.ConsumeBool() ? 1 : 0;
    const int margin = provider.ConsumeIntegralInRange<int>(-4, 64);
    const std::string pattern = provider.ConsumeRandomLengthString(100);
    const std::string buffer = provider.ConsumeRemainingBytesAsString();
    // The searched length never exceeds the buffer, as in the previews.
    const int length = static_cast<int>(buffer.size());

    const std::string bytes = Translate(pattern);
    const std::string detail = "pattern '" + pattern + "' margin " + std::to_string(margin);

    const int found = Parser_FindEscapeSequencePattern(buffer.data(), length, pattern.c_str(), margin, before, fromEnd);
    const long long start = ExpectedStart(buffer, length, bytes, margin, margin, fromEnd);
    const long long expected = start < 0 ? -1 : (before ? start - 1 : start + static_cast<long long>(bytes.size()));
    FUZZ_CHECK(found == expected, detail + " found " + std::to_string(found) + " expected " + std::to_string(expected));
    if (found != -1 || start == 0) {
        const long long at = before ? found + 1 : found - static_cast<long long>(bytes.size());
        FUZZ_CHECK(MatchesAt(buffer, at, bytes), detail);
    }

    // The searches that report to the tree, from a position inside the buffer.
    static ConfigurationTree tree = Gui_NewConfigurationTree();
    int position = -7;
    Parser_MetaFindPattern(tree, buffer.data(), length, pattern.c_str(), before, fromEnd, margin, kItemHeaderValue,
                           &position);
    if (pattern.c_str()[0] == '\0') {
        FUZZ_CHECK(position == -7, "an empty pattern leaves the position");
    } else {
        FUZZ_CHECK(position == expected, detail);
    }
    const int from = length > 0 ? margin % (length + 1) : 0;
    position = -7;
    Parser_MetaFindPatternFrom(tree, buffer.data(), length, pattern.c_str(), before, fromEnd, std::max(0, from),
                               kItemCommentEnd, &position);
    if (pattern.c_str()[0] != '\0') {
        const long long fromStart = ExpectedStart(buffer, length, bytes, std::max(0, from), 0, fromEnd);
        const long long fromExpected =
            fromStart < 0 ? -1 : (before ? fromStart - 1 : fromStart + static_cast<long long>(bytes.size()));
        FUZZ_CHECK(position == fromExpected, detail + " from " + std::to_string(from));
    }
    return 0;
}
