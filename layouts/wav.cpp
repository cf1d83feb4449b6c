// RIFF/WAVE and RF64 files: the fmt chunk gives the sample format, the data chunk the samples;
// everything before the samples is the header and everything after them the trailer.

#include <string>

#include "layouts/bytes.h"

namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;
constexpr uint32_t kSizeFromDs64 = 0xFFFFFFFF;
constexpr size_t kChunkHeaderBytes = 8;

struct WaveFormat {
    uint16_t tag = 0;
    uint16_t channels = 0;
    uint32_t rate = 0;
    uint16_t blockAlign = 0;
    uint16_t bits = 0;
};

// The sample format text of a fmt chunk, or a reason it is not one of ours.
bool FormatText(const WaveFormat &format, std::string &text, std::string &reason)
{
    const uint16_t bits = format.bits;
    if (format.tag == kFormatPcm) {
        if (bits == 8) text = "8 Bit Unsigned Integer";
        else if (bits == 16) text = "16 Bit Integer";
        else if (bits == 32) text = "32 Bit Integer";
        else if (bits == 24) reason = "24-bit PCM is not one of the sample formats (8, 16 or 32 bits)";
        else reason = std::to_string(bits) + "-bit PCM is not one of the sample formats";
    } else if (format.tag == kFormatFloat) {
        if (bits == 32) text = "32 Bit Float";
        else if (bits == 64) text = "64 Bit Float";
        else reason = std::to_string(bits) + "-bit float is not one of the sample formats";
    } else {
        reason = "WAV format tag " + std::to_string(format.tag) + " is neither PCM nor IEEE float";
    }
    return reason.empty();
}

bool ReadFmt(std::string_view chunk, WaveFormat &format, std::string &reason)
{
    if (chunk.size() < 16) {
        reason = "fmt chunk shorter than 16 bytes";
        return false;
    }
    format.tag = Layouts_Le16(chunk, 0);
    format.channels = Layouts_Le16(chunk, 2);
    format.rate = Layouts_Le32(chunk, 4);
    format.blockAlign = Layouts_Le16(chunk, 12);
    format.bits = Layouts_Le16(chunk, 14);
    if (format.tag == kFormatExtensible) {
        // WAVE_FORMAT_EXTENSIBLE: the sub-format GUID begins with the format tag it stands for.
        if (chunk.size() < 40) {
            reason = "extensible fmt chunk shorter than 40 bytes";
            return false;
        }
        format.tag = Layouts_Le16(chunk, 24);
    }
    if (format.channels != 1 && format.channels != 2) {
        reason = std::to_string(format.channels) + " channels: only one (I) or two (I and Q) are read";
        return false;
    }
    if (format.bits % 8 != 0 || format.blockAlign != format.channels * (format.bits / 8)) {
        reason = "fmt block align does not match the channels and bits";
        return false;
    }
    return true;
}

// "ICMT" of a LIST/INFO chunk, if there is one.
void ReadInfoComment(std::string_view chunk, LayoutFacts &facts)
{
    if (chunk.size() < 4 || chunk.substr(0, 4) != "INFO") return;
    size_t at = 4;
    while (at + kChunkHeaderBytes <= chunk.size()) {
        const std::string_view id = chunk.substr(at, 4);
        const uint64_t size = Layouts_Le32(chunk, at + 4);
        if (size > chunk.size() - at - kChunkHeaderBytes) return;
        if (id == "ICMT") {
            const std::string_view text = chunk.substr(at + kChunkHeaderBytes, static_cast<size_t>(size));
            facts.comment.Set(Layouts_CutComment(text.substr(0, text.find('\0'))), FactSource::Header);
            return;
        }
        at += kChunkHeaderBytes + size + (size & 1);
    }
}

}  // namespace

