#include "parser/previews.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <string>

#include "parser/analysis.h"
#include "parser/formats.h"
#include "parser/spectrum.h"
#include "parser/valuechecks.h"

namespace {

constexpr Rgb kFullScaleCursor{255, 120, 120};
constexpr int kMaxSeamSets = 64;
constexpr double kDecibelFloor = 1e-11;

double Finite(double value) { return std::isfinite(value) ? value : 0.0; }

bool HasInput(const Session &session) { return session.files.inputSize > 0; }

// Where set number `set` (1-based) starts in the input.
int64_t SetPosition(const Session &session, int64_t set)
{
    const ConversionSettings &s = session.settings;
    return (set - 1) * s.bytesPerSet + Settings_KnownLength(s.headerLength);
}

// Reads up to n sets from set number `set` into i and q; returns how many were read and, in
// *consumed, the bytes of the first file they took.
int ReadSets(Session &session, int64_t set, int n, double *i, double *q, int64_t *consumed = nullptr)
{
    int64_t posI = SetPosition(session, set);
    int64_t posQ = posI;
    const int64_t start = posI;
    const int got = Parser_GetSetsFromFile(session.files, session.settings, session.previews.scratch, &posI, &posQ,
                                           n, i, q);
    if (consumed) *consumed = posI - start;
    return std::max(got, 0);
}

void SetTrace(PlotTrace &trace, const double *values, int n, double xStart, double xStep, Rgb color, PlotAxes axes)
{
    trace.values.resize(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) trace.values[k] = Finite(values[k]);
    trace.xStart = xStart;
    trace.xStep = xStep;
    trace.color = color;
    trace.axes = axes;
}

// The sample axis holds the 16-bit full scale and every sample shown.
AxisRange SampleRange(const GraphView &graph)
{
    double extent = kFullScaleSample;
    for (int slot : {kSlotI, kSlotQ, kSlotIAfterSeam, kSlotQAfterSeam})
        for (double value : graph.traces[slot].values) extent = std::max(extent, std::abs(value));
    return {-1.1 * extent, 1.1 * extent};
}

void SetSliderRange(Session &session, int n)
{
    IqPageView &iq = session.views.iq;
    if (session.settings.textMode || !HasInput(session)) return;
    iq.positionMaximum = std::max<int64_t>(session.settings.totalSets - n + 1, 1);
    iq.positionIncrement = std::max(n / 4, 1);
}

// Writes a value into a configuration item (its record slot and its tree cell) and marks the
// configuration unsaved: what the user's own edit of the cell would store.
void StoreItem(Session &session, int item, const std::string &text)
{
    Configuration_SetSlotText(session.record, Configuration_SlotOfTreeItem(item), text);
    session.tree.items[item].value = Configuration_Slot(session.record, Configuration_SlotOfTreeItem(item));
    Gui_SetUnsavedStatus(session, 1);
    Session_Notify(session, SessionChange::ConfigurationTree);
}

// CHECKBOX_SCALE's adjustment of the window just read: the largest magnitude seen since the box
// was switched on becomes 32767, through the scale factor.
void AdjustScale(Session &session, double *i, double *q, int n)
{
    PreviewState &p = session.previews;
    double low = 0.0, high = 0.0;
    for (int k = 0; k < n; ++k) {
        low = std::min({low, Finite(i[k]), Finite(q[k])});
        high = std::max({high, Finite(i[k]), Finite(q[k])});
    }
    if (p.autoScaleActive) {
        high = std::max(high, p.autoScaleMax);
        low = std::min(low, p.autoScaleMin);
    }
    p.autoScaleActive = true;
    p.autoScaleMin = low;
    p.autoScaleMax = high;
    const double peak = std::max(high, std::abs(low));
    double &scale = session.settings.scale;
    if (!(peak > 0.0) || !(scale > 0.0)) return;
    const double gain = kFullScaleSample / peak;
    const double newScale = gain * scale;
    for (int k = 0; k < n; ++k) {
        i[k] *= gain;
        q[k] *= gain;
    }
    p.autoScaleMin *= gain;
    p.autoScaleMax *= gain;
    scale = newScale;
    char text[64];
    std::snprintf(text, sizeof text, "%f", newScale);
    StoreItem(session, kItemScaleValue, text);
}

// Cursor 3 of the preview: orange on the chosen interval boundary inside the window, else grey.
void PlaceIntervalCursor(Session &session, int64_t position, int n)
{
    IqPageView &iq = session.views.iq;
    const ConversionSettings &s = session.settings;
    const int64_t boundary = iq.cursorChoice == 0 ? s.firstSet : s.lastSet;
    const int64_t x = boundary - position;
    const bool inside = x >= 0 && x < n;
    iq.intervalCursor.color = inside ? kCursorOrange : kCursorGrey;
    iq.intervalCursor.x = inside ? static_cast<double>(x) : 0.5;
    iq.intervalCursor.y = 0.0;
}

void EnsureSize(std::vector<double> &values, int n)
{
    if (values.size() < static_cast<size_t>(n)) values.resize(static_cast<size_t>(n));
}

}  // namespace

