#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "conversion/wvwriter.h"
#include "testsupport.h"

namespace {

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

const std::string kAbcHeader =
    "{TYPE: ZMW-WV,0}{COMMENT: abc}{CLOCK: 01000000.000}{LEVEL OFFS: 0000000,0000000}"
    "{SAMPLES: 0000000000}{WAVEFORM-0000000000:#";

std::vector<std::string> FileNames(const TempDir &dir)
{
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(dir.path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Writes the pairs as one block and finishes the file with the given levels.
void WritePairsAndFinish(ZmxFile &file, const std::vector<double> &i, const std::vector<double> &q, double peak,
                         double rms)
{
    ASSERT_EQ(Conversion_WriteZmxSamples(file, static_cast<int>(i.size()), i.data(), q.data()), 1);
    Conversion_FinishZmxFile(file, static_cast<int>(i.size()), peak, rms);
}

// The rounding every encoded value must match: floor(x + 0.5), saturated, NaN as 0.
int16_t ReferenceValue(double x)
{
    const double rounded = std::floor(x + 0.5);
    if (std::isnan(rounded)) return 0;
    if (rounded < -32768.0) return -32768;
    if (rounded > 32767.0) return 32767;
    return static_cast<int16_t>(rounded);
}

// In a forked child whose files may not grow beyond `limitBytes`: exits 0 when `body` holds.
template <typename Body>
void RunWithFileSizeLimit(rlim_t limitBytes, Body body)
{
    ::signal(SIGXFSZ, SIG_IGN);  // a write past the limit must fail, not kill the process
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = limitBytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::_Exit(body() ? 0 : 1);
}

}  // namespace

TEST(WaveformHeader, IsWrittenExactlyUnderATemporaryNameBesideTheTarget)
{
    TempDir dir;
    const std::string target = dir.file("out.wv");
    ZmxFile file = Conversion_CreateZmxFile(target.c_str(), "abc", 1.0);
    ASSERT_GE(file.handle, 0);
    EXPECT_EQ(ReadFile(file.temporaryPath), kAbcHeader);
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_EQ(std::filesystem::path(file.temporaryPath).parent_path(), dir.path());
    EXPECT_TRUE(Conversion_IsTemporaryOutputName(file.temporaryPath));
    EXPECT_EQ(file.commentLength, 3);
    EXPECT_EQ(file.levelOffsetsPos, 64);
    EXPECT_EQ(file.samplesPos, 90);
    EXPECT_EQ(file.waveformPos, 111);
    Conversion_DiscardZmxFile(file);
    EXPECT_TRUE(FileNames(dir).empty());
}

TEST(WaveformHeader, ClockAndCommentVariants)
{
    TempDir dir;
    const std::string target = dir.file("out.wv");

    ZmxFile empty = Conversion_CreateZmxFile(target.c_str(), "", 0.001);
    ASSERT_GE(empty.handle, 0);
    EXPECT_EQ(ReadFile(empty.temporaryPath).substr(0, 50), "{TYPE: ZMW-WV,0}{COMMENT: }{CLOCK: 00001000.000}{L");
    EXPECT_EQ(empty.levelOffsetsPos, 61);
    EXPECT_EQ(empty.samplesPos, 87);
    EXPECT_EQ(empty.waveformPos, 108);
    Conversion_DiscardZmxFile(empty);

    // A comment beyond 95 characters is cut; a missing one is empty.
    ZmxFile longComment = Conversion_CreateZmxFile(target.c_str(), std::string(300, 'c').c_str(), 1.0);
    ASSERT_GE(longComment.handle, 0);
    EXPECT_EQ(longComment.commentLength, 95);
    EXPECT_EQ(ReadFile(longComment.temporaryPath).size(), 120u + 95u);
    Conversion_DiscardZmxFile(longComment);
    ZmxFile noComment = Conversion_CreateZmxFile(target.c_str(), nullptr, 1.0);
    EXPECT_EQ(noComment.commentLength, 0);
    Conversion_DiscardZmxFile(noComment);

    // A clock that cannot be printed, or a header beyond its buffer, is refused before anything
    // is created.
    EXPECT_EQ(Conversion_CreateZmxFile(target.c_str(), "", std::nan("")).handle, -1);
    EXPECT_EQ(Conversion_CreateZmxFile(target.c_str(), "", -1.0).handle, -1);
    EXPECT_EQ(Conversion_CreateZmxFile(target.c_str(), "", 1e305).handle, -1);
    EXPECT_EQ(Conversion_CreateZmxFile(target.c_str(), std::string(95, 'c').c_str(), 1e300).handle, -1);
    EXPECT_TRUE(FileNames(dir).empty());
}

TEST(WaveformFile, FinishedAndAcceptedFileHasItsCountsAndClosingBrace)
{
    TempDir dir;
    const std::string target = dir.file("out.wv");
    ZmxFile file = Conversion_CreateZmxFile(target.c_str(), "abc", 1.0);
    ASSERT_GE(file.handle, 0);
    WritePairsAndFinish(file, {1.5, -0.4}, {-1.5, 32766.6}, 31128.65, 31128.65);
    ASSERT_EQ(Conversion_AcceptZmxFile(file), 1);

    const std::string bytes = ReadFile(target);
    ASSERT_EQ(bytes.size(), 132u);
    EXPECT_EQ(bytes.substr(0, 123),
              "{TYPE: ZMW-WV,0}{COMMENT: abc}{CLOCK: 01000000.000}{LEVEL OFFS: 000.000,000.446}"
              "{SAMPLES: 0000000002}{WAVEFORM-0000000009:#");
    EXPECT_EQ(bytes.substr(123), std::string("\x02\x00\xFF\xFF\x00\x00\xFF\x7F}", 9));
    EXPECT_EQ(FileNames(dir), std::vector<std::string>{"out.wv"});
}

TEST(WaveformFile, HundredMegahertzClockKeepsEveryPatchInItsField)
{
    TempDir dir;
    const std::string target = dir.file("out.wv");
    ZmxFile file = Conversion_CreateZmxFile(target.c_str(), "x", 100.0);
    ASSERT_GE(file.handle, 0);
    WritePairsAndFinish(file, {0.0}, {0.0}, 31128.65, 31128.65 / std::sqrt(2.0));
    ASSERT_EQ(Conversion_AcceptZmxFile(file), 1);
    EXPECT_EQ(ReadFile(target), std::string("{TYPE: ZMW-WV,0}{COMMENT: x}{CLOCK: 100000000.000}"
                                            "{LEVEL OFFS: 003.010,000.446}{SAMPLES: 0000000001}"
                                            "{WAVEFORM-0000000005:#\0\0\0\0}",
                                            127));
}

TEST(WaveformFile, LevelOffsetsKeepTheirWidthForSilentAndOverdrivenFiles)
{
    TempDir dir;
    const std::string target = dir.file("out.wv");
    const auto levelText = [&](double peak, double rms) {
        ZmxFile file = Conversion_CreateZmxFile(target.c_str(), "", 1.0);
        Conversion_FinishZmxFile(file, 0, peak, rms);
        const std::string text = ReadFile(file.temporaryPath).substr(48, 31);
        Conversion_DiscardZmxFile(file);
        return text;
    };
    EXPECT_EQ(levelText(0.0, 0.0), "{LEVEL OFFS: 000.000,000.000}{S");
    EXPECT_EQ(levelText(1e12, 1.0), "{LEVEL OFFS: 240.000,-99.999}{S");
    EXPECT_EQ(levelText(40000.0, 40000.0), "{LEVEL OFFS: 000.000,-01.732}{S");
}

TEST(WaveformFile, ExistingTargetIsReplacedOnAcceptAndSurvivesDiscard)
{
    TempDir dir;
    const std::string target = dir.file("out.wv");
    WriteFile(target, std::string(1000, 'o'));

    ZmxFile rejected = Conversion_CreateZmxFile(target.c_str(), "abc", 1.0);
    WritePairsAndFinish(rejected, {1.0}, {2.0}, 1.0, 1.0);
    Conversion_DiscardZmxFile(rejected);
    EXPECT_EQ(ReadFile(target), std::string(1000, 'o'));
    EXPECT_EQ(FileNames(dir), std::vector<std::string>{"out.wv"});

    ZmxFile accepted = Conversion_CreateZmxFile(target.c_str(), "abc", 1.0);
    WritePairsAndFinish(accepted, {1.0}, {2.0}, 1.0, 1.0);
    ASSERT_EQ(Conversion_AcceptZmxFile(accepted), 1);
    EXPECT_EQ(ReadFile(target).size(), 128u);
    EXPECT_EQ(FileNames(dir), std::vector<std::string>{"out.wv"});
}

TEST(WaveformFile, WithoutReplacingAnExistingTargetStaysAndAWriterInProgressKeepsItsFile)
{
    TempDir dir;
    const std::string target = dir.file("out.wv");
    WriteFile(target, "old");
    ZmxFile first = Conversion_CreateZmxFile(target.c_str(), "abc", 1.0);
    // A second writer of the same target clears leftovers, but not the file the first one writes.
    ZmxFile second = Conversion_CreateZmxFile(target.c_str(), "abc", 1.0);
    ASSERT_TRUE(std::filesystem::exists(first.temporaryPath));
    WritePairsAndFinish(first, {1.0}, {2.0}, 1.0, 1.0);
    WritePairsAndFinish(second, {3.0}, {4.0}, 1.0, 1.0);

    EXPECT_EQ(Conversion_AcceptZmxFile(first, false), kAcceptTargetExists);
    EXPECT_EQ(ReadFile(target), "old");
    std::filesystem::remove(target);
    ASSERT_EQ(Conversion_AcceptZmxFile(second, false), 1);
    EXPECT_EQ(ReadFile(target).size(), 128u);
    EXPECT_EQ(FileNames(dir), std::vector<std::string>{"out.wv"});
}

TEST(WaveformFile, UnfinishedOrInconsistentFilesAreNeverAccepted)
{
    TempDir dir;
    const std::string target = dir.file("out.wv");
    WriteFile(target, "old");
    const std::vector<double> values{1.0, 2.0};

    ZmxFile open = Conversion_CreateZmxFile(target.c_str(), "", 1.0);
    ASSERT_EQ(Conversion_WriteZmxSamples(open, 2, values.data(), values.data()), 1);
    EXPECT_EQ(Conversion_AcceptZmxFile(open), 0);

    ZmxFile miscounted = Conversion_CreateZmxFile(target.c_str(), "", 1.0);
    ASSERT_EQ(Conversion_WriteZmxSamples(miscounted, 2, values.data(), values.data()), 1);
    Conversion_FinishZmxFile(miscounted, 3, 1.0, 1.0);
    EXPECT_EQ(Conversion_AcceptZmxFile(miscounted), 0);

    ZmxFile invalid;
    EXPECT_EQ(Conversion_WriteZmxSamples(invalid, 2, values.data(), values.data()), 0);
    EXPECT_EQ(Conversion_AcceptZmxFile(invalid), 0);

    EXPECT_EQ(ReadFile(target), "old");
    EXPECT_EQ(FileNames(dir), std::vector<std::string>{"out.wv"});
}

TEST(WaveformFile, AcceptOverADirectoryFailsAndRemovesTheTemporaryFile)
{
    TempDir dir;
    const std::string target = dir.file("out.wv");
    std::filesystem::create_directories(dir.path() / "out.wv" / "inside");
    ZmxFile file = Conversion_CreateZmxFile(target.c_str(), "", 1.0);
    ASSERT_GE(file.handle, 0);
    Conversion_FinishZmxFile(file, 0, 1.0, 1.0);
    EXPECT_EQ(Conversion_AcceptZmxFile(file), 0);
    EXPECT_EQ(FileNames(dir), std::vector<std::string>{"out.wv"});
    EXPECT_TRUE(std::filesystem::is_directory(target));
}

TEST(WaveformFileFailures, TargetInAMissingDirectoryGivesTheInvalidHandle)
{
    TempDir dir;
    const std::string target = dir.file("missing/out.wv");
    const ZmxFile file = Conversion_CreateZmxFile(target.c_str(), "abc", 1.0);
    EXPECT_EQ(file.handle, -1);
    EXPECT_TRUE(file.temporaryPath.empty());
    EXPECT_EQ(Conversion_CreateZmxFile("", "abc", 1.0).handle, -1);
    EXPECT_EQ(Conversion_CreateZmxFile(nullptr, "abc", 1.0).handle, -1);
    EXPECT_TRUE(FileNames(dir).empty());
}

TEST(WaveformFileFailures, ShortHeaderWriteLeavesNoFile)
{
    TempDir dir;
    const std::string target = dir.file("out.wv");
    EXPECT_EXIT(RunWithFileSizeLimit(50, [&] {
                    const ZmxFile file = Conversion_CreateZmxFile(target.c_str(), "abc", 1.0);
                    return file.handle == -1 && file.temporaryPath.empty();
                }),
                ::testing::ExitedWithCode(0), "");
    EXPECT_TRUE(FileNames(dir).empty());
}

TEST(WaveformFileFailures, ShortBlockWriteFailsAndDiscardKeepsTheOldTarget)
{
    TempDir dir;
    const std::string target = dir.file("out.wv");
    WriteFile(target, "old");
    EXPECT_EXIT(RunWithFileSizeLimit(4096, [&] {
                    ZmxFile file = Conversion_CreateZmxFile(target.c_str(), "abc", 1.0);
                    const std::vector<double> values(10000, 100.0);
                    const bool ok = file.handle >= 0 &&
                                    Conversion_WriteZmxSamples(file, 100, values.data(), values.data()) == 1 &&
                                    Conversion_WriteZmxSamples(file, 10000, values.data(), values.data()) == 0;
                    Conversion_DiscardZmxFile(file);
                    return ok;
                }),
                ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadFile(target), "old");
    EXPECT_EQ(FileNames(dir), std::vector<std::string>{"out.wv"});
}

TEST(WaveformFileFailures, PairCountStaysWithinTheFieldWidth)
{
    TempDir dir;
    ZmxFile file = Conversion_CreateZmxFile(dir.file("out.wv").c_str(), "", 1.0);
    const double value = 0.0;
    EXPECT_EQ(Conversion_WriteZmxSamples(file, -1, &value, &value), 0);
    file.pairsWritten = kMaxOutputPairs;  // as after the largest output the format can count
    EXPECT_EQ(Conversion_WriteZmxSamples(file, 1, &value, &value), 0);
    Conversion_DiscardZmxFile(file);
}

TEST(WaveformEncoding, MatchesFloorOfXPlusHalfWithSaturationOnTrickyValues)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<double> values{0.0, -0.0, 0.5, -0.5, 1.5, -1.5, 2.5, -2.5, -2.6, 2.4999999999999996,
                               0.49999999999999994, -0.5000000000000001, -1e-300, 1e-300, -0.4, 32766.6,
                               32766.5, 32767.4, 32767.5, 32768.0, -32767.5, -32768.5, -32768.50000000001,
                               -32769.0, 65535.0, -65536.0, 2147483648.0, -2147483649.0, 1e300, -1e300,
                               inf, -inf, nan, -nan, 4503599627370496.5, -4503599627370495.5};
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> wide(-40000.0, 40000.0);
    for (int k = 0; k < 1000; ++k) values.push_back(wide(random));
    for (int k = 0; k < 200; ++k) values.push_back(std::floor(wide(random)) + 0.5);

    // Every start offset and a length that is no multiple of four, so the vector loop and the
    // pairs after it both meet every value as I and as Q.
    std::vector<double> q(values.rbegin(), values.rend());
    for (int start = 0; start < 4; ++start) {
        const int count = static_cast<int>(values.size()) - start;
        std::vector<int16_t> pairs(2 * count);
        Conversion_EncodeZmxPairs(count, values.data() + start, q.data() + start, pairs.data());
        for (int k = 0; k < count; ++k) {
            ASSERT_EQ(pairs[2 * k], ReferenceValue(values[start + k])) << "I " << values[start + k];
            ASSERT_EQ(pairs[2 * k + 1], ReferenceValue(q[start + k])) << "Q " << q[start + k];
        }
    }
    EXPECT_EQ(ReferenceValue(2.5), 3);
    EXPECT_EQ(ReferenceValue(-2.5), -2);
    EXPECT_EQ(ReferenceValue(-2.6), -3);
}

TEST(WaveformTemporaryNames, AreRecognisedByTheirMarkedEnding)
{
    EXPECT_TRUE(Conversion_IsTemporaryOutputName(".out.wv.quelvor-tmp-a1B2c3"));
    EXPECT_TRUE(Conversion_IsTemporaryOutputName("some/dir/.x.quelvor-tmp-ZZZZZZ"));
    EXPECT_FALSE(Conversion_IsTemporaryOutputName("out.wv"));
    EXPECT_FALSE(Conversion_IsTemporaryOutputName("out.wv.quelvor-tmp-a1B2c3"));   // not hidden
    EXPECT_FALSE(Conversion_IsTemporaryOutputName(".out.wv.quelvor-tmp-a1B2c"));   // suffix short
    EXPECT_FALSE(Conversion_IsTemporaryOutputName(".out.wv.quelvor-tmp-a1B2c!"));  // not a suffix character
    EXPECT_FALSE(Conversion_IsTemporaryOutputName(".quelvor-tmp-a1B2c3"));          // no target name
    EXPECT_FALSE(Conversion_IsTemporaryOutputName(""));
}

TEST(WaveformTemporaryNames, LongTargetNamesStillGiveAValidTemporaryName)
{
    TempDir dir;
    const std::string target = dir.file(std::string(250, 'n') + ".wv");
    ZmxFile file = Conversion_CreateZmxFile(target.c_str(), "", 1.0);
    ASSERT_GE(file.handle, 0);
    EXPECT_TRUE(Conversion_IsTemporaryOutputName(file.temporaryPath));
    Conversion_FinishZmxFile(file, 0, 1.0, 1.0);
    ASSERT_EQ(Conversion_AcceptZmxFile(file), 1);
    EXPECT_TRUE(std::filesystem::exists(target));
}
