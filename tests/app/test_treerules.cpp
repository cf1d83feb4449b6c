#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/treerules.h"
#include "conversion/jobs.h"
#include "session/session.h"
#include "testsupport.h"

using testsupport::Edit;

namespace {

using Strings = std::vector<std::string>;

const TreeItem &Item(const Session &session, int index) { return session.tree.items[index]; }

}  // namespace

TEST(TreeRules, StructureSwitchesOrderMarkersAndJobLabels)
{
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.file("a.bin"), std::string(1200, '\0'));
    Session session;
    testsupport::StartWithDefaults(session);
    EXPECT_EQ(Gui_AddIQ(session, 0, {dir.file("a.bin")}), 1);
    Edit(session, "order", "QI");
    Edit(session, "iMarkers", "2");

    Edit(session, "structure", "Separate IQ (2 Files)");
    EXPECT_EQ(Item(session, kItemOrder).listValues, Strings{"IQ"});
    EXPECT_STREQ(session.record.order, "IQ");
    EXPECT_EQ(Item(session, kItemOrder).value, "IQ");
    for (int item : {kItemIMarkers, kItemQMarkers}) {
        EXPECT_EQ(Item(session, item).label, "");
        EXPECT_EQ(Item(session, item).value, "");
        EXPECT_FALSE(Item(session, item).enabled);
    }
    EXPECT_FALSE(session.views.addButtons.addIqVisible);
    EXPECT_TRUE(session.views.addButtons.addQVisible);
    EXPECT_EQ(session.jobs.items[kJobInput].label, "I File");
    EXPECT_EQ(session.jobs.items[kJobQ].label, "Q File");
    EXPECT_EQ(session.jobs.items[kJobQ].cell, JobCell::File);
    EXPECT_EQ(session.settings.separateFiles, 1);
    EXPECT_EQ(session.settings.swapIQ, 0);

    Edit(session, "structure", "Combined IQ (1 File)");
    EXPECT_EQ(Item(session, kItemOrder).listValues, (Strings{"IQ", "QI", "I Only - Q=I", "I Only - Q=0"}));
    EXPECT_EQ(Item(session, kItemIMarkers).label, "Previous Markers");
    EXPECT_EQ(Item(session, kItemIMarkers).value, "2");  // the record kept the markers
    EXPECT_TRUE(Item(session, kItemQMarkers).enabled);
    EXPECT_EQ(session.jobs.items[kJobInput].label, "IQ File");
    EXPECT_EQ(session.jobs.items[kJobQ].label, "");
    EXPECT_TRUE(session.jobs.items[kJobQ].valueDimmed);
    EXPECT_EQ(session.settings.valuesPerSet, 4);
}

TEST(TreeRules, TextModeForcesIntervalAndFilterAndOnlyOffersChoicesBack)
{
    Session session;
    testsupport::StartWithDefaults(session);
    Edit(session, "firstSample", "5");
    Edit(session, "lastSampleType", "User");
    Edit(session, "filterType", "Hamming Window");
    Edit(session, "taps", "64");

    Edit(session, "format", "Text Floating Point");
    EXPECT_EQ(session.settings.textMode, 1);
    EXPECT_STREQ(session.record.firstSample, "1");
    EXPECT_FALSE(Item(session, kItemFirstSample).enabled);
    EXPECT_STREQ(session.record.lastSampleType, "Auto Max Length");
    EXPECT_EQ(Item(session, kItemLastSampleType).listValues, Strings{"Auto Max Length"});
    EXPECT_FALSE(Item(session, kItemLastSampleValue).enabled);
    EXPECT_STREQ(session.record.filterType, "Off");
    EXPECT_STREQ(session.record.taps, "");
    EXPECT_EQ(Item(session, kItemFilterType).listValues, Strings{"Off"});
    EXPECT_EQ(session.settings.tapCount, 1);
    EXPECT_EQ(session.views.iq.totalLabel, "Total IQ Samples (est.)");
    EXPECT_FALSE(session.views.iq.positionVisible);
    EXPECT_TRUE(session.views.iq.autoAdjustVisible);
    EXPECT_EQ(session.views.iq.intervalCursor.color, kCursorGrey);
    EXPECT_EQ(session.views.iq.cursorRing.size(), 1u);

    Edit(session, "format", "Text Integer");  // still text: nothing toggles
    EXPECT_EQ(session.settings.textMode, 1);

    Edit(session, "format", "32 Bit Float");
    EXPECT_EQ(session.settings.textMode, 0);
    EXPECT_STREQ(session.record.firstSample, "1");  // values set on entering stay
    EXPECT_STREQ(session.record.filterType, "Off");
    EXPECT_TRUE(Item(session, kItemFirstSample).enabled);
    EXPECT_EQ(Item(session, kItemLastSampleType).listValues, (Strings{"Auto Max Length", "User"}));
    EXPECT_EQ(Item(session, kItemFilterType).listValues,
              (Strings{"Off", "Blackman Window", "Hamming Window", "Hanning Window", "Triangular Window"}));
    EXPECT_EQ(session.views.iq.totalLabel, "Total IQ Samples");
    EXPECT_FALSE(session.views.iq.autoAdjustVisible);
}

