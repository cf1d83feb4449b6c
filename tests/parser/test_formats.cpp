#include <gtest/gtest.h>

#include <bit>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "parser/formats.h"

namespace {

struct TextResult {
    int found = 0;
    double value = 0.0;
    int offset = 0;
    int length = 0;
};

TextResult Extract(int code, const std::string &text)
{
    TextResult r;
    r.found = Parser_ExtractTextValueFromBuffer(code, text.c_str(), &r.value, &r.offset, &r.length);
    return r;
}

// The search done the plain way: strtol or strtod from each of the first 50 positions.
TextResult ExtractWithCLibrary(int code, const char *text)
{
    TextResult r;
    for (int p = 0; p < 50 && text[p] != '\0'; ++p) {
        char *end = nullptr;
        double value = 0.0;
        if (code == kTextFloatingPoint) {
            value = std::strtod(text + p, &end);
        } else {
            const long parsed = std::strtol(text + p, &end, code == kTextInteger ? 10 : 16);
            value = static_cast<double>(std::clamp<long>(parsed, INT32_MIN, INT32_MAX));
        }
        if (end != text + p) {
            r.found = 1;
            r.value = value;
            r.offset = p;
            r.length = static_cast<int>(end - (text + p));
            return r;
        }
    }
    return r;
}

double Binary(int code, const std::vector<uint8_t> &bytes, int swapBytes, int64_t index = 0)
{
    double value = -12345.0;
    Parser_ExtractBinaryValueFromBuffer(code, bytes.data(), index, swapBytes, &value);
    return value;
}

std::string Int64Text(int64_t value)
{
    char text[21];
    std::memset(text, 'x', sizeof text);
    Parser_Int64ToString(value, text);
    return text;
}

}  // namespace

TEST(FormatTable, CodesTextsAndSizesLookUpExactly)
{
    const char *texts[kFormatCount] = {"Text Integer", "Text Floating Point", "Text Hexadecimal",
                                       "32 Bit Float", "64 Bit Float", "8 Bit Integer",
                                       "8 Bit Unsigned Integer", "16 Bit Integer", "16 Bit Unsigned Integer",
                                       "32 Bit Integer", "32 Bit Unsigned Integer", "64 Bit Integer",
                                       "64 Bit Unsigned Integer"};
    const int sizes[kFormatCount] = {-1, -1, -1, 4, 8, 1, 1, 2, 2, 4, 4, 8, 8};
    for (int code = 0; code < kFormatCount; ++code) {
        int found = -5, bytes = -5;
        Parser_GetFormatFromString(texts[code], &found, &bytes);
        EXPECT_EQ(found, code) << texts[code];
        EXPECT_EQ(bytes, sizes[code]) << texts[code];
        EXPECT_EQ(kFormats[code].displayText, texts[code]);
        EXPECT_EQ(Parser_IsTextFormat(code), code <= 2);
    }
    for (const char *unknown : {"", "16 bit integer", "16 Bit Integer ", "Text"}) {
        int found = -5, bytes = -5;
        Parser_GetFormatFromString(unknown, &found, &bytes);
        EXPECT_EQ(found, kUInt64) << unknown;
        EXPECT_EQ(bytes, 8) << unknown;
    }
}

TEST(TextValues, SeparatorsAndTheFiftyPositionSearch)
{
    TextResult r = Extract(kTextFloatingPoint, "  , -1.25e3;");
    EXPECT_EQ(r.found, 1);
    EXPECT_EQ(r.value, -1250.0);
    EXPECT_EQ(r.offset, 3);
    EXPECT_EQ(r.length, 8);

    EXPECT_EQ(Extract(kTextInteger, std::string(60, 'a')).found, 0);
    EXPECT_EQ(Extract(kTextInteger, std::string(49, 'a') + "7").value, 7.0);
    EXPECT_EQ(Extract(kTextInteger, std::string(50, 'a') + "7").found, 0);
    // A long run of white space counts as one start position when a value follows it.
    r = Extract(kTextInteger, "a" + std::string(200, ' ') + "12");
    EXPECT_EQ(r.value, 12.0);
    EXPECT_EQ(r.offset, 1);
    EXPECT_EQ(r.length, 202);

    // Only white space before the NUL: nothing is found, and nothing behind the NUL is read.
    const char whiteThenNumber[] = " \t\r\n\v\f \0 42";
    for (int code = 0; code <= 2; ++code) {
        double value = 9.0;
        int offset = 9, length = 9;
        EXPECT_EQ(Parser_ExtractTextValueFromBuffer(code, whiteThenNumber, &value, &offset, &length), 0);
        EXPECT_EQ(value, 0.0);
        EXPECT_EQ(length, 0);
    }
    EXPECT_EQ(Extract(kTextFloatingPoint, "").found, 0);
    EXPECT_EQ(Extract(kFloat32, "1.0").found, 0);  // not a text format
}

