#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "conversion/jobs.h"
#include "conversion/outputlimit.h"
#include "conversion/runner.h"
#include "conversion/wvwriter.h"
#include "session/session.h"
#include "signalprocessing/blockframing.h"
#include "testsupport.h"

using testsupport::Edit;
using testsupport::TempDir;

namespace {

// Interleaved little-endian 16-bit I/Q pairs.
std::string Pairs16(const std::vector<std::pair<int16_t, int16_t>> &pairs)
{
    std::string bytes(pairs.size() * 4, '\0');
    for (size_t k = 0; k < pairs.size(); ++k) {
        std::memcpy(&bytes[4 * k], &pairs[k].first, 2);
        std::memcpy(&bytes[4 * k + 2], &pairs[k].second, 2);
    }
    return bytes;
}

// A tone of `count` pairs with the given amplitude.
std::string Tone16(int count, double amplitude)
{
    std::vector<std::pair<int16_t, int16_t>> pairs(count);
    for (int k = 0; k < count; ++k) {
        const double phase = 2 * M_PI * k / 50.0;
        pairs[k] = {static_cast<int16_t>(std::lround(amplitude * std::cos(phase))),
                    static_cast<int16_t>(std::lround(amplitude * std::sin(phase)))};
    }
    return Pairs16(pairs);
}

// Headerless 16-bit files with a user comment "abc" and a rate of 1 MHz.
void StartPlain(Session &session)
{
    testsupport::StartWithDefaults(session);
    Edit(session, "headerSource", "User");
    Edit(session, "headerValue", "0");
    Edit(session, "trailerSource", "User");
    Edit(session, "trailerValue", "0");
    Edit(session, "commentSource", "User");
    Edit(session, "commentBegin", "abc");
    Edit(session, "samplerateSource", "User");
    Edit(session, "samplerateValue", "1.0");
}

// The Blackman low-pass at cut-off 0.2 with the output at half the input rate.
void UseHalfRateLowpass(Session &session, const char *taps)
{
    Edit(session, "filterType", "Blackman Window");
    Edit(session, "cutoff", "0.2");
    Edit(session, "taps", taps);
    Edit(session, "outputSamplerate", "Input Samplerate x 5/10");
}

struct RunOutcome {
    std::vector<ConversionEvent> events;
    std::function<void(const ConversionEvent &)> hook;  // called on the worker's thread
};

// Runs every job to the end and applies the worker's events to the session, as a view would.
RunOutcome ConvertAll(Session &session, std::function<void(const ConversionEvent &)> hook = {})
{
    RunOutcome run;
    std::mutex mutex;
    const int started = onConversion(session, [&](const ConversionEvent &event) {
        if (hook) hook(event);
        std::lock_guard lock(mutex);
        run.events.push_back(event);
    });
    if (started) Conversion_WaitForWorker(session);
    // The last event, RunFinished, takes the run back.
    for (const ConversionEvent &event : run.events) Conversion_ApplyEvent(session, event);
    return run;
}

std::string Status(const Session &session, int job) { return session.jobs.items[job * kItemsPerJob + kJobStatus].label; }
std::string Result(const Session &session, int job, int offset) { return session.jobs.items[job * kItemsPerJob + offset].value; }

const ConversionEvent *Finished(const RunOutcome &run, int job)
{
    for (const ConversionEvent &event : run.events)
        if (event.kind == ConversionEvent::Kind::JobFinished && event.job == job) return &event;
    return nullptr;
}

// The status log's rows from `first` on, each as its icon's letter (o, ?, x) and its text.
std::vector<std::string> LogRows(const Session &session, size_t first = 0)
{
    std::vector<std::string> rows;
    for (size_t row = first; row < session.statusLog.rows.size(); ++row) {
        const StatusRow &entry = session.statusLog.rows[row];
        const char *icon = entry.icon == StatusIcon::Ok ? "o " : entry.icon == StatusIcon::Question ? "? " : "x ";
        rows.push_back(icon + entry.text);
    }
    return rows;
}

// One row as LogRows shows it; empty when the log has no such row.
std::string LogRow(const Session &session, size_t row)
{
    const std::vector<std::string> rows = LogRows(session, row);
    return rows.empty() ? std::string() : rows.front();
}

// The largest pair magnitude of a finished file.
double PeakOfFile(const std::string &bytes, int headerLength)
{
    double peak = 0;
    for (size_t at = headerLength; at + 4 <= bytes.size() - 1; at += 4) {
        int16_t i, q;
        std::memcpy(&i, &bytes[at], 2);
        std::memcpy(&q, &bytes[at + 2], 2);
        peak = std::max(peak, std::hypot(i, q));
    }
    return peak;
}

}  // namespace

