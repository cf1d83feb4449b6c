#include "gui/plotwidget.h"

#include <QEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <iterator>
#include <optional>
#include <utility>

#include "gui/cellstyle.h"
#include "gui/plotaxes.h"

namespace {

constexpr int kNarrowMargin = 12;      // beside an axis that is left out
constexpr int kSideMargin = 60;        // least room for a vertical axis' labels and title
constexpr int kEndMargin = 40;         // least room for a horizontal axis' labels and title
constexpr int kTickLength = 4;
constexpr double kGrabDistance = 5.0;  // how near a cursor line a press grabs it, in pixels
constexpr double kZoomPerNotch = 1.25;  // also the zoom of one + or - key press
constexpr double kPageSteps = 10.0;     // Page Up and Page Down move a cursor this many pixels
constexpr double kMarkerRadius = 2.0;
// A long line is stroked in pieces of this many segments: the rasteriser strokes a wide
// antialiased polyline in time that grows faster than its length.
constexpr int kChunk = 32;

const QColor kGridColor(225, 225, 225);
const QColor kFrameColor(90, 90, 90);
const QColor kReadoutBackground(255, 255, 255, 215);

// The value of a curve's point nearest to x, when x lies on the curve.
std::optional<double> ValueAt(const PlotTrace &trace, double x)
{
    if (trace.values.empty() || !trace.visible || trace.xStep == 0.0 || !std::isfinite(trace.xStep)) return {};
    const double index = std::round((x - trace.xStart) / trace.xStep);
    if (!(index >= 0.0) || index >= static_cast<double>(trace.values.size())) return {};
    const double value = trace.values[static_cast<size_t>(index)];
    if (!std::isfinite(value)) return {};
    return value;
}

}  // namespace

PlotWidget::PlotWidget(const PlotLabels &labels, QWidget *parent) : QWidget(parent), labels(labels)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);  // the grid image covers the whole widget
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    readRanges();
    view = fullBottom;
    updateLayout();
}

QSize PlotWidget::sizeHint() const { return {400, 250}; }

QSize PlotWidget::minimumSizeHint() const { return {200, 100}; }

void PlotWidget::setGraph(const GraphView *newGraph)
{
    graph = newGraph;
    refresh();
}

void PlotWidget::refresh()
{
    const AxisRange previous[4] = {fullBottom, leftRange, topRange, rightRange};
    readRanges();
    // A new x range starts unzoomed; the same one keeps the user's zoom.
    if (!SameRange(previous[0], fullBottom)) view = fullBottom;
    const AxisRange current[4] = {fullBottom, leftRange, topRange, rightRange};
    if (!std::equal(std::begin(previous), std::end(previous), std::begin(current), SameRange)) updateLayout();
    curvesValid = false;
    updateReadout();
    update();
}

void PlotWidget::setCursors(const std::vector<GraphCursor> &newCursors)
{
    cursors = newCursors;
    if (dragIndex >= static_cast<int>(cursors.size())) dragIndex = -1;
    update();
}

double PlotWidget::xAt(int pixelX) const
{
    const double extent = std::max(plot.width() - 1, 1);
    return view.minimum + (pixelX - plot.x()) / extent * Span(view);
}

int PlotWidget::pixelAt(double x) const
{
    const Scale scale(view, plot.x(), std::max(plot.width() - 1, 1), false);
    return static_cast<int>(std::lround(scale(x)));
}

void PlotWidget::readRanges()
{
    if (!graph) {
        fullBottom = leftRange = topRange = rightRange = {0.0, 1.0};
        return;
    }
    fullBottom = Usable(graph->bottom);
    leftRange = Usable(graph->left);
    topRange = Usable(graph->top);
    rightRange = Usable(graph->right);
}

