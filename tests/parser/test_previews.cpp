// The IQ preview, the loop seam and the signal processing preview as the pages show them.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <cstdint>
#include <limits>
#include <string>

#include "parser/analysis.h"
#include "parser/previews.h"
#include "testsupport.h"

using testsupport::Edit;

namespace {

class Previews : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    Session session;

    void SetUp() override
    {
        testsupport::StartWithDefaults(session);
        Edit(session, "headerSource", "User");
        Edit(session, "headerValue", "0");
        Edit(session, "trailerSource", "User");
        Edit(session, "trailerValue", "0");
    }

    // A headerless 16-bit file whose set k (1-based) holds I = k and Q = -k.
    void OpenCounting(int sets)
    {
        std::string bytes;
        for (int k = 1; k <= sets; ++k) {
            const int16_t pair[2] = {static_cast<int16_t>(k), static_cast<int16_t>(-k)};
            bytes.append(reinterpret_cast<const char *>(pair), sizeof pair);
        }
        Open(bytes);
    }
    void Open(const std::string &bytes)
    {
        testsupport::WriteFile(dir.file("in.bin"), bytes);
        Parser_Job1Changed(session, dir.file("in.bin").c_str(), nullptr);
    }

    const GraphView &preview() const { return session.views.iq.preview; }
    const GraphView &seam() const { return session.views.iq.seam; }
    const GraphView &signalProcessing() const { return session.views.signalProcessing.graph; }
};

}  // namespace

TEST_F(Previews, AShortReadShrinksTheWindowAndTooFewSetsClearTheCurves)
{
    OpenCounting(100);
    onIqFilePosition(session, 1, 128, 0);
    EXPECT_EQ(session.previewLength, 64);
    ASSERT_EQ(preview().traces[kSlotI].values.size(), 64u);
    EXPECT_EQ(preview().traces[kSlotI].values.front(), 1.0);
    EXPECT_EQ(preview().traces[kSlotQ].values.back(), -64.0);
    EXPECT_EQ(session.views.iq.positionMaximum, 37);
    EXPECT_EQ(preview().traces[kSlotSpectrum].values.size(), 64u);
    EXPECT_EQ(signalProcessing().traces[kSlotBeforeFilter].values.size(), 64u);
    EXPECT_FALSE(session.views.hints.previewVisible);

    OpenCounting(5);
    EXPECT_EQ(session.views.iq.interval, 0);  // no seam for fewer than 8 sets
    EXPECT_TRUE(session.views.hints.previewVisible);
    EXPECT_EQ(session.views.hints.previewText, "Less than 8 IQ samples found.");
    for (const GraphView *graph : {&preview(), &signalProcessing()})
        for (const PlotTrace &trace : graph->traces) EXPECT_TRUE(trace.values.empty());
}

TEST_F(Previews, TheSeamShowsTheIntervalsEndBeforeItsStart)
{
    OpenCounting(1000);
    EXPECT_EQ(session.views.iq.interval, 1000);
    const std::vector<double> &before = seam().traces[kSlotI].values;
    const std::vector<double> &after = seam().traces[kSlotIAfterSeam].values;
    ASSERT_EQ(before.size(), 32u);
    EXPECT_EQ(before.front(), 969.0);
    EXPECT_EQ(seam().traces[kSlotI].xStart, -32.0);
    EXPECT_EQ(before.back(), 1000.0);  // at x = -1
    EXPECT_EQ(after.front(), 1.0);
    EXPECT_EQ(seam().traces[kSlotIAfterSeam].xStart, 1.0);
    EXPECT_EQ(after.back(), 32.0);

    Edit(session, "firstSample", "101");
    Edit(session, "lastSampleType", "User");
    Edit(session, "lastSampleValue", "109");  // 9 sets: 4 on each side
    ASSERT_EQ(seam().traces[kSlotI].values.size(), 4u);
    EXPECT_EQ(seam().traces[kSlotI].values, (std::vector<double>{106, 107, 108, 109}));
    EXPECT_EQ(seam().traces[kSlotIAfterSeam].values, (std::vector<double>{101, 102, 103, 104}));
}

TEST_F(Previews, TheIntervalCursorStandsOnTheBoundaryInsideTheWindow)
{
    OpenCounting(1000);
    Edit(session, "firstSample", "40");
    onIqFilePosition(session, 1, 64, 0);
    EXPECT_EQ(session.views.iq.intervalCursor.x, 39.0);
    EXPECT_EQ(session.views.iq.intervalCursor.color, kCursorOrange);
    onIqFilePosition(session, 1, 64, 1);  // the stop, set 1000, lies outside
    EXPECT_EQ(session.views.iq.intervalCursor.x, 0.5);
    EXPECT_EQ(session.views.iq.intervalCursor.color, kCursorGrey);

    // Dragged to 9.6 with the start chosen: set 1 + 10 becomes the first sample, unsaved.
    onIqFilePosition(session, 1, 64, 0);
    EXPECT_EQ(onIqGraph(session, 9.6), 1);
    EXPECT_EQ(std::string(session.record.firstSample), "11");
    EXPECT_EQ(session.settings.firstSet, 11);
    EXPECT_EQ(session.configurations.unsaved, 1);
}

