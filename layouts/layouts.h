#pragma once
// What a file says about itself: the readers of WAV/RF64, SigMF (recording, dataset, archive),
// our own .wv files and text columns, the tokens of a file name, the built-in presets for raw
// captures, and detection, which puts these facts together for one file. Every fact carries
// where it came from. Nothing here decides for the user: what no fact supplies stays unknown.
//
// The readers take untrusted bytes. They read at most the first kLayoutPrefixBytes of a file
// (plus a SigMF metadata file beside it, at most kLayoutSidecarBytes), check every size against
// the bytes that remain before they use it, and never read past the end of the file. A file they
// cannot read is refused with a reason ("not recognised: <reason>").

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "configuration/record.h"

inline constexpr int64_t kLayoutPrefixBytes = 65536;
inline constexpr int64_t kLayoutSidecarBytes = 1 << 20;
inline constexpr int kLayoutCommentMaxChars = 90;

// Where a value came from.
enum class FactSource { Header, Sidecar, Name, Preset };

// "header", "sidecar", "name", "preset".
const char *Layouts_SourceText(FactSource source);

template <typename T>
struct Fact {
    std::optional<T> value;
    FactSource source = FactSource::Preset;

    void Set(T newValue, FactSource from)
    {
        value = std::move(newValue);
        source = from;
    }
};

// The kinds of file whose facts are read again from each job's own file during a run.
enum class ContainerKind { None, Wav, SigMF, Wv, Text, Name };

// "WAV", "SigMF", "WV", "Text", "Name"; "" for None.
const char *Layouts_ContainerKey(ContainerKind kind);
ContainerKind Layouts_ContainerFromKey(std::string_view key);

struct LayoutFacts {
    std::string layout;                 // what the file is: "WAV", "RF64", "SigMF archive", "cu8", ...
    std::string preset;                 // the preset whose record describes it ("wav", "cu8", ...)
    ContainerKind kind = ContainerKind::None;  // whose facts each job reads from its own file
    std::string dataPath;               // the file that holds the samples (a SigMF pair: .sigmf-data)
    Fact<int64_t> headerLength;         // bytes before the first sample
    Fact<int64_t> trailerLength;        // bytes after the last sample
    Fact<std::string> format;           // a sample format's display text ("16 Bit Integer", ...)
    Fact<std::string> endianness;       // "Little" or "Big"
    Fact<std::string> order;            // "IQ", or "I Only - Q=0" for a single channel
    Fact<double> samplerateHz;
    Fact<std::string> comment;          // at most 90 characters
    Fact<double> centreFrequencyHz;     // shown to the user only
    Fact<bool> centreUnsigned;          // unsigned values centred before the scale
    std::vector<std::string> notes;     // lines for the log ("content wins over the extension", ...)
};

// A reader's answer: the facts, or why the file is not what the reader reads.
struct LayoutReading {
    bool recognised = false;
    std::string reason;                 // when not recognised
    LayoutFacts facts;
};

// ---- Readers over bytes (the fuzz targets call these) ------------------------------------

// A RIFF/WAVE or RF64 file whose first bytes are `prefix` and whose size is fileSize.
LayoutReading Layouts_ReadWav(std::string_view prefix, int64_t fileSize);

// SigMF metadata text (at most kLayoutSidecarBytes). dataSize is the size of the data file (or
// of the archive member) that the header and trailing bytes of a non-conforming dataset must fit.
// A dataset's file name (core:dataset) is returned in facts.dataPath as the metadata gives it.
LayoutReading Layouts_ReadSigMFMeta(std::string_view metaText, int64_t dataSize);

// One member of a tar archive, as far as the archive's first bytes show it.
struct TarMember {
    std::string name;
    int64_t dataOffset = 0;             // where the member's content starts in the archive
    int64_t size = 0;
};

// The members of a tar archive (ustar, pax and GNU long names) whose headers lie in `prefix`.
// Returns false with a reason for an archive it cannot walk.
bool Layouts_ReadTarMembers(std::string_view prefix, int64_t fileSize, std::vector<TarMember> &members,
                            std::string &reason);

