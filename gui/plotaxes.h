#pragma once
// The arithmetic of a graph's axes: ranges made drawable, value-to-pixel scales, round tick
// steps whose labels do not crowd each other, and the number texts of ticks and readouts.

#include <QString>
#include <functional>
#include <vector>

#include "session/views.h"

inline constexpr int kMaxTicks = 11;

inline double Span(const AxisRange &range) { return range.maximum - range.minimum; }

inline bool SameRange(const AxisRange &a, const AxisRange &b)
{
    return a.minimum == b.minimum && a.maximum == b.maximum;
}

// A range that can be drawn: finite, with the minimum below the maximum. A range of a single
// value is widened to half a unit (or a hair of the value's magnitude) on either side.
AxisRange Usable(AxisRange range);

// A number with at most `decimals` decimals, without trailing zeros and never as "-0".
QString Compact(double value, int decimals);

// A fixed number of decimals, as a readout shows it; a value that rounds to zero shows no sign.
QString Fixed(double value, int decimals);

// Maps axis values onto pixels: `extent` pixels from `origin`, increasing or decreasing. Far-off
// values are held to a million pixels, so that they cannot overflow the rasteriser.
struct Scale {
    double origin;
    double factor;
    double minimum;

    Scale(const AxisRange &range, double origin, double extent, bool reversed);
    double operator()(double value) const;
};

// Tick positions and their labels along one axis.
struct AxisTicks {
    std::vector<double> values;
    std::vector<QString> labels;
};

// How the labels of an axis take room: the width of a label's text, and the height of a line.
struct LabelMetrics {
    std::function<int(const QString &)> width;
    int height = 0;
};

// Ticks at round numbers (1, 2 or 5 times a power of ten) along `length` pixels: the finest
// step at which at most kMaxTicks fit and their labels do not crowd each other (a line and a
// third apart on a vertical axis, the widest label and 12 pixels on a horizontal one).
AxisTicks MakeTicks(const AxisRange &range, double length, bool horizontal, const LabelMetrics &metrics);
