#pragma once
// The previews of the analysed job on the "IQ Analysis" and "Signal Processing" pages: a window
// of samples with its spectrum, the seam of the interval played as a loop, and the spectrum
// before and after the signal processing with the filter's response. Each is kept as plain
// curves, axis ranges and cursors in the view state (session.views.iq.preview and .seam,
// session.views.signalProcessing.graph); a window only draws them. Nothing is computed in a
// session that nobody looks at (session.views.shown false).

#include <cstdint>

#include "session/session.h"

inline constexpr const char *kHintTooFewSets = "Less than 8 IQ samples found.";
inline constexpr double kFullScaleSample = 32767.0;

enum class PreviewGraph { Preview, Seam };

// Puts the n sets (i, q) and their spectrum into a graph: the preview from x = 0 with step 1,
// the seam with its first half ending at x = -1 and its second half starting at x = 1. The
// preview's spectrum is kept for the signal processing preview.
void Parser_SetPlots(Session &session, const double *i, const double *q, int n, PreviewGraph graph);

// Reads n sets from set number `position` (1-based) and draws the preview. A short read of 8 or
// more sets shrinks the window to the largest power of two read (previewLength follows); fewer
// than 8 clear both pages with kHintTooFewSets. Text input shows its estimated number of sets;
// with CHECKBOX_SCALE on the scale factor is adjusted first (see onScaleAdjustment).
void Parser_UpdateIqPlots(Session &session, int64_t position, int n);

// Draws the seam of the interval: its last m/2 sets before x = 0 and its first m/2 after it,
// m = the interval's length up to 64, even; an interval under 8 sets shows length 0.
void Parser_UpdateEolPlots(Session &session);

// Draws the three signal processing curves for a window of n sets from the preview's spectrum:
// mirrored, shifted, the filter's response and the product, in dB.
void Parser_UpdateSignalProcessingPlots(Session &session, int n);

// Redraws the IQ preview and the signal processing preview from the page's state (position,
// window length, cursor choice), as a change of any of them does.
void Parser_RedrawPreviews(Session &session);

// NUMERICSLIDE_POSITION, RING_SAMPLES or RING_CURSOR changed: stores them (a length the ring
// does not offer, or a position outside the slider, is brought into range) and redraws.
void onIqFilePosition(Session &session, int64_t position, int length, int cursorChoice);

// The interval cursor was dragged to x: it snaps to a whole set, and that set number becomes
// "First Sample" or "Last Sample" (after RING_CURSOR) of the configuration, which is marked
// unsaved and checked again. Returns 1 when the configuration changed; 0 in text mode, without
// input, or while the controls are locked.
[[nodiscard]] int onIqGraph(Session &session, double x);

// The nine show check boxes.
enum class PlotShow { I, Q, Spectrum, SeamI, SeamQ, SeamSpectrum, BeforeFilter, AfterFilter, Filter };
void onPlotShow(Session &session, PlotShow box, bool checked);

// CHECKBOX_SCALE: while on, every redraw scales the largest magnitude seen since it was
// switched on to 32767 and writes the scale factor ("%f") into the configuration, which is
// marked unsaved.
void onScaleAdjustment(Session &session, bool checked);

// BUTTON_AUTO_ADJUST (text mode): one such adjustment for the window shown.
void onAutoAdjustButton(Session &session);