void PlotWidget::updateLayout()
{
    const QFontMetrics metrics = fontMetrics();
    const int textHeight = metrics.height();
    const int endMargin = std::max(kEndMargin, 2 * textHeight + kTickLength + 8);
    const int top = labels.top.isEmpty() ? kNarrowMargin : endMargin;
    const int bottom = labels.bottom.isEmpty() ? kNarrowMargin : endMargin;
    const int plotHeight = std::max(height() - top - bottom, 2);

    const LabelMetrics labelMetrics{[&metrics](const QString &text) { return metrics.horizontalAdvance(text); },
                                    textHeight};
    // The vertical axes' labels set the side margins, so they come first.
    leftTicks = MakeTicks(leftRange, plotHeight, false, labelMetrics);
    rightTicks = labels.right.isEmpty() ? AxisTicks{} : MakeTicks(rightRange, plotHeight, false, labelMetrics);
    const auto sideMargin = [&](const QString &title, const AxisTicks &ticks) {
        if (title.isEmpty()) return kNarrowMargin;
        int widest = 0;
        for (const QString &text : ticks.labels) widest = std::max(widest, metrics.horizontalAdvance(text));
        return std::max(kSideMargin, 4 + textHeight + 6 + widest + kTickLength + 4);
    };
    const int left = sideMargin(labels.left, leftTicks);
    const int right = sideMargin(labels.right, rightTicks);
    plot = QRect(left, top, std::max(width() - left - right, 2), plotHeight);

    bottomTicks = MakeTicks(view, plot.width(), true, labelMetrics);
    topTicks = labels.top.isEmpty() ? AxisTicks{} : MakeTicks(topRange, plot.width(), true, labelMetrics);
    gridValid = false;
    curvesValid = false;
}

void PlotWidget::buildGrid()
{
    const qreal ratio = devicePixelRatioF();
    grid = QPixmap(size() * ratio);
    grid.setDevicePixelRatio(ratio);
    grid.fill(Qt::white);
    gridValid = true;
    curvesValid = false;

    QPainter painter(&grid);
    painter.setFont(font());
    const QFontMetrics metrics = fontMetrics();
    const int textHeight = metrics.height();
    const Scale bottomX(view, plot.x(), plot.width() - 1, false);
    const Scale topX(topRange, plot.x(), plot.width() - 1, false);
    const Scale leftY(leftRange, plot.y() + plot.height() - 1, plot.height() - 1, true);
    const Scale rightY(rightRange, plot.y() + plot.height() - 1, plot.height() - 1, true);
    const int plotRight = plot.x() + plot.width();    // first column right of the plot
    const int plotBottom = plot.y() + plot.height();  // first row below the plot

    painter.setPen(QPen(kGridColor, 0));
    for (double value : bottomTicks.values) {
        const int x = static_cast<int>(std::lround(bottomX(value)));
        painter.drawLine(x, plot.y(), x, plotBottom - 1);
    }
    for (double value : leftTicks.values) {
        const int y = static_cast<int>(std::lround(leftY(value)));
        painter.drawLine(plot.x(), y, plotRight - 1, y);
    }
    painter.setPen(QPen(kFrameColor, 0));
    painter.drawRect(plot.adjusted(0, 0, -1, -1));

    // Ticks and their labels on the axes that have a title; the spectrum's axes in its colour.
    const QColor black(Qt::black);
    const QColor spectrum = ToQColor(kTraceSpectrum).darker(140);
    constexpr int kWide = 400;  // room for a label, centred on its tick
    if (!labels.bottom.isEmpty()) {
        painter.setPen(QPen(black, 0));
        for (size_t i = 0; i < bottomTicks.values.size(); ++i) {
            const int x = static_cast<int>(std::lround(bottomX(bottomTicks.values[i])));
            painter.drawLine(x, plotBottom, x, plotBottom + kTickLength - 1);
            painter.drawText(QRect(x - kWide / 2, plotBottom + kTickLength + 2, kWide, textHeight),
                             Qt::AlignHCenter | Qt::AlignTop, bottomTicks.labels[i]);
        }
        painter.drawText(QRect(plot.x(), height() - textHeight - 4, plot.width(), textHeight), Qt::AlignCenter,
                         labels.bottom);
    }
    if (!labels.top.isEmpty()) {
        painter.setPen(QPen(spectrum, 0));
        for (size_t i = 0; i < topTicks.values.size(); ++i) {
            const int x = static_cast<int>(std::lround(topX(topTicks.values[i])));
            painter.drawLine(x, plot.y() - kTickLength, x, plot.y() - 1);
            painter.drawText(QRect(x - kWide / 2, plot.y() - kTickLength - 2 - textHeight, kWide, textHeight),
                             Qt::AlignHCenter | Qt::AlignBottom, topTicks.labels[i]);
        }
        painter.drawText(QRect(plot.x(), 4, plot.width(), textHeight), Qt::AlignCenter, labels.top);
    }
    // A vertical title stands beside the middle of the plot, moved along it as far as it must to
    // stay inside the widget; in a graph lower than the title it is shortened with an ellipsis.
    const auto title = [&](const QString &text, double x, double angle) {
        const QString shown = painter.fontMetrics().elidedText(text, Qt::ElideRight, std::max(height() - 8, 0));
        const double half = painter.fontMetrics().horizontalAdvance(shown) / 2.0 + 4;
        const double middle = std::clamp(plot.y() + plot.height() / 2.0, half, std::max(half, height() - half));
        painter.save();
        painter.translate(x, middle);
        painter.rotate(angle);
        painter.drawText(QRectF(-kWide, -textHeight / 2.0, 2 * kWide, textHeight), Qt::AlignCenter, shown);
        painter.restore();
    };
    if (!labels.left.isEmpty()) {
        painter.setPen(QPen(black, 0));
        for (size_t i = 0; i < leftTicks.values.size(); ++i) {
            const int y = static_cast<int>(std::lround(leftY(leftTicks.values[i])));
            painter.drawLine(plot.x() - kTickLength, y, plot.x() - 1, y);
            painter.drawText(QRect(plot.x() - kTickLength - 3 - kWide, y - textHeight / 2, kWide, textHeight),
                             Qt::AlignRight | Qt::AlignVCenter, leftTicks.labels[i]);
        }
        title(labels.left, 4 + textHeight / 2.0, -90.0);
    }
    if (!labels.right.isEmpty()) {
        painter.setPen(QPen(spectrum, 0));
        for (size_t i = 0; i < rightTicks.values.size(); ++i) {
            const int y = static_cast<int>(std::lround(rightY(rightTicks.values[i])));
            painter.drawLine(plotRight, y, plotRight + kTickLength - 1, y);
            painter.drawText(QRect(plotRight + kTickLength + 3, y - textHeight / 2, kWide, textHeight),
                             Qt::AlignLeft | Qt::AlignVCenter, rightTicks.labels[i]);
        }
        title(labels.right, width() - 4 - textHeight / 2.0, 90.0);
    }
}