LayoutReading Layouts_ReadWav(std::string_view prefix, int64_t fileSize)
{
    if (prefix.size() < 12 || prefix.substr(8, 4) != "WAVE") return Layouts_Refuse("no RIFF/RF64 WAVE header");
    const bool rf64 = prefix.substr(0, 4) == "RF64";
    if (!rf64 && prefix.substr(0, 4) != "RIFF") return Layouts_Refuse("no RIFF/RF64 WAVE header");
    if (fileSize < static_cast<int64_t>(prefix.size())) return Layouts_Refuse("file smaller than its first bytes");

    LayoutReading reading;
    LayoutFacts &facts = reading.facts;
    facts.layout = rf64 ? "RF64" : "WAV";
    facts.preset = "wav";
    facts.kind = ContainerKind::Wav;
    const uint64_t file = static_cast<uint64_t>(fileSize);
    std::optional<uint64_t> ds64DataSize;
    std::optional<WaveFormat> format;
    std::optional<uint64_t> dataOffset;
    uint64_t dataSize = 0;

    uint64_t at = 12;
    while (at + kChunkHeaderBytes <= prefix.size()) {
        const std::string_view id = prefix.substr(static_cast<size_t>(at), 4);
        uint64_t size = Layouts_Le32(prefix, static_cast<size_t>(at + 4));
        const uint64_t body = at + kChunkHeaderBytes;
        if (id == "data") {
            if (size == kSizeFromDs64 && rf64) {
                if (!ds64DataSize) return Layouts_Refuse("RF64 data chunk without a ds64 chunk before it");
                size = *ds64DataSize;
            }
            // A size of 0xFFFFFFFF, or one past the end of the file, runs to the end of the file.
            if (size == kSizeFromDs64 || size > file - body) size = file - body;
            dataOffset = body;
            dataSize = size;
            // The fmt chunk comes first in nearly every file; only then is the walk done here.
            if (format) break;
            at = body + size + (size & 1);
            continue;
        }
        if (size > file - body) return Layouts_Refuse("chunk '" + std::string(id) + "' runs past the end of the file");
        const bool inPrefix = size <= prefix.size() - body;
        const std::string_view chunk = inPrefix ? prefix.substr(static_cast<size_t>(body), static_cast<size_t>(size))
                                                : std::string_view();
        if (id == "ds64" && rf64) {
            if (!inPrefix || size < 24) return Layouts_Refuse("ds64 chunk shorter than 24 bytes");
            ds64DataSize = Layouts_Le64(chunk, 8);
        } else if (id == "fmt ") {
            if (!inPrefix) return Layouts_Refuse("fmt chunk not within the first 64 KiB");
            WaveFormat read;
            if (!ReadFmt(chunk, read, reading.reason)) return reading;
            format = read;
            if (dataOffset) break;
        } else if (id == "auxi" && inPrefix && size >= 36) {
            // The auxi chunk of SDR programs: start and stop time (2 x 16 bytes), then the
            // centre frequency in Hz.
            facts.centreFrequencyHz.Set(Layouts_Le32(chunk, 32), FactSource::Header);
        } else if (id == "LIST" && inPrefix) {
            ReadInfoComment(chunk, facts);
        }
        at = body + size + (size & 1);
    }
    if (!format) return Layouts_Refuse("no fmt chunk within the first 64 KiB");
    if (!dataOffset) return Layouts_Refuse("no data chunk within the first 64 KiB");

    std::string formatText;
    if (!FormatText(*format, formatText, reading.reason)) return reading;
    facts.headerLength.Set(static_cast<int64_t>(*dataOffset), FactSource::Header);
    facts.trailerLength.Set(static_cast<int64_t>(file - *dataOffset - dataSize), FactSource::Header);
    facts.format.Set(formatText, FactSource::Header);
    facts.endianness.Set("Little", FactSource::Header);
    facts.order.Set(format->channels == 2 ? "IQ" : "I Only - Q=0", FactSource::Header);
    if (format->rate > 0) facts.samplerateHz.Set(format->rate, FactSource::Header);
    facts.centreUnsigned.Set(format->tag == kFormatPcm && format->bits == 8, FactSource::Header);
    reading.recognised = true;
    return reading;
}
