#include "parser/setreader.h"

#include <algorithm>

#include "parser/formats.h"

namespace {

// Text is parsed in chunks of this size. Parsing stops this margin before the end of a chunk
// that is not the last, and the next chunk starts exactly where parsing stopped, so ordinary
// numbers are never cut at a chunk boundary.
constexpr int64_t kTextChunkBytes = kTextWindowBytes;
constexpr int64_t kTextChunkMargin = 100;
// The C library's parsers look a few characters past what they consume ("1e+" consumes only
// the "1"; "inf" may continue as "infinity"). A value whose text, or the look-ahead behind it,
// reaches the end of a chunk that is not the last might read differently with the bytes that
// follow, so it is parsed again at the start of the next chunk.
constexpr int64_t kTextLookAhead = 64;
// Plain values are taken this many at a time; after a batch that found none, this many values
// are searched one by one before the next batch is tried.
constexpr int kScanBatch = 64;
constexpr int kSearchesBeforeScan = 32;

struct ScanBatch {
    double values[kScanBatch];
    int64_t ends[kScanBatch];
};

// ---- Text formats ------------------------------------------------------------------------

// Which values of a set a file holds, counted from 0; -1 when the file holds no such column.
struct TextColumns {
    int iColumn;
    int qColumn;
    int lastColumn;
    bool setsCountedByQ;  // the file's sets are counted by its Q values (else by its I values)
};

// The values stored so far by both files of one call.
struct TextSink {
    double *iValues;
    double *qValues;
    int maxSets;
    int textIOnly;
    int textQEqualsI;
    int nI = 0;
    int nQ = 0;

    void Store(const TextColumns &columns, int column, double value) { Store(columns, column, value, nI, nQ); }

    // Store with the counts in the caller's variables, which a loop can keep in registers.
    void Store(const TextColumns &columns, int column, double value, int &countI, int &countQ) const
    {
        if (column == columns.iColumn) {
            if (countI < maxSets) iValues[countI++] = value;
            if (textIOnly && countQ < maxSets) qValues[countQ++] = textQEqualsI ? value : 0.0;
        } else if (column == columns.qColumn) {
            if (countQ < maxSets) qValues[countQ++] = value;
        }
    }

    int SetsOf(const TextColumns &columns) const { return columns.setsCountedByQ ? nQ : nI; }
};

// Where the text of one file comes from: windows read ahead by the caller, or else the file
// itself, read into the buffer.
struct TextChunks {
    int handle;
    char *buffer;
    const TextWindows *windows;

    // The bytes at [position, position + size), fewer where the file ends (*got), NUL-terminated.
    const char *Read(int64_t position, int64_t size, int64_t *got) const
    {
        if (windows != nullptr) {
            const char *window = windows->window(windows->context, position, size, got);
            if (window != nullptr) return window;
        }
        *got = std::max<int64_t>(Parser_ReadAt(handle, position, buffer, size), 0);
        buffer[*got] = '\0';
        return buffer;
    }
};

// Parsing one file: where its values go, and how far it got.
struct TextFileParse {
    int sampleFormat;
    TextColumns columns;
    TextSink &sink;
    int column = 0;  // of the next value
    bool ended = false;  // the text holds no further value
    ScanBatch batch{};

    // Stores the scanned values in order, as the value-by-value loop of ParseChunk would: each
    // while the file's sets are below maxSets and the value starts before stopAt. Moves *k to
    // the end of the last value stored.
    void StoreScanned(int scanned, int64_t stopAt, int64_t *k)
    {
        // Locals the loop can keep in registers.
        const TextColumns layout = columns;
        const TextSink target = sink;
        int nI = sink.nI, nQ = sink.nQ, c = column;
        int64_t at = *k;
        for (int v = 0; v < scanned && (layout.setsCountedByQ ? nQ : nI) < target.maxSets && at < stopAt; ++v) {
            target.Store(layout, c, batch.values[v], nI, nQ);
            at = batch.ends[v];
            c = c == layout.lastColumn ? 0 : c + 1;
        }
        sink.nI = nI;
        sink.nQ = nQ;
        column = c;
        *k = at;
    }

