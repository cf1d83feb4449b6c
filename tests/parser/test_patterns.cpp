#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "parser/patterns.h"

namespace {

// The bytes in a heap buffer of exactly their size, so that a read past the end is caught by
// the address sanitizer.
std::vector<char> Exact(const std::string &bytes) { return std::vector<char>(bytes.begin(), bytes.end()); }

int Find(const std::string &bytes, const char *pattern, int margin = 0, int before = 0, int fromEnd = 0)
{
    const std::vector<char> buffer = Exact(bytes);
    return Parser_FindEscapeSequencePattern(buffer.data(), static_cast<int>(buffer.size()), pattern, margin, before,
                                            fromEnd);
}

TEST(Patterns, EscapesTranslateToControlBytes)
{
    std::string header(200, 'a');
    header.replace(40, 5, "END\r\n");
    header.replace(120, 5, "END\r\n");
    EXPECT_EQ(Find(header, "END\\r\\n"), 45);
    EXPECT_EQ(Find(header, "END\\r\\n", 0, 0, 1), 125);

    EXPECT_EQ(Find(std::string("xx\\t", 4), "\\t"), 4);          // backslash and t
    EXPECT_EQ(Find(std::string("xx\t", 3), "\\t"), -1);          // no tab escape
    EXPECT_EQ(Find(std::string("a\\b", 3), "\\\\b"), 3);         // \\ is one backslash
    EXPECT_EQ(Find(std::string("ab\0c", 4), "b\\0c"), 4);        // \0 is a NUL byte
    EXPECT_EQ(Find(std::string("ab\\", 3), "b\\"), 3);           // a trailing backslash stays
    EXPECT_EQ(Find(std::string("\\\\r", 3), "\\\\\\r"), -1);     // \\ then \r: backslash + CR
    EXPECT_EQ(Find(std::string("x\\\r", 3), "\\\\\\r"), 3);
    EXPECT_EQ(Find("AbC", "abc"), -1);                            // exact case
}

TEST(Patterns, FirstOrLastMatchBeforeOrAfterIt)
{
    const std::string bytes = "xxABxxABxx";
    EXPECT_EQ(Find(bytes, "AB", 0, 0, 0), 4);
    EXPECT_EQ(Find(bytes, "AB", 0, 1, 0), 1);
    EXPECT_EQ(Find(bytes, "AB", 0, 0, 1), 8);
    EXPECT_EQ(Find(bytes, "AB", 0, 1, 1), 5);
    EXPECT_EQ(Find("ABxx", "AB", 0, 1, 0), -1);  // just before index 0
    EXPECT_EQ(Find("xxAB", "AB", 0, 0, 0), 4);   // a match that ends the buffer
}

TEST(Patterns, MarginLeavesBothEndsOut)
{
    const std::string bytes = "ABxxxxxxAB";
    EXPECT_EQ(Find(bytes, "AB", 1), -1);
    EXPECT_EQ(Find(bytes, "AB", 0, 0, 1), 10);
    EXPECT_EQ(Find("xABxxxxxxx", "AB", 1), 3);
    EXPECT_EQ(Find(bytes, "AB", 1000), -1);
    EXPECT_EQ(Find(bytes, "AB", -3), 2);  // a negative margin counts as none
}

TEST(Patterns, DegenerateInputsReadNothingOutside)
{
    EXPECT_EQ(Find("abc", ""), -1);
    EXPECT_EQ(Find("abc", "abcd"), -1);
    EXPECT_EQ(Find("abc", "abc"), 3);
    EXPECT_EQ(Find("", "a"), -1);
    EXPECT_EQ(Find(std::string("\0\0", 2), "\\0\\0", 0, 0, 1), 2);
    EXPECT_EQ(Find(std::string("\0", 1), "\\0\\0\\0"), -1);
    EXPECT_EQ(Find(std::string(3, '\\'), "\\\\\\\\\\\\\\\\"), -1);  // four backslashes in three bytes
    EXPECT_EQ(Parser_FindEscapeSequencePattern(nullptr, 10, "a", 0, 0, 0), -1);
    EXPECT_EQ(Parser_FindEscapeSequencePattern("abc", 3, nullptr, 0, 0, 0), -1);
}

TEST(Patterns, MetaFindPatternReportsToTheTree)
{
    ConfigurationTree tree = Gui_NewConfigurationTree();
    const std::vector<char> buffer = Exact("head<c>text</c>tail");
    const int length = static_cast<int>(buffer.size());
    int position = 7;

    Parser_MetaFindPattern(tree, buffer.data(), length, "", 0, 0, 0, kItemCommentBegin, &position);
    EXPECT_EQ(tree.items[kItemCommentBegin].message, "Pattern missing");
    EXPECT_EQ(position, 7);
    EXPECT_EQ(tree.items[kItemMetadata].faultCounter, 0);

    Parser_MetaFindPattern(tree, buffer.data(), length, "<d>", 0, 0, 0, kItemCommentBegin, &position);
    EXPECT_EQ(tree.items[kItemCommentBegin].message, "Pattern not found");
    EXPECT_EQ(position, -1);

    Parser_MetaFindPattern(tree, buffer.data(), length, "<c>", 0, 0, 0, kItemCommentBegin, &position);
    EXPECT_EQ(tree.items[kItemCommentBegin].message, "");
    EXPECT_EQ(position, 7);
    EXPECT_EQ(tree.items[kItemMetadata].faultCounter, -1);
}

TEST(Patterns, SearchFromAPositionReachesTheEndOfTheBuffer)
{
    ConfigurationTree tree = Gui_NewConfigurationTree();
    std::string bytes(1000, '.');
    bytes.replace(600, 4, "</c>");
    const std::vector<char> buffer = Exact(bytes);
    int position = -1;
    // With the begin position as a margin the window would end at 1000 − 4 − 500 = 496.
    EXPECT_EQ(Parser_FindEscapeSequencePattern(buffer.data(), 1000, "</c>", 500, 1, 0), -1);
    Parser_MetaFindPatternFrom(tree, buffer.data(), 1000, "</c>", 1, 0, 500, kItemCommentEnd, &position);
    EXPECT_EQ(position, 599);
    Parser_MetaFindPatternFrom(tree, buffer.data(), 1000, "</c>", 1, 0, 601, kItemCommentEnd, &position);
    EXPECT_EQ(position, -1);
    EXPECT_EQ(tree.items[kItemCommentEnd].message, "Pattern not found");
    Parser_MetaFindPatternFrom(tree, buffer.data(), 1000, "</c>", 1, 0, 5000, kItemCommentEnd, &position);
    EXPECT_EQ(position, -1);
}

}  // namespace
