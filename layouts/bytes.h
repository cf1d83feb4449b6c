#pragma once
// Little helpers of the readers: integers in file byte order, taken from a bounded view, and a
// refusal with its reason.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "layouts/layouts.h"

inline uint16_t Layouts_Le16(std::string_view bytes, size_t at)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data() + at);
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t Layouts_Le32(std::string_view bytes, size_t at)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data() + at);
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

inline uint64_t Layouts_Le64(std::string_view bytes, size_t at)
{
    return static_cast<uint64_t>(Layouts_Le32(bytes, at)) | (static_cast<uint64_t>(Layouts_Le32(bytes, at + 4)) << 32);
}

inline LayoutReading Layouts_Refuse(std::string reason)
{
    LayoutReading reading;
    reading.reason = std::move(reason);
    return reading;
}

// The comment as the readers keep it: at most 90 characters.
inline std::string Layouts_CutComment(std::string_view text)
{
    return std::string(text.substr(0, static_cast<size_t>(kLayoutCommentMaxChars)));
}
