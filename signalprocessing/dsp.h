#pragma once
// The signal processing chain: spectrum mirror, frequency shift, windowed-sinc low-pass design
// and the polyphase filter with a rate change to L/M of the input rate.

#include <cstdint>
#include <vector>

// Negates each of the count values (complex conjugation mirrors the spectrum about 0).
void SignalProcessing_MirrorSpectrum(double *q, int count);

// Multiplies each pair by e^(j 2 pi shift (firstIndex + k)); firstIndex keeps the phase
// continuous across blocks.
void SignalProcessing_FrequencyShift(double *i, double *q, int count, int firstIndex, double shift);

// Window codes of the low-pass design.
enum WindowCode : int {
    kWindowRectangular = 1,
    kWindowTriangular = 2,
    kWindowHanning = 3,
    kWindowHamming = 4,
    kWindowBlackman = 5,
};

// Linear-phase windowed-sinc low-pass of `taps` coefficients: cut-off `cutoff` in units of the
// sampling frequency `samplingFrequency`, normalised to unit gain at zero frequency. Returns 1,
// or 0 for arguments it cannot design (taps < 1, non-finite or non-positive values, a cut-off
// above half the sampling frequency, an unknown window code).
[[nodiscard]] int SignalProcessing_DesignLowpass(double samplingFrequency, double cutoff, int taps,
                                   double *coefficients, int windowCode);

// The polyphase filter bank: per phase, contiguous coefficient and input-offset arrays.
struct FilterPhase {
    std::vector<double> coefficients;
    std::vector<int> offsets;
};
struct FilterBank {
    std::vector<FilterPhase> phases;
};

// Fills `phases` phase lists from a prototype of `taps` coefficients. Returns 1, or 0 when
// phases, decimation or taps is below 1 or the prototype is missing.
[[nodiscard]] int SignalProcessing_InitFilterbank(FilterBank &bank, int phases, int decimation, int taps,
                                    const double *prototype);

// Where the filter takes its input from: fill(context, first, n, i, q) stores input sets
// first ... first + n - 1 into i[0 ... n - 1] and q[0 ... n - 1]. `first` is counted from the
// filter's set 0 and may be negative (the filter reads up to its reach before set 0). It may be
// called on several threads at once.
struct SetSource {
    void (*fill)(const void *context, int64_t first, int n, double *i, double *q);
    const void *context;
};

// SignalProcessing_Filter of the sets a source delivers: the same values, bit for bit.
void SignalProcessing_FilterSource(const SetSource &source, int inCount, int decimation, int phases,
                                   const FilterBank &bank, double *outI, double *outQ, int *outCount);

// Polyphase filter and rate change of inCount input pairs; writes inCount x phases / decimation
// output pairs. Reads up to the bank's reach before index 0 and after inCount - 1. Writes
// *outCount = 0 and nothing else for invalid arguments (a bank with fewer than `phases` lists).
void SignalProcessing_Filter(const double *i, const double *q, int inCount, int decimation, int phases,
                             const FilterBank &bank, double *outI, double *outQ, int *outCount);
