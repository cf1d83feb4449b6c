#include "parser/spupdate.h"

#include <string_view>

#include "configuration/choices.h"
#include "parser/previews.h"
#include "parser/valuechecks.h"
#include "signalprocessing/dsp.h"

namespace {

int WindowCodeOf(std::string_view filterType)
{
    if (filterType == text::kBlackman) return kWindowBlackman;
    if (filterType == text::kHamming) return kWindowHamming;
    if (filterType == text::kHanning) return kWindowHanning;
    if (filterType == text::kRectangular) return kWindowRectangular;
    return kWindowTriangular;
}

// What the filter takes for a missing or invalid cut-off or number of taps.
constexpr double kCutoffWhenInvalid = 0.25;
constexpr int kTapsWhenInvalid = 256;
constexpr const char *kCutoffWhenInvalidText = "0.25";
constexpr const char *kTapsWhenInvalidText = "256";

int CheckCutoff(ConfigurationTree &tree, const char *text, double *cutoff)
{
    return Parser_CheckDoubleValue(tree, text, 0.05, 0.45, kItemCutoff, cutoff);
}

int CheckTaps(ConfigurationTree &tree, const char *text, int *taps)
{
    return Parser_CheckIntegerValue(tree, text, 10, 1024, kItemTaps, taps);
}

void SetItemText(Session &session, int item, const char *text)
{
    Configuration_SetSlotText(session.record, Configuration_SlotOfTreeItem(item), text);
    session.tree.items[item].value = text;
}

}  // namespace

void Parser_UpdateSignalProcessingStructure(Session &session)
{
    ConversionSettings &s = session.settings;
    const ConfigurationRecord &r = session.record;
    ConfigurationTree &tree = session.tree;

    s.mirrorOn = std::string_view(r.mirror) == text::kYes ? 1 : 0;
    // An invalid shift keeps the previous one.
    Parser_CheckDoubleValue(tree, r.shift, -0.5, 0.5, kItemShift, &s.shiftFraction);

    if (std::string_view(r.filterType) != text::kFilterOff) {
        s.cutoffFraction = kCutoffWhenInvalid;
        CheckCutoff(tree, r.cutoff, &s.cutoffFraction);
        s.tapCount = kTapsWhenInvalid;
        CheckTaps(tree, r.taps, &s.tapCount);
        s.windowCode = WindowCodeOf(r.filterType);
        s.coefficients.assign(s.tapCount, 0.0);
        // The checks above keep the cut-off and the taps within what the design takes, so it
        // cannot refuse them.
        static_cast<void>(
            SignalProcessing_DesignLowpass(1.0, s.cutoffFraction, s.tapCount, s.coefficients.data(), s.windowCode));
    } else {
        Parser_ClearItemCheck(tree, kItemCutoff);
        Parser_ClearItemCheck(tree, kItemTaps);
        s.tapCount = 1;
        s.coefficients.assign(1, 1.0);
    }

    s.outputRateTenths = Configuration_OutputRateTenths(r.outputSamplerate);
    const double bandEdge = s.outputRateTenths / 20.0;
    session.views.signalProcessing.bandCursors[0].x = -bandEdge;
    session.views.signalProcessing.bandCursors[1].x = bandEdge;
    session.views.signalProcessing.bandCursors[0].y = 0.0;
    session.views.signalProcessing.bandCursors[1].y = 0.0;
    Session_Notify(session, SessionChange::ConfigurationTree);

    Parser_RedrawPreviews(session);
}

void Parser_FillFilterValues(Session &session)
{
    // The checks run on a scratch tree: their marks are the update step's to set.
    ConfigurationTree scratch = session.tree;
    double cutoff = 0.0;
    if (!CheckCutoff(scratch, session.record.cutoff, &cutoff))
        SetItemText(session, kItemCutoff, kCutoffWhenInvalidText);
    int taps = 0;
    if (!CheckTaps(scratch, session.record.taps, &taps)) SetItemText(session, kItemTaps, kTapsWhenInvalidText);
}