    // Parses the chunk `text` (chunkSize bytes, NUL-terminated) from its start until the sets are
    // complete or the chunk's end is near; returns the bytes consumed. Plain values are taken in
    // batches, any other value is searched on its own.
    int64_t ParseChunk(const char *text, int64_t chunkSize, bool lastChunk)
    {
        const int64_t stopAt = chunkSize - (lastChunk ? 0 : kTextChunkMargin);
        // Batches are taken only where their values' look-ahead stays in the chunk.
        const int64_t scanEnd = lastChunk ? chunkSize : chunkSize - kTextLookAhead;
        int64_t k = 0;
        int searchesBeforeScan = 0;
        while (sink.SetsOf(columns) < sink.maxSets && k < stopAt) {
            if (searchesBeforeScan == 0) {
                const int scanned =
                    Parser_ScanPlainTextValues(sampleFormat, text, k, scanEnd, kScanBatch, batch.values, batch.ends);
                StoreScanned(scanned, stopAt, &k);
                // A file whose values are not plain is searched value by value; the batches
                // are tried again now and then.
                if (scanned == 0) searchesBeforeScan = kSearchesBeforeScan;
                continue;
            }
            --searchesBeforeScan;
            double value = 0.0;
            int offset = 0, length = 0;
            const int found = Parser_ExtractTextValueFromBuffer(sampleFormat, text + k, &value, &offset, &length);
            const bool touchesChunkEnd = !found || k + offset + length + kTextLookAhead > chunkSize;
            if (!lastChunk && k > 0 && touchesChunkEnd) break;  // parse it again in the next chunk
            if (!found) {
                ended = true;
                break;
            }
            sink.Store(columns, column, value);
            k += offset + length;
            column = column == columns.lastColumn ? 0 : column + 1;
        }
        return k;
    }
};

// Reads values of one file from *position up to dataEnd into the sink until the file's sets
// (counted by nI or nQ) reach maxSets or the text ends; advances *position by what was consumed.
void ReadTextFile(const TextChunks &chunks, int sampleFormat, int64_t dataEnd, int64_t *position,
                  const TextColumns &columns, TextSink &sink)
{
    TextFileParse parse{sampleFormat, columns, sink};
    for (;;) {
        const int64_t remaining = dataEnd - *position;
        bool lastChunk = remaining <= kTextChunkBytes;
        int64_t chunkSize = lastChunk ? std::max<int64_t>(remaining, 0) : kTextChunkBytes;
        if (chunkSize == 0) return;
        int64_t got = 0;
        const char *text = chunks.Read(*position, chunkSize, &got);
        if (got < chunkSize) {  // the file is shorter than it was: its data ends here
            chunkSize = got;
            lastChunk = true;
        }
        *position += parse.ParseChunk(text, chunkSize, lastChunk);
        if (lastChunk || parse.ended || sink.SetsOf(columns) >= sink.maxSets) return;
    }
}

int ReadTextSets(const InputFiles &files, const ConversionSettings &settings, SetReaderScratch &scratch,
                 int64_t *posI, int64_t *posQ, int maxSets, double *iValues, double *qValues)
{
    if (settings.textIMarkers < 0 || settings.textQMarkers < 0) return 0;
    constexpr size_t kTextBufferBytes = kTextChunkBytes + 1 + kTextScanPadding;  // the chunk, its NUL, the scan's reach
    if (scratch.buffer.size() < kTextBufferBytes) scratch.buffer.resize(kTextBufferBytes);
    const int64_t trailer = Settings_KnownLength(settings.trailerLength);
    const int64_t dataEnd = files.inputSize - trailer;
    TextSink sink{iValues, qValues, maxSets, settings.textIOnly, settings.textQEqualsI};

    const int iColumn = settings.textIMarkers;
    char *buffer = scratch.buffer.data();
    if (settings.separateFiles) {
        // Text values take as many bytes as their digits need, so the byte size of the shorter
        // file says nothing about where the other file's values end: each file is read to its
        // own end, and the set count is the smaller value count.
        ReadTextFile({files.inputHandleI.get(), buffer, nullptr}, settings.sampleFormat, files.inputSizeI - trailer,
                     posI, {iColumn, -1, iColumn, false}, sink);
        const int qColumn = settings.textQMarkers;
        ReadTextFile({files.inputHandleQ.get(), buffer, nullptr}, settings.sampleFormat, files.inputSizeQ - trailer,
                     posQ, {-1, qColumn, qColumn, true}, sink);
        return std::min(sink.nI, sink.nQ);
    }
    const TextChunks chunks{files.inputHandleI.get(), buffer, scratch.textWindows};
    if (settings.textIOnly) {
        ReadTextFile(chunks, settings.sampleFormat, dataEnd, posI, {iColumn, -1, iColumn, true}, sink);
    } else {
        const int qColumn = iColumn + 1 + settings.textQMarkers;
        ReadTextFile(chunks, settings.sampleFormat, dataEnd, posI, {iColumn, qColumn, qColumn, true}, sink);
    }
    return std::min(sink.nI, sink.nQ);
}

// Exchange (order "QI"), scale, then add the DC offsets, for each delivered set.
void ScaleAndOffset(const ConversionSettings &settings, int count, double *iValues, double *qValues)
{
    const double scale = settings.scale;
    const double iOffset = static_cast<double>(settings.iOffset);
    const double qOffset = static_cast<double>(settings.qOffset);
    for (int s = 0; s < count; ++s) {
        if (settings.swapIQ) std::swap(iValues[s], qValues[s]);
        iValues[s] = iValues[s] * scale + iOffset;
        qValues[s] = qValues[s] * scale + qOffset;
    }
}

// ---- Binary formats ----------------------------------------------------------------------

// The set layout must fit the format, or values would be taken from outside the sets.
bool BinaryLayoutFits(const ConversionSettings &settings, int bytesPerValue)
{
    return bytesPerValue > 0 && settings.valuesPerSet > 0 &&
           settings.bytesPerSet == settings.valuesPerSet * bytesPerValue && settings.iValueIndex >= 0 &&
           settings.iValueIndex < settings.valuesPerSet && settings.qValueIndex >= -1 &&
           settings.qValueIndex < settings.valuesPerSet;
}

int ReadBinarySets(const InputFiles &files, const ConversionSettings &settings, SetReaderScratch &scratch,
                   int64_t *posI, int64_t *posQ, int maxSets, double *iValues, double *qValues)
{
    const int bytesPerValue = kFormats[settings.sampleFormat].bytesPerValue;
    if (!BinaryLayoutFits(settings, bytesPerValue)) return 0;
    const int64_t bytesPerSet = settings.bytesPerSet;
    const int64_t available =
        (files.inputSize - *posI - Settings_KnownLength(settings.trailerLength)) / bytesPerSet;
    int64_t count = std::min<int64_t>(maxSets, available);
    if (count < 1) return 0;
    const int64_t bytes = count * bytesPerSet;
    const bool readQ = settings.separateFiles && settings.qValueIndex >= 0;
    const size_t bufferBytes = static_cast<size_t>(readQ ? 2 * bytes : bytes);
    if (scratch.buffer.size() < bufferBytes) scratch.buffer.resize(bufferBytes);
    char *bufferI = scratch.buffer.data();
    char *bufferQ = readQ ? bufferI + bytes : bufferI;

    // A file that delivers less than asked (it shrank since it was opened) bounds the count.
    count = std::min(count, Parser_ReadAt(files.inputHandleI.get(), *posI, bufferI, bytes) / bytesPerSet);
    if (readQ) count = std::min(count, Parser_ReadAt(files.inputHandleQ.get(), *posI, bufferQ, bytes) / bytesPerSet);
    if (count > 0) count = Parser_DecodeSets(settings, bufferI, bufferQ, static_cast<int>(count), iValues, qValues);
    *posI += count * bytesPerSet;
    *posQ += count * bytesPerSet;
    return static_cast<int>(count);
}

}  // namespace

