#include "app/layoutflows.h"

#include <cstdio>
#include <cstring>

#include "app/configflows.h"
#include "app/treerules.h"
#include "configuration/choices.h"
#include "conversion/jobs.h"
#include "layouts/layouts.h"

namespace {

// Edits one tree item as a user would and notes where its value came from.
template <typename T>
void Edit(Session &session, DetectionResult &result, int item, std::string_view name, const std::string &text,
          const Fact<T> &fact)
{
    if (session.tree.items[item].value != text) (void)onConfigurationTree(session, item, text);
    result.values.push_back({item, std::string(name), text, Layouts_SourceText(fact.source)});
}

// An edit that only sets the way a value is read ("User"), with no source of its own.
void EditQuietly(Session &session, int item, std::string_view text)
{
    if (session.tree.items[item].value != text) (void)onConfigurationTree(session, item, std::string(text));
}

void ApplyLayout(Session &session, const LayoutFacts &facts, DetectionResult &result)
{
    EditQuietly(session, kItemStructure, text::kCombined);
    if (facts.endianness.value) Edit(session, result, kItemEndianness, "Endianess", *facts.endianness.value, facts.endianness);
    if (facts.format.value) Edit(session, result, kItemFormat, "Format", *facts.format.value, facts.format);
    if (facts.order.value) Edit(session, result, kItemOrder, "Order", *facts.order.value, facts.order);
    if (facts.headerLength.value) {
        EditQuietly(session, kItemHeaderSource, text::kUser);
        Edit(session, result, kItemHeaderValue, "Header Length", std::to_string(*facts.headerLength.value), facts.headerLength);
    }
    if (facts.trailerLength.value) {
        EditQuietly(session, kItemTrailerSource, text::kUser);
        Edit(session, result, kItemTrailerValue, "Trailer Length", std::to_string(*facts.trailerLength.value), facts.trailerLength);
    }
    if (facts.comment.value) {
        EditQuietly(session, kItemCommentSource, text::kUser);
        Edit(session, result, kItemCommentBegin, "Comment", *facts.comment.value, facts.comment);
    }
    EditQuietly(session, kItemSamplerateSource, text::kUser);
    EditQuietly(session, kItemSamplerateUnit, "MHz");
    // A file that gives no rate leaves it to the user: the rate of an earlier file is no answer.
    if (facts.samplerateHz.value)
        Edit(session, result, kItemSamplerateValue, "Samplerate [MHz]", App_RateText(*facts.samplerateHz.value), facts.samplerateHz);
    else
        EditQuietly(session, kItemSamplerateValue, "");
    // Only unsigned formats use the item; for the others it is dimmed and keeps its text.
    if (facts.centreUnsigned.value && session.tree.items[kItemCentreUnsigned].enabled)
        Edit(session, result, kItemCentreUnsigned, "Centre Unsigned", std::string(*facts.centreUnsigned.value ? text::kYes : text::kNo),
             facts.centreUnsigned);
    // Our own output read again keeps its samples.
    if (facts.kind == ContainerKind::Wv) {
        EditQuietly(session, kItemScaleValue, "1.0");
        EditQuietly(session, kItemAutoOptimization, text::kNo);
    }
    if (facts.centreFrequencyHz.value)
        result.values.push_back({-1, "Centre Frequency [MHz]", App_RateText(*facts.centreFrequencyHz.value),
                                 Layouts_SourceText(facts.centreFrequencyHz.source)});
}

// During a run each job reads these values from its own file: containers give all four, a
// text file its header, a raw capture's name its comment; the rate where the detected file's
// name gave one (a name without it leaves the rate to the user, for every job).
void SetPerJobSources(ConfigurationRecord &record, const LayoutFacts &facts)
{
    const ContainerKind kind = facts.kind;
    const bool container = kind == ContainerKind::Wav || kind == ContainerKind::SigMF || kind == ContainerKind::Wv;
    const std::string_view key = Layouts_ContainerKey(kind);
    (void)Layouts_SetReservedValue(record, kReservedHeader, container || kind == ContainerKind::Text ? key : "");
    (void)Layouts_SetReservedValue(record, kReservedTrailer, container ? key : "");
    (void)Layouts_SetReservedValue(record, kReservedComment, key);
    (void)Layouts_SetReservedValue(record, kReservedRate, container || facts.samplerateHz.value ? key : "");
}

}  // namespace

