// The graph widget on its own: what it draws, cursor dragging and the wheel zoom.

#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

#include "gui/plotwidget.h"

namespace {

constexpr Rgb kGreen{0, 200, 0};  // a colour nothing else in the graph uses

const PlotWidget::PlotLabels kIqLabels{"IQ Sample", "IQ Amplitude", "FFT Frequency [f/fs]",
                                       "Normalized FFT Amplitude"};

// A graph of one curve on the sample axes: `n` points 0 .. n-1.
GraphView OneCurve(int n, double value)
{
    GraphView graph;
    graph.bottom = {0.0, static_cast<double>(n - 1)};
    graph.left = {-1.0, 1.0};
    graph.traces[kSlotI].values.assign(static_cast<size_t>(n), value);
    graph.traces[kSlotI].color = kGreen;
    return graph;
}

int PixelsOf(const QImage &image, Rgb color)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - color.red) < 8 && std::abs(pixel.green() - color.green) < 8 &&
                std::abs(pixel.blue() - color.blue) < 8)
                ++count;
        }
    return count;
}

QImage Render(PlotWidget &widget)
{
    QImage image(widget.size(), QImage::Format_ARGB32);
    image.fill(Qt::black);
    widget.render(&image);
    return image;
}

void Wheel(PlotWidget &widget, QPoint pos, int delta)
{
    QWheelEvent event(pos, widget.mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&widget, &event);
}

}  // namespace

TEST(PlotWidget, HiddenCurveDrawsNothing)
{
    GraphView graph = OneCurve(16, 0.25);
    PlotWidget widget(kIqLabels);
    widget.resize(400, 250);
    widget.setGraph(&graph);
    EXPECT_GT(PixelsOf(Render(widget), kGreen), 50);

    graph.traces[kSlotI].visible = false;
    widget.refresh();
    EXPECT_EQ(PixelsOf(Render(widget), kGreen), 0);
}

