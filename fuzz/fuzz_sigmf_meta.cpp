// The SigMF metadata reader on arbitrary text (deeply nested, huge, or not JSON at all). The
// first eight bytes of the input are the size of the data file it describes.
// Oracles: a recognised recording's header and trailing bytes lie within the data file, its
// comment holds at most 90 characters, its format is one of the sample formats; a refusal has a
// reason.

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "configuration/choices.h"
#include "fuzzsupport.h"
#include "layouts/layouts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 8) return 0;
    int64_t dataSize = 0;
    std::memcpy(&dataSize, data, 8);
    dataSize &= (int64_t{1} << 62) - 1;
    const std::string_view text(reinterpret_cast<const char *>(data + 8), size - 8);
    const LayoutReading reading = Layouts_ReadSigMFMeta(text, dataSize);
    if (!reading.recognised) {
        FUZZ_CHECK(!reading.reason.empty(), "a refusal without a reason");
        return 0;
    }
    const LayoutFacts &facts = reading.facts;
    const int64_t header = facts.headerLength.value.value_or(-1);
    const int64_t trailer = facts.trailerLength.value.value_or(-1);
    FUZZ_CHECK(header >= 0 && trailer >= 0 && header <= dataSize && trailer <= dataSize - header,
               "header " + std::to_string(header) + ", trailer " + std::to_string(trailer));
    FUZZ_CHECK(!facts.comment.value || facts.comment.value->size() <= static_cast<size_t>(kLayoutCommentMaxChars),
               "comment too long");
    FUZZ_CHECK(facts.format.value && std::find(kFormatChoices.begin(), kFormatChoices.end(), *facts.format.value) !=
                                         kFormatChoices.end(),
               "no sample format");
    return 0;
}