void Parser_SetPlots(Session &session, const double *i, const double *q, int n, PreviewGraph which)
{
    IqPageView &iq = session.views.iq;
    GraphView &graph = which == PreviewGraph::Preview ? iq.preview : iq.seam;
    Session_ClearGraph(graph);
    if (which == PreviewGraph::Preview) {
        graph.bottom = {0.0, static_cast<double>(n - 1)};
        SetTrace(graph.traces[kSlotI], i, n, 0.0, 1.0, kTraceI, PlotAxes::Samples);
        SetTrace(graph.traces[kSlotQ], q, n, 0.0, 1.0, kTraceQ, PlotAxes::Samples);
        graph.cursors = {GraphCursor{0.0, kFullScaleSample, kFullScaleCursor, 0, true, CursorMark::Level},
                         GraphCursor{0.0, -kFullScaleSample, kFullScaleCursor, 0, true, CursorMark::Level}};
    } else {
        const int half = n / 2;
        graph.bottom = {-static_cast<double>(half), static_cast<double>(half)};
        SetTrace(graph.traces[kSlotI], i, half, -half, 1.0, kTraceI, PlotAxes::Samples);
        SetTrace(graph.traces[kSlotQ], q, half, -half, 1.0, kTraceQ, PlotAxes::Samples);
        SetTrace(graph.traces[kSlotIAfterSeam], i + half, half, 1.0, 1.0, kTraceI, PlotAxes::Samples);
        SetTrace(graph.traces[kSlotQAfterSeam], q + half, half, 1.0, 1.0, kTraceQ, PlotAxes::Samples);
        graph.cursors = {GraphCursor{0.0, 0.0, kCursorOrange, 0, true}};
    }
    graph.left = SampleRange(graph);

    PreviewState &p = session.previews;
    EnsureSize(p.t, n);
    Parser_Fft(i, q, n, p.t.data());
    SetTrace(graph.traces[kSlotSpectrum], p.t.data(), n, -0.5, 1.0 / n, kTraceSpectrum, PlotAxes::Spectrum);
    if (which == PreviewGraph::Preview) p.savedSpectrum.assign(p.t.begin(), p.t.begin() + n);
}

void Parser_UpdateIqPlots(Session &session, int64_t position, int n)
{
    if (!HasInput(session) || !session.views.shown) return;
    PreviewState &p = session.previews;
    EnsureSize(p.i, n);
    EnsureSize(p.q, n);
    int64_t consumed = 0;
    const int got = ReadSets(session, position, n, p.i.data(), p.q.data(), &consumed);
    if (got != n) {
        if (got < kSmallestPreviewLength) {
            Parser_ClearIq(session);
            Parser_ClearSignalProcessing(session);
            session.views.hints.previewText = kHintTooFewSets;
            session.views.hints.previewVisible = true;
            Session_Notify(session, SessionChange::Hints);
            return;
        }
        n = std::bit_floor(static_cast<unsigned>(got));
        session.previewLength = n;
        SetSliderRange(session, n);
    }
    HintView &hints = session.views.hints;
    hints.previewVisible = false;
    Session_Notify(session, SessionChange::Hints);
    Parser_ClearItemCheck(session.tree, kItemFormat);  // the samples could be read with it
    Session_Notify(session, SessionChange::ConfigurationTree);

    const ConversionSettings &s = session.settings;
    if (Parser_IsTextFormat(s.sampleFormat) && consumed > 0) {
        // Text has no fixed set size: the sets in the file, estimated from the bytes the sets
        // just read took (all of them, also where the window shrank below them).
        const int64_t text = session.files.inputSize - Settings_KnownLength(s.headerLength) -
                             Settings_KnownLength(s.trailerLength);
        session.views.iq.total = text * got / consumed;
    }
    if (session.views.iq.scaleChecked)
        AdjustScale(session, p.i.data(), p.q.data(), n);
    else
        p.autoScaleActive = false;

    Parser_SetPlots(session, p.i.data(), p.q.data(), n, PreviewGraph::Preview);
    if (!s.textMode) PlaceIntervalCursor(session, position, n);
    Session_Notify(session, SessionChange::IqPage);
}

