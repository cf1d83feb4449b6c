#pragma once
// Decoding, measuring and encoding of plain binary pairs in one loop. A combined file whose sets
// are exactly two 16-bit integers or two 32-bit floats (I then Q, or Q then I) is the common
// case; its sets go from the raw bytes straight into the power meter and the 16-bit output,
// without the arrays of doubles between the steps. The results are those of Parser_DecodeSets,
// SignalProcessing_MirrorSpectrum and the measuring functions of conversion/levels.h, bit for
// bit. Needs AVX2 (and takes AVX-512 where the processor has it); without it, or for other
// layouts, nothing is done and the caller takes the general path.

#include <cstdint>
#include <optional>

#include "configuration/settings.h"
#include "conversion/levels.h"

// What the loop needs to know of the input, taken from the settings of a job.
struct DirectPairs {
    int sampleFormat = 0;  // kInt16 or kFloat32
    bool swapBytes = false;
    bool swapIQ = false;       // the first value of a set is Q
    bool mirror = false;       // Q changes its sign after decoding
    bool wide = false;         // the processor has AVX-512: eight sets per step
    double scale = 1.0;
    double firstOffset = 0.0;  // added to the first value of a set
    double secondOffset = 0.0;
};

// The loop's description for these settings, or nothing when the input is not plain pairs of a
// format it handles, a frequency shift is on, or the processor has no AVX2.
std::optional<DirectPairs> Conversion_DirectPairsFor(const ConversionSettings &settings);

// The same for decoding alone, for a chain that goes on after decoding (the filter, a frequency
// shift): no mirror, whatever the settings say, and a shift does not matter.
std::optional<DirectPairs> Conversion_DecodingPairsFor(const ConversionSettings &settings);

// Decodes the first sets of `count` into i and q as Parser_DecodeSets would (then mirrors them
// when pairs.mirror is set); returns how many it took (a multiple of 4; the caller decodes the
// rest).
[[nodiscard]] int Conversion_DecodeDirectPairs(const DirectPairs &pairs, const char *bytes, int count, double *i, double *q);

// Measures the first sets of `count` as Conversion_MeasureInLanes would after decoding them;
// returns how many it took (a multiple of 16; the caller measures the rest).
[[nodiscard]] int Conversion_MeasureDirectPairs(const DirectPairs &pairs, const char *bytes, int count, PowerMeter &meter);

// Measures and encodes the first sets of `count` as Conversion_MeasureAndEncodeInOrder would
// after decoding them; returns how many it took (a multiple of 8; the caller does the rest).
//  encoded : [size: 2 x count]
[[nodiscard]] int Conversion_MeasureAndEncodeDirectPairs(const DirectPairs &pairs, const char *bytes, int count, PowerMeter &meter,
                                           int16_t *encoded);
