#include "conversion/worker.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <system_error>
#include <vector>

#include "configuration/choices.h"
#include "conversion/blockio.h"
#include "conversion/directpairs.h"
#include "conversion/jobs.h"
#include "conversion/levels.h"
#include "conversion/outputlimit.h"
#include "conversion/wvwriter.h"
#include "parser/analysis.h"
#include "parser/formats.h"
#include "parser/setreader.h"
#include "signalprocessing/blockframing.h"

namespace {

using Clock = std::chrono::steady_clock;

// Sets carried through decoding, measuring and encoding together: their values stay in the L1
// cache from one step to the next.
constexpr int kChunkSets = 1024;

ConversionEvent MakeEvent(ConversionEvent::Kind kind)
{
    ConversionEvent event;
    event.kind = kind;
    return event;
}

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

std::string Format(const char *format, auto... values)
{
    char text[128];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

bool FileExists(const std::string &path)
{
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

// The outcome of one pass over a job's interval.
struct PassResult {
    int pairs = 0;              // n: output pairs measured (and written)
    double peak = 0.0;
    double rms = 0.0;
    double seconds = 0.0;
    int64_t bytesRead = 0;
};

// A binary block as the filter's source: its sets are decoded from the raw bytes as the filter
// reads them, so that the block never passes through memory as a whole in decoded form.
struct RawSets {
    const ConversionSettings *settings;
    const DirectPairs *pairs;  // plain pairs: decoded by their own loop; else null
    RawBlock raw;
};

void DecodeRawSets(const void *context, int64_t first, int n, double *i, double *q)
{
    const RawSets &sets = *static_cast<const RawSets *>(context);
    const int64_t bytesPerSet = sets.settings->bytesPerSet;
    const int done = sets.pairs != nullptr
                         ? Conversion_DecodeDirectPairs(*sets.pairs, sets.raw.bytesI + first * bytesPerSet, n, i, q)
                         : 0;
    if (done == n) return;
    const int64_t skipped = (first + done) * bytesPerSet;
    (void)Parser_DecodeSets(*sets.settings, sets.raw.bytesI + skipped, sets.raw.bytesQ + skipped, n - done, i + done,
                            q + done);
}

class Worker {
public:
    Worker(RunState &run, ConversionObserver observer, WorkerInput input)
        : run_(run), observer_(std::move(observer))
    {
        session_.record = input.record;
        session_.tree = std::move(input.tree);
        session_.settings = std::move(input.settings);
        session_.jobs = std::move(input.jobs);
        session_.views.shown = false;  // the worker shows nothing
    }

    void Run();

private:
    void Emit(ConversionEvent event) { observer_(event); }
    void EmitStatus(int job, const std::string &status, double progress);
    bool AbortRequested() { return Gui_GetConversionRunning(run_) == kRunAbortRequested; }
    void ConvertJob(int job);
    std::optional<JobOutcome> CheckJob(int job);
    JobOutcome AcceptOutput(ZmxFile &file);
    void RunPass(int job, int pass, ZmxFile &file, PassResult &result, std::optional<JobOutcome> &failure);
    void ShowProgress(int job, int pass, int processed, int total, int64_t posI, Clock::time_point passStart,
                      Clock::time_point &lastDisplay);
    void ShowResults(int job, const PassResult &result);
    void LogIntervalCut(int job);
    void LogConfigurationFaults(int job, int branch);
    using MeasureFunction = void (*)(PowerMeter &meter, const double *i, const double *q, int count);
    static void MeasureChunk(MeasureFunction measure, PowerMeter &meter, const double *i, const double *q, int n,
                             int16_t *encoded);
    static void MeasureAndEncode(MeasureFunction measure, PowerMeter &meter, const double *i, const double *q,
                                 int count, int16_t *encoded);
    void ProcessUnfiltered(const ProcessingChain &chain, MeasureFunction measure, PowerMeter &meter,
                           const RawBlock *raw, const DirectPairs *direct, const BlockSlot &slot, int setsBefore,
                           int count, int16_t *encoded);

    RunState &run_;
    ConversionObserver observer_;
    Session session_;
    BlockFraming framing_;
    FilterBank bank_;
    SetReaderScratch scratch_;
    std::vector<double> chunkI_ = std::vector<double>(kChunkSets);  // one decoded chunk
    std::vector<double> chunkQ_ = std::vector<double>(kChunkSets);
    bool filterOn_ = false;
    bool aborted_ = false;
    double measuringSeconds_ = 0.0;
};

void Worker::EmitStatus(int job, const std::string &status, double progress)
{
    ConversionEvent event = MakeEvent(ConversionEvent::Kind::Progress);
    event.job = job;
    event.status = status;
    event.progress = progress;
    Emit(event);
}

void Worker::Run()
{
    const int jobCount = Gui_JobCount(session_.jobs);
    const ConversionSettings &s = session_.settings;
    filterOn_ = s.tapCount > 1;
    bool ready = !filterOn_ || SignalProcessing_InitConversionFilter(bank_, s.cutoffFraction, s.tapCount,
                                                                     s.windowCode, s.outputRateTenths);
    // The framing holds what the filter reads and what text parses into; binary input without
    // the filter goes from the read buffers to the output and leaves it unallocated.
    if (ready && (filterOn_ || Parser_IsTextFormat(s.sampleFormat)))
        ready = SignalProcessing_InitBlockFraming(framing_, filterOn_ ? kFilterBlockSets : kBlockSets, !run_.coresShared);
    Emit(MakeEvent(ConversionEvent::Kind::RunStarted));
    for (int job = 0; job < jobCount && !aborted_; ++job) {
        if (ready) {
            ConvertJob(job);
            continue;
        }
        // Settings the checks let through always build; should they not, no job runs with them.
        ConversionEvent finished = MakeEvent(ConversionEvent::Kind::JobFinished);
        finished.job = job;
        finished.outcome = JobOutcome::SignalProcessingError;
        finished.status = Conversion_OutcomeText(finished.outcome);
        finished.image = 1;
        Emit(finished);
    }
    Parser_Terminate(session_);
}

// The reason a job cannot run, or nothing.
std::optional<JobOutcome> Worker::CheckJob(int job)
{
    const std::string &output = Gui_JobOutput(session_.jobs, job);
    if (session_.jobs.overwriteProtection && FileExists(output)) return JobOutcome::FileExists;

    Parser_Job1Changed(session_, Gui_JobInput(session_.jobs, job).c_str(), Gui_JobQ(session_.jobs, job).c_str());
    if (!session_.metadata.containerMismatch.empty()) return JobOutcome::FormatMismatch;
    for (auto [branch, outcome] : {std::pair{kItemMetadata, JobOutcome::MetadataError}, {kItemIQ, JobOutcome::IqError},
                                   {kItemSignalProcessing, JobOutcome::SignalProcessingError}}) {
        if (!Gui_BranchIsFaulty(session_.tree, branch)) continue;
        LogConfigurationFaults(job, branch);
        return outcome;
    }
    const InputFiles &files = session_.files;
    if (!files.inputHandleI.valid() || (session_.settings.separateFiles && !files.inputHandleQ.valid()))
        return JobOutcome::InputError;
    return std::nullopt;
}

// Logs the items below `branch` that refuse the job, each by its path in the tree and with its
// reason ("Job 2: Samplerate > Value: Value missing"): the tree shows the faults of job 1 only,
// and a later job's file may lack what job 1's gives.
void Worker::LogConfigurationFaults(int job, int branch)
{
    const ConfigurationTree &tree = session_.tree;
    for (int item = 0; item < kTreeItemCount; ++item) {
        if (tree.items[item].faultImage < 0) continue;
        std::string path = tree.items[item].label;
        int above = tree.items[item].parent;
        for (; above >= 0 && above != branch; above = tree.items[above].parent)
            path = tree.items[above].label + " > " + path;
        if (above != branch) continue;
        ConversionEvent log = MakeEvent(ConversionEvent::Kind::LogMessage);
        log.text = "Job " + std::to_string(job + 1) + ": " + path + ": " + tree.items[item].message;
        Emit(log);
    }
}

// Logs, for the job in hand, that its automatic interval stops short of the input's end and of
// the maximum length because one output file holds no more.
void Worker::LogIntervalCut(int job)
{
    const ConversionSettings &s = session_.settings;
    if (Parser_IsTextFormat(s.sampleFormat) ||
        std::string_view(session_.record.lastSampleType) != text::kAutoMaxLength)
        return;
    const int64_t interval = s.lastSet - s.firstSet + 1;
    if (interval >= std::min(s.totalSets - s.firstSet + 1, int64_t{s.maxLength})) return;
    const int64_t pairs = Conversion_OutputPairs(interval, filterOn_, s.outputRateTenths);
    ConversionEvent log = MakeEvent(ConversionEvent::Kind::LogMessage);
    log.icon = StatusIcon::Question;
    log.text = "Job " + std::to_string(job + 1) + ": interval cut to " + std::to_string(interval) + " sample pairs";
    if (pairs != interval) log.text += " (" + std::to_string(pairs) + " after the rate change)";
    log.text += ", the most a waveform file holds";
    Emit(log);
}

void Worker::ConvertJob(int job)
{
    ConversionEvent active = MakeEvent(ConversionEvent::Kind::JobActive);
    active.job = job;
    Emit(active);

    const Clock::time_point jobStart = Clock::now();
    ConversionEvent finished = MakeEvent(ConversionEvent::Kind::JobFinished);
    finished.job = job;
    std::optional<JobOutcome> outcome = CheckJob(job);
    const ConversionSettings &s = session_.settings;
    // A binary interval never gives more pairs than one output file holds (the analysis cut it);
    // text is held to that limit block by block.
    if (!outcome) LogIntervalCut(job);

    ZmxFile file;
    bool created = false;
    if (!outcome) {
        const std::string &output = Gui_JobOutput(session_.jobs, job);
        file = Conversion_CreateZmxFile(output.c_str(), s.comment.c_str(), s.samplerate * s.outputRateTenths / 10);
        if (file.handle < 0) {
            outcome = JobOutcome::OutputError;
            ConversionEvent log = MakeEvent(ConversionEvent::Kind::LogMessage);
            log.text = "Job " + std::to_string(job + 1) + ": cannot create " + output + ": " +
                       std::generic_category().message(file.error);
            Emit(log);
        }
        created = file.handle >= 0;
    }

    int64_t bytesRead = 0;
    if (!outcome) {
        const bool automatic = std::string_view(session_.record.autoOptimization) == text::kYes;
        for (int pass = automatic ? 0 : 1; pass < 2 && !outcome && !aborted_; ++pass) {
            PassResult result;
            RunPass(job, pass, file, result, outcome);
            bytesRead += result.bytesRead;
            // A pass that read a truncated input has converted only part of it.
            if (!outcome && Parser_InputFilesShrank(session_.files)) {
                outcome = JobOutcome::InputError;
                ConversionEvent log = MakeEvent(ConversionEvent::Kind::LogMessage);
                log.text = Format("Job %d: the input file became shorter while it was converted.", job + 1);
                Emit(log);
            }
            finished.peak = result.peak;
            finished.rms = result.rms;
            if (outcome) break;
            if (pass == 0) {
                // A silent input has no scale that reaches the target; keep the scale factor.
                if (result.peak == 0.0) {
                    outcome = JobOutcome::ScaleFactorTooLow;
                    break;
                }
                session_.settings.scale = session_.settings.scale * kTargetPeak / result.peak;
                measuringSeconds_ = result.seconds;
                finished.measuringSeconds = result.seconds;
                continue;
            }
            Conversion_FinishZmxFile(file, result.pairs, result.peak, result.rms);
            ShowResults(job, result);
            if (result.peak > kFullScale)
                outcome = JobOutcome::ClippingError;
            else if (result.peak < kMinimumPeak)
                outcome = JobOutcome::ScaleFactorTooLow;
            else
                outcome = AcceptOutput(file);
        }
    }
    // A file that was created and then failed says why, as its creation does.
    if (outcome == JobOutcome::OutputError && created && file.error != 0) {
        ConversionEvent log = MakeEvent(ConversionEvent::Kind::LogMessage);
        log.text = "Job " + std::to_string(job + 1) + ": cannot write " + Gui_JobOutput(session_.jobs, job) + ": " +
                   std::generic_category().message(file.error);
        Emit(log);
    }
    if (file.handle >= 0 || file.lockHandle >= 0 || !file.temporaryPath.empty()) Conversion_DiscardZmxFile(file);

    const double seconds = SecondsSince(jobStart);
    finished.mbPerSecond = seconds > 0.0 ? bytesRead / 1e6 / seconds : 0.0;
    // Every path above ends with an outcome; a job that is still without one failed its output.
    finished.outcome = outcome.value_or(JobOutcome::OutputError);
    finished.status = Conversion_OutcomeText(finished.outcome);
    if (finished.outcome == JobOutcome::FormatMismatch)
        finished.status += " (" + session_.metadata.containerMismatch + ")";
    finished.image = finished.outcome == JobOutcome::Done ? 0 : 1;
    Emit(finished);
}

// The finished file takes its target's name. With overwrite protection the rename itself checks
// that no file of that name exists: another process may have written one while this job ran.
JobOutcome Worker::AcceptOutput(ZmxFile &file)
{
    const int accepted = Conversion_AcceptZmxFile(file, !session_.jobs.overwriteProtection);
    if (accepted == kAcceptTargetExists) return JobOutcome::FileExists;
    return accepted == 1 ? JobOutcome::Done : JobOutcome::OutputError;
}

void Worker::RunPass(int job, int pass, ZmxFile &file, PassResult &result, std::optional<JobOutcome> &failure)
{
    ConversionSettings &s = session_.settings;
    const int total = static_cast<int>(s.lastSet - s.firstSet + 1);
    int processed = 0;
    int pairs = 0;
    PowerMeter meter;
    const Clock::time_point passStart = Clock::now();
    Clock::time_point lastDisplay = passStart;
    int64_t posI = Settings_KnownLength(s.headerLength) + int64_t{s.bytesPerSet} * (s.firstSet - 1);
    int64_t posQ = posI;
    const int64_t startPos = posI;
    const ProcessingChain chain{s.mirrorOn, s.shiftFraction, filterOn_ && !s.textMode ? &bank_ : nullptr,
                                s.outputRateTenths};
    SignalProcessing_ResetBlockFraming(framing_);

    // Input is read ahead on the second core: binary input in blocks of sets, the text of a
    // combined file as it is (it is parsed on this thread).
    const bool binary = !Parser_IsTextFormat(s.sampleFormat);
    std::optional<ReadAhead> reader;
    // With the filter both cores compute; reading and writing take the gaps.
    const bool giveWay = chain.filter != nullptr && framing_.helper != nullptr;
    if (binary) reader.emplace(session_.files, s, posI, total, framing_.blockSets, giveWay);
    std::optional<TextReadAhead> textReader;
    if (!binary && !s.separateFiles) {
        const int64_t textEnd = session_.files.inputSize - Settings_KnownLength(s.trailerLength);
        textReader.emplace(session_.files, posI, textEnd, scratch_);
    }
    std::optional<WriteBehind> writer;
    if (pass == 1) writer.emplace(file, giveWay);
    // The measuring pass of binary input only needs its peak: its sum of powers reaches a report
    // only when the job ends in it (a silent input, whose sum is 0 or NaN in any order, or an
    // abort), so it may be added in lanes. Text can end its measuring pass at the pair limit.
    const auto measure = pass == 0 && binary ? Conversion_MeasureInLanes : Conversion_MeasureInOrder;
    // The scale of the writing pass is known only now, after the measuring pass.
    const std::optional<DirectPairs> direct =
        binary && chain.filter == nullptr ? Conversion_DirectPairsFor(s) : std::nullopt;
    const std::optional<DirectPairs> decoding =
        binary && chain.filter != nullptr ? Conversion_DecodingPairsFor(s) : std::nullopt;

    while (processed < total) {
        const BlockSlot slot = SignalProcessing_GetBlockSlot(framing_);
        RawBlock raw;
        int count = 0;
        if (binary) {
            raw = reader->Next();
            count = raw.sets;
            posI += int64_t{count} * s.bytesPerSet;
            posQ = posI;
        } else {
            count = Parser_GetSetsFromFile(session_.files, s, scratch_, &posI, &posQ, slot.capacity, slot.i, slot.q);
        }
        if (count <= 0) break;
        if (count > total - processed) count = total - processed;

        int outCount = count;
        if (chain.filter != nullptr) {
            RawSets rawSets{&s, decoding ? &*decoding : nullptr, raw};
            const SetSource source{DecodeRawSets, &rawSets};
            if (!SignalProcessing_ProcessBlock(framing_, chain, count, processed, total, &outCount,
                                               binary ? &source : nullptr)) {
                failure = JobOutcome::OutputError;  // a block the framing does not take
                break;
            }
        }
        if (int64_t{pairs} + outCount > kMaxOutputPairs) {
            failure = JobOutcome::OutputError;
            ConversionEvent log = MakeEvent(ConversionEvent::Kind::LogMessage);
            log.text = Format("Job %d: the output would hold more than %d sample pairs.", job + 1, kMaxOutputPairs);
            Emit(log);
            break;
        }
        int16_t *encoded = writer ? writer->Buffer(outCount) : nullptr;
        if (chain.filter != nullptr)
            MeasureAndEncode(measure, meter, framing_.outputI.data(), framing_.outputQ.data(), outCount, encoded);
        else
            ProcessUnfiltered(chain, measure, meter, binary ? &raw : nullptr, direct ? &*direct : nullptr, slot,
                              processed, count, encoded);
        if (writer) {
            writer->Submit(outCount);
            if (writer->Failed()) {
                failure = JobOutcome::OutputError;
                break;
            }
        }
        processed += count;
        pairs += outCount;
        if (AbortRequested()) {
            aborted_ = true;
            failure = JobOutcome::Aborted;
            break;
        }
        ShowProgress(job, pass, processed, total, posI, passStart, lastDisplay);
    }
    if (writer && !writer->Finish() && !failure) failure = JobOutcome::OutputError;
    writer.reset();  // the file is the caller's again

    result.pairs = pairs;
    result.rms = std::sqrt(meter.sum / pairs);
    result.peak = std::sqrt(meter.maximum);
    result.seconds = SecondsSince(passStart);
    result.bytesRead = posI - startPos;
}

// Measures n pairs; in the writing pass (encoded not null) also encodes them there.
void Worker::MeasureChunk(MeasureFunction measure, PowerMeter &meter, const double *i, const double *q, int n,
                          int16_t *encoded)
{
    if (encoded != nullptr)
        Conversion_MeasureAndEncodeInOrder(meter, i, q, n, encoded);
    else
        measure(meter, i, q, n);
}

void Worker::MeasureAndEncode(MeasureFunction measure, PowerMeter &meter, const double *i, const double *q,
                              int count, int16_t *encoded)
{
    for (int first = 0; first < count; first += kChunkSets) {
        const int n = std::min(kChunkSets, count - first);
        MeasureChunk(measure, meter, i + first, q + first, n, encoded == nullptr ? nullptr : encoded + 2 * first);
    }
}

// Without the filter every set gives one output pair: each chunk is decoded (binary input),
// mirrored and shifted, measured and encoded while it is in the L1 cache. Plain pairs go
// through all of it in one loop (`direct`), and only the last few sets take the chunked path.
void Worker::ProcessUnfiltered(const ProcessingChain &chain, MeasureFunction measure, PowerMeter &meter,
                               const RawBlock *raw, const DirectPairs *direct, const BlockSlot &slot,
                               int setsBefore, int count, int16_t *encoded)
{
    const ConversionSettings &s = session_.settings;
    int done = 0;
    if (raw != nullptr && direct != nullptr) {
        done = encoded != nullptr ? Conversion_MeasureAndEncodeDirectPairs(*direct, raw->bytesI, count, meter, encoded)
                                  : Conversion_MeasureDirectPairs(*direct, raw->bytesI, count, meter);
    }
    for (int first = done; first < count; first += kChunkSets) {
        const int n = std::min(kChunkSets, count - first);
        // Binary sets are decoded into the chunk buffers; text was parsed into the block slot.
        double *i = raw != nullptr ? chunkI_.data() : slot.i + first;
        double *q = raw != nullptr ? chunkQ_.data() : slot.q + first;
        if (raw != nullptr) {
            const int64_t skipped = int64_t{first} * s.bytesPerSet;
            (void)Parser_DecodeSets(s, raw->bytesI + skipped, raw->bytesQ + skipped, n, i, q);
        }
        SignalProcessing_MirrorAndShift(chain, i, q, n, setsBefore + first);
        MeasureChunk(measure, meter, i, q, n, encoded == nullptr ? nullptr : encoded + 2 * first);
    }
}

void Worker::ShowProgress(int job, int pass, int processed, int total, int64_t posI, Clock::time_point passStart,
                          Clock::time_point &lastDisplay)
{
    const ConversionSettings &s = session_.settings;
    double elapsed = SecondsSince(passStart);
    double percent;
    double rate;
    if (Parser_IsTextFormat(s.sampleFormat)) {
        const int64_t header = Settings_KnownLength(s.headerLength);
        const int64_t data = session_.files.inputSize - header - Settings_KnownLength(s.trailerLength);
        percent = 100.0 * static_cast<double>(posI - header) / static_cast<double>(data);
        rate = static_cast<double>(posI - header) / 1e6 / elapsed;
    } else {
        percent = 100.0 * processed / total;
        rate = static_cast<double>(processed) * s.bytesPerSet / 1e6 / elapsed;
    }
    if (std::string_view(session_.record.autoOptimization) == text::kYes) {
        percent = percent / 2 + 50.0 * pass;
        if (pass == 1) elapsed += measuringSeconds_;
    }
    const double remaining = elapsed * (100.0 / percent - 1.0);
    if (std::chrono::duration<double>(Clock::now() - lastDisplay).count() <= kProgressInterval) return;
    lastDisplay = Clock::now();
    EmitStatus(job, Format("%.1f %%, %.1f MB/s, %.f s", percent, rate, remaining), percent);
}

void Worker::ShowResults(int job, const PassResult &result)
{
    const ConversionSettings &s = session_.settings;
    ConversionEvent event = MakeEvent(ConversionEvent::Kind::Results);
    event.job = job;
    const int n = result.pairs;
    event.convertedSamples = Format("%d", n);
    const double fileBytes = 121.0 + static_cast<double>(s.comment.size()) + 4.0 * n;
    event.fileSize = Format("%.6f MB", fileBytes / 1048576.0);
    const double outputRateMHz = s.samplerate * s.outputRateTenths / 10;
    const int64_t t = static_cast<int64_t>(n / (1000.0 * outputRateMHz));
    event.runTime = Format("%02d:%02d:%02d.%03d", static_cast<int>(t / 3600000), static_cast<int>(t % 3600000 / 60000),
                           static_cast<int>(t % 60000 / 1000), static_cast<int>(t % 1000));
    const bool automatic = std::string_view(session_.record.autoOptimization) == text::kYes;
    event.maxScaleFactor = Format("%f%s", s.scale * kTargetPeak / result.peak, automatic ? " (auto set)" : "");
    Emit(event);
}

}  // namespace

const char *Conversion_OutcomeText(JobOutcome outcome)
{
    switch (outcome) {
    case JobOutcome::Done: return "Status: Done";
    case JobOutcome::FileExists: return "Status: File already exists";
    case JobOutcome::FormatMismatch: return "Status: Format mismatch";
    case JobOutcome::MetadataError: return "Config: Metadata error";
    case JobOutcome::IqError: return "Config: IQ error";
    case JobOutcome::SignalProcessingError: return "Config: Signal Proc. error";
    case JobOutcome::InputError: return "Input file(s) read error";
    case JobOutcome::OutputError: return "Status: Output error";
    case JobOutcome::Aborted: return "Status: Aborted";
    case JobOutcome::ClippingError: return "Status: Clipping error";
    case JobOutcome::ScaleFactorTooLow: return "Status: Scale Factor too low";
    }
    return "";
}

void Conversion_RunWorker(RunState &run, const ConversionObserver &observer, WorkerInput input)
{
    Worker worker(run, observer, std::move(input));
    worker.Run();
}