TEST(PlotWidget, DraggingACursorReportsWhereItWasLetGo)
{
    GraphView graph = OneCurve(101, 0.0);
    PlotWidget widget(kIqLabels);
    widget.resize(400, 250);
    widget.setGraph(&graph);
    widget.setCursors({GraphCursor{.x = 50.0, .y = 5.0, .mode = 1}, GraphCursor{.x = 20.0, .y = 5.0, .mode = 0}});
    widget.show();
    QSignalSpy moved(&widget, &PlotWidget::cursorMoved);
    const int row = widget.plotRect().center().y();

    // Grabbed 3 pixels beside its line, let go further right.
    const QPoint release(widget.pixelAt(80.0), row);
    QTest::mousePress(&widget, Qt::LeftButton, Qt::NoModifier, QPoint(widget.pixelAt(50.0) + 3, row));
    QTest::mouseMove(&widget, QPoint(widget.pixelAt(65.0), row));
    QTest::mouseMove(&widget, release);
    QTest::mouseRelease(&widget, Qt::LeftButton, Qt::NoModifier, release);
    ASSERT_EQ(moved.count(), 1);
    EXPECT_EQ(moved.at(0).at(0).toInt(), 0);
    EXPECT_NEAR(moved.at(0).at(1).toDouble(), widget.xAt(release.x()), 1e-9);
    EXPECT_NEAR(moved.at(0).at(1).toDouble(), 80.0, 0.5);

    // The fixed cursor stays, and so does the draggable one when only clicked.
    for (double x : {20.0, 50.0}) {
        const QPoint at(widget.pixelAt(x), row);
        QTest::mousePress(&widget, Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseRelease(&widget, Qt::LeftButton, Qt::NoModifier, at);
    }
    QTest::mousePress(&widget, Qt::LeftButton, Qt::NoModifier, QPoint(widget.pixelAt(20.0), row));
    QTest::mouseMove(&widget, release);
    QTest::mouseRelease(&widget, Qt::LeftButton, Qt::NoModifier, release);
    EXPECT_EQ(moved.count(), 1);
}

TEST(PlotWidget, WheelZoomsAroundThePointerAndDoubleClickRestores)
{
    GraphView graph = OneCurve(101, 0.0);
    PlotWidget widget(kIqLabels);
    widget.resize(400, 250);
    widget.setGraph(&graph);
    widget.show();
    const QPoint pointer(widget.pixelAt(25.0), widget.plotRect().center().y());
    const double under = widget.xAt(pointer.x());

    Wheel(widget, pointer, 240);
    AxisRange shown = widget.visibleBottom();
    EXPECT_NEAR(shown.maximum - shown.minimum, 100.0 / (1.25 * 1.25), 1e-6);
    EXPECT_GT(shown.minimum, 0.0);
    EXPECT_NEAR(widget.xAt(pointer.x()), under, 1e-9);

    // Zoomed out past the whole range: the whole range, no wider.
    Wheel(widget, pointer, -120 * 5);
    shown = widget.visibleBottom();
    EXPECT_EQ(shown.minimum, 0.0);
    EXPECT_EQ(shown.maximum, 100.0);

    // Zoomed in as far as it goes: four samples; double click brings the whole range back.
    Wheel(widget, pointer, 120 * 40);
    shown = widget.visibleBottom();
    EXPECT_NEAR(shown.maximum - shown.minimum, 4.0, 1e-9);
    QTest::mouseDClick(&widget, Qt::LeftButton, Qt::NoModifier, pointer);
    shown = widget.visibleBottom();
    EXPECT_EQ(shown.minimum, 0.0);
    EXPECT_EQ(shown.maximum, 100.0);

    // New data on another x range starts unzoomed.
    Wheel(widget, pointer, 120);
    graph.bottom = {0.0, 50.0};
    widget.refresh();
    EXPECT_EQ(widget.visibleBottom().maximum, 50.0);
}

TEST(PlotWidget, LongCurveDrawsAtMostFourVerticesPerColumn)
{
    constexpr int n = 8192;
    GraphView graph = OneCurve(n, 0.0);
    std::vector<double> &values = graph.traces[kSlotI].values;
    for (int k = 0; k < n; ++k) values[k] = k % 2 ? 0.9 : -0.9;
    values[4000] = std::numeric_limits<double>::quiet_NaN();
    PlotWidget widget(kIqLabels);
    widget.resize(300, 200);
    widget.setGraph(&graph);
    const int columns = widget.plotRect().width();

    EXPECT_GT(PixelsOf(Render(widget), kGreen), 0);
    EXPECT_GT(widget.drawnVertexCount(), columns);
    EXPECT_LE(widget.drawnVertexCount(), 4 * columns + 4);

    // Zoomed in, only the points in view are drawn.
    widget.show();
    Wheel(widget, widget.plotRect().center(), 120 * 10);
    static_cast<void>(Render(widget));
    EXPECT_LE(widget.drawnVertexCount(), 4 * columns + 4);
    EXPECT_GT(widget.drawnVertexCount(), 0);
}

TEST(PlotWidget, ArrowKeysMoveTheDraggableCursorAsADragAndPlusMinusZoom)
{
    GraphView graph = OneCurve(1001, 0.0);
    PlotWidget widget(kIqLabels);
    widget.resize(400, 250);
    widget.setGraph(&graph);
    std::vector<GraphCursor> cursors{GraphCursor{.x = 20.0, .mode = 0}, GraphCursor{.x = 500.0, .mode = 1}};
    widget.setCursors(cursors);
    widget.show();
    EXPECT_EQ(widget.focusPolicy(), Qt::StrongFocus);
    // The page answers a move by putting the cursor there, as it does after a drag.
    QSignalSpy moved(&widget, &PlotWidget::cursorMoved);
    QObject::connect(&widget, &PlotWidget::cursorMoved, [&](int index, double x) {
        cursors[static_cast<size_t>(index)].x = x;
        widget.setCursors(cursors);
    });
    const double pixel = 1000.0 / (widget.plotRect().width() - 1);

    QTest::keyClick(&widget, Qt::Key_Right);
    QTest::keyClick(&widget, Qt::Key_Right);
    QTest::keyClick(&widget, Qt::Key_Left);
    ASSERT_EQ(moved.count(), 3);
    EXPECT_EQ(moved.at(0).at(0).toInt(), 1);  // the fixed cursor never moves
    EXPECT_NEAR(cursors[1].x, 500.0 + pixel, 1e-9);
    QTest::keyClick(&widget, Qt::Key_PageDown);
    EXPECT_NEAR(cursors[1].x, 500.0 - 9 * pixel, 1e-9);

    // Zoomed in around the cursor, which keeps its pixel; one step is then at least a sample.
    const int cursorPixel = widget.pixelAt(cursors[1].x);
    for (int i = 0; i < 30; ++i) QTest::keyClick(&widget, Qt::Key_Plus);
    AxisRange shown = widget.visibleBottom();
    EXPECT_NEAR(shown.maximum - shown.minimum, 4.0, 1e-9);
    EXPECT_NEAR(widget.pixelAt(cursors[1].x), cursorPixel, 1);
    const double before = cursors[1].x;
    QTest::keyClick(&widget, Qt::Key_Right);
    EXPECT_NEAR(cursors[1].x, before + 1.0, 1e-9);

    // Moved past the zoomed view: the view follows; at the end of the range the cursor stops.
    for (int i = 0; i < 10; ++i) QTest::keyClick(&widget, Qt::Key_Right);
    shown = widget.visibleBottom();
    EXPECT_TRUE(cursors[1].x >= shown.minimum && cursors[1].x <= shown.maximum);
    for (int i = 0; i < 30; ++i) QTest::keyClick(&widget, Qt::Key_Minus);
    shown = widget.visibleBottom();
    EXPECT_EQ(shown.minimum, 0.0);
    EXPECT_EQ(shown.maximum, 1000.0);
    for (int i = 0; i < 20; ++i) QTest::keyClick(&widget, Qt::Key_PageUp);
    EXPECT_EQ(cursors[1].x, 1000.0);
}