void PlotWidget::paintEvent(QPaintEvent *)
{
    const qreal ratio = devicePixelRatioF();
    if (!gridValid || grid.devicePixelRatio() != ratio || grid.size() != size() * ratio) buildGrid();
    if (!curvesValid) buildCurves();
    QPainter painter(this);
    painter.drawPixmap(0, 0, curves);
    drawCursors(painter);
    // While a cursor is dragged its own label takes the readout's place.
    if (hovering && dragIndex < 0 && !readout.isEmpty())
        drawBox(painter, QPointF(plot.x() + 4, plot.y() + 4), readout, false);
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
        painter.drawRect(plot.adjusted(-2, -2, 1, 1));
    }
}

// The grid with the curves on it. Kept apart from the cursors and the readout, so that moving
// the mouse only copies it instead of stroking thousands of points again.
void PlotWidget::buildCurves()
{
    if (curves.size() != grid.size() || curves.devicePixelRatio() != grid.devicePixelRatio()) {
        curves = QPixmap(grid.size());
        curves.setDevicePixelRatio(grid.devicePixelRatio());
    }
    curvesValid = true;
    vertexCount = 0;
    QPainter painter(&curves);
    painter.drawPixmap(0, 0, grid);
    if (!graph) return;
    painter.setClipRect(plot);
    painter.setRenderHint(QPainter::Antialiasing);
    for (const PlotTrace &trace : graph->traces)
        if (trace.visible && !trace.values.empty()) drawTrace(painter, trace);
}

