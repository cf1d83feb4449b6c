#pragma once
// The ".wv" waveform file: a text header of tags in curly braces, 16-bit I/Q pairs (I first,
// least significant byte first) and a closing brace. The file is written under a temporary
// name in the target's directory and only takes the target's name when the caller accepts it,
// so a failed or rejected job never destroys an existing file.

#include <cstdint>
#include <string>
#include <vector>

inline constexpr int kMaxOutputPairs = 536870911;   // keeps 4n + 1 within 32 bits

struct ZmxFile {
    int handle = -1;            // the open temporary file; -1 when invalid
    int lockHandle = -1;        // keeps the temporary file locked until it is renamed or removed
    std::string targetPath;     // the name the file takes when accepted
    std::string temporaryPath;  // where it is written meanwhile
    int commentLength = 0;      // L: the patch positions follow from it and the clock text
    int64_t levelOffsetsPos = 0;// absolute positions of the three placeholders
    int64_t samplesPos = 0;
    int64_t waveformPos = 0;
    int pairsWritten = 0;       // pairs appended so far; the finished header must agree
    bool finished = false;      // every finishing write succeeded and the file is closed
    int error = 0;              // errno of the first failed creation, write, close or rename, else 0
    std::vector<int16_t> blockBuffer;  // encoded pairs of one block, reused from block to block
};

// Encodes `count` pairs (i[k], q[k]) into 2 x count 16-bit values in file byte order (least
// significant byte first): each value is floor(x + 0.5) saturated to -32768 .. 32767, NaN is 0.
//  pairs : [size: 2 x count]
void Conversion_EncodeZmxPairs(int count, const double *i, const double *q, int16_t *pairs);

// Creates the temporary file ".<target name>.quelvor-tmp-XXXXXX" beside `fileName` and writes
// the header with `comment` (cut to its 95 characters) and the clock clockMHz x 1,000,000 Hz.
// On failure (a clock that is negative or not finite, a header beyond its 512-byte buffer,
// creation, or a short header write) the result's handle is -1, its `error` the reason (an errno
// value) and no temporary file is left.
ZmxFile Conversion_CreateZmxFile(const char *fileName, const char *comment, double clockMHz);

// Appends `count` pairs, each value rounded to floor(x + 0.5) and saturated to 16 bits, in one
// write from the file's reused block buffer. Returns 1 when all 4 x count bytes were written,
// else 0 (also for a negative count or one that would pass kMaxOutputPairs in the file).
[[nodiscard]] int Conversion_WriteZmxSamples(ZmxFile &file, int count, const double *i, const double *q);

// Appends `count` pairs already encoded by Conversion_EncodeZmxPairs (2 x count values), in
// one write. Returns 1 when all 4 x count bytes were written, else 0 (also for a negative count
// or one that would pass kMaxOutputPairs in the file).
[[nodiscard]] int Conversion_WriteZmxEncoded(ZmxFile &file, int count, const int16_t *pairs);

// Finishes the file: appends "}", patches the level offsets ("%07.3f,%07.3f" of
// 20 log10(peak / rms) and 20 log10(32767 / peak)), SAMPLES (n) and WAVEFORM (4n + 1) at the
// positions taken from the header as written, and closes it. Like any file copy it is left to
// the page cache to write back (no flush): the rename keeps the old target until the new file
// is complete, which is what a failed job must not lose. The file keeps
// its temporary name until it is accepted or discarded. Level offsets that are not finite
// (a silent file) print as 0; others are held to -99.999 .. 999.999 so the field keeps its
// 15 characters. When a write fails, or `pairs` differs from the pairs appended, the file is
// marked unfinished and cannot be accepted.
void Conversion_FinishZmxFile(ZmxFile &file, int pairs, double peak, double rms);

// What Conversion_AcceptZmxFile returns when `replace` is false and the target exists.
inline constexpr int kAcceptTargetExists = -1;

// Gives the finished file the target's name in one step, so that a reader (or another process
// writing the same name) sees the old file or the complete new one and never a mixture. With
// `replace` an existing target is replaced; without it, the target is checked by the rename
// itself: if a file of that name exists, even one created a moment ago by another process, it
// stays and kAcceptTargetExists is returned. Returns 1 on success; otherwise (also for a file
// that was not finished successfully) the temporary file is removed and the target left as it
// was.
[[nodiscard]] int Conversion_AcceptZmxFile(ZmxFile &file, bool replace = true);

// Closes (if open) and removes the temporary file of a rejected, failed or aborted job; the
// target is left untouched.
void Conversion_DiscardZmxFile(ZmxFile &file);

// True for the names of temporary output files, so that leftovers of a killed run can be
// recognised and removed.
bool Conversion_IsTemporaryOutputName(const std::string &fileName);