TEST_F(Previews, TheSignalProcessingCurvesFollowMirrorAndFilter)
{
    OpenCounting(1000);
    onIqFilePosition(session, 1, 256, 0);
    const std::vector<double> spectrum = preview().traces[kSlotSpectrum].values;
    // The filter off: its response is flat at 0 dB and "after" equals "before".
    for (double value : signalProcessing().traces[kSlotFilter].values) EXPECT_NEAR(value, 0.0, 1e-9);
    EXPECT_EQ(signalProcessing().traces[kSlotAfterFilter].values, signalProcessing().traces[kSlotBeforeFilter].values);
    for (int k = 0; k < 256; ++k)
        EXPECT_DOUBLE_EQ(signalProcessing().traces[kSlotBeforeFilter].values[k], 20.0 * std::log10(spectrum[k] + 1e-11));

    Edit(session, "mirror", "Yes");  // without shift: the curve reversed
    for (int k = 0; k < 256; ++k)
        EXPECT_DOUBLE_EQ(signalProcessing().traces[kSlotBeforeFilter].values[k],
                         20.0 * std::log10(spectrum[255 - k] + 1e-11));

    Edit(session, "filterType", "Blackman Window");
    Edit(session, "taps", "1024");  // longer than the window: its middle 256 taps are shown
    Edit(session, "outputSamplerate", "Input Samplerate x 5/10");
    EXPECT_EQ(session.views.signalProcessing.bandCursors[0].x, -0.25);
    EXPECT_EQ(session.views.signalProcessing.bandCursors[1].x, 0.25);
    for (int slot : {kSlotBeforeFilter, kSlotAfterFilter, kSlotFilter})
        for (double value : signalProcessing().traces[slot].values) ASSERT_TRUE(std::isfinite(value));
    EXPECT_NEAR(signalProcessing().traces[kSlotFilter].values[128], 0.0, 0.01);  // the filter passes 0 Hz
    EXPECT_LT(signalProcessing().traces[kSlotFilter].values[0], -60.0);          // and stops fs/2
}

TEST_F(Previews, ScaleAdjustmentPutsTheLargestMagnitudeAtFullScale)
{
    OpenCounting(1000);
    onScaleAdjustment(session, true);
    onIqFilePosition(session, 1, 64, 0);  // largest magnitude 64
    EXPECT_EQ(std::string(session.record.scaleFactor), "511.984375");
    EXPECT_EQ(session.configurations.unsaved, 1);
    EXPECT_DOUBLE_EQ(preview().traces[kSlotQ].values.back(), -32767.0);
    // Scrolling on keeps the largest magnitude seen: 128 now.
    onIqFilePosition(session, 65, 64, 0);
    EXPECT_DOUBLE_EQ(session.settings.scale, 32767.0 / 128.0);
    EXPECT_DOUBLE_EQ(preview().traces[kSlotI].values.back(), 32767.0);
}

TEST_F(Previews, ValuesThatAreNotFiniteNeverReachACurve)
{
    Edit(session, "format", "32 Bit Float");
    std::string bytes;
    for (int k = 0; k < 512; ++k) {
        const float pair[2] = {k % 7 == 0 ? std::numeric_limits<float>::quiet_NaN() : 100.0f,
                               k % 11 == 0 ? std::numeric_limits<float>::infinity() : -100.0f};
        bytes.append(reinterpret_cast<const char *>(pair), sizeof pair);
    }
    Open(bytes);
    onIqFilePosition(session, 1, 256, 0);
    for (const GraphView *graph : {&preview(), &seam(), &signalProcessing()})
        for (const PlotTrace &trace : graph->traces)
            for (double value : trace.values) ASSERT_TRUE(std::isfinite(value));
    EXPECT_EQ(preview().traces[kSlotI].values.size(), 256u);
}

TEST_F(Previews, ExtremeSettingsAndAShrunkenFileGiveDefinedCurves)
{
    OpenCounting(1000);
    for (const char *shift : {"0.5", "-0.5"}) {
        Edit(session, "shift", shift);
        ASSERT_EQ(signalProcessing().traces[kSlotBeforeFilter].values.size(),
                  static_cast<size_t>(session.previewLength));
        for (double value : signalProcessing().traces[kSlotBeforeFilter].values) ASSERT_TRUE(std::isfinite(value));
    }
    // The file loses all but 20 sets after it was analysed: the window shrinks to 16 sets, the
    // seam shows what is left and zeros for the rest.
    std::filesystem::resize_file(dir.file("in.bin"), 20 * 4);
    onIqFilePosition(session, 1, 64, 0);
    EXPECT_EQ(session.previewLength, 16);
    Parser_UpdateEolPlots(session);
    EXPECT_EQ(seam().traces[kSlotI].values, std::vector<double>(32, 0.0));
    EXPECT_EQ(seam().traces[kSlotIAfterSeam].values.front(), 1.0);
    std::filesystem::resize_file(dir.file("in.bin"), 0);
    onIqFilePosition(session, 1, 64, 0);
    EXPECT_EQ(session.views.hints.previewText, "Less than 8 IQ samples found.");
}

TEST_F(Previews, TextInputShowsItsEstimatedNumberOfSets)
{
    Edit(session, "format", "Text Integer");
    EXPECT_EQ(session.views.iq.totalLabel, "Total IQ Samples (est.)");
    std::string text;
    for (int k = 0; k < 3000; ++k) text += k < 1000 ? "1 2\n" : "10 20\n";  // 4 bytes, then 6
    Open(text);
    onIqFilePosition(session, 1, 512, 0);
    // 512 sets took 2047 of the 16000 bytes: the reading stops after the last value, before its
    // line end.
    EXPECT_EQ(session.views.iq.total, 16000 * 512 / 2047);
    EXPECT_EQ(preview().traces[kSlotQ].values.size(), 512u);
}
