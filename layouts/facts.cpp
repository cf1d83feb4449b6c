#include <cstring>

#include "layouts/layouts.h"

namespace {

constexpr char kPairSeparator = ';';

struct ReservedPair {
    std::string key;
    std::string value;
};

// The pairs of the reserved slot, in their order; text without "=" is kept as a key alone so
// that a text this build does not know survives an edit of another key.
std::vector<ReservedPair> ReservedPairs(const ConfigurationRecord &record)
{
    const std::string_view text(record.reserved, strnlen(record.reserved, kSlotBytes));
    std::vector<ReservedPair> pairs;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(kPairSeparator, start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view pair = text.substr(start, end - start);
        const size_t equals = pair.find('=');
        if (!pair.empty()) {
            if (equals == std::string_view::npos)
                pairs.push_back({std::string(pair), {}});
            else
                pairs.push_back({std::string(pair.substr(0, equals)), std::string(pair.substr(equals + 1))});
        }
        start = end + 1;
    }
    return pairs;
}

}  // namespace

const char *Layouts_SourceText(FactSource source)
{
    switch (source) {
    case FactSource::Header: return "header";
    case FactSource::Sidecar: return "sidecar";
    case FactSource::Name: return "name";
    case FactSource::Preset: return "preset";
    }
    return "preset";
}

const char *Layouts_ContainerKey(ContainerKind kind)
{
    switch (kind) {
    case ContainerKind::Wav: return "WAV";
    case ContainerKind::SigMF: return "SigMF";
    case ContainerKind::Wv: return "WV";
    case ContainerKind::Text: return "Text";
    case ContainerKind::Name: return "Name";
    case ContainerKind::None: return "";
    }
    return "";
}

ContainerKind Layouts_ContainerFromKey(std::string_view key)
{
    for (ContainerKind kind : {ContainerKind::Wav, ContainerKind::SigMF, ContainerKind::Wv, ContainerKind::Text,
                               ContainerKind::Name})
        if (key == Layouts_ContainerKey(kind)) return kind;
    return ContainerKind::None;
}

std::string Layouts_FileName(std::string_view path)
{
    const size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string Layouts_ReservedValue(const ConfigurationRecord &record, std::string_view key)
{
    for (const ReservedPair &pair : ReservedPairs(record))
        if (pair.key == key) return pair.value;
    return {};
}

bool Layouts_SetReservedValue(ConfigurationRecord &record, std::string_view key, std::string_view value)
{
    std::vector<ReservedPair> pairs = ReservedPairs(record);
    std::erase_if(pairs, [key](const ReservedPair &pair) { return pair.key == key; });
    if (!value.empty()) pairs.push_back({std::string(key), std::string(value)});
    std::string text;
    for (const ReservedPair &pair : pairs) {
        if (!text.empty()) text += kPairSeparator;
        text += pair.key;
        if (!pair.value.empty()) text += "=" + pair.value;
    }
    if (text.size() >= static_cast<size_t>(kSlotBytes)) return false;
    // Unchanged settings leave every byte of the slot as it was loaded.
    if (text == std::string_view(record.reserved, strnlen(record.reserved, kSlotBytes))) return true;
    // Bytes behind the text are cleared: a record whose settings all went back to their
    // defaults is byte for byte the record it was before.
    std::memset(record.reserved, 0, kSlotBytes);
    std::memcpy(record.reserved, text.data(), text.size());
    return true;
}

ContainerKind Layouts_PerJobSource(const ConfigurationRecord &record, std::string_view key)
{
    return Layouts_ContainerFromKey(Layouts_ReservedValue(record, key));
}

bool Layouts_HasPerJobSources(const ConfigurationRecord &record)
{
    for (std::string_view key : {kReservedHeader, kReservedTrailer, kReservedComment, kReservedRate})
        if (Layouts_PerJobSource(record, key) != ContainerKind::None) return true;
    return false;
}