TEST(Runner, AutomaticOptimisationPutsThePeakAtNinetyFivePercent)
{
    TempDir dir;
    testsupport::WriteFile(dir.file("tone.bin"), Tone16(1000, 1000.0));
    Session session;
    StartPlain(session);
    EXPECT_EQ(Gui_AddIQ(session, 0, {dir.file("tone.bin")}), 1);
    const RunOutcome run = ConvertAll(session);

    EXPECT_EQ(Status(session, 0), "Status: Done");
    EXPECT_EQ(session.jobs.items[kJobStatus].image, 0);
    EXPECT_EQ(session.jobs.items[kJobItem].image, 0);
    EXPECT_EQ(Result(session, 0, kJobConvertedSamples), "1000");
    EXPECT_EQ(Result(session, 0, kJobFileSize), "0.003933 MB");  // (121 + 3 + 4000) / 2^20
    EXPECT_EQ(Result(session, 0, kJobRunTime), "00:00:00.001");  // hh:mm:ss.ms, milliseconds in three digits
    EXPECT_NE(Result(session, 0, kJobMaxScaleFactor).find(" (auto set)"), std::string::npos);
    const ConversionEvent *finished = Finished(run, 0);
    ASSERT_NE(finished, nullptr);
    EXPECT_NEAR(*finished->peak, kTargetPeak, 1e-6);

    const std::string output = testsupport::ReadFile(dir.file("tone.bin.wv"));
    ASSERT_EQ(output.size(), 121u + 3 + 4000);
    EXPECT_EQ(output.substr(0, 36), "{TYPE: ZMW-WV,0}{COMMENT: abc}{CLOCK");
    EXPECT_NE(output.find("{SAMPLES: 0000001000}{WAVEFORM-0000004001:#"), std::string::npos);
    EXPECT_EQ(output.back(), '}');
    EXPECT_NEAR(PeakOfFile(output, 123), kTargetPeak, 1.0);
    // The user's scale factor is untouched by the run; the button is back.
    EXPECT_EQ(session.settings.scale, 1.0);
    EXPECT_EQ(session.views.convert.label, kConvertStart);
    EXPECT_FALSE(session.views.controlsLocked);
    EXPECT_EQ(Gui_GetConversionRunning(session.run), kRunIdle);
}

TEST(Runner, PeakLevelsDecideAcceptance)
{
    TempDir dir;
    testsupport::WriteFile(dir.file("low.bin"), Pairs16(std::vector<std::pair<int16_t, int16_t>>(2000, {0, 20000})));
    testsupport::WriteFile(dir.file("clip.bin"), Pairs16(std::vector<std::pair<int16_t, int16_t>>(300, {30000, 30000})));
    testsupport::WriteFile(dir.file("clip.bin.wv"), "an older file");
    Session session;
    StartPlain(session);
    Edit(session, "autoOptimization", "No");
    EXPECT_EQ(Gui_AddIQ(session, 0, {dir.file("low.bin"), dir.file("clip.bin")}), 2);
    ConvertAll(session);

    EXPECT_EQ(Status(session, 0), "Status: Scale Factor too low");
    EXPECT_EQ(session.jobs.items[kJobStatus].image, 1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("low.bin.wv")));
    EXPECT_EQ(Result(session, 0, kJobMaxScaleFactor), "1.556433");
    EXPECT_EQ(Status(session, 1), "Status: Clipping error");
    EXPECT_EQ(testsupport::ReadFile(dir.file("clip.bin.wv")), "an older file");  // a rejected job destroys nothing
    // No temporary file stays behind.
    for (const auto &entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_FALSE(Conversion_IsTemporaryOutputName(entry.path().filename().string())) << entry.path();
}

