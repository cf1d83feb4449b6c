#include "parser/formats.h"

#include <fast_float/fast_float.h>
#include <locale.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "base/cpu.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

const std::array<FormatInfo, kFormatCount> kFormats = {{
    {"Text Integer", -1},
    {"Text Floating Point", -1},
    {"Text Hexadecimal", -1},
    {"32 Bit Float", 4},
    {"64 Bit Float", 8},
    {"8 Bit Integer", 1},
    {"8 Bit Unsigned Integer", 1},
    {"16 Bit Integer", 2},
    {"16 Bit Unsigned Integer", 2},
    {"32 Bit Integer", 4},
    {"32 Bit Unsigned Integer", 4},
    {"64 Bit Integer", 8},
    {"64 Bit Unsigned Integer", 8},
}};

namespace {

// A value (or the white space directly before it) must start within this many characters.
constexpr int kSearchPositions = 50;

constexpr int64_t kInt32Min = -2147483648LL;
constexpr int64_t kInt32Max = 2147483647LL;
// Once a magnitude passes this it saturates anyway; stopping here keeps it from overflowing.
constexpr uint64_t kMagnitudeCap = uint64_t{1} << 33;

// The white space the C library's number parsers skip in the "C" locale.
bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

double SaturatedInt32(bool negative, uint64_t magnitude)
{
    const int64_t signedValue = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    if (signedValue < kInt32Min) return static_cast<double>(kInt32Min);
    if (signedValue > kInt32Max) return static_cast<double>(kInt32Max);
    return static_cast<double>(signedValue);
}

// The parsers below start at a character that is not white space and return the number of
// characters consumed (0 when no number starts there), as strtol/strtod would.

// strtol with base 10, saturated to the 32-bit range.
int ParseDecimalInteger(const char *start, double *value)
{
    const char *c = start;
    const bool negative = *c == '-';
    if (*c == '-' || *c == '+') ++c;
    if (!IsDigit(*c)) return 0;
    uint64_t magnitude = 0;
    for (; IsDigit(*c); ++c) {
        if (magnitude < kMagnitudeCap) magnitude = magnitude * 10 + static_cast<uint64_t>(*c - '0');
    }
    *value = SaturatedInt32(negative, magnitude);
    return static_cast<int>(c - start);
}

// strtol with base 16: optional sign, optional 0x or 0X (taken only when a hexadecimal digit
// follows it; otherwise the 0 alone is the number), saturated to the 32-bit range.
int ParseHexadecimalInteger(const char *start, double *value)
{
    const char *c = start;
    const bool negative = *c == '-';
    if (*c == '-' || *c == '+') ++c;
    if (c[0] == '0' && (c[1] == 'x' || c[1] == 'X') && HexDigitValue(c[2]) >= 0) c += 2;
    if (HexDigitValue(*c) < 0) return 0;
    uint64_t magnitude = 0;
    for (int digit = HexDigitValue(*c); digit >= 0; digit = HexDigitValue(*++c)) {
        if (magnitude < kMagnitudeCap) magnitude = magnitude * 16 + static_cast<uint64_t>(digit);
    }
    *value = SaturatedInt32(negative, magnitude);
    return static_cast<int>(c - start);
}

// The C library's own parser in the "C" locale, whatever locale the program runs in, so that
// the decimal point is always '.'.
int ParseFloatingPointWithCLibrary(const char *start, double *value)
{
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    char *end = nullptr;
    const double parsed = cLocale != locale_t{} ? strtod_l(start, &end, cLocale) : std::strtod(start, &end);
    if (end == start) return 0;
    *value = parsed;
    return static_cast<int>(end - start);
}

// Powers of ten that a double holds exactly.
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kMaxExactPower = 22;
constexpr int kMaxExactDigits = 19;  // any 19 digits fit in 64 bits
constexpr uint64_t kMaxExactMantissa = uint64_t{1} << 53;
constexpr int kExponentCap = 100000;  // far beyond any double; keeps the exponent from overflowing

// The value of eight digits, one per byte, the first (most significant) in the lowest byte.
uint64_t EightDigitsValue(uint64_t digits)
{
    digits = digits * 10 + (digits >> 8);  // bytes 0, 2, 4 and 6 now hold two-digit numbers
    return (((digits & 0x000000FF000000FF) * (100 + (uint64_t{1000000} << 32))) +
            (((digits >> 16) & 0x000000FF000000FF) * (1 + (uint64_t{10000} << 32)))) >>
           32;
}

// Reads the digits at c into *mantissa (as long as they fit) and counts them in *digits.
const char *ReadDigits(const char *c, uint64_t *mantissa, int *digits)
{
    for (; IsDigit(*c); ++c, ++*digits) {
        if (*digits < kMaxExactDigits) *mantissa = *mantissa * 10 + static_cast<uint64_t>(*c - '0');
    }
    return c;
}

// strtod. Plain decimal numbers (digits, optional point, optional exponent) are converted here:
// when the digits and the power of ten are both exact doubles, one multiplication or division
// rounds exactly as strtod does; otherwise fast_float, which also rounds exactly, converts the
// same text. Hexadecimal floats, infinities, NaN and results that overflow are left to the C
// library.
int ParseFloatingPoint(const char *start, double *value)
{
    const char *c = start;
    const bool negative = *c == '-';
    if (*c == '-' || *c == '+') ++c;
    const char *number = c;
    if (c[0] == '0' && (c[1] == 'x' || c[1] == 'X')) return ParseFloatingPointWithCLibrary(start, value);

    uint64_t mantissa = 0;
    int digits = 0;
    c = ReadDigits(c, &mantissa, &digits);
    int fractionDigits = 0;
    if (*c == '.') {
        const int integerDigits = digits;
        c = ReadDigits(c + 1, &mantissa, &digits);
        fractionDigits = digits - integerDigits;
    }
    if (digits == 0) {
        const char first = static_cast<char>(*number | 0x20);
        return first == 'i' || first == 'n' ? ParseFloatingPointWithCLibrary(start, value) : 0;
    }
    // An exponent counts only with at least one digit; "1e" and "1e+" consume the "1".
    int exponent = 0;
    if ((*c | 0x20) == 'e') {
        const char *e = c + 1;
        const bool negativeExponent = *e == '-';
        if (*e == '+' || *e == '-') ++e;
        if (IsDigit(*e)) {
            for (; IsDigit(*e); ++e) {
                if (exponent < kExponentCap) exponent = exponent * 10 + (*e - '0');
            }
            if (negativeExponent) exponent = -exponent;
            c = e;
        }
    }

    const int power = exponent - fractionDigits;
    double magnitude = 0.0;
    if (digits <= kMaxExactDigits && mantissa <= kMaxExactMantissa && power >= -kMaxExactPower &&
        power <= kMaxExactPower) {
        const double exactMantissa = static_cast<double>(mantissa);
        magnitude = power < 0 ? exactMantissa / kExactPowersOfTen[-power] : exactMantissa * kExactPowersOfTen[power];
    } else {
        const auto result = fast_float::from_chars(number, c, magnitude);
        if (result.ec != std::errc() || result.ptr != c || !std::isfinite(magnitude)) {
            return ParseFloatingPointWithCLibrary(start, value);
        }
    }
    *value = negative ? -magnitude : magnitude;
    return static_cast<int>(c - start);
}

// ---- Plain values between white space, many at a time.
//
// Most text files hold nothing but short decimal numbers between white space. A parse from the
// end of one such value skips the white space and consumes exactly the next number, so the
// values can be taken from where the white space says they are, each parsed on its own: the
// positions do not wait for the parses, and the processor overlaps them. Anything else (an
// exponent, a separator, a long number) is left to the value-by-value search (SearchTextValue).

constexpr int kScanWindow = 64;

// Bit b set when text[b] is white space, for the 64 bytes at text.
uint64_t WhiteSpaceBits(const char *text)
{
#if defined(__SSE2__)
    uint64_t bits = 0;
    for (int part = 0; part < 4; ++part) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + 16 * part));
        const __m128i space = _mm_cmpeq_epi8(bytes, _mm_set1_epi8(' '));
        // '\t' to '\r' are the bytes whose distance above '\t' is at most 4.
        const __m128i aboveTab = _mm_sub_epi8(bytes, _mm_set1_epi8('\t'));
        const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(aboveTab, _mm_set1_epi8(4)), aboveTab);
        const auto partBits = static_cast<uint32_t>(_mm_movemask_epi8(_mm_or_si128(space, control)));
        bits |= uint64_t{partBits} << (16 * part);
    }
    return bits;
