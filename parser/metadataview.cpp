#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string>

#include "parser/metadataupdate.h"
#include "parser/valuechecks.h"

namespace {

constexpr int kBytesPerRow = 16;
constexpr int kFirstCharacterColumn = 55;
constexpr int kMarkerAmount = 50;
constexpr Rgb kMarkerGrey{200, 200, 200};
constexpr Rgb kLengthKnown{150, 200, 150};
constexpr Rgb kFromContainer{170, 200, 240};  // a value the job's own file (its container or name) gave

// The tree items whose messages belong to the metadata of one input file.
constexpr int kMetadataMessageItems[] = {kItemHeaderValue, kItemTrailerValue, kItemCommentBegin, kItemCommentEnd,
                                         kItemSamplerateValue};

int ByteRow(int position) { return position / kBytesPerRow + 1; }
int HexColumn(int position) { return position % kBytesPerRow * 3 + 1; }
int CharacterColumn(int position) { return position % kBytesPerRow + kFirstCharacterColumn; }

bool ByteInTable(const DumpTable &table, int position)
{
    return position >= 0 && ByteRow(position) <= table.rows &&
           static_cast<size_t>(ByteRow(position)) * kDumpColumns <= table.colors.size();
}

bool CellInTable(const DumpTable &table, int row, int column)
{
    return row >= 1 && row <= table.rows && column >= 1 && column <= kDumpColumns &&
           static_cast<size_t>(row) * kDumpColumns <= table.colors.size();
}

int MixChannel(int channel, int amount, int relative)
{
    if (relative) return channel + amount;
    return amount < 0 ? channel : amount;
}

CurrentValuesRow &PositionRow(Session &session, MetaTable table)
{
    return session.views.metadata.currentValues[table == kTableHeader ? kRowHeaderPosition : kRowTrailerPosition];
}

// The colour a current-values row takes for a region starting at `position`: that byte's colour
// without the brightening of the marker, so the row shows the region and not the marker.
Rgb RegionRowColor(Session &session, int inHeader, int position)
{
    const DumpTable &dump = Parser_MetaDump(session, inHeader ? kTableHeader : kTableTrailer);
    if (!ByteInTable(dump, position)) return kGrey;
    Rgb color = dump.color(ByteRow(position), HexColumn(position));
    if (dump.marker == position) {
        color.red -= kMarkerAmount;
        color.green -= kMarkerAmount;
        color.blue -= kMarkerAmount;
    }
    return color;
}

void ShowLength(CurrentValuesRow &row, int length)
{
    row.value = std::to_string(std::max(length, 0));
    row.background = length >= 0 ? kLengthKnown : kGrey;
}

std::string RateText(double megahertz)
{
    char text[64];
    std::snprintf(text, sizeof text, "%f", megahertz);
    return text;
}

// Every length and located position becomes unknown: the dumps were repainted, so there is no
// colour left to remove.
void ForgetRegions(Session &session)
{
    session.settings.headerLength = -1;
    session.settings.trailerLength = -1;
    for (MetadataItem *item : {&session.metadata.commentItem, &session.metadata.samplerateItem}) {
        item->beginPos = -1;
        item->endPos = -1;
    }
}

void EmptyDump(DumpTable &dump, const char *label)
{
    dump.label = label;
    dump.rows = 1;
    dump.cells.assign(kDumpColumns, std::string());
    dump.colors.assign(kDumpColumns, kWhite);
    dump.row1TextColor = kWhite;
    dump.activeRow = 1;
    dump.activeColumn = 1;
    dump.marker = -1;
}

void WriteByteCells(DumpTable &dump, int position, unsigned char byte)
{
    static constexpr char kHexDigits[] = "0123456789ABCDEF";
    const int row = ByteRow(position);
    dump.cell(row, HexColumn(position)) = std::string(1, kHexDigits[byte >> 4]);
    dump.cell(row, HexColumn(position) + 1) = std::string(1, kHexDigits[byte & 0x0F]);
    dump.cell(row, CharacterColumn(position)) = byte == 0 ? std::string() : std::string(1, static_cast<char>(byte));
}

// Reads one preview of the first input file and shows it in its dump, grey, with the marker on
// the first byte (header) or the last byte (trailer).
void FillDump(Session &session, MetaTable table)
{
    MetadataState &meta = session.metadata;
    const int length = meta.metaPreviewLength;
    const int rows = length / kBytesPerRow;
    const bool header = table == kTableHeader;
    DumpTable &dump = Parser_MetaDump(session, table);

    auto &preview = header ? meta.headerPreview : meta.trailerPreview;
    const int64_t start = header ? 0 : session.files.inputSize - length;
    const int64_t got = Parser_ReadAt(session.files.inputHandleI.get(), start, preview.data(), length);
    // A short read (the file shrank) shows zeros rather than the previous file's bytes.
    std::fill(preview.begin() + std::max<int64_t>(got, 0), preview.begin() + length + 1, '\0');

    char label[64];
    std::snprintf(label, sizeof label, "Job 1: %s %d Bytes", header ? "First" : "Last", length);
    dump.label = label;
    dump.row1TextColor = kBlack;
    // Without cells every recolouring finds no byte in the table and leaves it alone.
    const size_t cells = session.views.shown ? static_cast<size_t>(rows) * kDumpColumns : 0;
    dump.rows = session.views.shown ? rows : 0;
    dump.cells.assign(cells, std::string());
    dump.colors.assign(cells, kGrey);
    for (int i = 0; i < length && cells > 0; ++i) WriteByteCells(dump, i, static_cast<unsigned char>(preview[i]));

    const int marker = header ? 0 : length - 1;
    Parser_SetMetaColor(dump, marker, kMarkerGrey.red, kMarkerGrey.green, kMarkerGrey.blue, 0);
    dump.marker = marker;
    dump.activeRow = header ? 1 : rows;
    dump.activeColumn = header ? 1 : kDumpColumns;

    CurrentValuesRow &row = PositionRow(session, table);
    row.editable = true;
    row.maximum = length - 1;
}

}  // namespace

