// SigMF recordings: the metadata (JSON) gives the datatype, the rate, the description and, for a
// non-conforming dataset, the header and trailing bytes around the samples. An archive is a tar
// holding one recording, read in place: its header is everything before the data member's
// content, its trailer everything after it.

#include <nlohmann/json.hpp>

#include "layouts/bytes.h"

namespace {

constexpr int kMaximumDepth = 32;
using Json = nlohmann::json;

// The deepest nesting of objects and arrays in a JSON text (strings skipped): the parse is
// refused above kMaximumDepth before it starts.
int NestingDepth(std::string_view text)
{
    int depth = 0;
    int deepest = 0;
    bool inString = false;
    for (size_t k = 0; k < text.size(); ++k) {
        const char c = text[k];
        if (inString) {
            if (c == '\\') ++k;
            else if (c == '"') inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            deepest = std::max(deepest, ++depth);
        } else if (c == '}' || c == ']') {
            --depth;
        }
    }
    return deepest;
}

// "cf32_le" and the like: complex or real, the value type, the byte order.
bool ReadDatatype(const std::string &datatype, FactSource source, LayoutFacts &facts, std::string &reason)
{
    const bool complex = datatype.starts_with('c');
    if (!complex && !datatype.starts_with('r')) {
        reason = "datatype '" + datatype + "' is neither complex nor real";
        return false;
    }
    std::string type = datatype.substr(1);
    std::string endianness;
    if (type.ends_with("_le")) endianness = "Little";
    if (type.ends_with("_be")) endianness = "Big";
    if (!endianness.empty()) type.resize(type.size() - 3);
    struct TypeName {
        const char *sigmf;
        const char *format;
        int bytes;
    };
    static constexpr TypeName kTypes[] = {
        {"i8", "8 Bit Integer", 1},          {"u8", "8 Bit Unsigned Integer", 1},
        {"i16", "16 Bit Integer", 2},        {"u16", "16 Bit Unsigned Integer", 2},
        {"i32", "32 Bit Integer", 4},        {"u32", "32 Bit Unsigned Integer", 4},
        {"f32", "32 Bit Float", 4},          {"f64", "64 Bit Float", 8},
    };
    for (const TypeName &name : kTypes) {
        if (type != name.sigmf) continue;
        if (name.bytes > 1 && endianness.empty()) {
            reason = "datatype '" + datatype + "' without its byte order (_le or _be)";
            return false;
        }
        facts.format.Set(name.format, source);
        facts.endianness.Set(endianness.empty() ? "Little" : endianness, source);
        facts.order.Set(complex ? "IQ" : "I Only - Q=0", source);
        facts.centreUnsigned.Set(type.starts_with('u'), source);
        return true;
    }
    reason = "datatype '" + datatype + "' is not one of the sample formats";
    return false;
}

// An unsigned integer field, if present and of that type.
std::optional<uint64_t> UnsignedField(const Json &object, const char *key)
{
    const auto found = object.find(key);
    if (found == object.end() || !found->is_number_unsigned()) return std::nullopt;
    return found->get<uint64_t>();
}

LayoutReading ReadMeta(std::string_view metaText, int64_t dataSize, FactSource source);

}  // namespace

LayoutReading Layouts_ReadSigMFMeta(std::string_view metaText, int64_t dataSize)
{
    return ReadMeta(metaText, dataSize, FactSource::Sidecar);
}