void Parser_UpdateEolPlots(Session &session)
{
    const ConversionSettings &s = session.settings;
    if (!HasInput(session) || s.textMode || !session.views.shown) return;
    IqPageView &iq = session.views.iq;
    const int64_t length = s.lastSet - s.firstSet + 1;
    int m = static_cast<int>(std::min<int64_t>(std::max<int64_t>(length, 0), kMaxSeamSets));
    m -= m % 2;
    if (m < kSmallestPreviewLength) {
        iq.interval = 0;
        Session_ClearGraph(iq.seam);
        Session_Notify(session, SessionChange::IqPage);
        return;
    }
    PreviewState &p = session.previews;
    EnsureSize(p.i, m);
    EnsureSize(p.q, m);
    const int half = m / 2;
    // A file that shrank since it was analysed gives fewer sets: those missing count as 0.
    std::fill(p.i.begin(), p.i.begin() + m, 0.0);
    std::fill(p.q.begin(), p.q.begin() + m, 0.0);
    static_cast<void>(ReadSets(session, s.lastSet - half + 1, half, p.i.data(), p.q.data()));
    static_cast<void>(ReadSets(session, s.firstSet, half, p.i.data() + half, p.q.data() + half));
    Parser_SetPlots(session, p.i.data(), p.q.data(), m, PreviewGraph::Seam);
    iq.interval = length;
    Session_Notify(session, SessionChange::IqPage);
}

void Parser_UpdateSignalProcessingPlots(Session &session, int n)
{
    PreviewState &p = session.previews;
    if (!HasInput(session) || p.savedSpectrum.size() != static_cast<size_t>(n)) return;
    const ConversionSettings &s = session.settings;
    const std::vector<double> &saved = p.savedSpectrum;
    const int taps = static_cast<int>(s.coefficients.size());
    const int size = std::max(n, taps);
    EnsureSize(p.a, size);
    EnsureSize(p.b, size);
    EnsureSize(p.t, n);
    std::vector<double> &before = p.i;  // the window's samples are not needed any more
    EnsureSize(before, n);

    // Before the filter: mirrored, then rotated up by n x shift bins (always into 0 .. n-1).
    const int rotation = static_cast<int>(((n + static_cast<int64_t>(std::trunc(-n * s.shiftFraction + 0.5))) % n + n) % n);
    for (int k = 0; k < n; ++k) {
        const int from = (k + rotation) % n;
        before[k] = s.mirrorOn ? saved[n - 1 - from] : saved[from];
    }
    // The filter's response: its coefficients (the middle n of a longer filter), windowed like
    // the samples.
    std::fill(p.a.begin(), p.a.begin() + size, 0.0);
    std::fill(p.b.begin(), p.b.begin() + size, 0.0);
    const int first = std::max((taps - n) / 2, 0);
    std::copy_n(s.coefficients.begin() + first, std::min(taps, n), p.a.begin());
    Parser_Fft(p.a.data(), p.b.data(), n, p.t.data());
    for (int k = 0; k < n; ++k) p.a[k] = before[k] * p.t[k];

    Parser_LogScale(before.data(), n, kDecibelFloor);
    Parser_LogScale(p.a.data(), n, kDecibelFloor);
    Parser_LogScale(p.t.data(), n, kDecibelFloor);
    GraphView &graph = session.views.signalProcessing.graph;
    Session_ClearGraph(graph);
    const double step = 1.0 / n;
    SetTrace(graph.traces[kSlotBeforeFilter], before.data(), n, -0.5, step, kTraceI, PlotAxes::Samples);
    SetTrace(graph.traces[kSlotAfterFilter], p.a.data(), n, -0.5, step, kTraceQ, PlotAxes::Samples);
    SetTrace(graph.traces[kSlotFilter], p.t.data(), n, -0.5, step, kTraceSpectrum, PlotAxes::Samples);
    double lowest = 0.0;
    for (int slot : {kSlotBeforeFilter, kSlotAfterFilter, kSlotFilter})
        for (double value : graph.traces[slot].values) lowest = std::min(lowest, value);
    graph.bottom = {-0.5, 0.5};
    graph.left = {std::min(-20.0, std::floor(lowest / 20.0) * 20.0), 10.0};
    Session_Notify(session, SessionChange::SignalProcessingPage);
}