TEST(Runner, RefusedJobsNameTheirReasonAndTheRunGoesOn)
{
    TempDir dir;
    testsupport::WriteFile(dir.file("a.bin"), Tone16(1000, 500.0));
    testsupport::WriteFile(dir.file("b.bin"), Tone16(1000, 500.0));
    testsupport::WriteFile(dir.file("b.bin.wv"), "keep me");
    Session session;
    StartPlain(session);
    session.jobs.overwriteProtection = 1;
    EXPECT_EQ(Gui_AddIQ(session, 0, {dir.file("a.bin"), dir.file("b.bin"), dir.file("a.bin")}), 3);
    EXPECT_EQ(Gui_SetJobPath(session, 2 * kItemsPerJob + kJobOutput, dir.file("no/such/dir/out.wv")), 1);
    std::filesystem::remove(dir.file("a.bin"));  // disappears after adding
    ConvertAll(session);
    EXPECT_EQ(Status(session, 0), "Input file(s) read error");
    EXPECT_EQ(Status(session, 1), "Status: File already exists");
    EXPECT_EQ(testsupport::ReadFile(dir.file("b.bin.wv")), "keep me");
    EXPECT_EQ(Status(session, 2), "Input file(s) read error");

    testsupport::WriteFile(dir.file("a.bin"), Tone16(1000, 500.0));
    size_t logged = session.statusLog.rows.size();
    ConvertAll(session);
    EXPECT_EQ(Status(session, 0), "Status: Done");
    EXPECT_EQ(Status(session, 2), "Status: Output error");
    EXPECT_FALSE(std::filesystem::exists(dir.file("no")));
    // Every job ends with a line, the run with a summary; a failed creation says why.
    EXPECT_EQ(LogRows(session, logged),
              (std::vector<std::string>{"o Job 1: Done, a.bin.wv, 1000 samples, run time 00:00:00.001",
                                        "x Job 2: File already exists, b.bin.wv",
                                        "x Job 3: cannot create " + dir.file("no/such/dir/out.wv") +
                                            ": No such file or directory",
                                        "x Job 3: Output error, out.wv", "? 3 jobs: 1 done, 2 failed"}));
    // Below a regular file (root may write anywhere, but not there).
    EXPECT_EQ(Gui_SetJobPath(session, 2 * kItemsPerJob + kJobOutput, dir.file("b.bin.wv/out.wv")), 1);
    logged = session.statusLog.rows.size();
    ConvertAll(session);
    EXPECT_EQ(LogRow(session, logged + 2),
              "x Job 3: cannot create " + dir.file("b.bin.wv/out.wv") + ": Not a directory");

    session.jobs.overwriteProtection = 0;

    Edit(session, "headerSource", "Header - End Pattern");
    Edit(session, "headerValue", "NOWHERE");
    ConvertAll(session);
    EXPECT_EQ(Status(session, 0), "Config: Metadata error");
    Edit(session, "headerSource", "User");
    Edit(session, "headerValue", "0");
    Edit(session, "scaleFactor", "x");
    ConvertAll(session);
    EXPECT_EQ(Status(session, 0), "Config: IQ error");
    Edit(session, "scaleFactor", "1.0");
    Edit(session, "filterType", "Hanning Window");
    Edit(session, "taps", "5");
    ConvertAll(session);
    EXPECT_EQ(Status(session, 0), "Config: Signal Proc. error");
}

TEST(Runner, SilentInputKeepsTheScaleFactorForLaterJobs)
{
    TempDir dir;
    testsupport::WriteFile(dir.file("zero.bin"), std::string(4000, '\0'));
    testsupport::WriteFile(dir.file("tone.bin"), Pairs16(std::vector<std::pair<int16_t, int16_t>>(1000, {-1000, 0})));
    Session session;
    StartPlain(session);
    EXPECT_EQ(Gui_AddIQ(session, 0, {dir.file("zero.bin"), dir.file("tone.bin")}), 2);
    const RunOutcome run = ConvertAll(session);
    EXPECT_EQ(Status(session, 0), "Status: Scale Factor too low");
    EXPECT_FALSE(std::filesystem::exists(dir.file("zero.bin.wv")));
    EXPECT_EQ(Status(session, 1), "Status: Done");
    EXPECT_NEAR(*Finished(run, 1)->peak, kTargetPeak, 1e-6);
    EXPECT_EQ(Result(session, 1, kJobMaxScaleFactor), "31.128650 (auto set)");
}