#else
    uint64_t bits = 0;
    for (int b = 0; b < kScanWindow; ++b) bits |= uint64_t{IsSpace(text[b])} << b;
    return bits;
#endif
}

// The high bit of each byte of `digits` (text bytes XOR '0') whose byte is no digit, that is
// 10 or more.
uint64_t NotDigitBits(uint64_t digits)
{
    return (((digits & 0x7F7F7F7F7F7F7F7F) + 0x7676767676767676) | digits) & 0x8080808080808080;
}

// Counts the digits (at most 8) at c and puts their value in *value. Reads 8 bytes.
int DigitGroup(const char *c, uint64_t *value)
{
    uint64_t group;
    std::memcpy(&group, c, sizeof group);
    const uint64_t digits = group ^ 0x3030303030303030;  // a digit's byte becomes its value
    const uint64_t notDigits = NotDigitBits(digits);
    const int count = notDigits == 0 ? 8 : std::countr_zero(notDigits) / 8;
    // The digits move to the high bytes, so the bytes below read as leading zeros.
    *value = count == 0 ? 0 : EightDigitsValue(digits << (64 - 8 * count));
    return count;
}

// The number [number, number + length), 1 to 8 characters, read from one group of 8 bytes:
// digits, for floating point with at most one point among them.
bool ShortPlainNumber(bool fractions, const char *number, int64_t length, uint64_t *mantissa, int *fractionDigits)
{
    uint64_t group;
    std::memcpy(&group, number, sizeof group);
    uint64_t digits = group ^ 0x3030303030303030;
    const uint64_t others = NotDigitBits(digits) & (~uint64_t{0} >> (64 - 8 * length));
    int digitCount = static_cast<int>(length);
    *fractionDigits = 0;
    if (others != 0) {
        const int point = std::countr_zero(others) / 8;
        const bool onePoint = (others & (others - 1)) == 0 && ((digits >> (8 * point)) & 0xFF) == ('.' ^ '0');
        if (!fractions || !onePoint || length == 1) return false;
        // Close the gap the point leaves.
        const uint64_t below = (uint64_t{1} << (8 * point)) - 1;
        digits = (digits & below) | ((digits >> 8) & ~below);
        --digitCount;
        *fractionDigits = digitCount - point;
    }
    *mantissa = EightDigitsValue(digits << (64 - 8 * digitCount));
    return true;
}

