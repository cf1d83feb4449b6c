// Load: a thousand small jobs in one run, and one input of 6 GiB. Both must end with the right
// statuses, and memory must stay bounded (the peak resident size is printed for the record).

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "conversion/jobs.h"
#include "robustnesssupport.h"
#include "testsupport.h"

using namespace robustness;
using testsupport::kSanitized;
using testsupport::TempDir;

namespace {

void ReportPeak(const char *what, long beforeKilobytes)
{
    const long peak = PeakRssKilobytes();
    std::printf("[ memory   ] %s: peak RSS %ld kB (growth during the run %ld kB)\n", what, peak,
                peak - beforeKilobytes);
    ::testing::Test::RecordProperty("peakRssKilobytes", static_cast<int>(peak));
}

}  // namespace

TEST(Load, AThousandSmallJobsEndDoneWithBoundedMemory)
{
    constexpr int kJobCount = 1000;
    constexpr int kPairs = 1000;
    TempDir dir;
    const std::filesystem::path out = dir.path() / "out";
    std::filesystem::create_directory(out);
    std::vector<std::string> inputs;
    for (int job = 0; job < kJobCount; ++job) {
        inputs.push_back(dir.file("in" + std::to_string(job) + ".bin"));
        testsupport::WriteFile(inputs.back(), Tone16(kPairs, 100.0 + job));
    }
    Session session;
    StartPlain(session);
    const std::string outputDirectory = out.string();
    EXPECT_EQ(Gui_SetOutputDirectory(session, &outputDirectory), 1);
    ASSERT_EQ(Gui_AddIQ(session, 0, inputs), kJobCount);

    const long before = PeakRssKilobytes();
    ConvertAll(session);
    ReportPeak("1000 jobs", before);

    for (int job = 0; job < kJobCount; ++job) {
        ASSERT_EQ(Status(session, job), "Status: Done") << "job " << job;
        ASSERT_EQ(Image(session, job), 0);
        ASSERT_EQ(session.jobs.items[job * kItemsPerJob + kJobConvertedSamples].value, "1000");
    }
    size_t outputs = 0;
    for (const auto &entry : std::filesystem::directory_iterator(out)) {
        EXPECT_EQ(entry.file_size(), 121u + 3 + 4 * kPairs) << entry.path();
        ++outputs;
    }
    EXPECT_EQ(outputs, static_cast<size_t>(kJobCount));
    if (!kSanitized) {
        EXPECT_LT(PeakRssKilobytes() - before, 64 * 1024);
    }
}

// 6 GiB of 64-bit float pairs (16 bytes a set, 402,653,184 sets) that are all zero: the
// measuring pass reads the whole file and finds no level, so the job ends "Scale Factor too low"
// without writing samples.
TEST(Load, ASixGigabyteInputIsReadWholeWithBoundedMemory)
{
    TempDir dir;
    const std::string input = dir.file("six.bin");
    testsupport::MakeSparseFile(input, int64_t{6} << 30);
    Session session;
    StartPlain(session);
    testsupport::Edit(session, "format", "64 Bit Float");
    ASSERT_EQ(Gui_AddIQ(session, 0, {input}), 1);
    ASSERT_EQ(session.settings.lastSet, (int64_t{6} << 30) / 16);

    const long before = PeakRssKilobytes();
    RecordedRun run;
    ASSERT_EQ(Start(session, run), 1);
    Finish(session, run);
    ReportPeak("6 GiB input", before);

    EXPECT_EQ(Status(session, 0), "Status: Scale Factor too low");
    const ConversionEvent *finished = nullptr;
    for (const ConversionEvent &event : run.events)
        if (event.kind == ConversionEvent::Kind::JobFinished) finished = &event;
    ASSERT_NE(finished, nullptr);
    EXPECT_EQ(finished->peak, 0.0);
    // Every byte was read, in one pass.
    EXPECT_GT(finished->mbPerSecond, 0.0);
    EXPECT_FALSE(std::filesystem::exists(input + ".wv"));
    EXPECT_TRUE(TemporaryFiles(dir.path().string()).empty());
    if (!kSanitized) {
        EXPECT_LT(PeakRssKilobytes() - before, 64 * 1024);
    }
}
