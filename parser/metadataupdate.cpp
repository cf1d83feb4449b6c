#include "parser/metadataupdate.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "parser/formats.h"
#include "parser/patterns.h"
#include "parser/valuechecks.h"

namespace {

constexpr int kRegionAmount = 50;
constexpr double kMinimumRateMHz = 0.001;
constexpr double kMaximumRateMHz = 100.0;

// A record slot as text, bounded by the slot even if its terminating NUL were missing.
std::string SlotText(const char (&slot)[kSlotBytes]) { return std::string(slot, strnlen(slot, kSlotBytes)); }

bool Contains(const std::string &text, const char *part) { return text.find(part) != std::string::npos; }

// Factor from the configured sample rate unit to MHz.
double UnitFactor(const std::string &unit)
{
    if (unit == "Hz") return 0.000001;
    if (unit == "kHz") return 0.001;
    if (unit == "GHz") return 1000.0;
    return 1.0;
}

MetaTable DumpOf(const MetadataItem &item) { return item.inHeader ? kTableHeader : kTableTrailer; }

const char *PreviewOf(const Session &session, const MetadataItem &item)
{
    return item.inHeader ? session.metadata.headerPreview.data() : session.metadata.trailerPreview.data();
}

// Adds (sign +1) or removes (sign -1) the colour of a length region: the first `length` bytes
// of the header dump, or the last `length` bytes of the trailer dump.
void ColorLength(Session &session, int which, int length, int sign)
{
    const int previewLength = session.metadata.metaPreviewLength;
    length = std::min(length, previewLength);  // a container's header may be longer than the dump
    if (length <= 0) return;
    const int from = which == 0 ? 0 : previewLength - length;
    const int to = which == 0 ? length - 1 : previewLength - 1;
    Parser_UpdateMetaIndication(Parser_MetaDump(session, which == 0 ? kTableHeader : kTableTrailer), from, to, 0,
                                sign * kRegionAmount, 0);
}

void ColorItem(Session &session, const MetadataItem &item, Rgb amount)
{
    Parser_UpdateMetaIndication(Parser_MetaDump(session, DumpOf(item)), item.beginPos, item.endPos, amount.red,
                                amount.green, amount.blue);
}

// The message of a value that the configuration reads from each job's file, when this file
// does not give it.
std::string NotGivenMessage(const LayoutReading &reading, const char *what)
{
    if (!reading.recognised) return "Not recognised: " + reading.reason;
    return std::string("The file gives no ") + what;
}

// The length a job's own container gives, with the item's message: the header or trailer
// bytes around its samples.
int ContainerLength(Session &session, int which, ContainerKind kind)
{
    const int item = which == 0 ? kItemHeaderValue : kItemTrailerValue;
    const LayoutReading &reading = Parser_ContainerFacts(session, kind);
    const std::optional<int64_t> &length =
        which == 0 ? reading.facts.headerLength.value : reading.facts.trailerLength.value;
    if (!reading.recognised || !length) {
        Gui_SetConfigurationTreeItemMessage(session.tree, item, NotGivenMessage(reading, "length"));
        return -1;
    }
    if (*length > INT_MAX) {
        Gui_SetConfigurationTreeItemMessage(session.tree, item, "Length over 2 GiB");
        return -1;
    }
    Parser_ClearItemCheck(session.tree, item);
    return static_cast<int>(*length);
}

// The length found in one preview: a user value in bytes, the header up to and including its
// end pattern, or the trailer from its begin pattern (last occurrence) to the end of the file.
int FindLength(Session &session, int which)
{
    ConfigurationRecord &record = session.record;
    const int previewLength = session.metadata.metaPreviewLength;
    const int item = which == 0 ? kItemHeaderValue : kItemTrailerValue;
    const std::string source = SlotText(which == 0 ? record.headerSource : record.trailerSource);
    const std::string value = SlotText(which == 0 ? record.headerValue : record.trailerValue);
    int length = -1;
    const ContainerKind perJob = Layouts_PerJobSource(record, which == 0 ? kReservedHeader : kReservedTrailer);
    if (perJob != ContainerKind::None) {
        length = ContainerLength(session, which, perJob);
    } else if (source == "User") {
        Parser_CheckIntegerValue(session.tree, value.c_str(), 0, previewLength, item, &length);
    } else if (which == 0) {
        Parser_MetaFindPattern(session.tree, session.metadata.headerPreview.data(), previewLength, value.c_str(), 0,
                               0, 0, item, &length);
    } else {
        int beforePattern = -1;
        Parser_MetaFindPattern(session.tree, session.metadata.trailerPreview.data(), previewLength, value.c_str(),
                               1, 1, 0, item, &beforePattern);
        if (beforePattern != -1) length = previewLength - 1 - beforePattern;
    }
    return length;
}

// Locates the comment in its preview: fixed byte positions or the text between a prefix and
// the first suffix after it.
void LocateComment(Session &session, const std::string &source, MetadataItem &comment)
{
    const int previewLength = session.metadata.metaPreviewLength;
    const std::string begin = SlotText(session.record.commentBegin);
    const std::string end = SlotText(session.record.commentEnd);
    if (Contains(source, "Fix")) {
        Parser_CheckIntegerValue(session.tree, begin.c_str(), 0, previewLength - 1, kItemCommentBegin,
                                 &comment.beginPos);
        Parser_CheckIntegerValue(session.tree, end.c_str(), std::max(0, comment.beginPos), previewLength - 1,
                                 kItemCommentEnd, &comment.endPos);
        return;
    }
    const char *preview = PreviewOf(session, comment);
    Parser_MetaFindPattern(session.tree, preview, previewLength, begin.c_str(), 0, 0, 0, kItemCommentBegin,
                           &comment.beginPos);
    // The suffix may lie anywhere after the prefix, up to the end of the preview.
    Parser_MetaFindPatternFrom(session.tree, preview, previewLength, end.c_str(), 1, 0,
                               std::max(0, comment.beginPos), kItemCommentEnd, &comment.endPos);
}

// Copies bytes beginPos .. endPos of the preview, at most 95 and up to a NUL byte.
void CopyCommentText(const char *preview, MetadataItem &comment)
{
    const int count = std::min(comment.endPos - comment.beginPos + 1, kCommentMaxChars);
    if (count <= 0) return;
    const size_t copied = strnlen(preview + comment.beginPos, static_cast<size_t>(count));
    std::memcpy(comment.text, preview + comment.beginPos, copied);
    comment.text[copied] = '\0';
}

// The begin position of the sample rate: a fixed position or the index just after the prefix.
int LocateSamplerate(Session &session, const std::string &source, const char *preview)
{
    const int previewLength = session.metadata.metaPreviewLength;
    const std::string value = SlotText(session.record.samplerateValue);
    int beginPos = -1;
    if (Contains(source, "Fix"))
        Parser_CheckIntegerValue(session.tree, value.c_str(), 0, previewLength - 1, kItemSamplerateValue,
                                 &beginPos);
    else
        Parser_MetaFindPattern(session.tree, preview, previewLength, value.c_str(), 0, 0, 0, kItemSamplerateValue,
                               &beginPos);
    return beginPos;
}

// Decodes the rate that starts at rate.beginPos in the configured type. Sets endPos to its last
// byte when a value is there: a text number must start right at the position (white space
// before it is allowed); a binary value must lie wholly inside the preview.
void DecodeSamplerate(Session &session, const char *preview, MetadataItem &rate)
{
    int code = 0;
    int bytes = 0;
    Parser_GetFormatFromString(SlotText(session.record.samplerateType), &code, &bytes);
    if (Parser_IsTextFormat(code)) {
        double value = 0.0;
        int offset = 0;
        int length = 0;
        if (Parser_ExtractTextValueFromBuffer(code, preview + rate.beginPos, &value, &offset, &length) &&
            offset == 0) {
            rate.value = value;
            rate.endPos = rate.beginPos + length - 1;
        }
        return;
    }
    if (rate.beginPos + bytes > session.metadata.metaPreviewLength) return;
    Parser_ExtractBinaryValueFromBuffer(code, preview + rate.beginPos, 0,
                                        Parser_SwapBytesFor(SlotText(session.record.endianness)), &rate.value);
    rate.endPos = rate.beginPos + bytes - 1;
}

// A rate found in the file (in MHz) is taken when it lies in the range a generator plays;
// written as a range test that NaN fails as well.
void AcceptFoundSamplerate(Session &session, MetadataItem &rate)
{
    if (rate.value >= kMinimumRateMHz && rate.value <= kMaximumRateMHz) {
        Parser_ClearItemCheck(session.tree, kItemSamplerateValue);
        rate.valid = 1;
    } else {
        Gui_SetConfigurationTreeItemMessage(session.tree, kItemSamplerateValue,
                                            "Found samplerate exceeds valid intervall from 1kHz to 100MHz");
    }
}

// The rate a job's own file gives (its container or its name), checked as a found rate is.
void ContainerSamplerate(Session &session, ContainerKind kind, MetadataItem &rate)
{
    const LayoutReading &reading = Parser_ContainerFacts(session, kind);
    if (!reading.recognised || !reading.facts.samplerateHz.value) {
        Gui_SetConfigurationTreeItemMessage(session.tree, kItemSamplerateValue,
                                            NotGivenMessage(reading, "samplerate: give it as Value"));
        return;
    }
    rate.value = *reading.facts.samplerateHz.value * 0.000001;
    AcceptFoundSamplerate(session, rate);
}

void FindSamplerate(Session &session, const std::string &source, MetadataItem &rate)
{
    const double unitFactor = UnitFactor(SlotText(session.record.samplerateUnit));
    if (const ContainerKind perJob = Layouts_PerJobSource(session.record, kReservedRate); perJob != ContainerKind::None) {
        ContainerSamplerate(session, perJob, rate);
        return;
    }
    if (source == "User") {
        // "2.4M" is 2.4 MHz whatever the unit: a letter says the value is in Hz times its power.
        const std::string text = SlotText(session.record.samplerateValue);
        const double factor = Parser_HasMetricSuffix(text) ? UnitFactor("Hz") : unitFactor;
        double value = 0.0;
        if (Parser_CheckDoubleValue(session.tree, text.c_str(), kMinimumRateMHz / factor, kMaximumRateMHz / factor,
                                    kItemSamplerateValue, &value, DecimalSuffixes::Metric)) {
            rate.value = value * factor;
            rate.valid = value > 0.0 ? 1 : 0;
        }
        return;
    }
    const char *preview = PreviewOf(session, rate);
    rate.beginPos = LocateSamplerate(session, source, preview);
    if (rate.beginPos < 0) return;
    DecodeSamplerate(session, preview, rate);
    if (rate.endPos < 0) {
        char message[64];
        std::snprintf(message, sizeof message, "No numerical value found at position %d", rate.beginPos);
        Gui_SetConfigurationTreeItemMessage(session.tree, kItemSamplerateValue, message);
        return;
    }
    rate.value *= unitFactor;
    AcceptFoundSamplerate(session, rate);
}

}  // namespace

