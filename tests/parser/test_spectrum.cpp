#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "parser/spectrum.h"

namespace {

constexpr int kN = 256;

struct Window {
    std::vector<double> re = std::vector<double>(kN);
    std::vector<double> im = std::vector<double>(kN);
};

// A complex tone of `bin` cycles per window, with the given amplitude.
Window Tone(int bin, double amplitude)
{
    Window w;
    for (int k = 0; k < kN; ++k) {
        const double phase = 2.0 * std::numbers::pi * bin * k / kN;
        w.re[k] = amplitude * std::cos(phase);
        w.im[k] = amplitude * std::sin(phase);
    }
    return w;
}

std::vector<double> Spectrum(const Window &w)
{
    std::vector<double> out(kN, -1.0);
    Parser_Fft(w.re.data(), w.im.data(), kN, out.data());
    return out;
}

int Largest(const std::vector<double> &x) { return static_cast<int>(std::max_element(x.begin(), x.end()) - x.begin()); }

}  // namespace

TEST(Spectrum, AToneShowsAtItsCentredBinWithAPeakOfOne)
{
    for (const int bin : {0, 5, -3, -kN / 2, kN / 2 - 1}) {
        const std::vector<double> out = Spectrum(Tone(bin, 1000.0));
        const int peak = Largest(out);
        EXPECT_EQ(peak, kN / 2 + bin) << bin;
        EXPECT_EQ(out[peak], 1.0) << bin;
        // The window keeps the tone within a few bins: far from it, nothing is left.
        EXPECT_LT(out[(peak + kN / 2) % kN], 1e-6) << bin;
    }
}

TEST(Spectrum, TheResultDoesNotDependOnTheInputsScale)
{
    const Window tone = Tone(7, 1.0);
    const std::vector<double> reference = Spectrum(tone);
    for (const double scale : {1e-300, 3e4, 1e300}) {
        Window scaled = tone;
        for (int k = 0; k < kN; ++k) {
            scaled.re[k] *= scale;
            scaled.im[k] *= scale;
        }
        const std::vector<double> out = Spectrum(scaled);
        for (int k = 0; k < kN; ++k) {
            ASSERT_TRUE(std::isfinite(out[k])) << scale << " bin " << k;
            EXPECT_NEAR(out[k], reference[k], 1e-12) << scale << " bin " << k;
        }
    }
}

TEST(Spectrum, SilenceAndValuesThatAreNotFiniteGiveFiniteCurves)
{
    EXPECT_EQ(Spectrum(Window{}), std::vector<double>(kN, 0.0));

    // NaN and infinity count as 0: the spectrum is that of the finite values.
    Window tone = Tone(3, 100.0);
    Window broken = tone;
    tone.re[10] = tone.im[10] = tone.re[99] = 0.0;
    broken.re[10] = std::numeric_limits<double>::quiet_NaN();
    broken.im[10] = std::numeric_limits<double>::infinity();
    broken.re[99] = -std::numeric_limits<double>::infinity();
    EXPECT_EQ(Spectrum(broken), Spectrum(tone));
}

TEST(Spectrum, ASingleCoefficientIsFlatAtZeroDecibels)
{
    // The filter's response when the filter is off: one coefficient of 1.0, zero-padded.
    Window impulse;
    impulse.re[0] = 1.0;
    std::vector<double> out = Spectrum(impulse);
    for (int k = 0; k < kN; ++k) EXPECT_NEAR(out[k], 1.0, 1e-12) << k;
    Parser_LogScale(out.data(), kN, 1e-11);
    for (int k = 0; k < kN; ++k) EXPECT_NEAR(out[k], 0.0, 1e-9) << k;

    std::vector<double> zero{0.0};
    Parser_LogScale(zero.data(), 1, 1e-11);
    EXPECT_DOUBLE_EQ(zero[0], -220.0);
}
