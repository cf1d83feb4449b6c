#pragma once
// The content of the analysis pages and of the few main-panel controls that core logic sets.
// Core writes these plain fields; a view draws them. Control names in comments are the
// objectName of the widget that shows the field.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/color.h"

inline constexpr int kDumpColumns = 70;
inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kCursorGrey{240, 240, 240};

// Whether column `column` (0-based) of a dump is a spacer: after each byte's two hex digits, and
// the six before the characters. A view draws spacers half as wide.
inline constexpr bool Session_IsDumpSpacer(int column)
{
    return (column < 48 && column % 3 == 2) || (column >= 48 && column < 54);
}

// One hex dump (TABLE_HEADER or TABLE_TRAILER): rows x 70 string cells, each with a background.
// Byte i of the preview lies in row i / 16 + 1: its hex digits in columns (i mod 16) x 3 + 1
// and + 2, a spacer after them, and its character in column (i mod 16) + 55 (the raw byte, not
// necessarily printable or valid UTF-8; empty for byte 0); columns 49 to 54 are spacers.
struct DumpTable {
    std::string label;                // "Header Preview", or "Job 1: First %d Bytes"
    int rows = 1;                     // 0 only while a file shorter than 16 bytes is shown
    std::vector<std::string> cells = std::vector<std::string>(kDumpColumns);  // row-major
    std::vector<Rgb> colors = std::vector<Rgb>(kDumpColumns, kWhite);         // row-major
    Rgb row1TextColor = kWhite;       // the empty state paints row 1 white on white
    int activeRow = 1;                // 1-based
    int activeColumn = 1;             // 1-based
    int marker = -1;                  // byte the marker brightens; -1 while the dump is empty
    bool visible = true;

    // Cell (row, column), both 1-based.
    std::string &cell(int row, int column) { return cells[(row - 1) * kDumpColumns + column - 1]; }
    Rgb &color(int row, int column) { return colors[(row - 1) * kDumpColumns + column - 1]; }
    const Rgb &color(int row, int column) const { return colors[(row - 1) * kDumpColumns + column - 1]; }
};

// One row of TABLE_CURRENT_VALUES.
struct CurrentValuesRow {
    std::string label;
    std::string value;
    bool editable = false;
    int64_t maximum = 0;              // largest value a user may type, while editable
    Rgb background = kGrey;           // columns 1 and 2
};

// Rows of TABLE_CURRENT_VALUES, 0-based.
enum CurrentValuesRowIndex : int {
    kRowHeaderPosition = 0,
    kRowTrailerPosition = 1,
    kRowHeaderLength = 2,
    kRowTrailerLength = 3,
    kRowComment = 4,
    kRowSamplerate = 5,
};

// The "Metadata Analysis" page. A default-constructed view is the empty page, labels included.
struct MetadataView {
    DumpTable header{.label = "Header Preview"};    // TABLE_HEADER
    DumpTable trailer{.label = "Trailer Preview"};  // TABLE_TRAILER
    std::array<CurrentValuesRow, 6> currentValues{{
        {.label = "Position in Header", .value = "0"},
        {.label = "Position in Trailer", .value = "0"},
        {.label = "Header Length", .value = "0"},
        {.label = "Trailer Length", .value = "0"},
        {.label = "Comment", .value = ""},
        {.label = "Samplerate [MHz]", .value = "0.000000"},
    }};                                             // TABLE_CURRENT_VALUES, rows 1 to 6
};

// What a graph cursor marks, and so the one line it is drawn as.
enum class CursorMark {
    Position,                         // a place on the x axis (x): a vertical line
    Level,                            // a value on the y axis (y): a horizontal line
};

// A graph cursor.
struct GraphCursor {
    double x = 0.0;
    double y = 0.0;
    Rgb color{200, 100, 0};
    int mode = 1;                     // 1: the user can drag it; 0: fixed
    bool enabled = true;
    CursorMark mark = CursorMark::Position;
};

// Which axes a trace is drawn against: the samples' (bottom x, left y) or the spectrum's (top
// x, right y).
enum class PlotAxes { Samples, Spectrum };

// One curve of a graph: values[k] at x = xStart + k * xStep. No values: no curve.
struct PlotTrace {
    std::vector<double> values;
    double xStart = 0.0;
    double xStep = 1.0;
    Rgb color;
    PlotAxes axes = PlotAxes::Samples;
    bool visible = true;              // its show check box
};

struct AxisRange {
    double minimum = 0.0;
    double maximum = 1.0;
};

// The plot slots of a graph. IQ preview: I, Q, -, -, spectrum. Loop seam: I and Q before the
// seam, I and Q after it, spectrum. Signal processing: before the filter, after it, -, -, the
// filter's response.
inline constexpr int kPlotSlots = 5;
enum PlotSlot : int {
    kSlotI = 0,
    kSlotQ = 1,
    kSlotIAfterSeam = 2,
    kSlotQAfterSeam = 3,
    kSlotSpectrum = 4,
    kSlotBeforeFilter = 0,
    kSlotAfterFilter = 1,
    kSlotFilter = 4,
};

inline constexpr Rgb kTraceI{80, 160, 255};
inline constexpr Rgb kTraceQ{160, 80, 255};
inline constexpr Rgb kTraceSpectrum{255, 80, 160};
inline constexpr Rgb kCursorOrange{200, 100, 0};

// What the value under the pointer reads as: a sample set with its I and Q values, or a
// frequency with a level in dB.
enum class PlotReadout { Samples, Spectrum };

