#include "configuration/tree.h"

#include <string_view>
#include <vector>

#include "configuration/choices.h"
#include "configuration/record.h"

namespace {

struct ItemLayout {
    std::string_view label;
    int parent;
    bool hasValueCell;
    const std::vector<std::string_view> *list;  // null for text cells and branches
};

// Display order; labels are those of the built-in default configuration.
const ItemLayout kLayout[kTreeItemCount] = {
    {"Files", -1, false, nullptr},
    {"Structure", 0, true, &kStructureChoices},
    {"Endianess", 0, true, &kEndiannessChoices},
    {"Metadata", -1, false, nullptr},
    {"Header Length", 3, false, nullptr},
    {"Source", 4, true, &kHeaderSourceChoices},
    {"End Pattern", 4, true, nullptr},
    {"Trailer Length", 3, false, nullptr},
    {"Source", 7, true, &kTrailerSourceChoices},
    {"Begin Pattern", 7, true, nullptr},
    {"Comment", 3, false, nullptr},
    {"Source", 10, true, &kMetaSourceChoices},
    {"Prefix", 10, true, nullptr},
    {"Suffix", 10, true, nullptr},
    {"Samplerate", 3, false, nullptr},
    {"Source", 14, true, &kMetaSourceChoices},
    {"Type", 14, true, &kFormatChoices},
    {"Prefix", 14, true, nullptr},
    {"Unit", 14, true, &kUnitChoices},
    {"IQ", -1, false, nullptr},
    {"Format", 19, true, &kFormatChoices},
    {"Scale Factor", 19, false, nullptr},
    {"Value", 21, true, nullptr},
    {"Auto Optimization", 21, true, &kYesNoChoices},
    {"Pattern", 19, false, nullptr},
    {"Order", 24, true, &kOrderChoices},
    {"I Sample", 24, false, nullptr},
    {"Previous Markers", 26, true, nullptr},
    {"DC Offset", 26, true, nullptr},
    {"Q Sample", 24, false, nullptr},
    {"Previous Markers", 29, true, nullptr},
    {"DC Offset", 29, true, nullptr},
    {"Interval Selection", 19, false, nullptr},
    {"Maximum Length", 32, true, &kMaximumLengthChoices},
    {"First Sample", 32, true, nullptr},
    {"Last Sample", 32, false, nullptr},
    {"Type", 35, true, &kLastSampleTypeChoices},
    {"", 35, true, nullptr},
    {"Signal Processing", -1, false, nullptr},
    {"Spectrum", 38, false, nullptr},
    {"Mirror", 39, true, &kYesNoChoices},
    {"Shift Before Filter [f/fs]", 39, true, nullptr},
    {"Lowpass Filtering", 39, false, nullptr},
    {"Type", 42, true, &kFilterTypeChoices},
    {"Cutoff [f/fs]", 42, true, nullptr},
    {"Number of Taps", 42, true, nullptr},
    {"Output Samplerate", 42, true, &kOutputSamplerateChoices},
    {"Centre Unsigned", 21, true, &kNoYesChoices},
};

}  // namespace

ConfigurationTree Gui_NewConfigurationTree()
{
    ConfigurationTree tree;
    for (int index = 0; index < kTreeItemCount; ++index) {
        const ItemLayout &layout = kLayout[index];
        TreeItem &item = tree.items[index];
        item.label = layout.label;
        item.parent = layout.parent;
        item.hasValueCell = layout.hasValueCell;
        item.isList = layout.list != nullptr;
        if (layout.list) item.listValues.assign(layout.list->begin(), layout.list->end());
        const int slot = Configuration_SlotOfTreeItem(index);
        if (slot >= 0) item.value = kSlots[slot].defaultText;
    }
    tree.items[kItemCentreUnsigned].value = std::string(text::kNo);
    Gui_ColorTree(tree, 0, 2, {255, 255, 230}, {255, 255, 250}, {255, 255, 245});
    Gui_ColorTree(tree, 3, 18, {255, 230, 230}, {255, 250, 250}, {255, 245, 245});
    Gui_ColorTree(tree, 19, 37, {230, 255, 230}, {250, 255, 250}, {245, 255, 245});
    Gui_ColorTree(tree, 38, 46, {230, 230, 255}, {250, 250, 255}, {245, 245, 255});
    // Shown after Auto Optimization (item 23), in the IQ band's other light shade.
    tree.items[kItemCentreUnsigned].background = {250, 255, 250};
    return tree;
}

void Gui_ColorTree(ConfigurationTree &tree, int first, int last, Rgb firstColor, Rgb colorA, Rgb colorB)
{
    for (int index = first; index <= last; ++index) {
        const int step = index - first;
        tree.items[index].background = step == 0 ? firstColor : (step % 2 == 1 ? colorA : colorB);
    }
}

void Gui_UpdateConfigurationTreeItemErrorStatus(ConfigurationTree &tree, int item, int isFaulty)
{
    TreeItem &target = tree.items[item];
    const bool wasFaulty = target.faultImage >= 0;
    if (wasFaulty == (isFaulty != 0)) return;
    target.faultImage = isFaulty ? 0 : -1;
    for (int ancestor = target.parent; ancestor >= 0; ancestor = tree.items[ancestor].parent)
        tree.items[ancestor].faultCounter += isFaulty ? 1 : -1;
}

void Gui_SetConfigurationTreeItemMessage(ConfigurationTree &tree, int item, const std::string &message)
{
    tree.items[item].message = message;
    Gui_UpdateConfigurationTreeItemErrorStatus(tree, item, message.empty() ? 0 : 1);
}