void Parser_UpdateMetadata(Session &session)
{
    const int64_t size = session.files.inputSize;
    const int64_t length = size >= kMetaPreviewBytes ? kMetaPreviewBytes : size - size % kBytesPerRow;
    if (size <= 0 || length <= 0) {
        Parser_ClearMetadata(session);
        return;
    }
    session.metadata.metaPreviewLength = static_cast<int>(length);
    ForgetRegions(session);
    FillDump(session, kTableHeader);
    FillDump(session, kTableTrailer);
    Parser_UpdateMetaCurrentValues(session);
    Session_Notify(session, SessionChange::Metadata);
}

void Parser_ClearMetadata(Session &session)
{
    MetadataView &view = session.views.metadata;
    EmptyDump(view.header, "Header Preview");
    EmptyDump(view.trailer, "Trailer Preview");
    for (int item : kMetadataMessageItems) Parser_ClearItemCheck(session.tree, item);

    MetadataState &meta = session.metadata;
    meta.metaPreviewLength = 0;
    meta.headerPreview[0] = '\0';
    meta.trailerPreview[0] = '\0';
    ForgetRegions(session);
    for (MetaTable table : {kTableHeader, kTableTrailer}) {
        CurrentValuesRow &row = PositionRow(session, table);
        row.editable = false;
        row.maximum = 0;
    }
    Parser_UpdateMetaCurrentValues(session);
    Session_Notify(session, SessionChange::Metadata);
}

void Parser_SetMetaColor(DumpTable &table, int position, int red, int green, int blue, int relative)
{
    if (!ByteInTable(table, position)) return;
    const int row = ByteRow(position);
    for (int column : {HexColumn(position), HexColumn(position) + 1, CharacterColumn(position)}) {
        Rgb &color = table.color(row, column);
        color.red = MixChannel(color.red, red, relative);
        color.green = MixChannel(color.green, green, relative);
        color.blue = MixChannel(color.blue, blue, relative);
    }
}

void Parser_UpdateMetaIndication(DumpTable &table, int from, int to, int red, int green, int blue)
{
    if (from < 0 || to < 0) return;
    for (int position = from; position <= to; ++position) Parser_SetMetaColor(table, position, red, green, blue, 1);
}

void Parser_UpdateMetaMarker(Session &session, MetaTable table, int oldPosition, int newPosition)
{
    if (newPosition < 0 || newPosition >= session.metadata.metaPreviewLength) return;
    DumpTable &dump = Parser_MetaDump(session, table);
    Parser_SetMetaColor(dump, oldPosition, -kMarkerAmount, -kMarkerAmount, -kMarkerAmount, 1);
    Parser_SetMetaColor(dump, newPosition, kMarkerAmount, kMarkerAmount, kMarkerAmount, 1);
    dump.marker = newPosition;
    dump.activeRow = ByteRow(newPosition);
    dump.activeColumn = HexColumn(newPosition);
    PositionRow(session, table).value = std::to_string(newPosition);
    Parser_UpdateMetaMarkerPositionColor(session, table);
    Session_Notify(session, SessionChange::Metadata);
}

int Parser_MetaCellByte(int row, int column)
{
    if (row < 1 || column < 1 || column > kDumpColumns) return -1;
    const int byte = column < kFirstCharacterColumn ? (column - 1) / 3 : column - kFirstCharacterColumn;
    return (row - 1) * kBytesPerRow + std::min(byte, kBytesPerRow - 1);
}

