#include "parser/analysis.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "configuration/choices.h"
#include "conversion/outputlimit.h"
#include "parser/formats.h"
#include "parser/metadataupdate.h"
#include "parser/previews.h"
#include "parser/spupdate.h"
#include "parser/valuechecks.h"

namespace {

bool HasPath(const char *path) { return path != nullptr && path[0] != '\0'; }

void ShowHint(Session &session, const char *pathI, const char *pathQ)
{
    const bool combined = std::string_view(session.record.structure) == text::kCombined;
    HintView &hints = session.views.hints;
    if (!HasPath(pathI) && (combined || !HasPath(pathQ))) {
        hints.addFirstText = kHintAddJob;
        hints.addFilesHereVisible = true;
    } else {
        hints.addFirstText = kHintCouldNotOpen;
        hints.addFilesHereVisible = false;
    }
    hints.addFirstVisible = true;
    hints.previewText = hints.addFirstText;
    hints.previewVisible = true;
}

// Marker counts: a combined file checks the item, separate files have no markers.
int CheckMarkers(Session &session, const char *text, int item)
{
    int markers = 0;
    if (session.settings.separateFiles)
        Parser_ClearItemCheck(session.tree, item);
    else
        Parser_CheckIntegerValue(session.tree, text, 0, 10, item, &markers);
    return markers;
}

// The IQ page without a file: no totals, the position slider dimmed, cursor 3 grey and fixed.
void ShowNoInputOnIqPage(IqPageView &iq)
{
    iq.total = 0;
    iq.interval = 0;
    iq.positionDimmed = true;
    iq.position = 1;
    iq.intervalCursor.color = kCursorGrey;
    iq.intervalCursor.mode = 0;
    iq.intervalCursor.x = 0.5;
    iq.intervalCursor.y = 0.0;
}

// The layout a container file declares, or the configuration's, as one text for a status:
// format, byte order (for values of more than one byte) and order.
std::string LayoutText(std::string_view format, std::string_view endianness, std::string_view order)
{
    int code = 0;
    int bytesPerValue = 0;
    Parser_GetFormatFromString(format, &code, &bytesPerValue);
    std::string text(format);
    if (bytesPerValue > 1) text.append(", ").append(endianness);
    return text.append(", ").append(order);
}

// A job whose container declares another sample layout than the configuration's cannot be
// converted with it: the Format item says so, and the runner refuses the job.
void CheckContainerLayout(Session &session)
{
    std::string &mismatch = session.metadata.containerMismatch;
    mismatch.clear();
    const ConfigurationRecord &r = session.record;
    ContainerKind kind = ContainerKind::None;
    for (std::string_view key : {kReservedHeader, kReservedTrailer, kReservedComment, kReservedRate})
        if (kind == ContainerKind::None) kind = Layouts_PerJobSource(r, key);
    if (kind != ContainerKind::None && session.files.inputSize > 0) {
        const LayoutFacts &facts = Parser_ContainerFacts(session, kind).facts;
        const std::string dataName = Layouts_FileName(facts.dataPath);
        if (!dataName.empty() && dataName != Layouts_FileName(session.metadata.analysedPath)) {
            // A SigMF recording chosen by its metadata file: its samples are in the data file.
            mismatch = "file: SigMF metadata; the samples are in '" + dataName + "'";
        } else if (facts.format.value && facts.endianness.value && facts.order.value) {
            const std::string file = LayoutText(*facts.format.value, *facts.endianness.value, *facts.order.value);
            const std::string configured = LayoutText(r.format, r.endianness, r.order);
            if (file != configured) mismatch = "file: " + file + "; configuration: " + configured;
        }
    }
    Gui_SetConfigurationTreeItemMessage(session.tree, kItemFormat, mismatch);
}

// The longest interval whose output one waveform file holds, with the filter and output rate the
// record chooses (the signal processing settings are derived from it only after the interval).
int64_t LongestConvertibleInterval(const ConfigurationRecord &r)
{
    const bool filtered = std::string_view(r.filterType) != text::kFilterOff;
    return Conversion_MaxIntervalSets(filtered, Configuration_OutputRateTenths(r.outputSamplerate));
}

// Binary formats with an open input: set layout, number of sets and the interval.
void DeriveBinaryInterval(Session &session, int bytesPerValue, int markersI, int markersQ, bool onlyOrder)
{
    ConversionSettings &s = session.settings;
    const ConfigurationRecord &r = session.record;
    s.valuesPerSet = s.separateFiles ? 1 : (onlyOrder ? markersI + 1 : markersI + markersQ + 2);
    s.bytesPerSet = bytesPerValue * s.valuesPerSet;
    const int64_t dataBytes =
        session.files.inputSize - Settings_KnownLength(s.headerLength) - Settings_KnownLength(s.trailerLength);
    s.totalSets = std::max<int64_t>(0, dataBytes / s.bytesPerSet);
    session.views.iq.total = s.totalSets;

    if (s.separateFiles) {
        s.iValueIndex = 0;
        s.qValueIndex = 0;
    } else if (!onlyOrder) {
        s.iValueIndex = markersI;
        s.qValueIndex = markersI + 1 + markersQ;
    } else {
        s.iValueIndex = markersI;
        s.qValueIndex = std::string_view(r.order) == text::kOrderIOnlyQEqualsI ? markersI : -1;
    }

    s.firstSet = 1;
    Parser_CheckInteger64Value(session.tree, r.firstSample, 1, s.totalSets, kItemFirstSample, &s.firstSet);
    // The automatic interval ends where the file, the maximum length or the output file ends.
    const int64_t n = std::min({s.totalSets - s.firstSet + 1, int64_t{s.maxLength}, LongestConvertibleInterval(r)});
    const int64_t automaticLast = s.firstSet + n - 1;
    s.lastSet = automaticLast;
    if (std::string_view(r.lastSampleType) == text::kAutoMaxLength)
        Parser_ClearItemCheck(session.tree, kItemLastSampleValue);
    else
        Parser_CheckInteger64Value(session.tree, r.lastSampleValue, s.firstSet + 7, automaticLast,
                                   kItemLastSampleValue, &s.lastSet);

    IqPageView &iq = session.views.iq;
    iq.interval = s.lastSet - s.firstSet + 1;
    iq.positionDimmed = false;
    iq.intervalCursor.mode = 1;
}

}  // namespace

