#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <random>
#include <vector>

#include "signalprocessing/dsp.h"

namespace {

constexpr double kPi = 3.141592653589793;

std::vector<double> RandomValues(int count, unsigned seed)
{
    std::mt19937 generator(seed);
    std::uniform_real_distribution<double> value(-30000.0, 30000.0);
    std::vector<double> values(static_cast<std::size_t>(count));
    for (double &v : values) v = value(generator);
    return values;
}

// The exact sum of one output as the bank defines it: 0.0, then coefficient x input added in
// entry order.
double OrderedSum(const FilterPhase &phase, const double *x, int64_t base)
{
    double sum = 0.0;
    for (std::size_t e = 0; e < phase.coefficients.size(); ++e) sum += phase.coefficients[e] * x[base + phase.offsets[e]];
    return sum;
}

// |H(f)| of an FIR at f cycles per tap.
double Magnitude(const std::vector<double> &h, double f)
{
    std::complex<double> sum = 0.0;
    for (std::size_t k = 0; k < h.size(); ++k) sum += h[k] * std::polar(1.0, -2.0 * kPi * f * static_cast<double>(k));
    return std::abs(sum);
}

}  // namespace

TEST(MirrorAndShift, MirrorNegatesEveryValue)
{
    std::vector<double> q{1.5, -2.0, 0.0, 32767.0};
    SignalProcessing_MirrorSpectrum(q.data(), 3);
    EXPECT_EQ(q, (std::vector<double>{-1.5, 2.0, -0.0, 32767.0}));
}

TEST(MirrorAndShift, ShiftMovesAToneUpByTheShift)
{
    const double tone = 0.1;
    const double shift = -0.23;
    const int count = 500;
    std::vector<double> i(count), q(count);
    for (int k = 0; k < count; ++k) {
        i[k] = std::cos(2.0 * kPi * tone * k);
        q[k] = std::sin(2.0 * kPi * tone * k);
    }
    SignalProcessing_FrequencyShift(i.data(), q.data(), count, 0, shift);
    for (int k = 0; k < count; ++k) {
        EXPECT_NEAR(i[k], std::cos(2.0 * kPi * (tone + shift) * k), 1e-9) << k;
        EXPECT_NEAR(q[k], std::sin(2.0 * kPi * (tone + shift) * k), 1e-9) << k;
    }
}

TEST(MirrorAndShift, ShiftInTwoBlocksEqualsShiftInOneBitForBit)
{
    const int count = 1000;
    const std::vector<double> i = RandomValues(count, 1), q = RandomValues(count, 2);
    std::vector<double> wholeI = i, wholeQ = q, partI = i, partQ = q;
    SignalProcessing_FrequencyShift(wholeI.data(), wholeQ.data(), count, 0, 0.25);
    SignalProcessing_FrequencyShift(partI.data(), partQ.data(), 377, 0, 0.25);
    SignalProcessing_FrequencyShift(partI.data() + 377, partQ.data() + 377, count - 377, 377, 0.25);
    EXPECT_EQ(partI, wholeI);
    EXPECT_EQ(partQ, wholeQ);
}

TEST(MirrorAndShift, ShiftPhaseCountsFromTheFirstIndex)
{
    // A quarter cycle per set: the pair (1, 0) at interval position 5 turns by 5 quarters to (0, 1).
    double i = 1.0, q = 0.0;
    SignalProcessing_FrequencyShift(&i, &q, 1, 5, 0.25);
    EXPECT_NEAR(i, 0.0, 1e-15);
    EXPECT_NEAR(q, 1.0, 1e-15);
}

