// Window-method low-pass design: an ideal low-pass impulse response (a sinc) cut to `taps`
// coefficients around its centre and weighted by a window that trades the width of the
// transition band for stop-band attenuation.

#include <cmath>

#include "signalprocessing/dsp.h"

namespace {

constexpr double kPi = 3.141592653589793;

// The window at tap k of n. Every window is sampled at u = (k + 1) / (n + 1), strictly inside
// (0, 1): the textbook window of n + 2 points without its two end points, so that no tap is
// wasted on a zero weight (and two Hanning taps still make a filter).
double WindowWeight(int windowCode, int k, int n)
{
    const double u = (k + 1.0) / (n + 1.0);
    switch (windowCode) {
    case kWindowTriangular: return 1.0 - std::fabs(2.0 * u - 1.0);
    case kWindowHanning: return 0.5 - 0.5 * std::cos(2.0 * kPi * u);
    case kWindowHamming: return 0.54 - 0.46 * std::cos(2.0 * kPi * u);
    case kWindowBlackman: return 0.42 - 0.5 * std::cos(2.0 * kPi * u) + 0.08 * std::cos(4.0 * kPi * u);
    default: return 1.0;
    }
}

// The ideal low-pass response at distance x (in taps) from the centre, cut-off fc in cycles per
// tap: sin(2 pi fc x) / (pi x), with its limit 2 fc at x = 0.
double IdealLowpass(double fc, double x)
{
    if (x == 0.0) return 2.0 * fc;
    return std::sin(2.0 * kPi * fc * x) / (kPi * x);
}

}  // namespace

int SignalProcessing_DesignLowpass(double samplingFrequency, double cutoff, int taps, double *coefficients,
                                   int windowCode)
{
    if (coefficients == nullptr || taps < 1) return 0;
    if (!std::isfinite(samplingFrequency) || !std::isfinite(cutoff)) return 0;
    if (samplingFrequency <= 0.0 || cutoff <= 0.0) return 0;
    if (windowCode < kWindowRectangular || windowCode > kWindowBlackman) return 0;
    const double fc = cutoff / samplingFrequency;
    if (fc > 0.5) return 0;  // above half the sampling frequency there is no low-pass to design

    const double centre = (taps - 1) / 2.0;
    // Compute the first half and mirror it, so the filter is exactly symmetric (linear phase)
    // whatever the rounding of sin and cos.
    for (int k = 0; k <= (taps - 1) / 2; ++k) {
        const double value = IdealLowpass(fc, k - centre) * WindowWeight(windowCode, k, taps);
        coefficients[k] = value;
        coefficients[taps - 1 - k] = value;
    }
    double dcGain = 0.0;
    for (int k = 0; k < taps; ++k) dcGain += coefficients[k];
    if (!(dcGain > 0.0)) return 0;
    for (int k = 0; k < taps; ++k) coefficients[k] /= dcGain;
    return 1;
}