void PlotWidget::drawTrace(QPainter &painter, const PlotTrace &trace)
{
    if (trace.xStep == 0.0 || !std::isfinite(trace.xStep) || !std::isfinite(trace.xStart)) return;
    const bool spectrum = trace.axes == PlotAxes::Spectrum;
    const AxisRange &xRange = spectrum ? topRange : view;
    const AxisRange &yRange = spectrum ? rightRange : leftRange;

    // Only the points inside the x range are walked, plus one on either side, so that the line
    // runs on to the plot's edge.
    const double n = static_cast<double>(trace.values.size());
    const double a = (xRange.minimum - trace.xStart) / trace.xStep;
    const double b = (xRange.maximum - trace.xStart) / trace.xStep;
    const double low = std::floor(std::min(a, b)) - 1.0;
    const double high = std::ceil(std::max(a, b)) + 1.0;
    if (high < 0.0 || low > n - 1.0) return;
    const int first = static_cast<int>(std::max(low, 0.0));
    const int last = static_cast<int>(std::min(high, n - 1.0));
    const int count = last - first + 1;

    const Scale toX(xRange, plot.x(), plot.width() - 1, false);
    const Scale toY(yRange, plot.y() + plot.height() - 1, plot.height() - 1, true);
    const QColor color = ToQColor(trace.color);
    const bool markers = count <= plot.width() / 6;
    // More points than pixel columns: each column gets its first, lowest, highest and last
    // value, which draws the same picture with at most four vertices per column.
    const bool decimate = count > plot.width();
    // 1.5 pixels at any device pixel ratio: the pen scales with the ratio, as the curves do. A
    // decimated curve is mostly vertical strokes within pixel columns: drawn aliased and one
    // pixel wide it looks the same and draws ten times faster.
    painter.setRenderHint(QPainter::Antialiasing, !decimate);
    painter.setPen(QPen(color, decimate ? 1.0 : 1.5));
    painter.setBrush(color);

    int column = 0;
    bool open = false;
    double firstY = 0.0, minY = 0.0, maxY = 0.0, lastY = 0.0;
    const auto closeColumn = [&] {
        if (!open) return;
        open = false;
        const double x = plot.x() + column + 0.5;
        points.emplace_back(x, firstY);
        for (double y : {minY, maxY, lastY})
            if (y != points.back().y()) points.emplace_back(x, y);
    };

    points.clear();
    for (int k = first; k <= last; ++k) {
        const double value = trace.values[static_cast<size_t>(k)];
        if (!std::isfinite(value)) {  // a gap in the curve
            closeColumn();
            flushLine(painter, markers);
            continue;
        }
        const double x = toX(trace.xStart + k * trace.xStep);
        const double y = toY(value);
        if (!decimate) {
            points.emplace_back(x, y);
            continue;
        }
        const int at = static_cast<int>(std::floor(x - plot.x()));
        if (open && at != column) closeColumn();
        if (!open) {
            open = true;
            column = at;
            firstY = minY = maxY = lastY = y;
        } else {
            minY = std::min(minY, y);
            maxY = std::max(maxY, y);
            lastY = y;
        }
    }
    closeColumn();
    flushLine(painter, markers);
}

// Draws the run of points collected so far as one line and starts a new run.
void PlotWidget::flushLine(QPainter &painter, bool markers)
{
    const int size = static_cast<int>(points.size());
    if (size >= 2)
        for (int start = 0; start < size - 1; start += kChunk)
            painter.drawPolyline(points.data() + start, std::min(kChunk + 1, size - start));
    else if (size == 1 && !markers)
        painter.drawPoint(points.front());
    if (markers)
        for (const QPointF &point : points) painter.drawEllipse(point, kMarkerRadius, kMarkerRadius);
    vertexCount += size;
    points.clear();
}

void PlotWidget::drawCursors(QPainter &painter)
{
    const Scale toX(view, plot.x(), plot.width() - 1, false);
    const Scale toY(leftRange, plot.y() + plot.height() - 1, plot.height() - 1, true);
    const int plotRight = plot.x() + plot.width() - 1;
    const int plotBottom = plot.y() + plot.height() - 1;
    for (size_t i = 0; i < cursors.size(); ++i) {
        const GraphCursor &line = cursors[i];
        if (!line.enabled) continue;
        painter.setPen(QPen(ToQColor(line.color), 0));
        const double x = static_cast<int>(i) == dragIndex ? dragX : line.x;
        if (line.mark == CursorMark::Position && x >= view.minimum && x <= view.maximum) {
            const int column = static_cast<int>(std::lround(toX(x)));
            painter.drawLine(column, plot.y(), column, plotBottom);
        }
        if (line.mark == CursorMark::Level && line.y >= leftRange.minimum && line.y <= leftRange.maximum) {
            const int row = static_cast<int>(std::lround(toY(line.y)));
            painter.drawLine(plot.x(), row, plotRight, row);
        }
    }
    if (dragIndex >= 0) drawBox(painter, QPointF(toX(dragX), plot.y() + 4), dragText, true);
}

// A small white box with text: at `anchor` as its top-left corner, or centred on it
// horizontally (`centred`); kept inside the plot rectangle.
void PlotWidget::drawBox(QPainter &painter, QPointF anchor, const QString &text, bool centred)
{
    const QFontMetrics metrics = fontMetrics();
    const double width = metrics.horizontalAdvance(text) + 8.0;
    const double height = metrics.height() + 4.0;
    double x = centred ? anchor.x() - width / 2 : anchor.x();
    x = std::max(std::min(x, plot.x() + plot.width() - width - 2.0), plot.x() + 2.0);
    const QRectF box(x, anchor.y(), width, height);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(kGridColor.darker(120), 0));
    painter.setBrush(kReadoutBackground);
    painter.drawRect(box);
    painter.setPen(Qt::black);
    painter.drawText(box, Qt::AlignCenter, text);
    painter.restore();
}