TEST(Runner, AbortStopsTheRunningJobAndLeavesTheRestPending)
{
    TempDir dir;
    testsupport::WriteFile(dir.file("a.bin"), Tone16(1000, 1000.0));
    testsupport::WriteFile(dir.file("b.bin"), Tone16(300000, 1000.0));
    testsupport::WriteFile(dir.file("c.bin"), Tone16(1000, 1000.0));
    Session session;
    StartPlain(session);
    EXPECT_EQ(Gui_AddIQ(session, 0, {dir.file("a.bin"), dir.file("b.bin"), dir.file("c.bin")}), 3);
    RunState &state = session.run;
    ConvertAll(session, [&state](const ConversionEvent &event) {
        if (event.kind == ConversionEvent::Kind::JobActive && event.job == 1) {
            std::lock_guard lock(state.guiLock);
            state.conversionRunning = kRunAbortRequested;
        }
    });
    EXPECT_EQ(Status(session, 0), "Status: Done");
    EXPECT_EQ(Status(session, 1), "Status: Aborted");
    EXPECT_EQ(session.jobs.items[kItemsPerJob + kJobStatus].image, 1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("b.bin.wv")));
    EXPECT_EQ(Status(session, 2), "Status: Pending");
    EXPECT_EQ(session.jobs.items[2 * kItemsPerJob + kJobStatus].image, -1);
    EXPECT_EQ(session.views.convert.label, kConvertStart);
    EXPECT_EQ(LogRow(session, session.statusLog.rows.size() - 1), "? 3 jobs: 1 done, 1 failed, 1 not run");
}

TEST(Runner, ResultTextsOfAMillionPairs)
{
    TempDir dir;
    testsupport::WriteFile(dir.file("a.bin"), Pairs16(std::vector<std::pair<int16_t, int16_t>>(1000000, {0, 25000})));
    testsupport::WriteFile(dir.file("b.bin"), Pairs16(std::vector<std::pair<int16_t, int16_t>>(500, {0, 25000})));
    Session session;
    StartPlain(session);
    Edit(session, "autoOptimization", "No");
    EXPECT_EQ(Gui_AddIQ(session, 0, {dir.file("a.bin"), dir.file("b.bin")}), 2);
    ConvertAll(session);
    EXPECT_EQ(Status(session, 0), "Status: Done");
    EXPECT_EQ(Result(session, 0, kJobRunTime), "00:00:01.000");
    EXPECT_EQ(Result(session, 0, kJobFileSize), "3.814816 MB");  // (121 + 3 + 4,000,000) / 2^20
    EXPECT_EQ(Result(session, 0, kJobMaxScaleFactor), "1.245146");
    // The worker analysed job 2 last; the session shows job 1.
    EXPECT_EQ(session.files.inputSize, 4000000);
}

// The run reads the rate text as the tree's check does: an exponent and a multiplier letter
// give the same clock.
TEST(Runner, ARateWithAnExponentOrAMultiplierLetterReachesTheClock)
{
    TempDir dir;
    testsupport::WriteFile(dir.file("tone.bin"), Tone16(1000, 1000.0));
    Session session;
    StartPlain(session);
    EXPECT_EQ(Gui_AddIQ(session, 0, {dir.file("tone.bin")}), 1);
    // A letter gives the rate in Hz, whatever the unit; a plain number is in the unit.
    for (auto [rate, unit] : {std::pair{"2.4e6", "Hz"}, {"2.4M", "Hz"}, {"2.4M", "MHz"}, {"2400k", "GHz"}}) {
        Edit(session, "samplerateUnit", unit);
        Edit(session, "samplerateValue", rate);
        EXPECT_EQ(session.tree.items[kItemSamplerateValue].message, "") << rate;
        ConvertAll(session);
        EXPECT_EQ(Status(session, 0), "Status: Done") << rate;
        EXPECT_NE(testsupport::ReadFile(dir.file("tone.bin.wv")).find("{CLOCK: 02400000.000}"), std::string::npos)
            << rate;
        std::remove(dir.file("tone.bin.wv").c_str());
    }
}

TEST(Runner, EmptyJobListStartsNothing)
{
    Session session;
    StartPlain(session);
    EXPECT_EQ(onConversion(session, [](const ConversionEvent &) {}), 0);
    ASSERT_EQ(session.statusLog.rows.size(), 1u);
    EXPECT_EQ(session.statusLog.rows[0].text, "No conversion jobs defined");
    EXPECT_FALSE(session.views.controlsLocked);
}

