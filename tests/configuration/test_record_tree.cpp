#include <gtest/gtest.h>

#include <cstring>

#include "configuration/appsettings.h"
#include "configuration/choices.h"
#include "configuration/record.h"
#include "configuration/tree.h"

TEST(ConfigurationRecord, SlotsSitAtTheirFileOffsetsAndMirrorTheirTreeItems)
{
    EXPECT_EQ(sizeof(ConfigurationRecord), 3300u);
    for (int slot = 0; slot < kSlotCount; ++slot) EXPECT_EQ(kSlots[slot].offset, slot * 100) << kSlots[slot].key;
    EXPECT_EQ(kSlots[26].key, "reserved");
    EXPECT_EQ(Configuration_SlotOfTreeItem(45), Configuration_SlotByKey("taps"));
    EXPECT_EQ(Configuration_SlotOfTreeItem(37), Configuration_SlotByKey("lastSampleValue"));
    EXPECT_EQ(Configuration_SlotOfTreeItem(3), -1);   // a branch has no slot
    EXPECT_EQ(Configuration_SlotOfTreeItem(-1), -1);  // nor has "no item"
    EXPECT_EQ(Configuration_SlotByKey("nonsense"), -1);
}

TEST(ConfigurationRecord, DefaultsAreTheBuiltInConfigurationNew)
{
    const ConfigurationRecord record = Configuration_DefaultRecord();
    EXPECT_STREQ(record.name, "New");
    EXPECT_STREQ(record.structure, "Combined IQ (1 File)");
    EXPECT_STREQ(record.samplerateType, "Text Floating Point");
    EXPECT_STREQ(record.format, "16 Bit Integer");
    EXPECT_STREQ(record.maximumLength, "1024 MegaSamples");
    EXPECT_STREQ(record.outputSamplerate, "Input Samplerate");
    EXPECT_STREQ(record.cutoff, "");
    for (char byte : record.reserved) EXPECT_EQ(byte, 0);
}

TEST(ConfigurationRecord, SlotTextsKeepTheBytesBehindTheirTerminator)
{
    ConfigurationRecord record = Configuration_DefaultRecord();
    Configuration_SetSlotText(record, Configuration_SlotByKey("scaleFactor"), "12345");
    Configuration_SetSlotText(record, Configuration_SlotByKey("scaleFactor"), "7");
    EXPECT_EQ(std::memcmp(record.scaleFactor, "7\0" "345", 6), 0);
    Configuration_SetSlotText(record, kSlotName, std::string(150, 'x'));
    EXPECT_EQ(std::strlen(record.name), 99u);
    EXPECT_STREQ(record.structure, "Combined IQ (1 File)");  // the neighbour is untouched
}

TEST(ConfigurationRecord, TreeValuesAreCutToNinetyCharacters)
{
    std::string text(95, 'a');
    EXPECT_TRUE(Configuration_CutTreeValue(text));
    EXPECT_EQ(text.size(), 90u);
    EXPECT_FALSE(Configuration_CutTreeValue(text));
}

TEST(ConfigurationRecord, CutsNeverSplitAUtf8Character)
{
    // "é" is two bytes, "€" three, "𝄞" four; each placed across the 90th byte.
    for (const std::string character : {"\u00e9", "\u20ac", "\U0001d11e"}) {
        for (size_t before = 90 - character.size() + 1; before < 90; ++before) {
            std::string text = std::string(before, 'a') + character + "tail";
            EXPECT_TRUE(Configuration_CutTreeValue(text));
            EXPECT_EQ(text, std::string(before, 'a')) << character.size() << " bytes after " << before;
        }
        std::string fits = std::string(90 - character.size(), 'a') + character + "tail";
        EXPECT_TRUE(Configuration_CutTreeValue(fits));
        EXPECT_EQ(fits.size(), 90u);
    }
    // The name slot holds 99 bytes.
    ConfigurationRecord record = Configuration_DefaultRecord();
    Configuration_SetSlotText(record, kSlotName, std::string(98, 'n') + "\u00e9");
    EXPECT_EQ(std::string(record.name), std::string(98, 'n'));
    // Bytes that are not UTF-8 are cut where the limit falls.
    std::string binary(95, '\x80');
    EXPECT_TRUE(Configuration_CutTreeValue(binary));
    EXPECT_EQ(binary.size(), 90u);
}