void Parser_Init(Session &session)
{
    Parser_Reset(session.files);
    session.settings.headerLength = -1;
    session.settings.trailerLength = -1;
    session.metadata.commentItem = MetadataItem{};
    session.metadata.samplerateItem = MetadataItem{};
    session.views.iq.intervalCursor.x = 0.5;
    session.settings.outputRateTenths = 10;
    Parser_ClearMetadata(session);
}

void Parser_Terminate(Session &session) { Parser_CloseFiles(session.files); }

void Parser_Job1Changed(Session &session, const char *pathI, const char *pathQ)
{
    Parser_CloseFiles(session.files);
    // Container facts are read again from the new file (or the same file, which may have changed).
    session.metadata.analysedPath = HasPath(pathI) ? pathI : "";
    session.metadata.containerKind = ContainerKind::None;
    const int separate = std::string_view(session.record.structure) != text::kCombined;
    if (Parser_OpenFiles(session.files, pathI, pathQ, separate)) {
        session.views.hints.addFilesHereVisible = false;
        session.views.hints.addFirstVisible = false;
        session.views.hints.previewVisible = false;
        session.views.convert.color = kLightGreen;
        Parser_UpdateMetadata(session);
    } else {
        session.views.convert.color = kLightRed;
        ShowHint(session, pathI, pathQ);
        Parser_ClearMetadata(session);
        Parser_ClearIq(session);
        Parser_ClearSignalProcessing(session);
    }
    Session_Notify(session, SessionChange::Hints);
    Session_Notify(session, SessionChange::ConvertButton);

    Parser_UpdateMetaLength(session, 0);
    Parser_UpdateMetaLength(session, 1);
    Parser_UpdateMetaComment(session);
    Parser_UpdateMetaSamplerate(session);
    Parser_UpdateIqStructure(session);
}