TEST(TextValues, IntegerHexadecimalAndFloatingPointSemantics)
{
    TextResult r = Extract(kTextInteger, "1.5");
    EXPECT_EQ(r.value, 1.0);
    EXPECT_EQ(r.length, 1);
    r = Extract(kTextInteger, ".5");
    EXPECT_EQ(r.value, 5.0);
    EXPECT_EQ(r.offset, 1);

    EXPECT_EQ(Extract(kTextHexadecimal, "1F").value, 31.0);
    EXPECT_EQ(Extract(kTextHexadecimal, "FFFFFFFF").value, 2147483647.0);
    EXPECT_EQ(Extract(kTextHexadecimal, "-1A").value, -26.0);
    EXPECT_EQ(Extract(kTextHexadecimal, "0x7fffffff").value, 2147483647.0);
    EXPECT_EQ(Extract(kTextHexadecimal, "-0X80000000").value, -2147483648.0);
    r = Extract(kTextHexadecimal, "0xg");  // the 0 alone is the number
    EXPECT_EQ(r.value, 0.0);
    EXPECT_EQ(r.length, 1);

    EXPECT_EQ(Extract(kTextInteger, "2147483648").value, 2147483647.0);
    EXPECT_EQ(Extract(kTextInteger, "-2147483649").value, -2147483648.0);
    EXPECT_EQ(Extract(kTextInteger, "-99999999999999999999999").value, -2147483648.0);
    EXPECT_EQ(Extract(kTextInteger, "-99999999999999999999999").length, 24);

    r = Extract(kTextFloatingPoint, "1e+x");
    EXPECT_EQ(r.value, 1.0);
    EXPECT_EQ(r.length, 1);
    EXPECT_EQ(Extract(kTextFloatingPoint, "0x1p3").value, 8.0);
    EXPECT_EQ(Extract(kTextFloatingPoint, "-INFINITY").value, -HUGE_VAL);
    EXPECT_TRUE(std::isnan(Extract(kTextFloatingPoint, "nan(12)").value));
    EXPECT_TRUE(std::signbit(Extract(kTextFloatingPoint, "-0.0").value));
    EXPECT_EQ(Extract(kTextFloatingPoint, "1e999").value, HUGE_VAL);
}

