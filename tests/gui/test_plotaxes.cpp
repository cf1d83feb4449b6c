// The axes of the graphs: round ticks that fit, drawable ranges, number texts.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "gui/plotaxes.h"

namespace {

// Labels as a fixed-pitch font lays them out: 7 pixels a character, lines 14 pixels high.
const LabelMetrics kMetrics{[](const QString &text) { return 7 * static_cast<int>(text.size()); }, 14};

bool IsRoundStep(double step)
{
    const double mantissa = step / std::pow(10.0, std::floor(std::log10(step) + 1e-9));
    return std::abs(mantissa - 1.0) < 1e-6 || std::abs(mantissa - 2.0) < 1e-6 || std::abs(mantissa - 5.0) < 1e-6;
}

}  // namespace

TEST(PlotAxes, TicksAreRoundEvenInsideTheRangeAndLeaveRoomForTheirLabels)
{
    const AxisRange ranges[] = {{0, 1023},   {-32768, 32767}, {-0.5, 0.5},   {-120, 3},      {1e9, 1e9 + 7},
                                {0.001, 0.0013}, {-3, -2},    {0, 8191},     {-4096, 4096}};
    for (const AxisRange &range : ranges) {
        for (const bool horizontal : {true, false}) {
            for (const double length : {80.0, 300.0, 1400.0}) {
                SCOPED_TRACE(testing::Message() << range.minimum << ".." << range.maximum << " " << length
                                                << (horizontal ? " horizontal" : " vertical"));
                const AxisTicks ticks = MakeTicks(range, length, horizontal, kMetrics);
                ASSERT_GE(ticks.values.size(), 1u);  // a narrow axis of long labels keeps one
                ASSERT_LE(ticks.values.size(), static_cast<size_t>(kMaxTicks));
                ASSERT_EQ(ticks.labels.size(), ticks.values.size());
                if (ticks.values.size() < 2) continue;
                const double step = ticks.values[1] - ticks.values[0];
                EXPECT_TRUE(IsRoundStep(step)) << step;
                for (size_t i = 0; i < ticks.values.size(); ++i) {
                    EXPECT_GE(ticks.values[i], range.minimum - 1e-9 * std::abs(range.minimum));
                    EXPECT_LE(ticks.values[i], range.maximum + 1e-9 * std::abs(range.maximum));
                    if (i > 0) {
                        EXPECT_NEAR(ticks.values[i] - ticks.values[i - 1], step, 1e-9 * std::abs(step) * 1e3);
                        EXPECT_NE(ticks.labels[i], ticks.labels[i - 1]);
                    }
                    EXPECT_NE(ticks.labels[i], "-0");
                }
                // Wide enough apart for the labels, unless even the coarsest step is too fine.
                const double gap = step / Span(range) * length;
                int widest = 0;
                for (const QString &label : ticks.labels) widest = std::max(widest, kMetrics.width(label));
                if (ticks.values.size() > 2) {
                    EXPECT_GE(gap, horizontal ? widest + 12.0 : 1.3 * kMetrics.height);
                }
            }
        }
    }
}

TEST(PlotAxes, RangesBecomeDrawableAndNumbersReadCleanly)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(SameRange(Usable({nan, 4.0}), AxisRange{0.0, 1.0}));
    EXPECT_TRUE(SameRange(Usable({5.0, -5.0}), AxisRange{-5.0, 5.0}));
    EXPECT_TRUE(SameRange(Usable({2.0, 2.0}), AxisRange{1.5, 2.5}));
    EXPECT_GT(Span(Usable({1e12, 1e12})), 0.0);

    EXPECT_EQ(Compact(-0.0001, 2), "0");
    EXPECT_EQ(Compact(2.50, 3), "2.5");
    EXPECT_EQ(Compact(1500.0, 0), "1500");
    EXPECT_EQ(Fixed(-0.00004, 4), "0.0000");
    EXPECT_EQ(Fixed(-0.5, 1), "-0.5");

    const Scale toPixels({0.0, 10.0}, 100.0, 50.0, true);
    EXPECT_DOUBLE_EQ(toPixels(0.0), 100.0);
    EXPECT_DOUBLE_EQ(toPixels(10.0), 50.0);
    EXPECT_DOUBLE_EQ(toPixels(1e300), -1e6);  // held off the rasteriser's limits
}
