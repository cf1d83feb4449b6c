#include "gui/plotaxes.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {
constexpr double kCoordinateLimit = 1e6;
}

AxisRange Usable(AxisRange range)
{
    if (!std::isfinite(range.minimum) || !std::isfinite(range.maximum)) return {0.0, 1.0};
    if (range.minimum > range.maximum) std::swap(range.minimum, range.maximum);
    if (!(range.maximum > range.minimum)) {
        const double half = std::max(0.5, std::abs(range.minimum) * 1e-9);
        range.minimum -= half;
        range.maximum += half;
    }
    return range;
}

QString Compact(double value, int decimals)
{
    QString text = QString::number(value, 'f', std::max(decimals, 0));
    if (text.contains('.')) {
        while (text.endsWith('0')) text.chop(1);
        if (text.endsWith('.')) text.chop(1);
    }
    if (text == "-0") text = "0";
    return text;
}

QString Fixed(double value, int decimals)
{
    QString text = QString::number(value, 'f', decimals);
    if (text.startsWith('-') && text.mid(1) == QString::number(0.0, 'f', decimals)) text.remove(0, 1);
    return text;
}

Scale::Scale(const AxisRange &range, double origin, double extent, bool reversed)
    : origin(origin), factor((reversed ? -extent : extent) / Span(range)), minimum(range.minimum)
{
}

double Scale::operator()(double value) const
{
    return std::clamp(origin + (value - minimum) * factor, -kCoordinateLimit, kCoordinateLimit);
}

AxisTicks MakeTicks(const AxisRange &range, double length, bool horizontal, const LabelMetrics &metrics)
{
    AxisTicks ticks;
    const double span = Span(range);
    const double minimumGap = horizontal ? 12.0 : 1.3 * metrics.height;
    const double finest = std::floor(std::log10(span / (kMaxTicks + 1)));
    for (int power = 0; power < 4; ++power) {
        for (double mantissa : {1.0, 2.0, 5.0}) {
            const double step = mantissa * std::pow(10.0, finest + power);
            const double first = std::ceil(range.minimum / step - 1e-9);
            const double last = std::floor(range.maximum / step + 1e-9);
            if (last - first + 1 > kMaxTicks) continue;
            const int decimals = static_cast<int>(-std::floor(std::log10(step)));
            ticks.values.clear();
            ticks.labels.clear();
            int widest = 0;
            for (double i = first; i <= last; ++i) {
                const double value = std::abs(i) < 0.5 ? 0.0 : i * step;
                ticks.values.push_back(value);
                ticks.labels.push_back(Compact(value, decimals));
                widest = std::max(widest, metrics.width(ticks.labels.back()));
            }
            const double gap = step / span * length;
            if (gap >= (horizontal ? widest + minimumGap : minimumGap)) return ticks;
        }
    }
    return ticks;
}
