#pragma once
// Files that describe themselves, written from the public descriptions of their formats: RIFF/
// WAVE and RF64 chunks, SigMF metadata and ustar archives.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace layoutfixtures {

inline std::string Le16(uint16_t v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
inline std::string Le32(uint32_t v) { return Le16(static_cast<uint16_t>(v & 0xFFFF)) + Le16(static_cast<uint16_t>(v >> 16)); }
inline std::string Le64(uint64_t v) { return Le32(static_cast<uint32_t>(v)) + Le32(static_cast<uint32_t>(v >> 32)); }

// A chunk with its pad byte.
inline std::string Chunk(std::string_view id, std::string_view body)
{
    std::string chunk = std::string(id) + Le32(static_cast<uint32_t>(body.size())) + std::string(body);
    if (body.size() % 2) chunk += '\0';
    return chunk;
}

// A fmt chunk: tag 1 PCM, 3 IEEE float; extensible puts the tag into the sub-format GUID.
inline std::string Fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, bool extensible = false)
{
    const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
    std::string body = Le16(extensible ? 0xFFFE : tag) + Le16(channels) + Le32(rate) + Le32(rate * align) +
                       Le16(align) + Le16(bits);
    if (extensible)
        body += Le16(22) + Le16(bits) + Le32(3) + Le16(tag) +
                std::string("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xaa\x00\x38\x9b\x71", 14);
    return Chunk("fmt ", body);
}

inline std::string Riff(const std::string &chunks) { return "RIFF" + Le32(static_cast<uint32_t>(4 + chunks.size())) + "WAVE" + chunks; }

// An RF64 file whose data chunk's size is in the ds64 chunk.
inline std::string Rf64(const std::string &fmt, const std::string &samples)
{
    const std::string ds64 = Chunk("ds64", Le64(0) + Le64(samples.size()) + Le64(0) + Le32(0));
    return "RF64" + Le32(0xFFFFFFFF) + "WAVE" + ds64 + fmt + "data" + Le32(0xFFFFFFFF) + samples;
}

// One ustar member: its 512-byte header and its content padded to 512 bytes.
inline std::string TarEntry(const std::string &name, std::string_view content)
{
    std::string header(512, '\0');
    std::memcpy(&header[0], name.data(), std::min<size_t>(name.size(), 100));
    std::memcpy(&header[100], "0000644", 7);
    std::memcpy(&header[108], "0000000", 7);
    std::memcpy(&header[116], "0000000", 7);
    char size[12];
    std::snprintf(size, sizeof size, "%011llo", static_cast<unsigned long long>(content.size()));
    std::memcpy(&header[124], size, 11);
    std::memcpy(&header[136], "00000000000", 11);
    header[156] = '0';
    std::memcpy(&header[257], "ustar", 6);
    std::memcpy(&header[263], "00", 2);
    std::memset(&header[148], ' ', 8);
    unsigned sum = 0;
    for (unsigned char c : header) sum += c;
    char checksum[8];
    std::snprintf(checksum, sizeof checksum, "%06o", sum);
    std::memcpy(&header[148], checksum, 7);
    std::string member = header + std::string(content);
    member.resize((member.size() + 511) / 512 * 512, '\0');
    return member;
}

inline std::string TarEnd() { return std::string(1024, '\0'); }

// SigMF metadata with a datatype and a rate, and the fields given as JSON text ("" for none).
inline std::string SigMFMeta(std::string_view datatype, double rate, std::string_view globalExtra = "",
                             std::string_view captureExtra = "")
{
    char text[512];
    std::snprintf(text, sizeof text,
                  R"({"global":{"core:datatype":"%.*s","core:sample_rate":%.1f,"core:version":"1.0.0"%s%.*s},)"
                  R"("captures":[{"core:sample_start":0%s%.*s}],"annotations":[]})",
                  static_cast<int>(datatype.size()), datatype.data(), rate, globalExtra.empty() ? "" : ",",
                  static_cast<int>(globalExtra.size()), globalExtra.data(), captureExtra.empty() ? "" : ",",
                  static_cast<int>(captureExtra.size()), captureExtra.data());
    return text;
}

// `count` sets of a tone in bytes of `bytesPerValue` little-endian integers or floats, written
// by `put` (value in -1 .. 1).
template <typename Put>
std::string Tone(int count, int valuesPerSet, Put put)
{
    std::string bytes;
    for (int k = 0; k < count; ++k)
        for (int v = 0; v < valuesPerSet; ++v) bytes += put(v == 0 ? std::cos(0.3 * k) : std::sin(0.3 * k));
    return bytes;
}

}  // namespace layoutfixtures
