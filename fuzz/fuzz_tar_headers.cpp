// The tar header walk and the SigMF archive reader on arbitrary archives. The first four bytes
// of the input say how far the file runs beyond the bytes given; the rest are its first bytes.
// Oracles: every member lies within the file; a recognised archive's header, samples and
// trailer lie within the file; a refusal has a reason.

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

    std::vector<TarMember> members;
    std::string reason;
    if (Layouts_ReadTarMembers(prefix, fileSize, members, reason)) {
        for (const TarMember &member : members)
            FUZZ_CHECK(member.dataOffset >= 0 && member.size >= 0 && member.dataOffset <= fileSize &&
                           member.size <= fileSize - member.dataOffset,
                       member.name);
    } else {
        FUZZ_CHECK(!reason.empty(), "a refusal without a reason");
    }

    const LayoutReading reading = Layouts_ReadSigMFArchive(prefix, fileSize);
    if (!reading.recognised) {
        FUZZ_CHECK(!reading.reason.empty(), "a refusal without a reason");
        return 0;
    }
    const int64_t header = reading.facts.headerLength.value.value_or(-1);
    const int64_t trailer = reading.facts.trailerLength.value.value_or(-1);
    FUZZ_CHECK(header >= 0 && trailer >= 0 && header <= fileSize && trailer <= fileSize - header,
               "header " + std::to_string(header) + ", trailer " + std::to_string(trailer));
    return 0;
}
