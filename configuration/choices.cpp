#include "configuration/choices.h"

#include <cstdlib>
#include <string>

const std::vector<std::string_view> kStructureChoices{text::kCombined, text::kSeparate};
const std::vector<std::string_view> kEndiannessChoices{text::kLittle, text::kBig};
const std::vector<std::string_view> kHeaderSourceChoices{text::kHeaderEndPattern, text::kUser};
const std::vector<std::string_view> kTrailerSourceChoices{text::kTrailerBeginPattern, text::kUser};
const std::vector<std::string_view> kMetaSourceChoices{text::kHeaderFix, text::kHeaderVariable, text::kTrailerFix,
                                                       text::kTrailerVariable, text::kUser};
const std::vector<std::string_view> kFormatChoices{
    "Text Integer",   "Text Floating Point",     "Text Hexadecimal", "32 Bit Float",
    "64 Bit Float",   "8 Bit Integer",           "8 Bit Unsigned Integer",
    "16 Bit Integer", "16 Bit Unsigned Integer", "32 Bit Integer",   "32 Bit Unsigned Integer",
    "64 Bit Integer", "64 Bit Unsigned Integer"};
const std::vector<std::string_view> kUnitChoices{"Hz", "kHz", "MHz", "GHz"};
const std::vector<std::string_view> kYesNoChoices{text::kYes, text::kNo};
const std::vector<std::string_view> kNoYesChoices{text::kNo, text::kYes};
const std::vector<std::string_view> kOrderChoices{text::kOrderIQ, text::kOrderQI, text::kOrderIOnlyQEqualsI,
                                                  text::kOrderIOnlyQZero};
const std::vector<std::string_view> kMaximumLengthChoices{"32 MegaSamples",  "64 MegaSamples",  "128 MegaSamples",
                                                          "256 MegaSamples", "512 MegaSamples", "1024 MegaSamples"};
const std::vector<std::string_view> kLastSampleTypeChoices{text::kAutoMaxLength, text::kUser};
const std::vector<std::string_view> kFilterWindowChoices{text::kBlackman, text::kHamming, text::kHanning,
                                                         text::kTriangular};
const std::vector<std::string_view> kFilterTypeChoices{text::kFilterOff, text::kBlackman, text::kHamming,
                                                       text::kHanning, text::kTriangular};
const std::vector<std::string_view> kOutputSamplerateChoices{
    "Input Samplerate",        "Input Samplerate x 9/10", "Input Samplerate x 8/10", "Input Samplerate x 7/10",
    "Input Samplerate x 6/10", "Input Samplerate x 5/10", "Input Samplerate x 4/10", "Input Samplerate x 3/10",
    "Input Samplerate x 2/10", "Input Samplerate x 1/10"};

int Configuration_OutputRateTenths(std::string_view outputSamplerate)
{
    constexpr size_t kPrefixLength = 18;  // "Input Samplerate x"
    if (outputSamplerate == text::kInputSamplerate || outputSamplerate.size() <= kPrefixLength) return 10;
    const int tenths = std::atoi(std::string(outputSamplerate.substr(kPrefixLength)).c_str());
    // A text outside the list never reaches here through the tree; guard the filter's divisor anyway.
    return tenths >= 1 && tenths <= 10 ? tenths : 10;
}

int Configuration_MaxLengthFromText(std::string_view maximumLength)
{
    const int megaSamples = std::atoi(std::string(maximumLength).c_str());
    // The list offers 32 to 1024; anything else cannot come through the tree, but must not
    // overflow the 32-bit set count either.
    return (megaSamples >= 1 && megaSamples <= 1024 ? megaSamples : 1024) << 20;
}