const LayoutReading &Parser_ContainerFacts(Session &session, ContainerKind kind)
{
    MetadataState &metadata = session.metadata;
    if (metadata.containerKind != kind || metadata.containerPath != metadata.analysedPath) {
        metadata.container = Layouts_ReadContainer(kind, metadata.analysedPath);
        metadata.containerKind = kind;
        metadata.containerPath = metadata.analysedPath;
    }
    return metadata.container;
}

void Parser_UpdateMetaLength(Session &session, int which)
{
    int &length = which == 0 ? session.settings.headerLength : session.settings.trailerLength;
    ColorLength(session, which, length, -1);
    length = -1;
    if (session.files.inputSize > 0) length = FindLength(session, which);
    ColorLength(session, which, length, +1);
    Parser_UpdateMetaCurrentValues(session);
    Session_Notify(session, SessionChange::Metadata);
}

void Parser_UpdateMetaComment(Session &session)
{
    MetadataItem &comment = session.metadata.commentItem;
    ColorItem(session, comment, {0, 0, -kRegionAmount});
    const std::string source = SlotText(session.record.commentSource);
    comment.inHeader = Contains(source, "Header") ? 1 : 0;
    comment.beginPos = -1;
    comment.endPos = -1;
    comment.text[0] = '\0';

    const ContainerKind perJob = Layouts_PerJobSource(session.record, kReservedComment);
    if (session.files.inputSize > 0 && perJob != ContainerKind::None) {
        const LayoutReading &reading = Parser_ContainerFacts(session, perJob);
        if (reading.recognised && reading.facts.comment.value) {
            const std::string &text = *reading.facts.comment.value;
            const size_t count = std::min(text.size(), static_cast<size_t>(kCommentMaxChars));
            std::memcpy(comment.text, text.data(), count);
            comment.text[count] = '\0';
            Parser_ClearItemCheck(session.tree, kItemCommentBegin);
        } else {
            Gui_SetConfigurationTreeItemMessage(session.tree, kItemCommentBegin, NotGivenMessage(reading, "comment"));
        }
        Parser_ClearItemCheck(session.tree, kItemCommentEnd);
    } else if (session.files.inputSize > 0) {
        if (source == "User") {
            const std::string text = SlotText(session.record.commentBegin);
            Parser_CheckStringValue(session.tree, text.c_str(), kItemCommentBegin);
            const size_t count = std::min(text.size(), static_cast<size_t>(kCommentMaxChars));
            std::memcpy(comment.text, text.data(), count);
            comment.text[count] = '\0';
            Parser_ClearItemCheck(session.tree, kItemCommentEnd);
        } else {
            LocateComment(session, source, comment);
            if (comment.beginPos >= 0 && comment.endPos >= 0) CopyCommentText(PreviewOf(session, comment), comment);
        }
    }
    session.settings.comment = comment.text;
    ColorItem(session, comment, {0, 0, kRegionAmount});
    Parser_UpdateMetaCurrentValues(session);
    Session_Notify(session, SessionChange::Metadata);
}

void Parser_UpdateMetaSamplerate(Session &session)
{
    MetadataItem &rate = session.metadata.samplerateItem;
    ColorItem(session, rate, {-kRegionAmount, 0, 0});
    const std::string source = SlotText(session.record.samplerateSource);
    rate.inHeader = Contains(source, "Header") ? 1 : 0;
    rate.beginPos = -1;
    rate.endPos = -1;
    rate.value = -1.0;
    rate.valid = 0;

    if (session.files.inputSize > 0) FindSamplerate(session, source, rate);
    // Only a rate within limits reaches the output; a found but rejected one stays in the item.
    session.settings.samplerate = rate.valid ? rate.value : -1.0;
    ColorItem(session, rate, {kRegionAmount, 0, 0});
    Parser_UpdateMetaCurrentValues(session);
    Session_Notify(session, SessionChange::Metadata);
}
