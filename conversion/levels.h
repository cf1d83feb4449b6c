#pragma once

#include <cstdint>
// Level measurement of the output pairs: the largest power i^2 + q^2 and the sum of the powers,
// from which a pass takes its peak and its RMS.

// The measurement of one pass so far; starts at zero.
struct PowerMeter {
    double sum = 0.0;      // sum of the powers
    double maximum = 0.0;  // the largest power; a NaN power never counts
};

// Adds powers[0] ... powers[count - 1] to sum one after the other and returns the result: the
// bits of the plain loop `for (k...) sum += powers[k]`, reached without waiting for each addition
// in turn (see levels.cpp).
double Conversion_AddInOrder(double sum, const double *powers, int count);

// Measures `count` pairs. The powers are added to the sum one after the other in pair order, so
// the sum rounds exactly as in a plain loop over the pairs, whatever the blocks are.
void Conversion_MeasureInOrder(PowerMeter &meter, const double *i, const double *q, int count);

// The same maximum, and the same sum up to rounding: the powers are added in independent lanes,
// which removes the chain of dependent additions that bounds the in-order sum. For a pass whose
// sum is not written anywhere exactly (the measuring pass, which only needs the peak).
void Conversion_MeasureInLanes(PowerMeter &meter, const double *i, const double *q, int count);

// Conversion_MeasureInOrder and Conversion_EncodeZmxPairs of the same pairs in one loop, with the
// same results bit for bit: on AVX2 the encoding runs in the shadow of the in-order sum.
//  pairs : [size: 2 x count]
void Conversion_MeasureAndEncodeInOrder(PowerMeter &meter, const double *i, const double *q, int count,
                                        int16_t *pairs);