void PlotWidget::resizeEvent(QResizeEvent *event)
{
    updateLayout();
    QWidget::resizeEvent(event);
}

void PlotWidget::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange) updateLayout();
    QWidget::changeEvent(event);
}

int PlotWidget::draggableCursorAt(double pixelX) const
{
    const Scale toX(view, plot.x(), plot.width() - 1, false);
    int nearest = -1;
    double best = kGrabDistance;
    for (size_t i = 0; i < cursors.size(); ++i) {
        const GraphCursor &line = cursors[i];
        if (!line.enabled || line.mode != 1 || line.x < view.minimum || line.x > view.maximum) continue;
        const double distance = std::abs(toX(line.x) - pixelX);
        if (distance <= best) {
            best = distance;
            nearest = static_cast<int>(i);
        }
    }
    return nearest;
}

void PlotWidget::mousePressEvent(QMouseEvent *event)
{
    const QPointF pos = event->position();
    const QRectF grab = QRectF(plot).adjusted(-kGrabDistance, 0, kGrabDistance, 0);
    if (event->button() == Qt::LeftButton && grab.contains(pos)) {
        dragIndex = draggableCursorAt(pos.x());
        if (dragIndex >= 0) {
            dragMoved = false;
            dragX = cursors[static_cast<size_t>(dragIndex)].x;
            dragText = Compact(dragX, 6);
            update();
            event->accept();
            return;
        }
    }
    QWidget::mousePressEvent(event);
}

void PlotWidget::mouseMoveEvent(QMouseEvent *event)
{
    const QPointF pos = event->position();
    if (dragIndex >= 0) {
        dragMoved = true;
        dragX = std::clamp(xAt(static_cast<int>(std::lround(pos.x()))), view.minimum, view.maximum);
        dragText = Compact(dragX, 6);
        update();
        return;
    }
    const bool inside = plot.contains(pos.toPoint());
    if (inside && draggableCursorAt(pos.x()) >= 0)
        setCursor(Qt::SizeHorCursor);
    else
        unsetCursor();
    hovering = inside;
    hoverPos = pos;
    updateReadout();
    update();
}

void PlotWidget::mouseReleaseEvent(QMouseEvent *event)
{
    if (dragIndex < 0 || event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const int index = dragIndex;
    dragIndex = -1;
    lastDragged = index;
    update();
    // A click on a cursor without moving it leaves it where it is.
    if (!dragMoved) return;
    const double x = std::clamp(xAt(static_cast<int>(std::lround(event->position().x()))), view.minimum,
                                view.maximum);
    emit cursorMoved(index, x);
}

void PlotWidget::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    setView(fullBottom);
}

void PlotWidget::wheelEvent(QWheelEvent *event)
{
    const QPointF pos = event->position();
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0.0 || !plot.contains(pos.toPoint())) {
        event->ignore();
        return;
    }
    event->accept();
    // The value under the pointer stays under it.
    zoom(std::pow(kZoomPerNotch, notches), xAt(static_cast<int>(std::lround(pos.x()))));
}

void PlotWidget::keyPressEvent(QKeyEvent *event)
{
    const int keyboard = keyboardCursor();
    const double anchor = keyboard >= 0 ? cursors[static_cast<size_t>(keyboard)].x : (view.minimum + view.maximum) / 2;
    bool handled = true;
    switch (event->key()) {
    case Qt::Key_Left: handled = moveKeyboardCursor(-1.0); break;
    case Qt::Key_Right: handled = moveKeyboardCursor(1.0); break;
    case Qt::Key_PageDown: handled = moveKeyboardCursor(-kPageSteps); break;
    case Qt::Key_PageUp: handled = moveKeyboardCursor(kPageSteps); break;
    case Qt::Key_Plus:
    case Qt::Key_Equal: zoom(kZoomPerNotch, std::clamp(anchor, view.minimum, view.maximum)); break;
    case Qt::Key_Minus: zoom(1.0 / kZoomPerNotch, std::clamp(anchor, view.minimum, view.maximum)); break;
    default: handled = false;
    }
    if (!handled) QWidget::keyPressEvent(event);
}

void PlotWidget::focusInEvent(QFocusEvent *event)
{
    update();
    QWidget::focusInEvent(event);
}