TEST(TreeRules, FaultCountersRiseAndFallWithTheItems)
{
    Session session;
    testsupport::StartWithDefaults(session);
    Edit(session, "filterType", "Blackman Window");
    Edit(session, "taps", "");
    EXPECT_EQ(session.settings.tapCount, 256);  // empty taps: the preset, item faulty
    EXPECT_EQ(Item(session, kItemTaps).message, "Value missing");
    Edit(session, "cutoff", "");
    Edit(session, "taps", "5");
    EXPECT_EQ(Item(session, kItemTaps).message, "Integer value between 10 and 1024 expected");
    EXPECT_EQ(Item(session, kItemCutoff).message, "Value missing");
    EXPECT_EQ(Item(session, kItemLowpassFiltering).faultCounter, 1);
    EXPECT_EQ(Item(session, kItemSignalProcessing).faultCounter, 1);

    Edit(session, "taps", "100");
    Edit(session, "cutoff", "0.2");
    EXPECT_EQ(session.settings.tapCount, 100);
    EXPECT_EQ(session.settings.cutoffFraction, 0.2);
    EXPECT_EQ(session.settings.windowCode, 5);
    EXPECT_EQ(session.settings.coefficients.size(), 100u);
    EXPECT_EQ(Item(session, kItemTaps).faultImage, -1);
    for (int branch : {kItemLowpassFiltering, kItemSpectrum, kItemSignalProcessing})
        EXPECT_EQ(Item(session, branch).faultCounter, -1) << branch;

    Edit(session, "taps", "5");
    Edit(session, "filterType", "Off");  // clears the marks of the disabled items
    EXPECT_EQ(Item(session, kItemSignalProcessing).faultCounter, -1);
    EXPECT_FALSE(Item(session, kItemTaps).enabled);
    EXPECT_STREQ(session.record.taps, "");
    EXPECT_EQ(session.settings.tapCount, 1);
    EXPECT_EQ(session.settings.coefficients, std::vector<double>{1.0});

    EXPECT_EQ(onConfigurationTree(session, kItemOutputSamplerate, "Input Samplerate x 3/10"), 0);  // disabled
    EXPECT_EQ(session.settings.outputRateTenths, 10);
}

// Switching the filter on gives a missing or invalid cut-off and number of taps the values the
// filter uses for them, so that it works at once; a valid value is the user's and stays.
TEST(TreeRules, FilterSwitchedOnFillsMissingOrInvalidValuesAndKeepsValidOnes)
{
    Session session;
    testsupport::StartWithDefaults(session);
    Edit(session, "filterType", "Hamming Window");
    EXPECT_STREQ(session.record.cutoff, "0.25");
    EXPECT_STREQ(session.record.taps, "256");
    EXPECT_EQ(Item(session, kItemCutoff).value, "0.25");
    EXPECT_EQ(Item(session, kItemTaps).value, "256");
    EXPECT_EQ(Item(session, kItemSignalProcessing).faultCounter, -1);
    EXPECT_EQ(session.settings.coefficients.size(), 256u);

    Edit(session, "cutoff", "0.1");
    Edit(session, "taps", "5");
    Edit(session, "filterType", "Blackman Window");
    EXPECT_STREQ(session.record.cutoff, "0.1");
    EXPECT_STREQ(session.record.taps, "256");
    EXPECT_EQ(Item(session, kItemTaps).faultImage, -1);
    EXPECT_EQ(session.settings.cutoffFraction, 0.1);

    // A full check, as after loading a configuration, keeps the stored texts.
    Configuration_SetSlotText(session.record, Configuration_SlotOfTreeItem(kItemTaps), "");
    Gui_CheckConfiguration(session, -1);
    EXPECT_STREQ(session.record.taps, "");
}

TEST(TreeRules, ListCellsTakeOnlyTheirValuesAndLongTextsAreCut)
{
    Session session;
    testsupport::StartWithDefaults(session);
    Edit(session, "endianness", "Middle");
    EXPECT_STREQ(session.record.endianness, "Little");
    EXPECT_EQ(Item(session, kItemEndianness).value, "Little");
    EXPECT_EQ(session.configurations.unsaved, 1);

    // A cut value asks once to show its item; the next edit asks nothing.
    std::vector<int> revealed;
    session.onChange = [&](const SessionNotice &notice) {
        if (notice.rows == RowChange::Reveal) revealed.push_back(notice.first);
    };
    const std::string longPattern(95, 'p');
    Edit(session, "headerValue", longPattern);
    EXPECT_EQ(std::string(session.record.headerValue), longPattern.substr(0, 90));
    EXPECT_EQ(Item(session, kItemHeaderValue).value, longPattern.substr(0, 90));
    EXPECT_EQ(revealed, std::vector<int>{kItemHeaderValue});
    Edit(session, "mirror", "Yes");
    EXPECT_EQ(revealed, std::vector<int>{kItemHeaderValue});
    session.onChange = nullptr;

    EXPECT_EQ(onConfigurationTree(session, kItemIQ, "x"), 0);  // a branch has no cell
    EXPECT_EQ(onConfigurationTree(session, kTreeItemCount, "x"), 0);
    session.views.controlsLocked = true;
    EXPECT_EQ(onConfigurationTree(session, kItemScaleValue, "2.0"), 0);
    EXPECT_STREQ(session.record.scaleFactor, "1.0");
}