std::string App_RateText(double hz)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.9f", hz * 0.000001);
    std::string rate = text;
    while (!rate.empty() && rate.back() == '0') rate.pop_back();
    if (!rate.empty() && rate.back() == '.') rate.pop_back();
    return rate;
}

std::vector<RemainingFault> App_RemainingFaults(const ConfigurationTree &tree)
{
    std::vector<RemainingFault> faults;
    for (int item = 0; item < kTreeItemCount; ++item) {
        const TreeItem &cell = tree.items[item];
        if (cell.faultImage >= 0) faults.push_back({item, cell.label, cell.message});
    }
    return faults;
}

DetectionResult App_DetectLayout(Session &session, const std::string &path)
{
    DetectionResult result;
    if (Session_Locked(session)) {
        result.reason = "controls locked";
        return result;
    }
    const LayoutReading reading = Layouts_Detect(path);
    result.recognised = reading.recognised;
    result.reason = reading.reason;
    result.dataPath = reading.recognised ? reading.facts.dataPath : path;
    if (reading.recognised) {
        const LayoutFacts &facts = reading.facts;
        result.layout = facts.layout;
        result.preset = facts.preset;
        result.notes = facts.notes;
        ApplyLayout(session, facts, result);
        SetPerJobSources(session.record, facts);
        // The per-job sources change what the metadata steps derive: check everything again.
        Gui_CheckConfiguration(session, -1);
    }
    result.faults = App_RemainingFaults(session.tree);
    return result;
}

void App_LogDetection(Session &session, const std::string &path, const DetectionResult &result)
{
    const std::string file = "Layout of '" + Layouts_FileName(path) + "': ";
    if (!result.recognised) {
        Gui_UpdateStatus(session,
                         file + "not recognised: " + result.reason +
                             "; describe the file in the configuration or load one of the presets",
                         StatusIcon::Question);
        return;
    }
    std::string found = file + result.layout + " (preset " + result.preset + ")";
    for (const DetectedValue &value : result.values) found += "; " + value.name + " " + value.value + " [" + value.source + "]";
    Gui_UpdateStatus(session, found, StatusIcon::Ok);
    for (const std::string &note : result.notes) Gui_UpdateStatus(session, file + note, StatusIcon::Question);
    for (const RemainingFault &fault : result.faults)
        Gui_UpdateStatus(session, file + "still to give: " + fault.label + " (" + fault.message + ")", StatusIcon::Error);
}

int App_LoadPreset(Session &session, std::string_view name)
{
    const LayoutPreset *preset = Layouts_FindPreset(name);
    if (preset == nullptr || Session_Locked(session)) return 0;
    Configuration_SelectRecord(session, Layouts_PresetRecord(*preset));
    Gui_SetUnsavedStatus(session, 1);
    return 1;
}

bool App_IsUneditedNew(const ConfigurationRecord &record)
{
    // "New" counts as unsaved from the start, so the unsaved mark cannot tell: every slot is
    // compared with the built-in defaults, the reserved slot too.
    static const ConfigurationRecord defaults = Configuration_DefaultRecord();
    for (int slot = 0; slot < kSlotCount; ++slot)
        if (std::strcmp(Configuration_Slot(record, slot), Configuration_Slot(defaults, slot)) != 0) return false;
    return true;
}

int App_AddFiles(Session &session, int qFiles, std::vector<std::string> paths)
{
    if (qFiles == 0 && !paths.empty() && Gui_JobCount(session.jobs) == 0 && App_IsUneditedNew(session.record) &&
        !Session_Locked(session)) {
        // Said also when nothing was recognised: the tree then still shows the defaults' faults.
        const DetectionResult detection = App_DetectLayout(session, paths.front());
        App_LogDetection(session, paths.front(), detection);
        if (detection.recognised) paths.front() = detection.dataPath;
    }
    return Gui_AddIQ(session, qFiles, paths);
}

int App_DetectJob1Layout(Session &session)
{
    if (Session_Locked(session)) return 0;
    if (Gui_JobCount(session.jobs) == 0) {
        Gui_UpdateStatus(session, "Detect layout: add a job first", StatusIcon::Question);
        return 0;
    }
    const std::string path = Gui_JobInput(session.jobs, 0);
    const DetectionResult detection = App_DetectLayout(session, path);
    App_LogDetection(session, path, detection);
    return detection.recognised ? 1 : 0;
}