void PlotWidget::focusOutEvent(QFocusEvent *event)
{
    update();
    QWidget::focusOutEvent(event);
}

void PlotWidget::leaveEvent(QEvent *event)
{
    hovering = false;
    readout.clear();
    update();
    QWidget::leaveEvent(event);
}

void PlotWidget::setView(AxisRange range)
{
    view = range;
    updateLayout();
    updateReadout();
    update();
}

// Multiplies the magnification by `factor`, keeping `anchor` at its pixel; never wider than the
// whole range nor narrower than minimumSpan().
void PlotWidget::zoom(double factor, double anchor)
{
    const double span = Span(view);
    const double fullSpan = Span(fullBottom);
    const double newSpan = std::clamp(span / factor, minimumSpan(), fullSpan);
    if (newSpan >= fullSpan) {
        setView(fullBottom);
        return;
    }
    double minimum = anchor - (anchor - view.minimum) * (newSpan / span);
    minimum = std::clamp(minimum, fullBottom.minimum, fullBottom.maximum - newSpan);
    setView({minimum, minimum + newSpan});
}

// The cursor the arrow keys move: the one dragged last, or else the first draggable one; -1 when
// the graph has none.
int PlotWidget::keyboardCursor() const
{
    const auto draggable = [this](int i) {
        return i >= 0 && i < static_cast<int>(cursors.size()) && cursors[static_cast<size_t>(i)].enabled &&
               cursors[static_cast<size_t>(i)].mode == 1;
    };
    if (draggable(lastDragged)) return lastDragged;
    for (int i = 0; i < static_cast<int>(cursors.size()); ++i)
        if (draggable(i)) return i;
    return -1;
}

// Moves the keyboard cursor by `steps` steps of one pixel (at least one sample) and reports it
// as a drag would; the view follows a cursor that leaves it. False when there is no such cursor.
bool PlotWidget::moveKeyboardCursor(double steps)
{
    const int index = keyboardCursor();
    if (index < 0) return false;
    const double pixelStep = Span(view) / std::max(1, plot.width() - 1);
    const double step = std::max(pixelStep, minimumSpan() / 4.0);
    const double from = std::clamp(cursors[static_cast<size_t>(index)].x, fullBottom.minimum, fullBottom.maximum);
    const double to = std::clamp(from + steps * step, fullBottom.minimum, fullBottom.maximum);
    if (to < view.minimum || to > view.maximum) {
        const double span = Span(view);
        const double minimum = std::clamp(to - span / 2, fullBottom.minimum, fullBottom.maximum - span);
        setView({minimum, minimum + span});
    }
    lastDragged = index;
    emit cursorMoved(index, to);
    return true;
}

// The narrowest x range the wheel zooms to: four steps of the first curve, and never below a
// billionth of the whole range.
double PlotWidget::minimumSpan() const
{
    const double fullSpan = Span(fullBottom);
    double span = fullSpan * 1e-9;
    if (graph) {
        for (const PlotTrace &trace : graph->traces) {
            if (trace.values.empty() || trace.axes != PlotAxes::Samples) continue;
            if (std::isfinite(trace.xStep)) span = std::max(span, 4.0 * std::abs(trace.xStep));
            break;
        }
    }
    return std::min(span, fullSpan);
}

void PlotWidget::updateReadout()
{
    readout.clear();
    if (!hovering) return;
    const double x = xAt(static_cast<int>(std::lround(hoverPos.x())));
    const double extent = std::max(plot.height() - 1, 1);
    const double y = leftRange.minimum + (plot.y() + plot.height() - 1 - hoverPos.y()) / extent * Span(leftRange);
    if (!graph) return;
    if (graph->readout == PlotReadout::Samples) {
        // I and Q of the sample set under the pointer; the seam graph keeps the sets after the
        // seam in slots of their own.
        const double sample = std::round(x);
        readout = QString("Sample %1").arg(Compact(sample, 0));
        const auto append = [&](const char *name, int slot, int slotAfterSeam) {
            std::optional<double> value = ValueAt(graph->traces[slot], sample);
            if (!value) value = ValueAt(graph->traces[slotAfterSeam], sample);
            if (value) readout += QString("  %1 %2").arg(name, QString::number(*value, 'g', 6));
        };
        append("I", kSlotI, kSlotIAfterSeam);
        append("Q", kSlotQ, kSlotQAfterSeam);
    } else {
        readout = QString("%1 [f/fs]  %2 dB").arg(Fixed(x, 4), Fixed(y, 1));
    }
}