TEST(TreeRules, MetadataLabelsFollowTheirSources)
{
    Session session;
    testsupport::StartWithDefaults(session);
    Edit(session, "headerSource", "User");
    EXPECT_EQ(Item(session, kItemHeaderValue).label, "Value");
    Edit(session, "commentSource", "Trailer - Fix Position");
    EXPECT_EQ(Item(session, kItemCommentBegin).label, "Begin Position");
    EXPECT_EQ(Item(session, kItemCommentEnd).label, "End Position");
    Edit(session, "commentEnd", "17");
    Edit(session, "commentSource", "User");
    EXPECT_EQ(Item(session, kItemCommentBegin).label, "Value");
    EXPECT_FALSE(Item(session, kItemCommentEnd).enabled);
    EXPECT_STREQ(session.record.commentEnd, "");

    Edit(session, "samplerateType", "32 Bit Float");
    Edit(session, "samplerateSource", "Header - Fix Position");
    EXPECT_STREQ(session.record.samplerateType, "32 Bit Float");  // a chosen type is kept
    EXPECT_EQ(Item(session, kItemSamplerateValue).label, "Begin Position");
    Edit(session, "samplerateSource", "User");
    EXPECT_STREQ(session.record.samplerateType, "");
    EXPECT_FALSE(Item(session, kItemSamplerateType).enabled);
    Edit(session, "samplerateSource", "Trailer - Variable Position");
    EXPECT_STREQ(session.record.samplerateType, "Text Floating Point");
    EXPECT_EQ(Item(session, kItemSamplerateValue).label, "Prefix");

    Edit(session, "order", "I Only - Q=I");
    EXPECT_FALSE(Item(session, kItemQDcOffset).enabled);
    EXPECT_STREQ(session.record.qDcOffset, "");
    Edit(session, "order", "IQ");
    EXPECT_TRUE(Item(session, kItemQDcOffset).enabled);
    EXPECT_EQ(Item(session, kItemQDcOffset).label, "DC Offset");
}

TEST(TreeRules, RealisticEditingSequenceKeepsTreeRecordAndSettingsInStep)
{
    testsupport::TempDir dir;
    std::string file = "HDR rate=2.5 <c>my capture</c> END\n";
    file.resize(4096, '\x10');
    testsupport::WriteFile(dir.file("capture.bin"), file);
    testsupport::WriteFile(dir.file("second.bin"), file);
    Session session;
    testsupport::StartWithDefaults(session);
    EXPECT_EQ(Gui_AddIQ(session, 0, {dir.file("capture.bin"), dir.file("second.bin")}), 2);

    Edit(session, "headerValue", "END\\n");
    Edit(session, "trailerSource", "User");
    Edit(session, "trailerValue", "0");
    Edit(session, "commentBegin", "<c>");
    Edit(session, "commentEnd", "</c>");
    Edit(session, "samplerateValue", "rate=");
    Edit(session, "format", "16 Bit Unsigned Integer");
    Edit(session, "scaleFactor", "0.5");
    Edit(session, "mirror", "Yes");
    Edit(session, "shift", "0.125");
    Edit(session, "structure", "Separate IQ (2 Files)");
    Edit(session, "structure", "Combined IQ (1 File)");

    const ConversionSettings &s = session.settings;
    EXPECT_EQ(s.headerLength, static_cast<int>(file.find("END\n") + 4));
    EXPECT_EQ(s.trailerLength, 0);
    EXPECT_EQ(s.comment, "my capture");
    EXPECT_DOUBLE_EQ(s.samplerate, 2.5);
    EXPECT_EQ(s.sampleFormat, 8);
    EXPECT_EQ(s.scale, 0.5);
    EXPECT_EQ(s.mirrorOn, 1);
    EXPECT_EQ(s.shiftFraction, 0.125);
    EXPECT_EQ(s.totalSets, (4096 - s.headerLength) / 4);
    for (int branch : {kItemFiles, kItemMetadata, kItemIQ, kItemSignalProcessing})
        EXPECT_EQ(Item(session, branch).faultCounter, -1) << branch;
    // Every enabled value cell shows its slot.
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const int item = kSlots[slot].treeItem;
        if (item < 0 || !Item(session, item).enabled) continue;
        EXPECT_EQ(Item(session, item).value, Configuration_Slot(session.record, slot)) << kSlots[slot].key;
    }
    EXPECT_EQ(session.jobs.items[kJobInput].label, "IQ File");
    EXPECT_EQ(Gui_JobCount(session.jobs), 2);
}
