#pragma once
// A graph of the analysis pages: the curves of a GraphView against its axis ranges, the page's
// cursors, a mouse-wheel zoom of the x axis and a readout of the value under the pointer. With
// the keyboard focus, the arrow keys move the draggable cursor as a drag does and +/- zoom. The
// view struct belongs to the core; the widget only reads it and draws.

#include <QPixmap>
#include <QPointF>
#include <QRect>
#include <QString>
#include <QWidget>
#include <vector>

#include "gui/plotaxes.h"
#include "session/views.h"

class PlotWidget : public QWidget {
    Q_OBJECT
public:
    // The axis titles. An empty title leaves that axis out: no ticks, no labels, a narrow margin.
    struct PlotLabels {
        QString bottom;
        QString left;
        QString top;
        QString right;
    };

    explicit PlotWidget(const PlotLabels &labels, QWidget *parent = nullptr);

    // The graph to draw; the core owns it and keeps it alive (nullptr: empty axes).
    void setGraph(const GraphView *graph);
    // The graph's content changed in place: re-reads its ranges and redraws.
    void refresh();
    // The cursors to draw, in the order that cursorMoved() counts them. Each is a vertical line
    // at x (a position) or a horizontal one at y (a level); outside its axis range, no line.
    void setCursors(const std::vector<GraphCursor> &cursors);

    // The bottom axis as shown: the graph's range, or the stretch of it the user zoomed into.
    AxisRange visibleBottom() const { return view; }
    // The rectangle the curves are drawn in, inside the axes' margins.
    QRect plotRect() const { return plot; }
    // The bottom axis value at a horizontal widget pixel, and back.
    double xAt(int pixelX) const;
    int pixelAt(double x) const;
    // How many line vertices the curves were last drawn with, over all curves.
    int drawnVertexCount() const { return vertexCount; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // The user dragged cursor `index` to `x` on the bottom axis and let go, or moved it there
    // with an arrow key.
    void cursorMoved(int index, double x);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void readRanges();
    void updateLayout();
    void buildGrid();
    void buildCurves();
    void drawTrace(QPainter &painter, const PlotTrace &trace);
    void flushLine(QPainter &painter, bool markers);
    void drawCursors(QPainter &painter);
    void drawBox(QPainter &painter, QPointF anchor, const QString &text, bool centred);
    void setView(AxisRange range);
    void zoom(double factor, double anchor);
    int draggableCursorAt(double pixelX) const;
    int keyboardCursor() const;
    bool moveKeyboardCursor(double steps);
    void updateReadout();
    double minimumSpan() const;

    PlotLabels labels;
    const GraphView *graph = nullptr;
    std::vector<GraphCursor> cursors;

    // Ranges as drawn: the graph's, made usable (finite, minimum below maximum).
    AxisRange fullBottom;
    AxisRange view;
    AxisRange leftRange;
    AxisRange topRange;
    AxisRange rightRange;

    QRect plot;
    AxisTicks bottomTicks, leftTicks, topTicks, rightTicks;
    QPixmap grid;                     // background, frame, grid lines, ticks and titles
    bool gridValid = false;
    QPixmap curves;                   // the grid with the curves drawn on it
    bool curvesValid = false;

    std::vector<QPointF> points;      // one connected run of a curve, reused by every paint
    int vertexCount = 0;

    int dragIndex = -1;               // the cursor being dragged, or -1
    int lastDragged = -1;             // the cursor the arrow keys move when there are several
    bool dragMoved = false;
    double dragX = 0.0;
    QString dragText;

    bool hovering = false;
    QPointF hoverPos;
    QString readout;
};
