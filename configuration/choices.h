#pragma once
// The fixed texts of the configuration: the values the drop-down cells offer, in their order,
// and the texts that rules compare against. Texts are compared exactly and case-sensitively.

#include <string_view>
#include <vector>

namespace text {
inline constexpr std::string_view kCombined = "Combined IQ (1 File)";
inline constexpr std::string_view kSeparate = "Separate IQ (2 Files)";
inline constexpr std::string_view kLittle = "Little";
inline constexpr std::string_view kBig = "Big";
inline constexpr std::string_view kHeaderEndPattern = "Header - End Pattern";
inline constexpr std::string_view kTrailerBeginPattern = "Trailer - Begin Pattern";
inline constexpr std::string_view kUser = "User";
inline constexpr std::string_view kHeaderFix = "Header - Fix Position";
inline constexpr std::string_view kHeaderVariable = "Header - Variable Position";
inline constexpr std::string_view kTrailerFix = "Trailer - Fix Position";
inline constexpr std::string_view kTrailerVariable = "Trailer - Variable Position";
inline constexpr std::string_view kYes = "Yes";
inline constexpr std::string_view kNo = "No";
inline constexpr std::string_view kOrderIQ = "IQ";
inline constexpr std::string_view kOrderQI = "QI";
inline constexpr std::string_view kOrderIOnlyQEqualsI = "I Only - Q=I";
inline constexpr std::string_view kOrderIOnlyQZero = "I Only - Q=0";
inline constexpr std::string_view kAutoMaxLength = "Auto Max Length";
inline constexpr std::string_view kFilterOff = "Off";
inline constexpr std::string_view kBlackman = "Blackman Window";
inline constexpr std::string_view kHamming = "Hamming Window";
inline constexpr std::string_view kHanning = "Hanning Window";
inline constexpr std::string_view kTriangular = "Triangular Window";
inline constexpr std::string_view kRectangular = "Rectangular Window";
inline constexpr std::string_view kInputSamplerate = "Input Samplerate";
inline constexpr std::string_view kTextFloatingPoint = "Text Floating Point";
}  // namespace text

// Drop-down values of each list item, in display order, as offered when nothing restricts them
// (the tree rules remove and insert some of them; see the configuration tree).
extern const std::vector<std::string_view> kStructureChoices;
extern const std::vector<std::string_view> kEndiannessChoices;
extern const std::vector<std::string_view> kHeaderSourceChoices;
extern const std::vector<std::string_view> kTrailerSourceChoices;
extern const std::vector<std::string_view> kMetaSourceChoices;       // comment and sample rate
extern const std::vector<std::string_view> kFormatChoices;           // the 13 sample formats
extern const std::vector<std::string_view> kUnitChoices;
extern const std::vector<std::string_view> kYesNoChoices;
extern const std::vector<std::string_view> kNoYesChoices;      // centring of unsigned values: off first
extern const std::vector<std::string_view> kOrderChoices;
extern const std::vector<std::string_view> kMaximumLengthChoices;
extern const std::vector<std::string_view> kLastSampleTypeChoices;
extern const std::vector<std::string_view> kFilterTypeChoices;       // without "Rectangular Window"
extern const std::vector<std::string_view> kFilterWindowChoices;     // the four windows of the list
extern const std::vector<std::string_view> kOutputSamplerateChoices;

// True when `haystack` contains `needle` (the rules' case-sensitive "contains").
inline bool Configuration_Contains(std::string_view haystack, std::string_view needle)
{
    return haystack.find(needle) != std::string_view::npos;
}

// "Input Samplerate" gives 10; "Input Samplerate x N/10" gives N, read from the text after its
// first 18 characters (so " 3/10" gives 3).
int Configuration_OutputRateTenths(std::string_view outputSamplerate);

// The number at the start of a "N MegaSamples" text times 2^20 ("32 MegaSamples" gives 33554432).
int Configuration_MaxLengthFromText(std::string_view maximumLength);