// The same for longer numbers: at most 8 digits, for floating point a point and at most 8 more.
bool LongPlainNumber(bool fractions, const char *number, const char *end, uint64_t *mantissa, int *fractionDigits)
{
    constexpr uint64_t kPowers[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};
    const char *c = number;
    const int integerDigits = DigitGroup(c, mantissa);
    c += integerDigits;
    *fractionDigits = 0;
    if (c != end) {
        if (!fractions || *c != '.') return false;
        uint64_t fraction = 0;
        *fractionDigits = DigitGroup(c + 1, &fraction);
        c += 1 + *fractionDigits;
        *mantissa = *mantissa * kPowers[*fractionDigits] + fraction;
    }
    return c == end && integerDigits + *fractionDigits > 0 && *mantissa <= kMaxExactMantissa;
}

// Parses [start, end) when it is a plain number of the format: an optional sign and digits,
// for floating point with at most one point, at most 8 digits before it and 8 after it. The
// value is the one the parsers above give, bit for bit: digits and power of ten are exact, so
// one division rounds as strtod does. Returns false for anything else.
bool ParsePlainValue(bool fractions, const char *start, const char *end, double *value)
{
    const bool negative = *start == '-';
    // Without branches: signs come at random in sampled signals.
    const char *number = start + (static_cast<int>(negative) | static_cast<int>(*start == '+'));
    const int64_t length = end - number;
    uint64_t mantissa = 0;
    int fractionDigits = 0;
    const bool plain = length >= 1 && length <= 8
                           ? ShortPlainNumber(fractions, number, length, &mantissa, &fractionDigits)
                           : LongPlainNumber(fractions, number, end, &mantissa, &fractionDigits);
    if (!plain) return false;
    if (!fractions) {
        *value = SaturatedInt32(negative, mantissa);
        return true;
    }
    const double magnitude = static_cast<double>(mantissa) / kExactPowersOfTen[fractionDigits];
    *value = std::bit_cast<double>(std::bit_cast<uint64_t>(magnitude) | uint64_t{negative} << 63);
    return true;
}

