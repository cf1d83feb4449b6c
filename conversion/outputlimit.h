#pragma once
// How long an input interval may be for its output to fit one waveform file.

#include <cstdint>

#include "conversion/wvwriter.h"

// The output pairs that an interval of `sets` gives. Only the low-pass filter changes the rate:
// it gives sets x outputRateTenths / 10 pairs, rounded down; without it every set is one pair.
inline int64_t Conversion_OutputPairs(int64_t sets, bool filtered, int outputRateTenths)
{
    return filtered ? sets * outputRateTenths / 10 : sets;
}

// The longest interval whose output holds at most kMaxOutputPairs pairs. With the filter at
// N / 10 (N = 1 ... 10) that is the largest s with floor(s x N / 10) <= kMaxOutputPairs, that
// is s x N < 10 x (kMaxOutputPairs + 1): s = (10 x (kMaxOutputPairs + 1) - 1) / N.
inline int64_t Conversion_MaxIntervalSets(bool filtered, int outputRateTenths)
{
    if (!filtered || outputRateTenths < 1) return kMaxOutputPairs;
    return (10 * (int64_t{kMaxOutputPairs} + 1) - 1) / outputRateTenths;
}
