// Our own .wv waveform files read back as input, and text with an I and a Q column.

#include <cctype>
#include <charconv>
#include <string>

#include "layouts/bytes.h"

namespace {

// The text of a "{NAME: value}" tag in the header, if present.
std::optional<std::string_view> TagValue(std::string_view header, std::string_view name)
{
    std::string opening(1, '{');
    opening.append(name).append(": ");
    const size_t begin = header.find(opening);
    if (begin == std::string_view::npos) return std::nullopt;
    const size_t valueBegin = begin + opening.size();
    const size_t end = header.find('}', valueBegin);
    if (end == std::string_view::npos) return std::nullopt;
    return header.substr(valueBegin, end - valueBegin);
}

bool IsLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }

}  // namespace

LayoutReading Layouts_ReadWv(std::string_view prefix, int64_t fileSize)
{
    if (!prefix.starts_with("{TYPE: ")) return Layouts_Refuse("no {TYPE: tag at the start");
    constexpr std::string_view kWaveform = "{WAVEFORM-";
    const size_t waveform = prefix.find(kWaveform);
    if (waveform == std::string_view::npos) return Layouts_Refuse("no {WAVEFORM- tag within the first 64 KiB");
    const size_t digits = waveform + kWaveform.size();
    uint64_t length = 0;
    const auto [end, error] = std::from_chars(prefix.data() + digits, prefix.data() + prefix.size(), length);
    const size_t colon = static_cast<size_t>(end - prefix.data());
    if (error != std::errc() || colon + 1 >= prefix.size() || prefix[colon] != ':' || prefix[colon + 1] != '#')
        return Layouts_Refuse("WAVEFORM tag without its length and '#'");
    // The length counts the '#' and 4 bytes per I/Q pair.
    const uint64_t header = colon + 2;
    const uint64_t file = static_cast<uint64_t>(fileSize);
    if (length < 1 || (length - 1) % 4 != 0 || header > file || length - 1 > file - header)
        return Layouts_Refuse("WAVEFORM length does not fit the file");

    LayoutReading reading;
    LayoutFacts &facts = reading.facts;
    facts.layout = ".wv";
    facts.preset = "wv";
    facts.kind = ContainerKind::Wv;
    facts.headerLength.Set(static_cast<int64_t>(header), FactSource::Header);
    facts.trailerLength.Set(static_cast<int64_t>(file - header - (length - 1)), FactSource::Header);
    facts.format.Set("16 Bit Integer", FactSource::Header);
    facts.endianness.Set("Little", FactSource::Header);
    facts.order.Set("IQ", FactSource::Header);
    const std::string_view tags = prefix.substr(0, waveform);
    if (const auto clock = TagValue(tags, "CLOCK")) {
        double rate = 0.0;
        const auto parsed = std::from_chars(clock->data(), clock->data() + clock->size(), rate);
        if (parsed.ec == std::errc() && rate > 0.0) facts.samplerateHz.Set(rate, FactSource::Header);
    }
    if (const auto comment = TagValue(tags, "COMMENT")) facts.comment.Set(Layouts_CutComment(*comment), FactSource::Header);
    reading.recognised = true;
    return reading;
}

LayoutReading Layouts_ReadTextColumns(std::string_view prefix, int64_t fileSize)
{
    size_t header = 0;
    while (header < prefix.size() && (prefix[header] == '#' || IsLetter(prefix[header]))) {
        const size_t lineEnd = prefix.find('\n', header);
        if (lineEnd == std::string_view::npos) return Layouts_Refuse("header lines run past the first 64 KiB");
        header = lineEnd + 1;
    }
    if (header >= prefix.size()) return Layouts_Refuse("no numbers after the header lines");

    LayoutReading reading;
    LayoutFacts &facts = reading.facts;
    facts.layout = "text columns";
    facts.preset = "text";
    facts.kind = ContainerKind::Text;
    facts.headerLength.Set(static_cast<int64_t>(header), FactSource::Header);
    facts.trailerLength.Set(0, FactSource::Preset);
    facts.format.Set("Text Floating Point", FactSource::Preset);
    facts.endianness.Set("Little", FactSource::Preset);
    facts.order.Set("IQ", FactSource::Preset);
    (void)fileSize;
    reading.recognised = true;
    return reading;
}
