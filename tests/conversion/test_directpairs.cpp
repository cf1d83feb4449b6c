#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "base/cpu.h"
#include "conversion/directpairs.h"
#include "conversion/levels.h"
#include "parser/formats.h"
#include "parser/setreader.h"
#include "signalprocessing/dsp.h"

namespace {

// Random raw bytes of `sets` plain pairs; float inputs include the values that test the edges.
std::vector<char> RawPairs(int format, int sets, std::mt19937 &random)
{
    const int bytes = format == kInt16 ? 2 : 4;
    std::vector<char> raw(static_cast<size_t>(sets) * 2 * bytes);
    std::uniform_int_distribution<int> byte(0, 255);
    for (char &b : raw) b = static_cast<char>(byte(random));
    if (format == kFloat32) {
        // Mostly ordinary values; a few NaN, infinities, zeros of both signs and huge ones.
        std::normal_distribution<float> normal(0.0f, 1.0f);
        const float specials[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                                  -std::numeric_limits<float>::infinity(), 0.0f, -0.0f, 3e38f, -1e-40f};
        for (int v = 0; v < 2 * sets; ++v) {
            float value = normal(random);
            if (v % 97 == 5) value = specials[v % 7];
            std::memcpy(raw.data() + 4 * v, &value, 4);
        }
    }
    return raw;
}

ConversionSettings PlainPairs(int format, bool swapBytes, bool swapIQ, bool mirror)
{
    ConversionSettings s;
    s.sampleFormat = format;
    s.swapBytes = swapBytes;
    s.swapIQ = swapIQ;
    s.mirrorOn = mirror;
    s.valuesPerSet = 2;
    s.iValueIndex = 0;
    s.qValueIndex = 1;
    s.bytesPerSet = format == kInt16 ? 4 : 8;
    s.scale = format == kInt16 ? 0.7312345 / 32768.0 * 31000.0 : 9876.54321;
    s.iOffset = 3;
    s.qOffset = -5;
    return s;
}

// The general path: decode into arrays, mirror, then measure (and encode).
void GeneralPath(const ConversionSettings &s, const std::vector<char> &raw, int sets, bool encode,
                 PowerMeter &meter, std::vector<int16_t> &encoded)
{
    std::vector<double> i(sets), q(sets);
    ASSERT_EQ(Parser_DecodeSets(s, raw.data(), raw.data(), sets, i.data(), q.data()), sets);
    if (s.mirrorOn) SignalProcessing_MirrorSpectrum(q.data(), sets);
    if (encode)
        Conversion_MeasureAndEncodeInOrder(meter, i.data(), q.data(), sets, encoded.data());
    else
        Conversion_MeasureInLanes(meter, i.data(), q.data(), sets);
}

// The loop's description for s, for decoding alone or for the whole loop. With QUELVOR_NO_AVX2
// the program keeps to the general path and gets none; the loop, which the processor still runs,
// is then described here so that it is compared with the baseline loops of the general path.
std::optional<DirectPairs> LoopFor(const ConversionSettings &s, bool decodingOnly)
{
    std::optional<DirectPairs> pairs = decodingOnly ? Conversion_DecodingPairsFor(s) : Conversion_DirectPairsFor(s);
    if (pairs || Cpu_UseAvx2()) return pairs;
    pairs = DirectPairs{};
    pairs->sampleFormat = s.sampleFormat;
    pairs->swapBytes = s.swapBytes != 0;
    pairs->swapIQ = s.swapIQ != 0;
    pairs->mirror = !decodingOnly && s.mirrorOn != 0;
    pairs->scale = s.scale;
    pairs->firstOffset = s.swapIQ ? s.qOffset : s.iOffset;
    pairs->secondOffset = s.swapIQ ? s.iOffset : s.qOffset;
    return pairs;
}

}  // namespace

TEST(DirectPairs, OnlyPlainPairsOfItsFormatsWithoutShift)
{
    if (!Cpu_UseAvx2()) GTEST_SKIP() << "AVX2 loops not in use";
    EXPECT_TRUE(Conversion_DirectPairsFor(PlainPairs(kInt16, false, false, false)));
    EXPECT_TRUE(Conversion_DirectPairsFor(PlainPairs(kFloat32, true, true, true)));
    ConversionSettings s = PlainPairs(kInt16, false, false, false);
    s.shiftFraction = 0.1;
    EXPECT_FALSE(Conversion_DirectPairsFor(s));
    s = PlainPairs(kInt16, false, false, false);
    s.separateFiles = 1;
    EXPECT_FALSE(Conversion_DirectPairsFor(s));
    s = PlainPairs(kInt16, false, false, false);
    s.valuesPerSet = 3;  // a marker between the sets
    s.bytesPerSet = 6;
    EXPECT_FALSE(Conversion_DirectPairsFor(s));
    s = PlainPairs(kInt16, false, false, false);
    s.qValueIndex = -1;  // "I Only - Q=0"
    EXPECT_FALSE(Conversion_DirectPairsFor(s));
    s = PlainPairs(kInt16, false, false, false);
    s.sampleFormat = kFloat64;
    s.bytesPerSet = 16;
    EXPECT_FALSE(Conversion_DirectPairsFor(s));
}

