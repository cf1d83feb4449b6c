#pragma once
// Sample formats and the decoding of single values from raw bytes or from text.

#include <array>
#include <cstdint>
#include <string_view>

// Format codes; the order is fixed. Codes 0 to 2 are text formats, all others binary.
enum SampleFormat : int {
    kTextInteger = 0,
    kTextFloatingPoint = 1,
    kTextHexadecimal = 2,
    kFloat32 = 3,
    kFloat64 = 4,
    kInt8 = 5,
    kUInt8 = 6,
    kInt16 = 7,
    kUInt16 = 8,
    kInt32 = 9,
    kUInt32 = 10,
    kInt64 = 11,
    kUInt64 = 12,
};
inline constexpr int kFormatCount = 13;

struct FormatInfo {
    std::string_view displayText;
    int bytesPerValue;  // -1 for the text formats
};
extern const std::array<FormatInfo, kFormatCount> kFormats;

inline bool Parser_IsTextFormat(int code) { return code >= 0 && code <= 2; }

inline bool Parser_IsUnsignedFormat(int code)
{
    return code == kUInt8 || code == kUInt16 || code == kUInt32 || code == kUInt64;
}

// The centre of an unsigned format's values, 2^(bits-1) - 0.5 (127.5 for 8 bits); 0.0 for the
// other formats.
double Parser_UnsignedCentre(int code);

// Looks the display text up (exact, case-sensitive). A text that matches no format gives
// code 12 ("64 Bit Unsigned Integer") with 8 bytes per value.
void Parser_GetFormatFromString(std::string_view text, int *code, int *bytesPerValue);

// Decodes the next text value at or shortly after `text` (codes 0 to 2 only). `text` is
// NUL-terminated. Up to 50 start positions are tried, never beyond the NUL. Returns 1 when a
// value was found: *value holds it, *offset the characters skipped before the successful parse
// and *length the characters it consumed. Returns 0 otherwise (*value 0.0).
[[nodiscard]] int Parser_ExtractTextValueFromBuffer(int code, const char *text, double *value, int *offset, int *length);

// Readable bytes that Parser_ScanPlainTextValues may read beyond its `end`.
inline constexpr int kTextScanPadding = 8;

// Takes the values of text format `code` that Parser_ExtractTextValueFromBuffer would find one
// after the other from text + start, as long as they are plain numbers between white space
// (integer format: sign and up to 8 digits; floating point: also a point and up to 8 digits
// after it), text[start] is white space, and they end before `end`. Stops before the first
// other value, after maxValues, or when nothing more fits in 64-byte windows below `end`.
// values[v] receives the value (as Parser_ExtractTextValueFromBuffer gives it, bit for bit),
// ends[v] the position after it. Returns the number taken (0 for hexadecimal text).
[[nodiscard]] int Parser_ScanPlainTextValues(int code, const char *text, int64_t start, int64_t end, int maxValues,
                               double *values, int64_t *ends);

// Decodes value number `index` (counted in values of the format's size) of `buffer`
// (codes 3 to 12 only; any other code leaves *value unchanged). With swapBytes 1 the bytes of
// 2-, 4- and 8-byte values are reversed first.
void Parser_ExtractBinaryValueFromBuffer(int code, const void *buffer, int64_t index, int swapBytes, double *value);

// Decodes `count` values of format `code` (3 to 12), one every `strideBytes` bytes starting at
// `bytes`, into target[s] = value x scale + offset. The values are those of
// Parser_ExtractBinaryValueFromBuffer, bit for bit. Any other code writes nothing.
void Parser_DecodeBinaryColumn(int code, int swapBytes, const void *bytes, int64_t count, int64_t strideBytes,
                               double scale, double offset, double *target);

// The same for `count` pairs of adjacent values: first[s] from value 2s, second[s] from value 2s + 1.
void Parser_DecodeBinaryPairs(int code, int swapBytes, const void *bytes, int64_t count, double scale,
                              double firstOffset, double secondOffset, double *first, double *second);

// Reverse the order of the 2, 4 or 8 bytes at p, in place.
void Parser_ToOtherEndian16(void *p);
void Parser_ToOtherEndian32(void *p);
void Parser_ToOtherEndian64(void *p);

// Writes the decimal text of value into text (at least 21 bytes).
void Parser_Int64ToString(int64_t value, char *text);

// 1 when the host stores integers least significant byte first.
int Parser_HostIsLittleEndian();

// 1 when values stored in the byte order named by an endianness text ("Little"; any other text
// means big-endian) must be swapped on this host.
int Parser_SwapBytesFor(std::string_view endianness);