void Parser_UpdateIqStructure(Session &session)
{
    ConversionSettings &s = session.settings;
    const ConfigurationRecord &r = session.record;
    ConfigurationTree &tree = session.tree;

    s.separateFiles = std::string_view(r.structure) == text::kSeparate ? 1 : 0;
    session.views.iq.scaleChecked = false;
    int bytesPerValue = 0;
    Parser_GetFormatFromString(r.format, &s.sampleFormat, &bytesPerValue);

    const int markersI = CheckMarkers(session, r.iMarkers, kItemIMarkers);
    s.iOffset = 0;
    Parser_CheckIntegerValue(tree, r.iDcOffset, -32000, 32000, kItemIDcOffset, &s.iOffset);

    const bool onlyOrder = Configuration_Contains(r.order, "Only");
    int markersQ = 0;
    if (!onlyOrder) {
        markersQ = CheckMarkers(session, r.qMarkers, kItemQMarkers);
        s.qOffset = 0;
        Parser_CheckIntegerValue(tree, r.qDcOffset, -32000, 32000, kItemQDcOffset, &s.qOffset);
        s.swapIQ = std::string_view(r.order) == text::kOrderIQ ? 0 : 1;
        s.textIOnly = 0;
        s.textQEqualsI = 0;
    } else {
        s.swapIQ = 0;
        Parser_ClearItemCheck(tree, kItemQMarkers);
        Parser_ClearItemCheck(tree, kItemQDcOffset);
        s.qOffset = s.iOffset;
        s.textIOnly = 1;
        s.textQEqualsI = std::string_view(r.order) == text::kOrderIOnlyQEqualsI ? 1 : 0;
    }

    s.scale = 1.0;
    Parser_CheckDoubleValue(tree, r.scaleFactor, 0.0, 1000000.0, kItemScaleValue, &s.scale);
    const bool centred = Layouts_ReservedValue(r, kReservedCentre) == text::kYes;
    s.unsignedCentre = centred ? Parser_UnsignedCentre(s.sampleFormat) : 0.0;
    CheckContainerLayout(session);
    s.maxLength = Configuration_MaxLengthFromText(r.maximumLength);

    if (Parser_IsTextFormat(s.sampleFormat)) {
        s.firstSet = 1;
        s.textIMarkers = markersI;
        s.textQMarkers = markersQ;
        s.lastSet = s.maxLength;
        Parser_ClearItemCheck(tree, kItemFirstSample);
        Parser_ClearItemCheck(tree, kItemLastSampleValue);
        session.views.iq.total = 0;
    } else {
        s.swapBytes = Parser_SwapBytesFor(r.endianness);
        if (session.files.inputSize <= 0)
            ShowNoInputOnIqPage(session.views.iq);
        else
            DeriveBinaryInterval(session, bytesPerValue, markersI, markersQ, onlyOrder);
    }
    Session_Notify(session, SessionChange::ConfigurationTree);
    Session_Notify(session, SessionChange::IqPage);

    Parser_UpdateSignalProcessingStructure(session);
    Parser_UpdateEolPlots(session);
}

void Parser_ClearIq(Session &session)
{
    Parser_ClearItemCheck(session.tree, kItemFirstSample);
    Parser_ClearItemCheck(session.tree, kItemLastSampleValue);
    Parser_ClearItemCheck(session.tree, kItemFormat);
    Session_ClearGraph(session.views.iq.preview);
    Session_ClearGraph(session.views.iq.seam);
    session.previews.savedSpectrum.clear();
    Session_Notify(session, SessionChange::IqPage);
}

void Parser_ClearSignalProcessing(Session &session)
{
    Session_ClearGraph(session.views.signalProcessing.graph);
    Session_Notify(session, SessionChange::SignalProcessingPage);
}