TEST(Runner, FilterWithRateChangeGivesTheExpectedPairCount)
{
    TempDir dir;
    testsupport::WriteFile(dir.file("long.bin"), Tone16(250001, 8000.0));
    testsupport::WriteFile(dir.file("short.bin"), Tone16(1500, 8000.0));
    Session session;
    StartPlain(session);
    UseHalfRateLowpass(session, "1000");
    EXPECT_EQ(Gui_AddIQ(session, 0, {dir.file("long.bin"), dir.file("short.bin")}), 2);
    const RunOutcome run = ConvertAll(session);
    EXPECT_EQ(Status(session, 0), "Status: Done");
    EXPECT_EQ(Result(session, 0, kJobConvertedSamples), "125000");
    EXPECT_EQ(Result(session, 0, kJobRunTime), "00:00:00.250");  // 125000 pairs at 0.5 MHz
    EXPECT_EQ(Conversion_OutputPairs(250001, true, 5), 125000);   // the count the interval's limit assumes
    EXPECT_EQ(Status(session, 1), "Status: Done");  // an interval under 2000 sets is filtered too
    EXPECT_EQ(Result(session, 1, kJobConvertedSamples), "750");
    const std::string output = testsupport::ReadFile(dir.file("long.bin.wv"));
    EXPECT_NE(output.find("{CLOCK: 00500000.000}"), std::string::npos);
}

namespace {

// The plain computation of a filtered conversion, written without the framing, the block
// reader or the threads: the whole interval filtered as one period of a repeating signal (output
// t centred on set t x 10 / L + 1000), measured, scaled to the target peak, filtered again and
// encoded as floor(x + 0.5) held to 16 bits.
std::vector<int16_t> PlainFilteredConversion(const std::vector<std::pair<int16_t, int16_t>> &sets,
                                             const ConversionSettings &s)
{
    FilterBank bank;
    EXPECT_EQ(SignalProcessing_InitConversionFilter(bank, s.cutoffFraction, s.tapCount, s.windowCode,
                                                    s.outputRateTenths), 1);
    const int64_t total = static_cast<int64_t>(sets.size());
    const int phases = s.outputRateTenths;
    const int64_t count = total * phases / 10;
    const auto filtered = [&](double scale, int64_t t) {
        const FilterPhase &phase = bank.phases[t % phases];
        double sumI = 0.0, sumQ = 0.0;
        for (std::size_t e = 0; e < phase.coefficients.size(); ++e) {
            int64_t position = (t * 10 / phases + phase.offsets[e] + kFilterLead) % total;
            if (position < 0) position += total;
            sumI += phase.coefficients[e] * (sets[position].first * scale + s.iOffset);
            sumQ += phase.coefficients[e] * (sets[position].second * scale + s.qOffset);
        }
        return std::pair<double, double>{sumI, sumQ};
    };
    double maximum = 0.0;
    for (int64_t t = 0; t < count; ++t) {
        const auto [i, q] = filtered(s.scale, t);
        maximum = std::max(maximum, i * i + q * q);
    }
    const double scale = s.scale * kTargetPeak / std::sqrt(maximum);
    std::vector<int16_t> pairs;
    for (int64_t t = 0; t < count; ++t) {
        const auto [i, q] = filtered(scale, t);
        for (const double value : {i, q})
            pairs.push_back(static_cast<int16_t>(std::clamp(std::floor(value + 0.5), -32768.0, 32767.0)));
    }
    return pairs;
}

}  // namespace

// Two and a half of the filter's blocks: the blocks, the two threads and the hand-overs give the
// plain computation's pairs.
TEST(Runner, FilteredConversionGivesThePlainComputationsPairs)
{
    TempDir dir;
    std::mt19937 generator(12);
    std::uniform_int_distribution<int> noise(-3000, 3000);
    std::vector<std::pair<int16_t, int16_t>> sets(2 * kFilterBlockSets + kFilterBlockSets / 2);
    for (std::size_t k = 0; k < sets.size(); ++k) {
        const double phase = 2 * M_PI * static_cast<double>(k) / 37.0;
        sets[k] = {static_cast<int16_t>(std::lround(9000.0 * std::cos(phase)) + noise(generator)),
                   static_cast<int16_t>(std::lround(9000.0 * std::sin(phase)) + noise(generator))};
    }
    testsupport::WriteFile(dir.file("in.bin"), Pairs16(sets));
    Session session;
    StartPlain(session);
    UseHalfRateLowpass(session, "256");
    EXPECT_EQ(Gui_AddIQ(session, 0, {dir.file("in.bin")}), 1);
    const std::vector<int16_t> expected = PlainFilteredConversion(sets, session.settings);
    ConvertAll(session);
    ASSERT_EQ(Status(session, 0), "Status: Done");

    const std::string output = testsupport::ReadFile(dir.file("in.bin.wv"));
    const std::size_t data = output.find(":#", output.find("{WAVEFORM-")) + 2;
    ASSERT_EQ(output.size(), data + 2 * expected.size() + 1);
    std::vector<int16_t> pairs(expected.size());
    std::memcpy(pairs.data(), output.data() + data, 2 * pairs.size());
    EXPECT_EQ(pairs, expected);
}