TEST(FilterBank, OnePhaseListsTheCentreThenAlternatesOutwards)
{
    const std::vector<double> h{10, 11, 12, 13, 14, 15, 16, 17};
    FilterBank bank;
    ASSERT_EQ(SignalProcessing_InitFilterbank(bank, 1, 1, 8, h.data()), 1);
    ASSERT_EQ(bank.phases.size(), 1u);
    EXPECT_EQ(bank.phases[0].coefficients, (std::vector<double>{14, 13, 15, 12, 16, 11, 17, 10}));
    EXPECT_EQ(bank.phases[0].offsets, (std::vector<int>{0, -1, 1, -2, 2, -3, 3, -4}));
}

TEST(FilterBank, PhasesStartAtTheCentreMinusTheirPositionBetweenInputSets)
{
    std::vector<double> h(16);
    for (int k = 0; k < 16; ++k) h[k] = k;
    FilterBank bank;
    ASSERT_EQ(SignalProcessing_InitFilterbank(bank, 3, 10, 16, h.data()), 1);
    // Phase p starts at 8 - (10 p mod 3): 8, 7, 6.
    EXPECT_EQ(bank.phases[0].coefficients, (std::vector<double>{8, 5, 11, 2, 14}));
    EXPECT_EQ(bank.phases[0].offsets, (std::vector<int>{0, -1, 1, -2, 2}));
    EXPECT_EQ(bank.phases[1].coefficients, (std::vector<double>{7, 4, 10, 1, 13}));
    EXPECT_EQ(bank.phases[2].coefficients, (std::vector<double>{6, 3, 9, 0, 12, 15}));
    EXPECT_EQ(bank.phases[2].offsets, (std::vector<int>{0, -1, 1, -2, 2, 3}));
}

TEST(FilterBank, CentreBeforeThePrototypeLeavesOnlyTheTapsThatExist)
{
    // Ten taps at L = 9: phase 8 would start at 5 - 8 = -3, outside the prototype.
    std::vector<double> h(10);
    for (int k = 0; k < 10; ++k) h[k] = k;
    FilterBank bank;
    ASSERT_EQ(SignalProcessing_InitFilterbank(bank, 9, 10, 10, h.data()), 1);
    EXPECT_EQ(bank.phases[8].coefficients, (std::vector<double>{6}));
    EXPECT_EQ(bank.phases[8].offsets, (std::vector<int>{1}));
    // With L and M without a common factor every coefficient is used exactly once.
    std::vector<int> uses(10, 0);
    for (const FilterPhase &phase : bank.phases) {
        for (double c : phase.coefficients) ++uses[static_cast<int>(c)];
    }
    EXPECT_EQ(uses, std::vector<int>(10, 1));
}

TEST(FilterBank, RefusesImpossibleArguments)
{
    const double h[4] = {1, 2, 3, 4};
    FilterBank bank;
    EXPECT_EQ(SignalProcessing_InitFilterbank(bank, 0, 10, 4, h), 0);
    EXPECT_EQ(SignalProcessing_InitFilterbank(bank, 2, 0, 4, h), 0);
    EXPECT_EQ(SignalProcessing_InitFilterbank(bank, 2, 10, 0, h), 0);
    EXPECT_EQ(SignalProcessing_InitFilterbank(bank, 2, 10, 4, nullptr), 0);
}

// The filter against the bank's own definition (bit for bit) and against the plain
// upsample-filter-downsample of the prototype (to rounding), for every output rate.
class FilterAtRate : public ::testing::TestWithParam<int> {};

