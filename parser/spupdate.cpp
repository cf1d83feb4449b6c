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
        s.cutoffFraction = 0.25;
        Parser_CheckDoubleValue(tree, r.cutoff, 0.05, 0.45, kItemCutoff, &s.cutoffFraction);
        s.tapCount = 256;
        Parser_CheckIntegerValue(tree, r.taps, 10, 1024, kItemTaps, &s.tapCount);
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