void Parser_RedrawPreviews(Session &session)
{
    if (!session.views.shown) return;
    const int n = session.previewLength;
    SetSliderRange(session, n);
    Parser_UpdateIqPlots(session, session.views.iq.position, n);
    Parser_UpdateSignalProcessingPlots(session, session.previewLength);
}

void onIqFilePosition(Session &session, int64_t position, int length, int cursorChoice)
{
    IqPageView &iq = session.views.iq;
    if (Session_IsPreviewLength(length)) session.previewLength = length;
    iq.cursorChoice = cursorChoice == 1 ? 1 : 0;
    SetSliderRange(session, session.previewLength);
    iq.position = std::clamp<int64_t>(position, 1, iq.positionMaximum);
    Parser_RedrawPreviews(session);
}

int onIqGraph(Session &session, double x)
{
    const ConversionSettings &s = session.settings;
    if (Session_Locked(session) || s.textMode || !HasInput(session) || !std::isfinite(x)) return 0;
    IqPageView &iq = session.views.iq;
    const int64_t offset = static_cast<int64_t>(std::trunc(x + 0.5));
    iq.intervalCursor.x = static_cast<double>(offset);
    const int item = iq.cursorChoice == 0 ? kItemFirstSample : kItemLastSampleValue;
    StoreItem(session, item, std::to_string(iq.position + offset));
    Parser_UpdateIqStructure(session);
    return 1;
}

void onPlotShow(Session &session, PlotShow box, bool checked)
{
    IqPageView &iq = session.views.iq;
    GraphView &sp = session.views.signalProcessing.graph;
    switch (box) {
    case PlotShow::I: iq.preview.traces[kSlotI].visible = checked; break;
    case PlotShow::Q: iq.preview.traces[kSlotQ].visible = checked; break;
    case PlotShow::Spectrum: iq.preview.traces[kSlotSpectrum].visible = checked; break;
    case PlotShow::SeamI:
        iq.seam.traces[kSlotI].visible = checked;
        iq.seam.traces[kSlotIAfterSeam].visible = checked;
        break;
    case PlotShow::SeamQ:
        iq.seam.traces[kSlotQ].visible = checked;
        iq.seam.traces[kSlotQAfterSeam].visible = checked;
        break;
    case PlotShow::SeamSpectrum: iq.seam.traces[kSlotSpectrum].visible = checked; break;
    case PlotShow::BeforeFilter: sp.traces[kSlotBeforeFilter].visible = checked; break;
    case PlotShow::AfterFilter: sp.traces[kSlotAfterFilter].visible = checked; break;
    case PlotShow::Filter: sp.traces[kSlotFilter].visible = checked; break;
    }
    const bool signalProcessing =
        box == PlotShow::BeforeFilter || box == PlotShow::AfterFilter || box == PlotShow::Filter;
    Session_Notify(session, signalProcessing ? SessionChange::SignalProcessingPage : SessionChange::IqPage);
}

void onScaleAdjustment(Session &session, bool checked)
{
    session.views.iq.scaleChecked = checked;
    Session_Notify(session, SessionChange::IqPage);
}

void onAutoAdjustButton(Session &session)
{
    session.views.iq.scaleChecked = true;
    Parser_RedrawPreviews(session);
    session.views.iq.scaleChecked = false;
    Session_Notify(session, SessionChange::IqPage);
}
