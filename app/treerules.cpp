#include "app/treerules.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>

#include "app/treeexchange.h"
#include "configuration/choices.h"
#include "conversion/jobs.h"
#include "layouts/layouts.h"
#include "parser/analysis.h"
#include "parser/formats.h"
#include "parser/metadataupdate.h"
#include "parser/spupdate.h"

namespace {

bool Applies(int item, std::initializer_list<int> items)
{
    return item == -1 || std::find(items.begin(), items.end(), item) != items.end();
}

bool OneOf(int item, std::initializer_list<int> items)
{
    return std::find(items.begin(), items.end(), item) != items.end();
}

// Sets a slot's text in the record and its item's cell.
void SetValue(Session &session, int item, std::string_view text)
{
    Configuration_SetSlotText(session.record, Configuration_SlotOfTreeItem(item), text);
    session.tree.items[item].value = std::string(text);
}

// Shows an item with its label, enabled, its cell showing the record's slot.
void ShowItem(Session &session, int item, std::string_view label)
{
    TreeItem &cell = session.tree.items[item];
    cell.label = std::string(label);
    cell.enabled = true;
    cell.value = Configuration_Slot(session.record, Configuration_SlotOfTreeItem(item));
}

// Hides an item's use: empty label and value, disabled; emptyRecord also empties its slot.
void BlankItem(Session &session, int item, bool emptyRecord)
{
    TreeItem &cell = session.tree.items[item];
    cell.label.clear();
    cell.value.clear();
    cell.enabled = false;
    if (emptyRecord) Configuration_SetSlotText(session.record, Configuration_SlotOfTreeItem(item), "");
}

void RemoveListValue(TreeItem &item, std::string_view value)
{
    std::erase(item.listValues, std::string(value));
}

void InsertListValue(TreeItem &item, size_t position, std::string_view value)
{
    if (std::find(item.listValues.begin(), item.listValues.end(), value) != item.listValues.end()) return;
    item.listValues.insert(item.listValues.begin() + std::min(position, item.listValues.size()), std::string(value));
}

void ApplyStructure(Session &session)
{
    const bool separate = std::string_view(session.record.structure) != text::kCombined;
    AddButtonsView &buttons = session.views.addButtons;
    buttons.addIqVisible = !separate;
    buttons.addIVisible = separate;
    buttons.addQVisible = separate;
    // The combined structure has no Q files: those the jobs had are gone, and the log says so.
    if (const int dropped = Gui_RelabelJobs(session.jobs, separate); dropped > 0)
        Gui_UpdateStatus(session,
                         dropped == 1 ? std::string("Combined IQ (1 File): the Q file of 1 job was dropped")
                                      : "Combined IQ (1 File): the Q files of " + std::to_string(dropped) +
                                            " jobs were dropped",
                         StatusIcon::Question);
    Session_Notify(session, SessionChange::Jobs);

    TreeItem &order = session.tree.items[kItemOrder];
    if (!separate) {
        if (order.listValues.size() < 2)
            order.listValues.assign(kOrderChoices.begin(), kOrderChoices.end());
        ShowItem(session, kItemIMarkers, "Previous Markers");
        ShowItem(session, kItemQMarkers, "Previous Markers");
    } else {
        order.listValues.assign(1, std::string(text::kOrderIQ));
        SetValue(session, kItemOrder, text::kOrderIQ);
        BlankItem(session, kItemIMarkers, false);
        BlankItem(session, kItemQMarkers, false);
    }
}

void ApplyCommentSource(Session &session)
{
    const std::string_view source = session.record.commentSource;
    if (Configuration_Contains(source, "Fix")) {
        session.tree.items[kItemCommentBegin].label = "Begin Position";
        ShowItem(session, kItemCommentEnd, "End Position");
    } else if (Configuration_Contains(source, "Variable")) {
        session.tree.items[kItemCommentBegin].label = "Prefix";
        ShowItem(session, kItemCommentEnd, "Suffix");
    } else {
        session.tree.items[kItemCommentBegin].label = "Value";
        BlankItem(session, kItemCommentEnd, true);
    }
}

void ApplySamplerateSource(Session &session)
{
    const std::string_view source = session.record.samplerateSource;
    if (!Configuration_Contains(source, "User")) {
        // A stored type is kept; coming from "User" (no type) it becomes text floating point.
        if (session.record.samplerateType[0] == '\0')
            Configuration_SetSlotText(session.record, Configuration_SlotOfTreeItem(kItemSamplerateType),
                                      text::kTextFloatingPoint);
        ShowItem(session, kItemSamplerateType, "Type");
        session.tree.items[kItemSamplerateValue].label =
            Configuration_Contains(source, "Variable") ? "Prefix" : "Begin Position";
    } else {
        session.tree.items[kItemSamplerateValue].label = "Value";
        BlankItem(session, kItemSamplerateType, true);
    }
}

void ApplyOrder(Session &session)
{
    if (!Configuration_Contains(session.record.order, "Only")) {
        if (std::string_view(session.record.structure) == text::kCombined)
            ShowItem(session, kItemQMarkers, "Previous Markers");
        ShowItem(session, kItemQDcOffset, "DC Offset");
    } else {
        BlankItem(session, kItemQMarkers, true);
        BlankItem(session, kItemQDcOffset, true);
    }
}

void ApplyLastSampleType(Session &session)
{
    std::vector<std::string> &ring = session.views.iq.cursorRing;
    if (std::string_view(session.record.lastSampleType) == text::kAutoMaxLength) {
        BlankItem(session, kItemLastSampleValue, true);
        ring.resize(1);
    } else {
        ShowItem(session, kItemLastSampleValue, "Value");
        if (ring.size() < 2) ring.emplace_back("Cursor=Interval Stop");
    }
    Session_Notify(session, SessionChange::IqPage);
}

// typeEdited: the filter type itself was just chosen (not a full check after a load, which
// keeps the stored texts as they are).
void ApplyFilterType(Session &session, bool typeEdited)
{
    const bool off = std::string_view(session.record.filterType) == text::kFilterOff;
    for (int item : {kItemCutoff, kItemTaps, kItemOutputSamplerate}) session.tree.items[item].enabled = !off;
    if (off) {
        SetValue(session, kItemCutoff, "");
        SetValue(session, kItemTaps, "");
        SetValue(session, kItemOutputSamplerate, text::kInputSamplerate);
    } else if (typeEdited) {
        Parser_FillFilterValues(session);
    }
}

// The centring item applies to unsigned binary formats only; with any other format it keeps
// its value but cannot be edited.
void ApplyCentreUnsigned(Session &session)
{
    int code = 0;
    int bytesPerValue = 0;
    Parser_GetFormatFromString(session.record.format, &code, &bytesPerValue);
    session.tree.items[kItemCentreUnsigned].enabled = Parser_IsUnsignedFormat(code);
}

// An edit of a metadata item takes that value over from the job files' containers: from now on
// the configuration's own value applies to every job. An edit of the sample layout describes
// the files by hand: none of the values is read from the files' containers any more.
void TakeOverPerJobValue(Session &session, int item)
{
    if (OneOf(item, {kItemStructure, kItemEndianness, kItemFormat, kItemOrder})) {
        for (std::string_view key : {kReservedHeader, kReservedTrailer, kReservedComment, kReservedRate})
            (void)Layouts_SetReservedValue(session.record, key, "");
        return;
    }
    std::string_view key;
    if (OneOf(item, {kItemHeaderSource, kItemHeaderValue})) key = kReservedHeader;
    else if (OneOf(item, {kItemTrailerSource, kItemTrailerValue})) key = kReservedTrailer;
    else if (OneOf(item, {kItemCommentSource, kItemCommentBegin, kItemCommentEnd})) key = kReservedComment;
    else if (OneOf(item, {kItemSamplerateSource, kItemSamplerateType, kItemSamplerateValue, kItemSamplerateUnit}))
        key = kReservedRate;
    if (!key.empty()) (void)Layouts_SetReservedValue(session.record, key, "");
}

// Re-derives the settings that depend on the checked item.
void Rederive(Session &session, int item, bool structureChecked)
{
    if (structureChecked) {
        if (Gui_JobCount(session.jobs) == 0) {
            Parser_Job1Changed(session, nullptr, nullptr);
        } else {
            const bool separate = std::string_view(session.record.structure) != text::kCombined;
            Parser_Job1Changed(session, Gui_JobInput(session.jobs, 0).c_str(),
                               separate ? Gui_JobQ(session.jobs, 0).c_str() : nullptr);
        }
        return;
    }
    if (OneOf(item, {kItemHeaderSource, kItemHeaderValue})) {
        Parser_UpdateMetaLength(session, 0);
        Parser_UpdateIqStructure(session);
    } else if (OneOf(item, {kItemTrailerSource, kItemTrailerValue})) {
        Parser_UpdateMetaLength(session, 1);
        Parser_UpdateIqStructure(session);
    } else if (OneOf(item, {kItemEndianness, kItemFormat, kItemScaleValue, kItemOrder, kItemIMarkers,
                            kItemIDcOffset, kItemQMarkers, kItemQDcOffset, kItemMaximumLength, kItemFirstSample,
                            kItemLastSampleType, kItemLastSampleValue, kItemCentreUnsigned})) {
        Parser_UpdateIqStructure(session);
        // A binary sample rate is decoded in the file's byte order.
        if (item == kItemEndianness) Parser_UpdateMetaSamplerate(session);
    } else if (OneOf(item, {kItemFilterType, kItemOutputSamplerate})) {
        // The filter's rate change decides how long an interval one output file holds; the
        // interval's update goes on to the signal processing settings.
        Parser_UpdateIqStructure(session);
    } else if (OneOf(item, {kItemMirror, kItemShift, kItemCutoff, kItemTaps})) {
        Parser_UpdateSignalProcessingStructure(session);
    }
}

}  // namespace