// A graph's content: its curves, the ranges of its four axes and its fixed cursors.
struct GraphView {
    std::array<PlotTrace, kPlotSlots> traces;
    AxisRange bottom;                 // x of the samples
    AxisRange left;                   // y of the samples
    AxisRange top{-0.5, 0.5};         // x of the spectrum, [f/fs]
    AxisRange right{0.0, 1.0};        // y of the spectrum, normalised
    std::vector<GraphCursor> cursors; // cursors that are not the page's own fields below
    PlotReadout readout = PlotReadout::Samples;
};

// Removes every curve of a graph; the check boxes keep their state.
inline void Session_ClearGraph(GraphView &graph)
{
    for (PlotTrace &trace : graph.traces) trace.values.clear();
}

// The "IQ Analysis" page controls that core logic sets.
struct IqPageView {
    std::string totalLabel = "Total IQ Samples";  // NUMERIC_TOTAL label
    int64_t total = 0;                             // NUMERIC_TOTAL
    int64_t interval = 0;                          // NUMERIC_INTERVAL
    bool intervalVisible = true;
    int64_t position = 1;                          // NUMERICSLIDE_POSITION
    bool positionDimmed = true;
    bool positionVisible = true;
    bool scaleChecked = false;                     // CHECKBOX_SCALE
    bool scaleVisible = true;
    bool endOfLoopVisible = true;     // SPLITTER_EOL, TEXTMSG_EOL, GRAPH_EOL and their check boxes
    bool cursorRingVisible = true;                 // RING_CURSOR
    std::vector<std::string> cursorRing{"Cursor=Interval Start", "Cursor=Interval Stop"};
    bool autoAdjustVisible = false;                // BUTTON_AUTO_ADJUST
    GraphCursor intervalCursor{0.5, 0.0, kCursorGrey, 0, true};  // cursor 3 of GRAPH
    int cursorChoice = 0;             // RING_CURSOR: 0 interval start, 1 interval stop
    int64_t positionMaximum = 1;      // NUMERICSLIDE_POSITION range 1 .. positionMaximum
    int64_t positionIncrement = 256;  // and its step
    GraphView preview;                // GRAPH; its cursors 1 and 2 mark the 16-bit full scale
    GraphView seam;                   // GRAPH_EOL; its cursor 1 marks the seam
};

inline GraphView SpectrumGraph()
{
    GraphView graph;
    graph.readout = PlotReadout::Spectrum;
    return graph;
}

// The two cursors of the signal processing graph: the edges of the output band (fixed).
struct SignalProcessingView {
    std::array<GraphCursor, 2> bandCursors{GraphCursor{-0.5, 0.0, kCursorOrange, 0, true},
                                         GraphCursor{0.5, 0.0, kCursorOrange, 0, true}};
    GraphView graph = SpectrumGraph();  // GRAPH: the three curves in dB against [f/fs]
};

inline constexpr const char *kHintAddJob = "You have to add a job in files tab before you can analyze it";
inline constexpr const char *kHintCouldNotOpen = "Job 1 file(s) could not be opened for analysis";

// Hint texts of the pages: TEXT_ADD_FILES_HERE (Files) and the three TEXT_ADD_FIRST.
struct HintView {
    bool addFilesHereVisible = true;
    std::string addFirstText = kHintAddJob;   // TEXT_ADD_FIRST of "Metadata Analysis"
    bool addFirstVisible = true;
    std::string previewText = kHintAddJob;    // TEXT_ADD_FIRST of "IQ Analysis" and "Signal
    bool previewVisible = true;               // Processing"
};

inline constexpr const char *kConvertStart = "Start conversion jobs";
inline constexpr const char *kConvertAbort = "Abort conversion jobs";
inline constexpr const char *kConvertAborting = "Aborting conversion jobs...";

// BUTTON_CONVERT.
struct ConvertButtonView {
    std::string label = kConvertStart;
    Rgb color = kLightRed;
    bool operable = true;             // false while an abort is pending
};

// Which add buttons the Files page shows (BUTTON_ADD_IQ, or BUTTON_ADD_I and BUTTON_ADD_Q).
struct AddButtonsView {
    bool addIqVisible = true;
    bool addIVisible = false;
    bool addQVisible = false;
};

// The preview window lengths that RING_SAMPLES offers: 8, 16, ... 8192 sample sets.
inline constexpr int kSmallestPreviewLength = 8;
inline constexpr int kLargestPreviewLength = 8192;
inline constexpr int kDefaultPreviewLength = 1024;  // before any settings file was read

inline bool Session_IsPreviewLength(int sets)
{
    return sets >= kSmallestPreviewLength && sets <= kLargestPreviewLength && (sets & (sets - 1)) == 0;
}

// The main window's placement, in the window system's device-independent pixels: what the
// settings file restores at start and what the window reports when it closes.
struct WindowPlacement {
    int32_t monitorId = 0;            // the screen's number in the front end's list
    int32_t left = 0;
    int32_t width = 0;
    int32_t top = 0;
    int32_t height = 0;
    bool maximized = false;
};

struct ViewState {
    MetadataView metadata;
    IqPageView iq;
    SignalProcessingView signalProcessing;
    HintView hints;
    ConvertButtonView convert;
    AddButtonsView addButtons;
    int activeTab = 0;                // TAB page: 0 Files, 1 Metadata, 2 IQ, 3 Signal Processing
    // Set at start from the settings file: where the main window opens. Without restoreWindow
    // (no settings, or a monitor that is gone) the window keeps its own size and position.
    bool restoreWindow = false;
    WindowPlacement window;
    std::string browserDirectory;     // the folder BROWSER opens; empty: the browser's own choice
    bool controlsLocked = false;      // Gui_Lock: configuration and job controls take no input
    // False in sessions that nobody looks at (the conversion worker's, the command line's): the
    // byte cells of the header and trailer dumps are then not built and the IQ and signal
    // processing previews not computed, which costs tens of milliseconds per job. The metadata
    // previews are read and searched all the same.
    bool shown = true;
};
