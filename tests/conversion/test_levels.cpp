#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "conversion/levels.h"
#include "conversion/wvwriter.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

std::vector<double> RandomValues(int count, unsigned seed, double range)
{
    std::mt19937 generator(seed);
    std::uniform_real_distribution<double> value(-range, range);
    std::vector<double> values(static_cast<std::size_t>(count));
    for (double &v : values) v = value(generator);
    return values;
}

// The plain loop the measurement must reproduce.
PowerMeter PlainMeasure(const std::vector<double> &i, const std::vector<double> &q)
{
    PowerMeter meter;
    for (std::size_t k = 0; k < i.size(); ++k) {
        const double power = i[k] * i[k] + q[k] * q[k];
        meter.sum += power;
        if (power > meter.maximum) meter.maximum = power;
    }
    return meter;
}

// The plain encoding of one value: floor(x + 0.5) held to 16 bits, NaN 0.
int16_t PlainEncode(double x)
{
    const double rounded = std::floor(x + 0.5);
    if (std::isnan(rounded)) return 0;
    if (rounded < -32768.0) return -32768;
    if (rounded > 32767.0) return 32767;
    return static_cast<int16_t>(rounded);
}

// Values where rounding, saturation or NaN handling could go wrong.
std::vector<double> EdgeValues()
{
    std::vector<double> values = {0.0,      -0.0,      0.5,       -0.5,      0.49999999999999994, -0.49999999999999994,
                                  1.5,      -1.5,      2.5,       -2.5,      32766.5,             32767.0,
                                  32767.49, 32767.5,   32768.0,   -32767.5,  -32768.0,            -32768.5,
                                  -32769.0, 1e300,     -1e300,    kInfinity, -kInfinity,          kNaN,
                                  4.9e-324, -4.9e-324, 2147483648.0, -2147483649.0, 1e10,         -1e10};
    const std::vector<double> random = RandomValues(101, 9, 40000.0);
    values.insert(values.end(), random.begin(), random.end());
    return values;
}

double PlainSum(double sum, const std::vector<double> &powers)
{
    for (const double p : powers) sum += p;
    return sum;
}

uint64_t Bits(double value) { return std::bit_cast<uint64_t>(value); }

// Sequences that take every way through the in-order sum: ordinary powers, powers whose units
// often fall exactly halfway (integers scaled by powers of two), sums that cross binades,
// zeros, NaN, infinity, values too large or too small for the shortcut, negative values.
std::vector<std::vector<double>> SumCases()
{
    std::mt19937 generator(11);
    std::uniform_real_distribution<double> exponent(-10.0, 20.0);
    std::uniform_int_distribution<int> sample(-32768, 32767);
    std::vector<std::vector<double>> cases(8);
    for (int k = 0; k < 20000; ++k) cases[0].push_back(std::exp2(exponent(generator)));
    for (int k = 0; k < 20000; ++k) {
        const double i = sample(generator), q = sample(generator);
        cases[1].push_back(std::ldexp(i * i + q * q, -30));
        cases[2].push_back(i * i + q * q);
    }
    cases[3] = cases[0];
    cases[3][7777] = kNaN;
    cases[4] = cases[0];
    cases[4][12345] = kInfinity;
    cases[5] = std::vector<double>(3000, 0.0);
    cases[5].insert(cases[5].end(), cases[0].begin(), cases[0].begin() + 3000);
    for (int k = 0; k < 4000; ++k) cases[6].push_back(k % 3 == 0 ? 1e300 : k % 3 == 1 ? 4.9e-324 : 1e-310);
    cases[7] = cases[0];
    for (std::size_t k = 0; k < cases[7].size(); k += 501) cases[7][k] = -cases[7][k];
    return cases;
}

}  // namespace

TEST(InOrderSum, EqualsThePlainLoopBitForBit)
{
    const double starts[] = {0.0, 1.0, 3.0e5, 1099511627775.5, 1e-300, 1e280, -2.0};
    int checked = 0;
    for (const std::vector<double> &powers : SumCases()) {
        for (const double start : starts) {
            const double plain = PlainSum(start, powers);
            const double fast = Conversion_AddInOrder(start, powers.data(), static_cast<int>(powers.size()));
            EXPECT_EQ(Bits(fast), Bits(plain)) << "case " << checked / 7 << " start " << start;
            // Split into uneven calls, as blocks and chunks split a pass.
            double split = start;
            for (std::size_t first = 0; first < powers.size(); first += 1037) {
                const int n = static_cast<int>(std::min<std::size_t>(1037, powers.size() - first));
                split = Conversion_AddInOrder(split, powers.data() + first, n);
            }
            EXPECT_EQ(Bits(split), Bits(plain)) << "case " << checked / 7 << " start " << start;
            ++checked;
        }
    }
}

