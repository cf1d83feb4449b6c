// The measuring pass alone on a page-cached 1 GiB file of 16-bit pairs, against `cat FILE >
// /dev/null` in the same run: the fraction of the read limit it reaches ("of_cat"). Each
// iteration converts the file once with automatic optimisation and times its measuring pass; the
// output goes to /dev/shm where there is one (writing is not what is measured).
// The file is made once in $SCRATCH (or the system's temporary directory) and kept.

#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "app/configflows.h"
#include "app/startup.h"
#include "app/treerules.h"
#include "configuration/record.h"
#include "conversion/jobs.h"
#include "conversion/runner.h"

namespace {

constexpr int64_t kFileBytes = int64_t{1} << 30;

std::filesystem::path ScratchDirectory()
{
    const char *scratch = std::getenv("SCRATCH");
    return scratch != nullptr ? std::filesystem::path(scratch) : std::filesystem::temp_directory_path();
}

// A tone with noise, written once; read whole afterwards so that it is in the page cache.
std::string InputFile()
{
    const std::filesystem::path path = ScratchDirectory() / "quelvor-bench-measuring-1g-int16.bin";
    if (!std::filesystem::exists(path) || std::filesystem::file_size(path) != static_cast<uintmax_t>(kFileBytes)) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        std::vector<int16_t> block(1 << 20);
        uint32_t noise = 1;
        for (int64_t written = 0; written < kFileBytes; written += 2 * static_cast<int64_t>(block.size())) {
            for (size_t k = 0; k < block.size(); ++k) {
                noise = noise * 1664525u + 1013904223u;
                block[k] = static_cast<int16_t>(static_cast<int32_t>(noise >> 16) - 32768) / 2;
            }
            out.write(reinterpret_cast<const char *>(block.data()), static_cast<std::streamsize>(2 * block.size()));
        }
    }
    return path.string();
}

double SecondsOf(const std::string &command)
{
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) return 0.0;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Converts the file once and returns its measuring pass's time.
double MeasuringPassSeconds(const std::string &input, const std::string &output, const std::string &configDir)
{
    Session session;
    session.views.shown = false;
    App_InitSession(session, configDir);
    Configuration_SelectRecord(session, Configuration_DefaultRecord());
    for (const auto &[key, value] : std::vector<std::pair<const char *, const char *>>{
             {"headerSource", "User"}, {"headerValue", "0"}, {"trailerSource", "User"}, {"trailerValue", "0"},
             {"commentSource", "User"}, {"commentBegin", "bench"}, {"samplerateSource", "User"},
             {"samplerateValue", "10"}, {"autoOptimization", "Yes"}})
        (void)onConfigurationTree(session, kSlots[Configuration_SlotByKey(key)].treeItem, value);
    if (Gui_AddIQ(session, 0, {input}) != 1 || !Gui_SetJobPath(session, kJobOutput, output)) return 0.0;

    std::mutex mutex;
    std::condition_variable ended;
    double seconds = 0.0;
    bool finished = false;
    if (!onConversion(session, [&](const ConversionEvent &event) {
            std::lock_guard lock(mutex);
            if (event.kind == ConversionEvent::Kind::JobFinished) seconds = event.measuringSeconds;
            if (event.kind == ConversionEvent::Kind::RunFinished) finished = true;
            ended.notify_all();
        }))
        return 0.0;
    {
        std::unique_lock lock(mutex);
        ended.wait(lock, [&] { return finished; });
    }
    Conversion_EndRun(session);
    std::filesystem::remove(output);
    return seconds;
}

void BM_MeasuringPassAgainstCat(benchmark::State &state)
{
    const std::string input = InputFile();
    const std::filesystem::path outputDir =
        std::filesystem::is_directory("/dev/shm") ? std::filesystem::path("/dev/shm") : ScratchDirectory();
    const std::string output = (outputDir / "quelvor-bench-measuring.wv").string();
    const std::string configDir = (ScratchDirectory() / "quelvor-bench-config").string();
    const std::string cat = "cat '" + input + "' > /dev/null";
    SecondsOf(cat);  // into the page cache
    double measuring = 0.0;
    double catting = 0.0;
    for (auto _ : state) {
        const double pass = MeasuringPassSeconds(input, output, configDir);
        if (pass <= 0.0) {
            state.SkipWithError("the conversion failed");
            return;
        }
        state.SetIterationTime(pass);
        measuring += pass;
        catting += SecondsOf(cat);
    }
    state.SetBytesProcessed(state.iterations() * kFileBytes);
    state.counters["cat_GBps"] = static_cast<double>(state.iterations()) * kFileBytes / catting / 1e9;
    state.counters["of_cat"] = catting / measuring;
}
BENCHMARK(BM_MeasuringPassAgainstCat)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