int Parser_GetSetsFromFile(const InputFiles &files, const ConversionSettings &settings, SetReaderScratch &scratch,
                           int64_t *posI, int64_t *posQ, int maxSets, double *iValues, double *qValues)
{
    if (posI == nullptr || posQ == nullptr || iValues == nullptr || qValues == nullptr) return 0;
    if (maxSets < 1 || *posI < 0 || *posQ < 0) return 0;
    if (settings.sampleFormat < 0 || settings.sampleFormat >= kFormatCount) return 0;

    if (Parser_IsTextFormat(settings.sampleFormat)) {
        const int count = ReadTextSets(files, settings, scratch, posI, posQ, maxSets, iValues, qValues);
        ScaleAndOffset(settings, count, iValues, qValues);
        return count;
    }
    return ReadBinarySets(files, settings, scratch, posI, posQ, maxSets, iValues, qValues);
}

int Parser_GetSetsFromFile(const InputFiles &files, const ConversionSettings &settings, int64_t *posI,
                           int64_t *posQ, int maxSets, double *iValues, double *qValues)
{
    SetReaderScratch scratch;
    return Parser_GetSetsFromFile(files, settings, scratch, posI, posQ, maxSets, iValues, qValues);
}

namespace {

// Unsigned values centred before the scale: decoded less their centre (exact for every format
// up to 32 bits), then scaled and offset, so that the automatic optimisation scales the signal
// and not the offset.
void DecodeCentredColumn(const ConversionSettings &settings, const char *bytes, int count, double offset,
                         double *target)
{
    Parser_DecodeBinaryColumn(settings.sampleFormat, settings.swapBytes, bytes, count, settings.bytesPerSet, 1.0,
                              -settings.unsignedCentre, target);
    const double scale = settings.scale;
    for (int s = 0; s < count; ++s) target[s] = target[s] * scale + offset;
}

}  // namespace