TEST_P(FilterAtRate, EqualsTheOrderedSumsAndTheUpsampledPrototype)
{
    const int phases = GetParam();
    const int taps = 101;
    const int reach = taps / phases + 2;
    const int inCount = 25003;  // several chunks of every phase, and a partial tile at the end
    std::vector<double> prototype(taps);
    ASSERT_EQ(SignalProcessing_DesignLowpass(1.0, 0.2 / phases, taps, prototype.data(), kWindowHamming), 1);
    FilterBank bank;
    ASSERT_EQ(SignalProcessing_InitFilterbank(bank, phases, 10, taps, prototype.data()), 1);

    const std::vector<double> i = RandomValues(inCount + 2 * reach, 3), q = RandomValues(inCount + 2 * reach, 4);
    const double *inI = i.data() + reach;
    const double *inQ = q.data() + reach;
    std::vector<double> outI(inCount, -1.0), outQ(inCount, -1.0);
    int outCount = -1;
    SignalProcessing_Filter(inI, inQ, inCount, 10, phases, bank, outI.data(), outQ.data(), &outCount);
    ASSERT_EQ(outCount, static_cast<int>(static_cast<int64_t>(inCount) * phases / 10));

    for (int t = 0; t < outCount; ++t) {
        const int64_t base = static_cast<int64_t>(t) * 10 / phases;
        const FilterPhase &phase = bank.phases[t % phases];
        ASSERT_EQ(outI[t], OrderedSum(phase, inI, base)) << t;
        ASSERT_EQ(outQ[t], OrderedSum(phase, inQ, base)) << t;
        // Upsampled by L: input set b sits at L b; output t is at 10 t; prototype tap k weighs
        // the upsampled position 10 t + k - taps / 2.
        double upsampled = 0.0;
        for (int k = 0; k < taps; ++k) {
            const int64_t position = 10 * static_cast<int64_t>(t) + k - taps / 2;
            if (position % phases == 0) upsampled += prototype[k] * inI[position / phases];
        }
        ASSERT_NEAR(outI[t], upsampled, 1e-9 * 30000.0) << t;
    }
    if (outCount < inCount) {
        EXPECT_EQ(outI[outCount], -1.0);  // nothing written behind the count
    }
}

INSTANTIATE_TEST_SUITE_P(AllOutputRates, FilterAtRate, ::testing::Range(1, 11));

TEST(Filter, OutputCountIsTheProductRoundedDown)
{
    const double h[1] = {1.0};
    FilterBank bank;
    ASSERT_EQ(SignalProcessing_InitFilterbank(bank, 3, 10, 1, h), 1);
    const std::vector<double> x(40, 2.0);
    std::vector<double> out(40);
    int outCount = 0;
    SignalProcessing_Filter(x.data(), x.data(), 19, 10, 3, bank, out.data(), out.data(), &outCount);
    EXPECT_EQ(outCount, 5);  // 19 x 3 / 10 = 5.7
    ASSERT_EQ(SignalProcessing_InitFilterbank(bank, 10, 10, 1, h), 1);
    SignalProcessing_Filter(x.data(), x.data(), 37, 10, 10, bank, out.data(), out.data(), &outCount);
    EXPECT_EQ(outCount, 37);
}

TEST(Filter, WritesNothingForABankWithTooFewPhases)
{
    const double h[1] = {1.0};
    FilterBank bank;
    ASSERT_EQ(SignalProcessing_InitFilterbank(bank, 2, 10, 1, h), 1);
    const std::vector<double> x(20, 1.0);
    std::vector<double> out(20, 7.0);
    int outCount = 99;
    SignalProcessing_Filter(x.data(), x.data(), 20, 10, 5, bank, out.data(), out.data(), &outCount);
    EXPECT_EQ(outCount, 0);
    EXPECT_EQ(out, std::vector<double>(20, 7.0));
}

TEST(LowpassDesign, IsSymmetricWithUnitGainAtZeroFrequency)
{
    for (int window = kWindowRectangular; window <= kWindowBlackman; ++window) {
        for (int taps : {1, 2, 10, 255, 256, 1024}) {
            std::vector<double> h(taps);
            ASSERT_EQ(SignalProcessing_DesignLowpass(2.0, 0.5, taps, h.data(), window), 1) << window << " " << taps;
            double sum = 0.0;
            for (int k = 0; k < taps; ++k) {
                sum += h[k];
                ASSERT_EQ(h[k], h[taps - 1 - k]) << window << " " << taps << " " << k;
            }
            EXPECT_NEAR(sum, 1.0, 1e-12) << window << " " << taps;
        }
    }
}