int onConfigurationTree(Session &session, int item, const std::string &text)
{
    if (item < 0 || item >= kTreeItemCount || Session_Locked(session)) return 0;
    TreeItem &cell = session.tree.items[item];
    if (!cell.hasValueCell || !cell.enabled) return 0;
    cell.value = text;
    if (cell.isList) Gui_CheckConfigurationRingValue(session.tree, item);
    Gui_SetUnsavedStatus(session, 1);
    TakeOverPerJobValue(session, item);
    Configuration_TreeIO(session, session.record, 0, item);
    Gui_CheckConfiguration(session, item);
    return 1;
}

void Gui_CheckConfigurationRingValue(ConfigurationTree &tree, int item)
{
    TreeItem &cell = tree.items[item];
    if (cell.listValues.empty()) return;
    if (std::find(cell.listValues.begin(), cell.listValues.end(), cell.value) == cell.listValues.end())
        cell.value = cell.listValues.front();
}

void Gui_CheckConfiguration(Session &session, int item)
{
    const bool structureChecked = Applies(item, {kItemStructure});
    if (structureChecked) ApplyStructure(session);
    const bool orderRules = Applies(item, {kItemOrder}) || item == kItemStructure;

    ConfigurationTree &tree = session.tree;
    if (Applies(item, {kItemHeaderSource}))
        tree.items[kItemHeaderValue].label =
            std::string_view(session.record.headerSource) == text::kUser ? "Value" : "End Pattern";
    if (Applies(item, {kItemTrailerSource}))
        tree.items[kItemTrailerValue].label =
            std::string_view(session.record.trailerSource) == text::kUser ? "Value" : "Begin Pattern";
    if (Applies(item, {kItemCommentSource})) ApplyCommentSource(session);
    if (Applies(item, {kItemCommentSource, kItemCommentBegin, kItemCommentEnd})) Parser_UpdateMetaComment(session);
    if (Applies(item, {kItemSamplerateSource})) ApplySamplerateSource(session);
    if (Applies(item, {kItemSamplerateSource, kItemSamplerateType, kItemSamplerateValue, kItemSamplerateUnit}))
        Parser_UpdateMetaSamplerate(session);
    if (orderRules) ApplyOrder(session);
    if (Applies(item, {kItemFormat})) Gui_SetTextMode(session, Configuration_Contains(session.record.format, "Text"));
    if (Applies(item, {kItemLastSampleType, kItemFormat})) ApplyLastSampleType(session);
    if (Applies(item, {kItemFilterType, kItemFormat})) ApplyFilterType(session, item == kItemFilterType);
    if (Applies(item, {kItemFormat})) ApplyCentreUnsigned(session);
    Session_Notify(session, SessionChange::ConfigurationTree);

    Rederive(session, item, structureChecked);
}