// QUELVOR_NO_AVX2 must keep the AVX2 loop out of a conversion, as on a processor without AVX2.
TEST(DirectPairs, NoneWhileTheAvx2LoopsAreSwitchedOff)
{
    if (Cpu_UseAvx2()) GTEST_SKIP() << "AVX2 loops in use";
    EXPECT_FALSE(Conversion_DirectPairsFor(PlainPairs(kInt16, false, false, false)));
    EXPECT_FALSE(Conversion_DecodingPairsFor(PlainPairs(kFloat32, false, false, false)));
}

namespace {

// Runs the loop on one input as the runner does (the loop, then the general path for the sets it
// left) and checks it against the general path alone.
void ExpectSameAsGeneralPath(const ConversionSettings &s, const DirectPairs &direct, const std::vector<char> &raw,
                             int sets, bool encode)
{
    PowerMeter expected{12.5, 0.25};  // a meter that already holds earlier blocks
    std::vector<int16_t> expectedPairs(2 * sets);
    GeneralPath(s, raw, sets, encode, expected, expectedPairs);

    PowerMeter meter{12.5, 0.25};
    std::vector<int16_t> pairs(2 * sets);
    const int done = encode ? Conversion_MeasureAndEncodeDirectPairs(direct, raw.data(), sets, meter, pairs.data())
                            : Conversion_MeasureDirectPairs(direct, raw.data(), sets, meter);
    ASSERT_EQ(done % 4, 0);  // whole steps only
    ASSERT_GE(done, sets - 16);
    const std::vector<char> restRaw(raw.begin() + done * s.bytesPerSet, raw.end());
    std::vector<int16_t> restPairs(2 * (sets - done));
    GeneralPath(s, restRaw, sets - done, encode, meter, restPairs);
    std::copy(restPairs.begin(), restPairs.end(), pairs.begin() + 2 * done);

    EXPECT_EQ(std::bit_cast<uint64_t>(meter.maximum), std::bit_cast<uint64_t>(expected.maximum));
    if (encode) {
        // The writing pass's sum is added in pair order: the same bits.
        EXPECT_EQ(std::bit_cast<uint64_t>(meter.sum), std::bit_cast<uint64_t>(expected.sum));
        EXPECT_EQ(pairs, expectedPairs);
    } else if (std::isfinite(expected.sum)) {
        EXPECT_NEAR(meter.sum, expected.sum, 1e-9 * expected.sum);
    } else {
        EXPECT_EQ(std::isnan(meter.sum), std::isnan(expected.sum));
    }
}

}  // namespace

// Every combination of format, byte order, order and mirror gives the general path's pairs, sum
// and maximum bit for bit; with four sets per step and, where the processor has AVX-512, eight.
TEST(DirectPairs, EqualTheGeneralPathBitForBit)
{
    if (!__builtin_cpu_supports("avx2")) GTEST_SKIP() << "no AVX2";
    std::mt19937 random(7);
    const int sets = 1003;
    for (int format : {kInt16, kFloat32}) {
        for (int variant = 0; variant < 8; ++variant) {
            const ConversionSettings s = PlainPairs(format, variant & 1, variant & 2, variant & 4);
            std::optional<DirectPairs> direct = LoopFor(s, false);
            ASSERT_TRUE(direct);
            const std::vector<char> raw = RawPairs(format, sets, random);
            const bool hasWide = direct->wide;
            for (const bool wide : {false, true}) {
                if (wide && !hasWide) continue;
                direct->wide = wide;
                for (const bool encode : {false, true}) {
                    SCOPED_TRACE(::testing::Message() << "format " << format << " variant " << variant << " wide "
                                                      << wide << " encode " << encode);
                    ExpectSameAsGeneralPath(s, *direct, raw, sets, encode);
                }
            }
        }
    }
}

// The decoding for a chain that goes on after it (the filter): the values of Parser_DecodeSets
// bit for bit, never mirrored, and given with a frequency shift too.
TEST(DirectPairs, DecodingAloneGivesTheValuesOfTheGeneralDecoder)
{
    if (!__builtin_cpu_supports("avx2")) GTEST_SKIP() << "no AVX2";
    std::mt19937 random(11);
    const int sets = 1003;
    for (int format : {kInt16, kFloat32}) {
        for (int variant = 0; variant < 8; ++variant) {
            ConversionSettings s = PlainPairs(format, variant & 1, variant & 2, variant & 4);
            s.shiftFraction = 0.125;
            std::optional<DirectPairs> decoding = LoopFor(s, true);
            ASSERT_TRUE(decoding);
            const std::vector<char> raw = RawPairs(format, sets, random);
            std::vector<double> expectedI(sets), expectedQ(sets);
            ASSERT_EQ(Parser_DecodeSets(s, raw.data(), raw.data(), sets, expectedI.data(), expectedQ.data()), sets);
            const bool hasWide = decoding->wide;
            for (const bool wide : {false, true}) {
                if (wide && !hasWide) continue;
                decoding->wide = wide;
                SCOPED_TRACE(::testing::Message() << "format " << format << " variant " << variant << " wide " << wide);
                std::vector<double> i(sets), q(sets);
                const int done = Conversion_DecodeDirectPairs(*decoding, raw.data(), sets, i.data(), q.data());
                EXPECT_EQ(done, sets - sets % (wide ? 8 : 4));
                for (int k = 0; k < done; ++k) {
                    ASSERT_EQ(std::bit_cast<uint64_t>(i[k]), std::bit_cast<uint64_t>(expectedI[k])) << "set " << k;
                    ASSERT_EQ(std::bit_cast<uint64_t>(q[k]), std::bit_cast<uint64_t>(expectedQ[k])) << "set " << k;
                }
            }
        }
    }
}