TEST(LowpassDesign, RectangularIsTheTruncatedSinc)
{
    const int taps = 31;
    const double fc = 0.2;
    std::vector<double> h(taps);
    ASSERT_EQ(SignalProcessing_DesignLowpass(1.0, fc, taps, h.data(), kWindowRectangular), 1);
    for (int k = 0; k < taps; ++k) {
        const double x = k - 15;
        const double sinc = x == 0 ? 2.0 * fc : std::sin(2.0 * kPi * fc * x) / (kPi * x);
        EXPECT_NEAR(h[k] / h[15], sinc / (2.0 * fc), 1e-12) << k;
    }
}

struct WindowFigures {
    int window;
    double transitionTimesTaps;  // half the transition band, in units of 1 / taps
    double stopbandDb;           // the least attenuation in the stop band
};

class LowpassWindow : public ::testing::TestWithParam<WindowFigures> {};

TEST_P(LowpassWindow, MeetsTheTextbookRippleAndAttenuation)
{
    const WindowFigures figures = GetParam();
    const int taps = 201;
    const double fc = 0.2;
    std::vector<double> h(taps);
    ASSERT_EQ(SignalProcessing_DesignLowpass(1.0, fc, taps, h.data(), figures.window), 1);
    const double delta = std::pow(10.0, -figures.stopbandDb / 20.0);
    const double edge = figures.transitionTimesTaps / taps;
    double passMin = 1.0, passMax = 1.0, stopMax = 0.0;
    for (int k = 0; k <= 4000; ++k) {
        const double f = 0.5 * k / 4000;
        const double m = Magnitude(h, f);
        if (f <= fc - edge) {
            passMin = std::min(passMin, m);
            passMax = std::max(passMax, m);
        } else if (f >= fc + edge) {
            stopMax = std::max(stopMax, m);
        }
    }
    EXPECT_LT(20.0 * std::log10(stopMax), -figures.stopbandDb) << figures.window;
    EXPECT_LT(passMax - 1.0, delta) << figures.window;
    EXPECT_LT(1.0 - passMin, delta) << figures.window;
}

INSTANTIATE_TEST_SUITE_P(FiveWindows, LowpassWindow,
                         ::testing::Values(WindowFigures{kWindowRectangular, 1.0, 20.0},
                                           WindowFigures{kWindowTriangular, 2.5, 25.0},
                                           WindowFigures{kWindowHanning, 2.5, 43.0},
                                           WindowFigures{kWindowHamming, 2.5, 52.0},
                                           WindowFigures{kWindowBlackman, 3.5, 73.0}));

TEST(LowpassDesign, RefusesWhatItCannotDesign)
{
    double h[8];
    EXPECT_EQ(SignalProcessing_DesignLowpass(1.0, 0.25, 0, h, kWindowHamming), 0);
    EXPECT_EQ(SignalProcessing_DesignLowpass(1.0, 0.25, 8, nullptr, kWindowHamming), 0);
    EXPECT_EQ(SignalProcessing_DesignLowpass(0.0, 0.25, 8, h, kWindowHamming), 0);
    EXPECT_EQ(SignalProcessing_DesignLowpass(1.0, -0.1, 8, h, kWindowHamming), 0);
    EXPECT_EQ(SignalProcessing_DesignLowpass(1.0, NAN, 8, h, kWindowHamming), 0);
    EXPECT_EQ(SignalProcessing_DesignLowpass(INFINITY, 0.25, 8, h, kWindowHamming), 0);
    EXPECT_EQ(SignalProcessing_DesignLowpass(1.0, 0.6, 8, h, kWindowHamming), 0);
    EXPECT_EQ(SignalProcessing_DesignLowpass(1.0, 0.25, 8, h, 0), 0);
    EXPECT_EQ(SignalProcessing_DesignLowpass(1.0, 0.25, 8, h, 6), 0);
}
