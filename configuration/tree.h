#pragma once
// The configuration tree as data: 47 items in display order and one added after them (shown
// under Scale Factor), each with its label, Value cell,
// drop-down values, enabled state, background, collapsed state, fault mark, message and the
// fault counter of the items below it. The rules that adapt the tree live in treerules.h; the
// value checks of the parser write the fault marks through this header.

#include <array>
#include <string>
#include <vector>

#include "base/color.h"

inline constexpr int kTreeItemCount = 48;

// Item indices, named after their path in the tree.
enum TreeItemIndex : int {
    kItemFiles = 0,
    kItemStructure = 1,
    kItemEndianness = 2,
    kItemMetadata = 3,
    kItemHeaderLength = 4,
    kItemHeaderSource = 5,
    kItemHeaderValue = 6,
    kItemTrailerLength = 7,
    kItemTrailerSource = 8,
    kItemTrailerValue = 9,
    kItemComment = 10,
    kItemCommentSource = 11,
    kItemCommentBegin = 12,
    kItemCommentEnd = 13,
    kItemSamplerate = 14,
    kItemSamplerateSource = 15,
    kItemSamplerateType = 16,
    kItemSamplerateValue = 17,
    kItemSamplerateUnit = 18,
    kItemIQ = 19,
    kItemFormat = 20,
    kItemScaleFactor = 21,
    kItemScaleValue = 22,
    kItemAutoOptimization = 23,
    kItemPattern = 24,
    kItemOrder = 25,
    kItemISample = 26,
    kItemIMarkers = 27,
    kItemIDcOffset = 28,
    kItemQSample = 29,
    kItemQMarkers = 30,
    kItemQDcOffset = 31,
    kItemIntervalSelection = 32,
    kItemMaximumLength = 33,
    kItemFirstSample = 34,
    kItemLastSample = 35,
    kItemLastSampleType = 36,
    kItemLastSampleValue = 37,
    kItemSignalProcessing = 38,
    kItemSpectrum = 39,
    kItemMirror = 40,
    kItemShift = 41,
    kItemLowpassFiltering = 42,
    kItemFilterType = 43,
    kItemCutoff = 44,
    kItemTaps = 45,
    kItemOutputSamplerate = 46,
    // Unsigned values centred on 2^(bits-1) - 0.5 before the scale; kept in the reserved slot, so
    // it has no slot of its own and files of older builds load unchanged.
    kItemCentreUnsigned = 47,
};

struct TreeItem {
    std::string label;                    // column "Parameter"
    std::string value;                    // column "Value"; empty for branch items
    int parent = -1;                      // -1 for top-level items
    bool hasValueCell = false;            // false for branch items
    bool isList = false;                  // the Value cell offers listValues
    std::vector<std::string> listValues;  // drop-down values, in order
    bool enabled = true;                  // both columns
    Rgb background;                       // all cells
    bool collapsed = false;
    int faultImage = -1;                  // 0 when the item is faulty, -1 otherwise
    std::string message;                  // tool tip: the check's message, empty when valid
    int faultCounter = -1;                // -1 plus the number of faulty items below
};

struct ConfigurationTree {
    std::array<TreeItem, kTreeItemCount> items;
};

// The tree of a fresh start: labels, parents, value cells and lists, colours, no faults.
// Value cells hold the built-in defaults of the configuration "New".
ConfigurationTree Gui_NewConfigurationTree();

// Colours items first .. last: first gets firstColor, then colorA, colorB, colorA, ...
void Gui_ColorTree(ConfigurationTree &tree, int first, int last, Rgb firstColor, Rgb colorA, Rgb colorB);

// Sets or clears the fault mark of `item` and keeps its ancestors' counters.
void Gui_UpdateConfigurationTreeItemErrorStatus(ConfigurationTree &tree, int item, int isFaulty);

// Sets the item's message (its tool tip) and its fault mark: faulty exactly when `message` is
// not empty. The value checks report through this.
void Gui_SetConfigurationTreeItemMessage(ConfigurationTree &tree, int item, const std::string &message);

// True when the branch item (3 Metadata, 19 IQ, 38 Signal Processing) has a fault below it.
inline bool Gui_BranchIsFaulty(const ConfigurationTree &tree, int branchItem)
{
    return tree.items[branchItem].faultCounter != -1;
}