// A parse from position p skips the white space run to its first other character q and fails
// there exactly as the parses from p + 1 to q would, so the next start worth trying is q + 1.
template <int (*Parse)(const char *, double *)>
int SearchTextValue(const char *text, double *value, int *offset, int *length)
{
    int position = 0;
    while (position < kSearchPositions && text[position] != '\0') {
        int numberStart = position;
        while (IsSpace(text[numberStart])) ++numberStart;
        double parsed = 0.0;
        const int consumed = Parse(text + numberStart, &parsed);
        if (consumed > 0) {
            *value = parsed;
            *offset = position;
            *length = numberStart - position + consumed;
            return 1;
        }
        position = numberStart + 1;
        if (text[numberStart] == '\0') break;
    }
    return 0;
}

// ---- Decoding many values: one loop per format and byte order, no call per value.

template <typename T>
using BitsOf = std::conditional_t<sizeof(T) == 8, uint64_t,
                                  std::conditional_t<sizeof(T) == 4, uint32_t,
                                                     std::conditional_t<sizeof(T) == 2, uint16_t, uint8_t>>>;

inline uint8_t ReverseBytes(uint8_t bits) { return bits; }
inline uint16_t ReverseBytes(uint16_t bits) { return __builtin_bswap16(bits); }
inline uint32_t ReverseBytes(uint32_t bits) { return __builtin_bswap32(bits); }
inline uint64_t ReverseBytes(uint64_t bits) { return __builtin_bswap64(bits); }

template <typename T, bool Swap>
inline double LoadAsDouble(const char *bytes)
{
    BitsOf<T> bits;
    std::memcpy(&bits, bytes, sizeof bits);
    if constexpr (Swap) bits = ReverseBytes(bits);
    return static_cast<double>(std::bit_cast<T>(bits));
}

// The block decoders are built for AVX2 and for the baseline (VectorLoop): the conversion and
// byte reversal of many values at once is where the wider vectors pay (the result is the same,
// as neither build fuses the multiply and the add).

template <typename T, bool Swap>
inline __attribute__((always_inline)) void DecodeColumn(const char *bytes, int64_t count, int64_t stride,
                                                        double scale, double offset, double *target)
{
    for (int64_t s = 0; s < count; ++s) target[s] = LoadAsDouble<T, Swap>(bytes + s * stride) * scale + offset;
}

template <typename T, bool Swap>
inline __attribute__((always_inline)) void DecodePairs(const char *bytes, int64_t count, double scale,
                                                       double firstOffset, double secondOffset, double *first,
                                                       double *second)
{
    for (int64_t s = 0; s < count; ++s) {
        first[s] = LoadAsDouble<T, Swap>(bytes + s * 2 * sizeof(T)) * scale + firstOffset;
        second[s] = LoadAsDouble<T, Swap>(bytes + (s * 2 + 1) * sizeof(T)) * scale + secondOffset;
    }
}

using ColumnDecoder = void (*)(const char *bytes, int64_t count, int64_t stride, double scale, double offset,
                               double *target);
using PairDecoder = void (*)(const char *bytes, int64_t count, double scale, double firstOffset,
                             double secondOffset, double *first, double *second);

struct BinaryDecoders {
    ColumnDecoder column = nullptr;
    PairDecoder pair = nullptr;
};

template <typename T, bool Swap>
BinaryDecoders DecodersOf()
{
    return {VectorLoop<DecodeColumn<T, Swap>>::Chosen(), VectorLoop<DecodePairs<T, Swap>>::Chosen()};
}

