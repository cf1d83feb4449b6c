#include "parser/patterns.h"

#include <cstring>
#include <string>

namespace {

// The bytes a pattern text stands for: \\ is a backslash, \0 a NUL, \r a carriage return and
// \n a line feed. A backslash before anything else (or at the end) is kept as it is, and the
// character after it is read on its own.
std::string TranslateEscapes(const char *pattern)
{
    std::string bytes;
    for (const char *p = pattern; *p != '\0'; ++p) {
        if (*p != '\\') {
            bytes.push_back(*p);
            continue;
        }
        switch (p[1]) {
        case '\\': bytes.push_back('\\'); ++p; break;
        case '0': bytes.push_back('\0'); ++p; break;
        case 'r': bytes.push_back('\r'); ++p; break;
        case 'n': bytes.push_back('\n'); ++p; break;
        default: bytes.push_back('\\'); break;
        }
    }
    return bytes;
}

// Candidate start positions of a search: from `first` up to length − pattern bytes − `endMargin`.
struct SearchWindow {
    long long first;
    long long endMargin;
};

// Looks for `bytes` at the window's start positions, upwards or (fromEnd) downwards. Positions
// are clipped to where the whole pattern lies inside the buffer, so nothing outside it is read.
int FindBytes(const char *buffer, int length, const std::string &bytes, SearchWindow window, int before,
              int fromEnd)
{
    const long long n = static_cast<long long>(bytes.size());
    if (buffer == nullptr || n == 0 || length <= 0) return -1;
    const long long first = window.first < 0 ? 0 : window.first;
    const long long last = length - n - (window.endMargin < 0 ? 0 : window.endMargin);
    if (first > last) return -1;
    const long long step = fromEnd ? -1 : 1;
    for (long long p = fromEnd ? last : first; p >= first && p <= last; p += step) {
        if (std::memcmp(buffer + p, bytes.data(), static_cast<size_t>(n)) == 0)
            return static_cast<int>(before ? p - 1 : p + n);
    }
    return -1;
}

void ReportSearch(ConfigurationTree &tree, const char *buffer, int length, const char *pattern,
                  SearchWindow window, int before, int fromEnd, int item, int *position)
{
    if (pattern == nullptr || pattern[0] == '\0') {
        Gui_SetConfigurationTreeItemMessage(tree, item, "Pattern missing");
        return;
    }
    const int result = FindBytes(buffer, length, TranslateEscapes(pattern), window, before, fromEnd);
    *position = result;
    Gui_SetConfigurationTreeItemMessage(tree, item, result == -1 ? "Pattern not found" : "");
}

}  // namespace

int Parser_FindEscapeSequencePattern(const char *buffer, int length, const char *pattern, int margin, int before,
                                     int fromEnd)
{
    if (pattern == nullptr) return -1;
    return FindBytes(buffer, length, TranslateEscapes(pattern), {margin, margin}, before, fromEnd);
}

void Parser_MetaFindPattern(ConfigurationTree &tree, const char *buffer, int length, const char *pattern,
                            int before, int fromEnd, int margin, int item, int *position)
{
    ReportSearch(tree, buffer, length, pattern, {margin, margin}, before, fromEnd, item, position);
}

void Parser_MetaFindPatternFrom(ConfigurationTree &tree, const char *buffer, int length, const char *pattern,
                                int before, int fromEnd, int from, int item, int *position)
{
    ReportSearch(tree, buffer, length, pattern, {from, 0}, before, fromEnd, item, position);
}