// The fast parsers must agree with strtol/strtod on value (bit for bit, sign of zero
// included), on whether a value is found, where it starts and how much is consumed.
TEST(TextValues, FastParsersAgreeWithTheCLibraryOnATrickyCorpus)
{
    const std::vector<std::string> tokens = {
        " ", "  ", "\t", "\n", "\r\n", "\v", "\f", ",", ";", "[", "]", "x", "X", "e", "E", "p", "+", "-",
        ".", "..", "0", "00", "1", "9", "0.", ".5", "1.", "1e", "1e+", "1e-", "1E5", "e5", "1.e5",
        "2147483647", "2147483648", "-2147483648", "-2147483649", "4294967296", "99999999999",
        "7fffffff", "80000000", "FFFFFFFF", "100000000", "0x", "0X", "0x1p3", "0x1.8p-2", "0xAbC",
        "0x.8", "0xp1", "inf", "INF", "infinity", "Infinit", "nan", "NaN", "nan(abc_1)", "nan(",
        "1.7976931348623157e308", "1.7976931348623159e308", "4.9e-324", "2.4703282292062327e-324",
        "2.4703282292062328e-324", "2.2250738585072011e-308", "1e-400", "1e400", "1e0000000000000000005",
        "9007199254740993", "0.1000000000000000055511151231257827021181583404541015625",
        "123456789012345678901234567890", "0.000000000000000000000000000000001", "a", "f", "g", "z"};
    std::mt19937_64 random(20240531);
    auto randomDigits = [&](int count) {
        std::string digits;
        for (int i = 0; i < count; ++i) digits += static_cast<char>('0' + random() % 10);
        return digits;
    };
    const std::string alphabet = "0123456789+-.eExXpPaAbcdfFinNtyY() \t\n\v\f\r,;";

    int checked = 0;
    for (int sample = 0; sample < 60000; ++sample) {
        std::string text;
        const int kind = static_cast<int>(random() % 5);
        if (kind == 4) {
            // Numbers as programs print them, with every precision.
            const char *formats[] = {"%.*f", "%.*e", "%.*g", "%.*E"};
            const double magnitude = std::ldexp(static_cast<double>(random() % 1000000) / 1000000.0,
                                                static_cast<int>(random() % 200) - 100);
            char printed[400];
            std::snprintf(printed, sizeof printed, formats[random() % 4], static_cast<int>(random() % 25),
                          random() % 2 ? -magnitude : magnitude);
            text = printed;
        } else if (kind == 0) {
            for (int t = 1 + static_cast<int>(random() % 6); t > 0; --t) text += tokens[random() % tokens.size()];
        } else if (kind == 1) {
            for (int n = static_cast<int>(random() % 40); n > 0; --n) text += alphabet[random() % alphabet.size()];
        } else {
            // Numbers built from random parts, with long mantissas now and then.
            const int lengths[] = {0, 1, 2, 5, 9, 15, 17, 19, 20, 25, 40, 120, 400};
            if (random() % 3 == 0) text += std::string(random() % 4, ' ');
            if (random() % 3 == 0) text += random() % 2 ? "-" : "+";
            text += randomDigits(lengths[random() % std::size(lengths)]);
            if (random() % 2) {
                text += '.';
                text += randomDigits(lengths[random() % std::size(lengths)]);
            }
            if (random() % 2) {
                text += random() % 2 ? "e" : "E";
                if (random() % 2) text += random() % 2 ? "-" : "+";
                text += randomDigits(static_cast<int>(random() % 5));
            }
            if (kind == 3) text += alphabet[random() % alphabet.size()] + randomDigits(3);
        }
        for (int code = 0; code <= 2; ++code) {
            for (size_t start = 0; start <= text.size(); start += 1 + text.size() / 3) {
                const char *at = text.c_str() + start;
                const TextResult expected = ExtractWithCLibrary(code, at);
                TextResult got;
                got.found = Parser_ExtractTextValueFromBuffer(code, at, &got.value, &got.offset, &got.length);
                ASSERT_EQ(got.found, expected.found) << "code " << code << " text '" << at << "'";
                if (expected.found == 0) continue;
                ASSERT_EQ(got.offset, expected.offset) << "code " << code << " text '" << at << "'";
                ASSERT_EQ(got.length, expected.length) << "code " << code << " text '" << at << "'";
                if (std::isnan(expected.value)) {
                    ASSERT_TRUE(std::isnan(got.value)) << at;
                } else {
                    ASSERT_EQ(std::bit_cast<uint64_t>(got.value), std::bit_cast<uint64_t>(expected.value))
                        << "code " << code << " text '" << at << "' got " << got.value << " expected "
                        << expected.value;
                }
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 100000);
}

constexpr int kScanWindowBytes = 64;  // the scan takes values from whole windows of this size

// Text in a buffer padded as the scan needs; the padding holds digits, which must never be read
// as part of a value.
std::vector<char> Padded(const std::string &text)
{
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    buffer.insert(buffer.end(), kTextScanPadding, '7');
    return buffer;
}

// Checks the scan from `start` against the value-by-value search: the same values, bit for bit,
// ending where the search's values end, all before `end`. Returns the number scanned.
int ExpectScanEqualsSearch(int code, const std::string &text, int64_t start, int64_t end, int maxValues)
{
    const std::vector<char> buffer = Padded(text);
    std::vector<double> values(static_cast<size_t>(maxValues));
    std::vector<int64_t> ends(static_cast<size_t>(maxValues));
    const int scanned = Parser_ScanPlainTextValues(code, buffer.data(), start, end, maxValues, values.data(), ends.data());
    EXPECT_GE(scanned, 0);
    EXPECT_LE(scanned, maxValues);
    int64_t k = start;
    for (int v = 0; v < scanned; ++v) {
        const TextResult expected = Extract(code, text.substr(static_cast<size_t>(k)));
        const std::string context = "code " + std::to_string(code) + " value " + std::to_string(v) + " at " +
                                    std::to_string(k) + " in '" + text.substr(static_cast<size_t>(start), 120) + "'";
        EXPECT_EQ(expected.found, 1) << context;
        EXPECT_EQ(ends[v], k + expected.offset + expected.length) << context;
        EXPECT_EQ(std::bit_cast<uint64_t>(values[v]), std::bit_cast<uint64_t>(expected.value)) << context;
        EXPECT_LT(ends[v], end) << context;
        if (ends[v] <= k || ends[v] >= end) break;
        k = ends[v];
    }
    return scanned;
}

TEST(TextValues, ScanTakesPlainValuesAsTheSearchFindsThem)
{
    // Every width of plain value the scan reads itself, and the ones just beyond, which it must
    // leave to the search: values are checked one by one from each start.
    const std::string text =
        " 0 -1 +2 12345678 -87654321 0.5 -.25 +7. 1234.5678 12345678.87654321 -0.000001 99999999.9 "
        "00000000012 123456789 1.234567891 9007199.254740993 .5e1 1,5 0x10 inf 1.2.3 - + . -. " +
        std::string(kScanWindowBytes, ' ');
    for (int code : {kTextInteger, kTextFloatingPoint}) {
        for (size_t start = 0; start < text.size(); ++start) {
            if (text[start] != ' ') continue;
            ExpectScanEqualsSearch(code, text, static_cast<int64_t>(start), static_cast<int64_t>(text.size()), 64);
        }
    }

    // Plain values only: the scan takes all it may, up to maxValues or the last whole window.
    std::string plain;
    for (int v = 0; v < 200; ++v) {
        plain += v % 3 == 0 ? "\n-0." : " 0.";
        plain += std::to_string(100000 + v * 37);
    }
    plain += ' ';
    const auto size = static_cast<int64_t>(plain.size());
    EXPECT_EQ(ExpectScanEqualsSearch(kTextFloatingPoint, plain, 0, size, 64), 64);
    EXPECT_EQ(ExpectScanEqualsSearch(kTextFloatingPoint, plain, 0, size, 1), 1);
    EXPECT_GE(ExpectScanEqualsSearch(kTextFloatingPoint, plain, 0, size, 1000), 190);
    EXPECT_EQ(ExpectScanEqualsSearch(kTextFloatingPoint, plain, 0, 63, 64), 0);  // no whole window
    EXPECT_EQ(ExpectScanEqualsSearch(kTextFloatingPoint, plain, 1, size, 64), 0);  // starts on a value
    EXPECT_EQ(ExpectScanEqualsSearch(kTextHexadecimal, plain, 0, size, 64), 0);
    // Values made of integers only are integers for both formats.
    const std::string integers = " 1 -2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22" + std::string(10, ' ');
    EXPECT_EQ(ExpectScanEqualsSearch(kTextInteger, integers, 0, 64, 64), 22);
}

TEST(TextValues, ScanAgreesWithTheSearchOnRandomText)
{
    std::mt19937_64 random(20261208);
    const std::vector<std::string> spaces = {" ", "  ", "\t", "\n", "\r\n", "\v", "\f", std::string(70, ' ')};
    const std::vector<std::string> others = {"1e5", "-2E-3", "1,", ";", "0x1A", "inf", "nan", "x", "--1", "1-",
                                             "1..2", "\xb0", std::string(30, '9')};
    auto plainValue = [&] {
        std::string value;
        const int sign = static_cast<int>(random() % 3);
        if (sign > 0) value += sign == 1 ? "-" : "+";
        value += std::to_string(random() % 100000000).substr(0, 1 + random() % 9);
        if (random() % 2) {
            value += '.';
            value += std::to_string(random() % 1000000000).substr(0, random() % 10);
        }
        return value;
    };
    int scannedValues = 0;
    for (int sample = 0; sample < 3000; ++sample) {
        std::string text;
        const int otherEvery = 2 + static_cast<int>(random() % 40);
        for (int token = static_cast<int>(random() % 60); token >= 0; --token) {
            text += spaces[random() % spaces.size()];
            text += random() % otherEvery == 0 ? others[random() % others.size()] : plainValue();
        }
        text += spaces[random() % spaces.size()];
        const auto size = static_cast<int64_t>(text.size());
        for (int code : {kTextInteger, kTextFloatingPoint}) {
            const int64_t end = random() % 4 == 0 ? static_cast<int64_t>(random() % (size + 1)) : size;
            scannedValues += ExpectScanEqualsSearch(code, text, 0, end, 1 + static_cast<int>(random() % 80));
        }
    }
    EXPECT_GT(scannedValues, 10000);
}

TEST(BinaryValues, EveryFormatInBothByteOrders)
{
    EXPECT_EQ(Binary(kInt16, {0x00, 0x80}, 0), -32768.0);
    EXPECT_EQ(Binary(kInt16, {0x00, 0x80}, 1), 128.0);
    EXPECT_EQ(Binary(kUInt16, {0x00, 0x80}, 0), 32768.0);
    EXPECT_EQ(Binary(kUInt32, {0xFF, 0xFF, 0xFF, 0xFF}, 0), 4294967295.0);
    EXPECT_EQ(Binary(kInt32, {0xFF, 0xFF, 0xFF, 0xFF}, 0), -1.0);
    EXPECT_EQ(Binary(kUInt64, std::vector<uint8_t>(8, 0xFF), 0), 18446744073709551615.0);
    EXPECT_EQ(Binary(kInt8, {0x7F, 0x80}, 1, 1), -128.0);  // 8-bit values are never swapped
    EXPECT_EQ(Binary(kUInt8, {0x7F, 0xFF}, 1, 1), 255.0);
    EXPECT_EQ(Binary(kInt64, {0, 0, 0, 0, 0, 0, 0, 0x80}, 0), -9223372036854775808.0);
    EXPECT_EQ(Binary(kInt16, {1, 2, 3, 4, 0xFF, 0x7F}, 0, 2), 32767.0);
    EXPECT_EQ(Binary(kTextInteger, {1, 2}, 0), -12345.0);  // unchanged for other codes

    // Floats: big-endian bytes of 1.5f and of -2.25; the 64-bit value is reversed as a whole.
    EXPECT_EQ(Binary(kFloat32, {0x3F, 0xC0, 0x00, 0x00}, 1), 1.5);
    EXPECT_EQ(Binary(kFloat32, {0x00, 0x00, 0xC0, 0x3F}, 0), 1.5);
    EXPECT_EQ(Binary(kFloat64, {0xC0, 0x02, 0, 0, 0, 0, 0, 0}, 1), -2.25);
    EXPECT_EQ(Binary(kFloat64, {0, 0, 0, 0, 0, 0, 0x02, 0xC0}, 0), -2.25);

    // 2^63 + 1025 lies nearer to 2^63 + 2048 than to 2^63; a double rounding would give 2^63.
    EXPECT_EQ(Binary(kUInt64, {0x01, 0x04, 0, 0, 0, 0, 0, 0x80}, 0), 9223372036854777856.0);
}

TEST(BinaryValues, EndianHelpersReverseInPlace)
{
    uint8_t bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    Parser_ToOtherEndian16(bytes);
    EXPECT_EQ(bytes[0], 2);
    EXPECT_EQ(bytes[1], 1);
    Parser_ToOtherEndian32(bytes + 4);
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 8), (std::vector<uint8_t>{2, 1, 3, 4, 8, 7, 6, 5}));
    Parser_ToOtherEndian64(bytes);
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 8), (std::vector<uint8_t>{5, 6, 7, 8, 4, 3, 1, 2}));
    EXPECT_EQ(Parser_HostIsLittleEndian(), std::endian::native == std::endian::little ? 1 : 0);
}

TEST(DecimalText, Int64ToStringCoversTheWholeRange)
{
    EXPECT_EQ(Int64Text(0), "0");
    EXPECT_EQ(Int64Text(7), "7");
    EXPECT_EQ(Int64Text(10), "10");
    EXPECT_EQ(Int64Text(-45), "-45");
    EXPECT_EQ(Int64Text(INT64_MAX), "9223372036854775807");
    EXPECT_EQ(Int64Text(INT64_MIN), "-9223372036854775808");
}