TEST(ConfigurationChoices, DerivedNumbersFromListTexts)
{
    EXPECT_EQ(Configuration_OutputRateTenths("Input Samplerate x 3/10"), 3);
    EXPECT_EQ(Configuration_OutputRateTenths("Input Samplerate"), 10);
    // The list runs from 10 tenths ("Input Samplerate") down to 1.
    for (size_t entry = 0; entry < kOutputSamplerateChoices.size(); ++entry)
        EXPECT_EQ(Configuration_OutputRateTenths(kOutputSamplerateChoices[entry]), 10 - static_cast<int>(entry));
    EXPECT_EQ(Configuration_MaxLengthFromText("32 MegaSamples"), 33554432);
    EXPECT_EQ(Configuration_MaxLengthFromText("1024 MegaSamples"), 1073741824);
}

TEST(ConfigurationTree, LayoutColoursAndLists)
{
    const ConfigurationTree tree = Gui_NewConfigurationTree();
    EXPECT_EQ(tree.items[45].label, "Number of Taps");
    EXPECT_EQ(tree.items[45].parent, 42);
    EXPECT_EQ(tree.items[38].background, (Rgb{230, 230, 255}));
    EXPECT_EQ(tree.items[39].background, (Rgb{250, 250, 255}));
    EXPECT_EQ(tree.items[40].background, (Rgb{245, 245, 255}));
    EXPECT_EQ(tree.items[20].listValues.size(), 13u);
    EXPECT_EQ(tree.items[25].listValues, (std::vector<std::string>{"IQ", "QI", "I Only - Q=I", "I Only - Q=0"}));
    EXPECT_FALSE(tree.items[19].hasValueCell);
}

TEST(ConfigurationTree, FaultCountersFollowMarksUpAndDown)
{
    ConfigurationTree tree = Gui_NewConfigurationTree();
    Gui_SetConfigurationTreeItemMessage(tree, kItemTaps, "Integer value between 10 and 1024 expected");
    EXPECT_EQ(tree.items[kItemTaps].faultImage, 0);
    EXPECT_EQ(tree.items[kItemLowpassFiltering].faultCounter, 0);
    EXPECT_EQ(tree.items[kItemSpectrum].faultCounter, 0);
    EXPECT_EQ(tree.items[kItemSignalProcessing].faultCounter, 0);
    EXPECT_TRUE(Gui_BranchIsFaulty(tree, kItemSignalProcessing));

    // Marking an item that is already faulty again changes no counter.
    Gui_SetConfigurationTreeItemMessage(tree, kItemTaps, "Value missing");
    EXPECT_EQ(tree.items[kItemSignalProcessing].faultCounter, 0);

    Gui_SetConfigurationTreeItemMessage(tree, kItemTaps, "");
    EXPECT_EQ(tree.items[kItemTaps].faultImage, -1);
    EXPECT_EQ(tree.items[kItemSignalProcessing].faultCounter, -1);
    EXPECT_EQ(tree.items[kItemLowpassFiltering].faultCounter, -1);

    Gui_SetConfigurationTreeItemMessage(tree, kItemHeaderValue, "Pattern not found");
    Gui_SetConfigurationTreeItemMessage(tree, kItemSamplerateValue, "Pattern missing");
    EXPECT_EQ(tree.items[kItemMetadata].faultCounter, 1);
    Gui_SetConfigurationTreeItemMessage(tree, kItemHeaderValue, "");
    EXPECT_EQ(tree.items[kItemMetadata].faultCounter, 0);
    EXPECT_TRUE(Gui_BranchIsFaulty(tree, kItemMetadata));
    EXPECT_FALSE(Gui_BranchIsFaulty(tree, kItemIQ));
}

TEST(ConfigurationTree, CollapsedStatesTravelThroughTheSettingsRecord)
{
    ConfigurationTree tree = Gui_NewConfigurationTree();
    tree.items[kItemMetadata].collapsed = true;
    tree.items[kItemLowpassFiltering].collapsed = true;
    ApplicationSettings settings{};
    Ini_CollapsedStatus(settings, tree, 1);
    EXPECT_EQ(settings.collapsed[kItemMetadata], 1);
    EXPECT_EQ(settings.collapsed[kItemIQ], 0);

    ConfigurationTree restored = Gui_NewConfigurationTree();
    Ini_CollapsedStatus(settings, restored, 0);
    for (int item = 0; item < kTreeItemCount; ++item) EXPECT_EQ(restored.items[item].collapsed, tree.items[item].collapsed);
}