TEST(PowerMeter, InOrderEqualsThePlainLoopBitForBitInAnyChunking)
{
    std::vector<double> i = RandomValues(10007, 1, 30000.0), q = RandomValues(10007, 2, 30000.0);
    i[17] = kNaN;  // a NaN power never becomes the maximum and makes the sum NaN
    q[5000] = 1e200;
    const PowerMeter plain = PlainMeasure(i, q);
    for (const int chunk : {1, 3, 4, 7, 1024, 10007}) {
        PowerMeter meter;
        for (int first = 0; first < 10007; first += chunk)
            Conversion_MeasureInOrder(meter, i.data() + first, q.data() + first, std::min(chunk, 10007 - first));
        EXPECT_EQ(meter.maximum, plain.maximum) << chunk;
        EXPECT_TRUE(std::isnan(meter.sum)) << chunk;
    }
    i[17] = 1.0;  // without the NaN the sum is an ordinary number, equal to the bit
    const PowerMeter finite = PlainMeasure(i, q);
    PowerMeter meter;
    for (int first = 0; first < 10007; first += 333)
        Conversion_MeasureInOrder(meter, i.data() + first, q.data() + first, std::min(333, 10007 - first));
    EXPECT_EQ(meter.sum, finite.sum);
    EXPECT_EQ(meter.maximum, finite.maximum);
}

TEST(PowerMeter, InLanesFindsTheSameMaximumAndTheSumUpToRounding)
{
    const std::vector<double> i = RandomValues(9001, 3, 30000.0), q = RandomValues(9001, 4, 30000.0);
    const PowerMeter plain = PlainMeasure(i, q);
    PowerMeter meter;
    for (int first = 0; first < 9001; first += 1000)
        Conversion_MeasureInLanes(meter, i.data() + first, q.data() + first, std::min(1000, 9001 - first));
    EXPECT_EQ(meter.maximum, plain.maximum);
    EXPECT_NEAR(meter.sum, plain.sum, plain.sum * 1e-13);
}

TEST(PowerMeter, SilentInputGivesZeroInLanesAndNaNWhereverItStands)
{
    std::vector<double> zeros(37, 0.0);
    PowerMeter meter;
    Conversion_MeasureInLanes(meter, zeros.data(), zeros.data(), 37);
    EXPECT_EQ(meter.sum, 0.0);
    EXPECT_EQ(meter.maximum, 0.0);
    for (const int at : {0, 9, 36}) {  // in the vector part and in the tail
        std::vector<double> withNaN = zeros;
        withNaN[at] = kNaN;
        PowerMeter lanes;
        Conversion_MeasureInLanes(lanes, withNaN.data(), zeros.data(), 37);
        EXPECT_TRUE(std::isnan(lanes.sum)) << at;
        EXPECT_EQ(lanes.maximum, 0.0) << at;
    }
}

TEST(PairEncoding, EveryPathGivesThePlainIntegers)
{
    const std::vector<double> i = EdgeValues();
    std::vector<double> q(i.rbegin(), i.rend());
    const int count = static_cast<int>(i.size());
    // Starting at every offset puts each value into every lane of the vector loops and the tail.
    for (int start = 0; start < 4; ++start) {
        const int n = count - start;
        std::vector<int16_t> pairs(2 * n, 12345);
        Conversion_EncodeZmxPairs(n, i.data() + start, q.data() + start, pairs.data());
        for (int k = 0; k < n; ++k) {
            ASSERT_EQ(pairs[2 * k], PlainEncode(i[start + k])) << i[start + k];
            ASSERT_EQ(pairs[2 * k + 1], PlainEncode(q[start + k])) << q[start + k];
        }
    }
}

TEST(PairEncoding, MeasuringAndEncodingTogetherEqualsTheTwoApart)
{
    std::vector<double> i = EdgeValues();
    i[7] = 1234.0;  // keep the sum finite so that it is compared to the bit
    i.erase(std::remove_if(i.begin(), i.end(), [](double v) { return !std::isfinite(v) || std::abs(v) > 1e100; }),
            i.end());
    const std::vector<double> q(i.rbegin(), i.rend());
    const int count = static_cast<int>(i.size());
    for (int start = 0; start < 4; ++start) {
        const int n = count - start;
        PowerMeter apart;
        std::vector<int16_t> expected(2 * n);
        Conversion_MeasureInOrder(apart, i.data() + start, q.data() + start, n);
        Conversion_EncodeZmxPairs(n, i.data() + start, q.data() + start, expected.data());
        PowerMeter together;
        std::vector<int16_t> pairs(2 * n);
        Conversion_MeasureAndEncodeInOrder(together, i.data() + start, q.data() + start, n, pairs.data());
        EXPECT_EQ(pairs, expected) << start;
        EXPECT_EQ(together.sum, apart.sum) << start;
        EXPECT_EQ(together.maximum, apart.maximum) << start;
    }
}
