// Reading a file's facts: its first bytes, a SigMF metadata file beside it, its extension and
// the tokens of its name, in that order of trust.

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "base/filehandle.h"
#include "layouts/bytes.h"

namespace {

constexpr std::string_view kMetaExtension = ".sigmf-meta";
constexpr std::string_view kDataExtension = ".sigmf-data";

// The first bytes of a file (at most `limit`) and its size; false when it cannot be read.
bool ReadPrefix(const std::string &path, int64_t limit, std::string &prefix, int64_t &fileSize)
{
    // Non-blocking, so that a named pipe given as a file cannot hold the caller; only regular
    // files are read.
    FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat info {};
    if (!file.valid() || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    fileSize = info.st_size;
    prefix.resize(static_cast<size_t>(std::min<int64_t>(limit, fileSize)));
    size_t got = 0;
    while (got < prefix.size()) {
        const ssize_t n = ::pread(file.get(), prefix.data() + got, prefix.size() - got, static_cast<off_t>(got));
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    prefix.resize(got);
    return true;
}

std::string Lower(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

bool EndsWith(std::string_view text, std::string_view end) { return text.ends_with(end); }

// The path without a SigMF extension (".sigmf-meta", ".sigmf-data") or its last extension.
std::string Stem(const std::string &path)
{
    for (std::string_view extension : {kMetaExtension, kDataExtension})
        if (EndsWith(path, extension)) return path.substr(0, path.size() - extension.size());
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path;
    return path.substr(0, dot);
}

std::string Folder(const std::string &path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool IsRegularFile(const std::string &path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool IsWav(std::string_view prefix)
{
    return prefix.size() >= 12 && (prefix.starts_with("RIFF") || prefix.starts_with("RF64")) &&
           prefix.substr(8, 4) == "WAVE";
}

bool IsTar(std::string_view prefix) { return prefix.size() >= 512 && prefix.substr(257, 5) == "ustar"; }

// A recording given by its metadata file or its data file (or a dataset beside its metadata).
// Returns nothing when there is no metadata file for `path`.
std::optional<LayoutReading> ReadSigMFPair(const std::string &path)
{
    const std::string stem = Stem(path);
    const std::string metaPath = stem + std::string(kMetaExtension);
    if (!IsRegularFile(metaPath)) return std::nullopt;
    std::string meta;
    int64_t metaSize = 0;
    if (!ReadPrefix(metaPath, kLayoutSidecarBytes + 1, meta, metaSize))
        return Layouts_Refuse("metadata file cannot be read");

    // The samples: a non-conforming dataset names its file; a recording keeps them in .sigmf-data.
    const LayoutReading described = Layouts_ReadSigMFMeta(meta, INT64_MAX);
    if (!described.recognised) return described;
    std::string dataPath = stem + std::string(kDataExtension);
    std::string layout = "SigMF recording";
    if (!described.facts.dataPath.empty()) {
        dataPath = Folder(metaPath) + Layouts_FileName(described.facts.dataPath);
        layout = "SigMF dataset";
    }
    if (!EndsWith(path, kMetaExtension) && Layouts_FileName(path) != Layouts_FileName(dataPath))
        return std::nullopt;  // a metadata file of the same name describes another file
    std::string ignored;
    int64_t dataSize = 0;
    if (!ReadPrefix(dataPath, 0, ignored, dataSize))
        return Layouts_Refuse("data file '" + Layouts_FileName(dataPath) + "' cannot be read");
    LayoutReading reading = Layouts_ReadSigMFMeta(meta, dataSize);
    reading.facts.layout = layout;
    reading.facts.dataPath = dataPath;
    return reading;
}

// What the content says, or nothing when it says nothing we read.
std::optional<LayoutReading> ReadContent(const std::string &path, std::string_view prefix, int64_t fileSize)
{
    if (IsWav(prefix)) return Layouts_ReadWav(prefix, fileSize);
    if (IsTar(prefix)) {
        LayoutReading reading = Layouts_ReadSigMFArchive(prefix, fileSize);
        if (reading.recognised || EndsWith(Lower(path), ".sigmf")) return reading;
        return std::nullopt;  // a tar that holds no recording says nothing about samples
    }
    if (prefix.starts_with("{TYPE: ")) return Layouts_ReadWv(prefix, fileSize);
    return ReadSigMFPair(path);
}

const LayoutPreset *PresetForExtension(const std::string &path)
{
    const std::string lower = Lower(Layouts_FileName(path));
    for (const LayoutPreset &preset : Layouts_Presets())
        for (std::string_view extension : preset.extensions)
            if (EndsWith(lower, extension)) return &preset;
    return nullptr;
}

// The facts of a raw preset: its format and layout, header and trailer 0.
LayoutReading ReadRaw(const LayoutPreset &preset)
{
    LayoutReading reading;
    LayoutFacts &facts = reading.facts;
    const ConfigurationRecord record = Layouts_PresetRecord(preset);
    facts.layout = preset.name;
    facts.preset = preset.name;
    facts.kind = preset.kind;
    facts.headerLength.Set(0, FactSource::Preset);
    facts.trailerLength.Set(0, FactSource::Preset);
    facts.format.Set(record.format, FactSource::Preset);
    facts.endianness.Set(record.endianness, FactSource::Preset);
    facts.order.Set(record.order, FactSource::Preset);
    facts.centreUnsigned.Set(Layouts_ReservedValue(record, kReservedCentre) == "Yes", FactSource::Preset);
    reading.recognised = true;
    return reading;
}

// What a file's name adds where the content said nothing: the comment, the rate, the centre.
void AddNameFacts(const std::string &path, LayoutFacts &facts)
{
    const std::string name = Layouts_FileName(path);
    if (!facts.comment.value) facts.comment.Set(Layouts_CutComment(name), FactSource::Name);
    if (!facts.samplerateHz.value)
        if (const auto rate = Layouts_RateFromName(name)) facts.samplerateHz.Set(*rate, FactSource::Name);
    if (!facts.centreFrequencyHz.value)
        if (const auto centre = Layouts_CentreFromName(name)) facts.centreFrequencyHz.Set(*centre, FactSource::Name);
}

}  // namespace

LayoutReading Layouts_Detect(const std::string &path)
{
    std::string prefix;
    int64_t fileSize = 0;
    if (!ReadPrefix(path, kLayoutPrefixBytes, prefix, fileSize)) return Layouts_Refuse("file cannot be read");

    const LayoutPreset *byExtension = PresetForExtension(path);
    LayoutReading reading;
    if (std::optional<LayoutReading> content = ReadContent(path, prefix, fileSize)) {
        reading = std::move(*content);
        if (!reading.recognised) return reading;
        if (byExtension != nullptr && byExtension->name != reading.facts.preset)
            reading.facts.notes.push_back("'" + Layouts_FileName(path) + "' holds a " + reading.facts.layout +
                                          " file: read as " + reading.facts.layout + ", not as its extension says");
    } else if (byExtension == nullptr) {
        return Layouts_Refuse("neither its content nor its extension is one we know");
    } else if (byExtension->kind == ContainerKind::Text) {
        reading = Layouts_ReadTextColumns(prefix, fileSize);
        if (!reading.recognised) return reading;
    } else if (byExtension->kind == ContainerKind::Name) {
        reading = ReadRaw(*byExtension);
    } else {
        return Layouts_Refuse("the extension says " + std::string(byExtension->name) + ", the content does not");
    }
    AddNameFacts(reading.facts.dataPath.empty() ? path : reading.facts.dataPath, reading.facts);
    if (reading.facts.dataPath.empty()) reading.facts.dataPath = path;
    return reading;
}

LayoutReading Layouts_ReadContainer(ContainerKind kind, const std::string &path)
{
    std::string prefix;
    int64_t fileSize = 0;
    if (!ReadPrefix(path, kLayoutPrefixBytes, prefix, fileSize)) return Layouts_Refuse("file cannot be read");
    LayoutReading reading;
    switch (kind) {
    case ContainerKind::Wav: reading = Layouts_ReadWav(prefix, fileSize); break;
    case ContainerKind::Wv: reading = Layouts_ReadWv(prefix, fileSize); break;
    case ContainerKind::Text: reading = Layouts_ReadTextColumns(prefix, fileSize); break;
    case ContainerKind::SigMF:
        if (IsTar(prefix)) {
            reading = Layouts_ReadSigMFArchive(prefix, fileSize);
        } else if (std::optional<LayoutReading> pair = ReadSigMFPair(path)) {
            reading = std::move(*pair);
        } else {
            reading = Layouts_Refuse("no SigMF metadata for this file");
        }
        break;
    case ContainerKind::Name: {
        // A raw capture's name is all it has: the extension tells its sample layout, when it is
        // one we know, so that a job of another layout is not read with this one.
        const LayoutPreset *byExtension = PresetForExtension(path);
        if (byExtension != nullptr && byExtension->kind == ContainerKind::Name) reading = ReadRaw(*byExtension);
        else reading.recognised = true;
        break;
    }
    case ContainerKind::None: reading = Layouts_Refuse("no container"); break;
    }
    if (reading.recognised) AddNameFacts(path, reading.facts);
    return reading;
}
