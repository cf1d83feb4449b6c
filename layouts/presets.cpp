// The built-in presets: one configuration per raw format that SDR programs write, and one per
// container whose facts each job reads from its own file.

#include "configuration/choices.h"
#include "layouts/layouts.h"

namespace {

struct PresetFormat {
    std::string_view name;
    std::string_view format;
    bool centre;
};

// The sample format each raw preset describes; containers start from 16-bit pairs and take
// the format their file declares when detected.
constexpr PresetFormat kPresetFormats[] = {
    {"cu8", "8 Bit Unsigned Integer", true}, {"cs8", "8 Bit Integer", false},
    {"cs16", "16 Bit Integer", false},       {"cf32", "32 Bit Float", false},
    {"cf64", "64 Bit Float", false},         {"text", "Text Floating Point", false},
};

void SetSlot(ConfigurationRecord &record, std::string_view key, std::string_view text)
{
    Configuration_SetSlotText(record, Configuration_SlotByKey(key), text);
}

}  // namespace

const std::vector<LayoutPreset> &Layouts_Presets()
{
    static const std::vector<LayoutPreset> presets = {
        {"cu8", "complex unsigned 8-bit", {".cu8", ".uc8", ".complex16u"}, ContainerKind::Name},
        {"cs8", "complex signed 8-bit", {".cs8", ".sc8", ".c8", ".complex16s"}, ContainerKind::Name},
        {"cs16", "complex signed 16-bit", {".cs16", ".sc16", ".c16", ".complex32s"}, ContainerKind::Name},
        {"cf32", "complex float 32-bit", {".cf32", ".fc32", ".cfile", ".complex", "_fc.raw"}, ContainerKind::Name},
        {"cf64", "complex float 64-bit", {".cf64"}, ContainerKind::Name},
        {"text", "text with an I and a Q column", {".csv", ".txt"}, ContainerKind::Text},
        {"wav", "WAV or RF64 file", {".wav"}, ContainerKind::Wav},
        {"sigmf", "SigMF recording, dataset or archive", {".sigmf", ".sigmf-meta", ".sigmf-data"}, ContainerKind::SigMF},
        {"wv", ".wv waveform file", {".wv"}, ContainerKind::Wv},
    };
    return presets;
}

const LayoutPreset *Layouts_FindPreset(std::string_view name)
{
    for (const LayoutPreset &preset : Layouts_Presets())
        if (preset.name == name) return &preset;
    return nullptr;
}

ConfigurationRecord Layouts_PresetRecord(const LayoutPreset &preset)
{
    ConfigurationRecord record = Configuration_DefaultRecord();
    Configuration_SetSlotText(record, kSlotName, preset.name);
    SetSlot(record, "headerSource", text::kUser);
    SetSlot(record, "headerValue", "0");
    SetSlot(record, "trailerSource", text::kUser);
    SetSlot(record, "trailerValue", "0");
    SetSlot(record, "commentSource", text::kUser);
    SetSlot(record, "samplerateSource", text::kUser);
    SetSlot(record, "samplerateType", "");
    bool centre = false;
    for (const PresetFormat &format : kPresetFormats) {
        if (format.name != preset.name) continue;
        SetSlot(record, "format", format.format);
        centre = format.centre;
    }
    // Our own output read again keeps its samples: no scaling.
    if (preset.kind == ContainerKind::Wv) SetSlot(record, "autoOptimization", text::kNo);

    const std::string_view kind = Layouts_ContainerKey(preset.kind);
    const bool container = preset.kind != ContainerKind::Name && preset.kind != ContainerKind::Text;
    if (container || preset.kind == ContainerKind::Text) Layouts_SetReservedValue(record, kReservedHeader, kind);
    if (container) Layouts_SetReservedValue(record, kReservedTrailer, kind);
    Layouts_SetReservedValue(record, kReservedComment, kind);
    Layouts_SetReservedValue(record, kReservedRate, kind);
    if (centre) Layouts_SetReservedValue(record, kReservedCentre, text::kYes);
    return record;
}