template <typename T>
BinaryDecoders DecodersFor(int swapBytes)
{
    // 8-bit values have no byte order.
    if (swapBytes && sizeof(T) > 1) return DecodersOf<T, true>();
    return DecodersOf<T, false>();
}

BinaryDecoders DecodersForFormat(int code, int swapBytes)
{
    switch (code) {
    case kFloat32: return DecodersFor<float>(swapBytes);
    case kFloat64: return DecodersFor<double>(swapBytes);
    case kInt8: return DecodersFor<int8_t>(swapBytes);
    case kUInt8: return DecodersFor<uint8_t>(swapBytes);
    case kInt16: return DecodersFor<int16_t>(swapBytes);
    case kUInt16: return DecodersFor<uint16_t>(swapBytes);
    case kInt32: return DecodersFor<int32_t>(swapBytes);
    case kUInt32: return DecodersFor<uint32_t>(swapBytes);
    case kInt64: return DecodersFor<int64_t>(swapBytes);
    case kUInt64: return DecodersFor<uint64_t>(swapBytes);
    default: return {};
    }
}

template <typename T>
T LoadValue(const void *buffer, int64_t index, int swapBytes)
{
    using Bits = std::conditional_t<sizeof(T) == 8, uint64_t,
                                    std::conditional_t<sizeof(T) == 4, uint32_t,
                                                       std::conditional_t<sizeof(T) == 2, uint16_t, uint8_t>>>;
    Bits bits;
    std::memcpy(&bits, static_cast<const char *>(buffer) + index * static_cast<int64_t>(sizeof(T)), sizeof bits);
    if (swapBytes && sizeof(T) > 1) {
        if constexpr (sizeof(T) == 2) Parser_ToOtherEndian16(&bits);
        if constexpr (sizeof(T) == 4) Parser_ToOtherEndian32(&bits);
        if constexpr (sizeof(T) == 8) Parser_ToOtherEndian64(&bits);
    }
    return std::bit_cast<T>(bits);
}

}  // namespace

void Parser_GetFormatFromString(std::string_view text, int *code, int *bytesPerValue)
{
    int found = kUInt64;
    for (int candidate = 0; candidate < kFormatCount; ++candidate) {
        if (kFormats[candidate].displayText == text) {
            found = candidate;
            break;
        }
    }
    if (code != nullptr) *code = found;
    if (bytesPerValue != nullptr) *bytesPerValue = kFormats[found].bytesPerValue;
}

int Parser_ExtractTextValueFromBuffer(int code, const char *text, double *value, int *offset, int *length)
{
    *value = 0.0;
    *offset = 0;
    *length = 0;
    if (text == nullptr) return 0;
    switch (code) {
    case kTextInteger: return SearchTextValue<ParseDecimalInteger>(text, value, offset, length);
    case kTextFloatingPoint: return SearchTextValue<ParseFloatingPoint>(text, value, offset, length);
    case kTextHexadecimal: return SearchTextValue<ParseHexadecimalInteger>(text, value, offset, length);
    default: return 0;
    }
}

int Parser_ScanPlainTextValues(int code, const char *text, int64_t start, int64_t end, int maxValues,
                               double *values, int64_t *ends)
{
    // The groups of 8 bytes are read with the first character in the lowest byte.
    if constexpr (std::endian::native != std::endian::little) return 0;
    if (code != kTextInteger && code != kTextFloatingPoint) return 0;
    const bool fractions = code == kTextFloatingPoint;
    int count = 0;
    int64_t window = start;
    while (count < maxValues && window + kScanWindow <= end) {
        const uint64_t space = WhiteSpaceBits(text + window);
        if ((space & 1) == 0) break;  // the search starts on the value itself
        // Values start where white space ends and end where it starts again.
        uint64_t starts = ~space & (space << 1);
        uint64_t stops = space & (~space << 1);
        const int before = count;
        for (; starts != 0 && stops != 0 && count < maxValues; starts &= starts - 1, stops &= stops - 1) {
            const int64_t valueEnd = window + std::countr_zero(stops);
            if (!ParsePlainValue(fractions, text + window + std::countr_zero(starts), text + valueEnd, &values[count]))
                return count;
            ends[count++] = valueEnd;
        }
        if (count == before) break;  // no whole value in the window
        window = ends[count - 1];
    }
    return count;
}