// The longest interval at every output rate: one set more would give one pair too many.
TEST(Runner, LongestIntervalFillsTheOutputFileExactly)
{
    EXPECT_EQ(Conversion_MaxIntervalSets(false, 5), kMaxOutputPairs);
    for (int tenths = 1; tenths <= 10; ++tenths) {
        const int64_t longest = Conversion_MaxIntervalSets(true, tenths);
        EXPECT_EQ(Conversion_OutputPairs(longest, true, tenths), kMaxOutputPairs) << tenths;
        EXPECT_EQ(Conversion_OutputPairs(longest + 1, true, tenths), int64_t{kMaxOutputPairs} + 1) << tenths;
    }
}

// A file of more than 4 GiB (sparse): the automatic interval stops where the output file is full,
// also when the filter halves the rate, and the run says so.
TEST(Runner, AutomaticIntervalIsCutToWhatTheOutputFileHolds)
{
    TempDir dir;
    testsupport::MakeSparseFile(dir.file("huge.bin"), (int64_t{1} << 32) + 4);  // 2^30 + 1 sets
    Session session;
    StartPlain(session);
    EXPECT_EQ(Gui_AddIQ(session, 0, {dir.file("huge.bin")}), 1);
    EXPECT_EQ(session.settings.lastSet, kMaxOutputPairs);
    EXPECT_EQ(session.views.iq.interval, kMaxOutputPairs);
    // A value beyond the cut is refused like one beyond the file's end.
    Edit(session, "lastSampleType", "User");
    Edit(session, "lastSampleValue", std::to_string(int64_t{kMaxOutputPairs} + 1));
    EXPECT_TRUE(Gui_BranchIsFaulty(session.tree, kItemIQ));
    Edit(session, "lastSampleType", "Auto Max Length");

    // Stopped after its first block: the cut is logged before the job writes.
    RunState &state = session.run;
    const auto abortAtOnce = [&state](const ConversionEvent &event) {
        if (event.kind != ConversionEvent::Kind::JobActive) return;
        std::lock_guard lock(state.guiLock);
        state.conversionRunning = kRunAbortRequested;
    };
    size_t logged = session.statusLog.rows.size();
    ConvertAll(session, abortAtOnce);
    EXPECT_EQ(Status(session, 0), "Status: Aborted");
    EXPECT_EQ(LogRow(session, logged),
              "? Job 1: interval cut to 536870911 sample pairs, the most a waveform file holds");

    // At half the rate twice the sets fit, less one: 1073741823 sets give 536870911 pairs.
    UseHalfRateLowpass(session, "256");
    EXPECT_EQ(session.settings.lastSet, 2 * int64_t{kMaxOutputPairs} + 1);
    logged = session.statusLog.rows.size();
    ConvertAll(session, abortAtOnce);
    EXPECT_EQ(LogRow(session, logged), "? Job 1: interval cut to 1073741823 sample pairs (536870911 after "
                                                "the rate change), the most a waveform file holds");
    EXPECT_FALSE(std::filesystem::exists(dir.file("huge.bin.wv")));
}

TEST(Runner, ReadsBeyondFourGigabytesWithBoundedMemory)
{
    TempDir dir;
    const int64_t size = int64_t{6} << 30;
    const int64_t firstSet = int64_t{5} << 28;  // byte 5 GiB
    const std::string data = Tone16(300000, 1000.0);
    testsupport::MakeSparseFile(dir.file("big.bin"), size);
    {
        std::FILE *file = std::fopen(dir.file("big.bin").c_str(), "r+b");
        ASSERT_NE(file, nullptr);
        std::fseek(file, (firstSet - 1) * 4, SEEK_SET);
        std::fwrite(data.data(), 1, data.size(), file);
        std::fclose(file);
    }
    Session session;
    StartPlain(session);
    EXPECT_EQ(Gui_AddIQ(session, 0, {dir.file("big.bin")}), 1);
    Edit(session, "firstSample", std::to_string(firstSet));
    Edit(session, "lastSampleType", "User");
    Edit(session, "lastSampleValue", std::to_string(firstSet + 299999));
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    ConvertAll(session);
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_EQ(Status(session, 0), "Status: Done");
    EXPECT_EQ(Result(session, 0, kJobConvertedSamples), "300000");
    if (!testsupport::kSanitized) {
        EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024);  // kilobytes
    }
}