int Parser_DecodeSets(const ConversionSettings &settings, const char *bytesI, const char *bytesQ, int count,
                      double *iValues, double *qValues)
{
    if (settings.sampleFormat < 0 || settings.sampleFormat >= kFormatCount || Parser_IsTextFormat(settings.sampleFormat))
        return 0;
    const int bytesPerValue = kFormats[settings.sampleFormat].bytesPerValue;
    if (count < 1 || !BinaryLayoutFits(settings, bytesPerValue)) return 0;
    const int code = settings.sampleFormat;
    const int swapBytes = settings.swapBytes;
    const double scale = settings.scale;
    const int64_t bytesPerSet = settings.bytesPerSet;
    // With order "QI" the first value of a pair is Q: decode it straight into the Q array.
    double *firstTarget = settings.swapIQ ? qValues : iValues;
    double *secondTarget = settings.swapIQ ? iValues : qValues;
    const double firstOffset = static_cast<double>(settings.swapIQ ? settings.qOffset : settings.iOffset);
    const double secondOffset = static_cast<double>(settings.swapIQ ? settings.iOffset : settings.qOffset);

    const bool centred = settings.unsignedCentre != 0.0;
    if (!centred && !settings.separateFiles && settings.valuesPerSet == 2 && settings.iValueIndex == 0 &&
        settings.qValueIndex == 1) {
        Parser_DecodeBinaryPairs(code, swapBytes, bytesI, count, scale, firstOffset, secondOffset, firstTarget,
                                 secondTarget);
        return count;
    }
    const char *firstColumn = bytesI + int64_t{settings.iValueIndex} * bytesPerValue;
    if (centred)
        DecodeCentredColumn(settings, firstColumn, count, firstOffset, firstTarget);
    else
        Parser_DecodeBinaryColumn(code, swapBytes, firstColumn, count, bytesPerSet, scale, firstOffset, firstTarget);
    if (settings.qValueIndex >= 0) {
        const char *secondColumn = (settings.separateFiles ? bytesQ : bytesI) + int64_t{settings.qValueIndex} * bytesPerValue;
        if (centred)
            DecodeCentredColumn(settings, secondColumn, count, secondOffset, secondTarget);
        else
            Parser_DecodeBinaryColumn(code, swapBytes, secondColumn, count, bytesPerSet, scale, secondOffset,
                                      secondTarget);
    } else {  // order "I Only - Q=0"
        std::fill(secondTarget, secondTarget + count, 0.0 * scale + secondOffset);
    }
    return count;
}