void Parser_ExtractBinaryValueFromBuffer(int code, const void *buffer, int64_t index, int swapBytes, double *value)
{
    switch (code) {
    case kFloat32: *value = static_cast<double>(LoadValue<float>(buffer, index, swapBytes)); break;
    case kFloat64: *value = LoadValue<double>(buffer, index, swapBytes); break;
    case kInt8: *value = static_cast<double>(LoadValue<int8_t>(buffer, index, swapBytes)); break;
    case kUInt8: *value = static_cast<double>(LoadValue<uint8_t>(buffer, index, swapBytes)); break;
    case kInt16: *value = static_cast<double>(LoadValue<int16_t>(buffer, index, swapBytes)); break;
    case kUInt16: *value = static_cast<double>(LoadValue<uint16_t>(buffer, index, swapBytes)); break;
    case kInt32: *value = static_cast<double>(LoadValue<int32_t>(buffer, index, swapBytes)); break;
    case kUInt32: *value = static_cast<double>(LoadValue<uint32_t>(buffer, index, swapBytes)); break;
    case kInt64: *value = static_cast<double>(LoadValue<int64_t>(buffer, index, swapBytes)); break;
    // Converted directly, so the value is rounded once to the nearest double; going through a
    // signed value and adding 2^64 would round twice and can miss the nearest double.
    case kUInt64: *value = static_cast<double>(LoadValue<uint64_t>(buffer, index, swapBytes)); break;
    default: break;
    }
}

void Parser_DecodeBinaryColumn(int code, int swapBytes, const void *bytes, int64_t count, int64_t strideBytes,
                               double scale, double offset, double *target)
{
    const BinaryDecoders decoders = DecodersForFormat(code, swapBytes);
    if (decoders.column != nullptr) {
        decoders.column(static_cast<const char *>(bytes), count, strideBytes, scale, offset, target);
    }
}

void Parser_DecodeBinaryPairs(int code, int swapBytes, const void *bytes, int64_t count, double scale,
                              double firstOffset, double secondOffset, double *first, double *second)
{
    const BinaryDecoders decoders = DecodersForFormat(code, swapBytes);
    if (decoders.pair != nullptr) {
        decoders.pair(static_cast<const char *>(bytes), count, scale, firstOffset, secondOffset, first, second);
    }
}

double Parser_UnsignedCentre(int code)
{
    if (!Parser_IsUnsignedFormat(code)) return 0.0;
    const int bits = 8 * kFormats[code].bytesPerValue;
    return std::ldexp(1.0, bits - 1) - 0.5;
}

void Parser_ToOtherEndian16(void *p)
{
    uint16_t v;
    std::memcpy(&v, p, sizeof v);
    v = static_cast<uint16_t>((v >> 8) | (v << 8));
    std::memcpy(p, &v, sizeof v);
}

void Parser_ToOtherEndian32(void *p)
{
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    v = __builtin_bswap32(v);
    std::memcpy(p, &v, sizeof v);
}

void Parser_ToOtherEndian64(void *p)
{
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    v = __builtin_bswap64(v);
    std::memcpy(p, &v, sizeof v);
}

void Parser_Int64ToString(int64_t value, char *text)
{
    // Work on the unsigned magnitude: negating the most negative value would overflow.
    uint64_t magnitude = value < 0 ? ~static_cast<uint64_t>(value) + 1 : static_cast<uint64_t>(value);
    char digits[20];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) *text++ = '-';
    while (count > 0) *text++ = digits[--count];
    *text = '\0';
}

int Parser_HostIsLittleEndian() { return std::endian::native == std::endian::little ? 1 : 0; }

int Parser_SwapBytesFor(std::string_view endianness)
{
    const bool fileIsLittle = endianness == "Little";
    return fileIsLittle != (Parser_HostIsLittleEndian() != 0) ? 1 : 0;
}