namespace {

// The metadata's facts, each from `source` (a sidecar file, or the archive's own member).
LayoutReading ReadMeta(std::string_view metaText, int64_t dataSize, FactSource source)
{
    if (metaText.size() > static_cast<size_t>(kLayoutSidecarBytes)) return Layouts_Refuse("metadata larger than 1 MiB");
    if (NestingDepth(metaText) > kMaximumDepth) return Layouts_Refuse("metadata nested too deeply");
    const Json meta = Json::parse(metaText, nullptr, false);
    if (meta.is_discarded() || !meta.is_object()) return Layouts_Refuse("metadata is not a JSON object");
    const auto global = meta.find("global");
    if (global == meta.end() || !global->is_object()) return Layouts_Refuse("metadata without a global object");

    LayoutReading reading;
    LayoutFacts &facts = reading.facts;
    facts.layout = "SigMF recording";
    facts.preset = "sigmf";
    facts.kind = ContainerKind::SigMF;
    const auto datatype = global->find("core:datatype");
    if (datatype == global->end() || !datatype->is_string()) return Layouts_Refuse("metadata without core:datatype");
    if (!ReadDatatype(datatype->get<std::string>(), source, facts, reading.reason)) return reading;
    if (const auto channels = UnsignedField(*global, "core:num_channels"); channels && *channels != 1)
        return Layouts_Refuse(std::to_string(*channels) + " channels: only one channel is read");

    const auto rate = global->find("core:sample_rate");
    if (rate != global->end() && rate->is_number() && rate->get<double>() > 0.0)
        facts.samplerateHz.Set(rate->get<double>(), source);
    const auto description = global->find("core:description");
    if (description != global->end() && description->is_string())
        facts.comment.Set(Layouts_CutComment(description->get<std::string>()), source);

    const auto dataset = global->find("core:dataset");
    if (dataset != global->end() && dataset->is_string()) facts.dataPath = dataset->get<std::string>();

    // A non-conforming dataset: bytes of its own before the first capture and after the samples.
    uint64_t header = 0;
    const auto captures = meta.find("captures");
    if (captures != meta.end() && captures->is_array() && !captures->empty() && (*captures)[0].is_object()) {
        const Json &first = (*captures)[0];
        header = UnsignedField(first, "core:header_bytes").value_or(0);
        const auto frequency = first.find("core:frequency");
        if (frequency != first.end() && frequency->is_number())
            facts.centreFrequencyHz.Set(frequency->get<double>(), source);
    }
    const uint64_t trailer = UnsignedField(*global, "core:trailing_bytes").value_or(0);
    const uint64_t size = dataSize < 0 ? 0 : static_cast<uint64_t>(dataSize);
    if (header > size || trailer > size - header)
        return Layouts_Refuse("header and trailing bytes exceed the dataset's size");
    facts.headerLength.Set(static_cast<int64_t>(header), source);
    facts.trailerLength.Set(static_cast<int64_t>(trailer), source);
    reading.recognised = true;
    return reading;
}

}  // namespace

LayoutReading Layouts_ReadSigMFArchive(std::string_view prefix, int64_t fileSize)
{
    std::vector<TarMember> members;
    std::string reason;
    if (!Layouts_ReadTarMembers(prefix, fileSize, members, reason)) return Layouts_Refuse(reason);
    const TarMember *meta = nullptr;
    const TarMember *data = nullptr;
    for (const TarMember &member : members) {
        const TarMember **slot = member.name.ends_with(".sigmf-meta")   ? &meta
                                 : member.name.ends_with(".sigmf-data") ? &data
                                                                        : nullptr;
        if (slot == nullptr) continue;
        if (*slot != nullptr) return Layouts_Refuse("archive holds more than one recording");
        *slot = &member;
    }
    if (meta == nullptr) return Layouts_Refuse("archive without a .sigmf-meta member in its first 64 KiB");
    if (data == nullptr) return Layouts_Refuse("archive without a .sigmf-data member in its first 64 KiB");
    if (meta->dataOffset + meta->size > static_cast<int64_t>(prefix.size()))
        return Layouts_Refuse("metadata member not within the first 64 KiB");

    const std::string_view metaText = prefix.substr(static_cast<size_t>(meta->dataOffset), static_cast<size_t>(meta->size));
    LayoutReading reading = ReadMeta(metaText, data->size, FactSource::Header);
    if (!reading.recognised) return reading;
    LayoutFacts &facts = reading.facts;
    facts.layout = "SigMF archive";
    facts.dataPath.clear();  // the samples are the archive's own member
    // The member's own header and trailing bytes lie inside it; the archive adds its own.
    const int64_t header = data->dataOffset + *facts.headerLength.value;
    const int64_t trailer = fileSize - data->dataOffset - data->size + *facts.trailerLength.value;
    facts.headerLength.Set(header, FactSource::Header);
    facts.trailerLength.Set(trailer, FactSource::Header);
    return reading;
}