int onMetaTable(Session &session, MetaTable table, int row, int column)
{
    const int position = Parser_MetaCellByte(row, column);
    DumpTable &dump = Parser_MetaDump(session, table);
    if (position < 0 || position >= session.metadata.metaPreviewLength || position == dump.marker) return 0;
    Parser_UpdateMetaMarker(session, table, dump.marker, position);
    return 1;
}

int onMetaCurrentValues(Session &session, int row, const std::string &text)
{
    const bool positionRow = row == kRowHeaderPosition || row == kRowTrailerPosition;
    const MetaTable table = row == kRowHeaderPosition ? kTableHeader : kTableTrailer;
    int position = -1;
    const char *end = text.data() + text.size();
    const auto parsed = std::from_chars(text.data(), end, position);
    const bool whole = parsed.ec == std::errc() && parsed.ptr == end;
    if (positionRow && whole && position >= 0 && position < session.metadata.metaPreviewLength) {
        DumpTable &dump = Parser_MetaDump(session, table);
        Parser_UpdateMetaMarker(session, table, dump.marker, position);
        return 1;
    }
    // Refused: the row shows the marker again (the rows 3 to 6 keep what the program wrote).
    if (positionRow) {
        const DumpTable &dump = Parser_MetaDump(session, table);
        session.views.metadata.currentValues[row].value = std::to_string(std::max(dump.marker, 0));
    }
    Session_Notify(session, SessionChange::Metadata);
    return 0;
}

void Parser_UpdateMetaMarkerPositionColor(Session &session, MetaTable table)
{
    const DumpTable &dump = Parser_MetaDump(session, table);
    const bool shown = session.metadata.metaPreviewLength > 0 && CellInTable(dump, dump.activeRow, dump.activeColumn);
    PositionRow(session, table).background = shown ? dump.color(dump.activeRow, dump.activeColumn) : kGrey;
}

namespace {

// True when the configuration takes the value `key` from the analysed file and the file gave it.
bool FromContainer(const Session &session, std::string_view key)
{
    const ContainerKind kind = Layouts_PerJobSource(session.record, key);
    return kind != ContainerKind::None && session.metadata.containerKind == kind && session.metadata.container.recognised;
}

}  // namespace

void Parser_UpdateMetaCommentCurrentValueColor(Session &session)
{
    const MetadataItem &comment = session.metadata.commentItem;
    CurrentValuesRow &row = session.views.metadata.currentValues[kRowComment];
    row.value = comment.text;
    if (comment.text[0] != '\0' && FromContainer(session, kReservedComment))
        row.background = kFromContainer;
    else if (comment.beginPos >= 0 && comment.endPos >= comment.beginPos)
        row.background = RegionRowColor(session, comment.inHeader, comment.beginPos);
    else if (comment.text[0] != '\0')
        row.background = kWhite;
    else
        row.background = kGrey;
}

void Parser_UpdateMetaSamplerateCurrentValueColor(Session &session)
{
    const MetadataItem &rate = session.metadata.samplerateItem;
    CurrentValuesRow &row = session.views.metadata.currentValues[kRowSamplerate];
    if (rate.valid && FromContainer(session, kReservedRate)) {
        row.value = RateText(rate.value);
        row.background = kFromContainer;
    } else if (rate.beginPos >= 0 && rate.endPos >= rate.beginPos) {
        row.value = RateText(rate.value);
        row.background = rate.valid ? RegionRowColor(session, rate.inHeader, rate.beginPos) : kGrey;
    } else if (rate.valid) {
        row.value = RateText(rate.value);
        row.background = kWhite;
    } else {
        row.value = RateText(0.0);
        row.background = kGrey;
    }
}

void Parser_UpdateMetaCurrentValues(Session &session)
{
    std::array<CurrentValuesRow, 6> &rows = session.views.metadata.currentValues;
    rows[kRowHeaderPosition].value = std::to_string(std::max(session.views.metadata.header.marker, 0));
    rows[kRowTrailerPosition].value = std::to_string(std::max(session.views.metadata.trailer.marker, 0));
    Parser_UpdateMetaMarkerPositionColor(session, kTableHeader);
    Parser_UpdateMetaMarkerPositionColor(session, kTableTrailer);
    ShowLength(rows[kRowHeaderLength], session.settings.headerLength);
    ShowLength(rows[kRowTrailerLength], session.settings.trailerLength);
    Parser_UpdateMetaCommentCurrentValueColor(session);
    Parser_UpdateMetaSamplerateCurrentValueColor(session);
}
