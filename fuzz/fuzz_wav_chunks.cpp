// The WAV/RF64 reader on arbitrary chunks. The first four bytes of the input say how far the
// file runs beyond the bytes given (so that sizes past the end, and data that ends inside the
// file, both occur); the rest are the file's first bytes.
// Oracles: a recognised file's header, samples and trailer lie within the file and add up to
// its size; a refusal has a reason.

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fuzzsupport.h"
#include "layouts/layouts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 4) return 0;
    uint32_t beyond = 0;
    std::memcpy(&beyond, data, 4);
    const std::string_view prefix(reinterpret_cast<const char *>(data + 4),
                                  std::min<size_t>(size - 4, static_cast<size_t>(kLayoutPrefixBytes)));
    const int64_t fileSize = static_cast<int64_t>(prefix.size()) + beyond;
    const LayoutReading reading = Layouts_ReadWav(prefix, fileSize);
    if (!reading.recognised) {
        FUZZ_CHECK(!reading.reason.empty(), "a refusal without a reason");
        return 0;
    }
    const LayoutFacts &facts = reading.facts;
    FUZZ_CHECK(facts.headerLength.value && facts.trailerLength.value, "lengths missing");
    const int64_t header = *facts.headerLength.value;
    const int64_t trailer = *facts.trailerLength.value;
    FUZZ_CHECK(header >= 0 && trailer >= 0 && header <= fileSize && trailer <= fileSize - header,
               "header " + std::to_string(header) + ", trailer " + std::to_string(trailer) + ", file " +
                   std::to_string(fileSize));
    FUZZ_CHECK(facts.format.value && facts.order.value, "format or order missing");
    return 0;
}