void Gui_SetTextMode(Session &session, int isText)
{
    ConversionSettings &settings = session.settings;
    if (settings.textMode == isText) return;
    settings.textMode = isText;
    ConfigurationTree &tree = session.tree;
    IqPageView &iq = session.views.iq;

    tree.items[kItemFirstSample].enabled = !isText;
    iq.totalLabel = isText ? "Total IQ Samples (est.)" : "Total IQ Samples";
    iq.positionVisible = !isText;
    iq.scaleVisible = !isText;
    iq.endOfLoopVisible = !isText;
    iq.cursorRingVisible = !isText;
    iq.intervalVisible = !isText;
    iq.autoAdjustVisible = isText;
    iq.intervalCursor.enabled = !isText;
    if (isText) {
        SetValue(session, kItemFirstSample, "1");
        RemoveListValue(tree.items[kItemLastSampleType], text::kUser);
        SetValue(session, kItemLastSampleType, text::kAutoMaxLength);
        iq.position = 1;
        iq.intervalCursor.color = kCursorGrey;
        iq.intervalCursor.x = 0.5;
        iq.intervalCursor.y = 0.0;
        for (std::string_view window : kFilterWindowChoices) RemoveListValue(tree.items[kItemFilterType], window);
        SetValue(session, kItemFilterType, text::kFilterOff);
    } else {
        InsertListValue(tree.items[kItemLastSampleType], 1, text::kUser);
        for (std::string_view window : kFilterWindowChoices)
            InsertListValue(tree.items[kItemFilterType], tree.items[kItemFilterType].listValues.size(), window);
    }
    Session_Notify(session, SessionChange::ConfigurationTree);
    Session_Notify(session, SessionChange::IqPage);
    Session_Notify(session, SessionChange::TextMode);
}