// A SigMF archive (a tar holding one recording) whose first bytes are `prefix`.
LayoutReading Layouts_ReadSigMFArchive(std::string_view prefix, int64_t fileSize);

// One of our own .wv waveform files.
LayoutReading Layouts_ReadWv(std::string_view prefix, int64_t fileSize);

// Text with an I and a Q column: its header is the lines that start with '#' or a letter.
LayoutReading Layouts_ReadTextColumns(std::string_view prefix, int64_t fileSize);

// ---- Files --------------------------------------------------------------------------------

// Reads the container facts of `kind` from the file at `path` (and its sidecar): what a run
// reads for each job. Name gives the file name's comment and rate token.
LayoutReading Layouts_ReadContainer(ContainerKind kind, const std::string &path);

// What one file says about itself: content first (magic bytes, a SigMF metadata file beside
// it), then its extension, then its name's tokens. Not recognised: nothing fits.
LayoutReading Layouts_Detect(const std::string &path);

// ---- Name tokens --------------------------------------------------------------------------

// The sample rate written in a file name (no folder), where it cannot be misread: rtl_433's
// "_<centre>M_<rate>k", gqrx's "gqrx_<date>_<time>_<centre>_<rate>_fc.raw", or a number with
// "sps", "Sps", "SPS" or "S/s" and an optional k, M or G. "_<n>kHz" and "_<n>Hz" name a centre
// frequency, never a rate. A zero rate names none.
std::optional<double> Layouts_RateFromName(std::string_view fileName);

// The centre frequency a file name gives, if any ("_433.92M_", "_<n>kHz", gqrx's centre).
std::optional<double> Layouts_CentreFromName(std::string_view fileName);

// The file name without its folder.
std::string Layouts_FileName(std::string_view path);

// ---- Presets ------------------------------------------------------------------------------

struct LayoutPreset {
    std::string_view name;              // "cu8", "wav", ...
    std::string_view description;       // "complex unsigned 8-bit"
    std::vector<std::string_view> extensions;  // ".cu8", ... (lower case); empty for containers
    ContainerKind kind;                 // whose facts each job reads from its file
};

// The built-in presets, in the order they are listed.
const std::vector<LayoutPreset> &Layouts_Presets();

// The preset named `name`, or null.
const LayoutPreset *Layouts_FindPreset(std::string_view name);

// The preset's configuration record: named after the preset, every other slot at its built-in
// default except what the preset fixes (format, order, byte order, header and trailer 0, the
// comment "User", the scale), and the per-job keys in the reserved slot.
ConfigurationRecord Layouts_PresetRecord(const LayoutPreset &preset);

// ---- Settings of the reserved slot --------------------------------------------------------
// The reserved slot holds "key=value" pairs separated by ';'. Older builds store and load it
// unchanged, so settings kept there never change how an older build reads a file.

inline constexpr std::string_view kReservedCentre = "centre";     // "Yes": unsigned values centred
inline constexpr std::string_view kReservedHeader = "header";     // per-job sources: a container key
inline constexpr std::string_view kReservedTrailer = "trailer";
inline constexpr std::string_view kReservedComment = "comment";
inline constexpr std::string_view kReservedRate = "rate";

// The value of `key` in the reserved slot; empty when absent.
std::string Layouts_ReservedValue(const ConfigurationRecord &record, std::string_view key);

// Sets `key` to `value` (an empty value removes the key). Returns false when the slot has no
// room left (the slot then keeps its text).
bool Layouts_SetReservedValue(ConfigurationRecord &record, std::string_view key, std::string_view value);

// The container kind that supplies the per-job value `key` (header, trailer, comment, rate).
ContainerKind Layouts_PerJobSource(const ConfigurationRecord &record, std::string_view key);

// True when any value is read per job from a container (header, trailer, comment or rate).
bool Layouts_HasPerJobSources(const ConfigurationRecord &record);
