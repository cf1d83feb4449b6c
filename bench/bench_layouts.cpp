// What files say about themselves: detecting the layout of one file (a WAV file, a SigMF pair, a
// SigMF archive, a raw capture whose rate is in its name), and converting 1 GiB of 16-bit I/Q
// pairs as a WAV file and as a SigMF recording beside the same data as a raw .cs16 capture, in
// the same run. The files are generated in a temporary directory at start and removed at the end.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "app/configflows.h"
#include "app/layoutflows.h"
#include "app/startup.h"
#include "app/treerules.h"
#include "conversion/jobs.h"
#include "conversion/runner.h"
#include "layouts/layouts.h"

namespace {

constexpr int64_t kDataBytes = int64_t{1} << 30;

std::filesystem::path directory;

std::string Path(const char *name) { return (directory / name).string(); }

std::string Le32(uint32_t v)
{
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
}

// A WAV header of 16-bit stereo PCM at 1 MHz for `dataBytes` bytes of samples.
std::string WavHeader(uint32_t dataBytes)
{
    const std::string fmt = std::string("fmt ") + Le32(16) + std::string("\x01\x00\x02\x00", 4) + Le32(1000000) +
                            Le32(4000000) + std::string("\x04\x00\x10\x00", 4);
    return "RIFF" + Le32(4 + static_cast<uint32_t>(fmt.size()) + 8 + dataBytes) + "WAVE" + fmt + "data" + Le32(dataBytes);
}

// `header` followed by `bytes` of random 16-bit samples of moderate level.
void WriteSamples(const std::string &path, const std::string &header, int64_t bytes)
{
    std::vector<int16_t> block(1 << 20);
    std::mt19937 random(5);
    std::uniform_int_distribution<int> level(-8000, 8000);
    for (int16_t &value : block) value = static_cast<int16_t>(level(random));
    FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return;
    std::fwrite(header.data(), 1, header.size(), file);
    for (int64_t written = 0; written < bytes; written += static_cast<int64_t>(block.size() * 2))
        std::fwrite(block.data(), 2, block.size(), file);
    std::fclose(file);
}

void WriteText(const std::string &path, const std::string &text)
{
    FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return;
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
}

const char *kMeta = R"({"global":{"core:datatype":"ci16_le","core:sample_rate":1000000,"core:version":"1.0.0"},)"
                    R"("captures":[{"core:sample_start":0}],"annotations":[]})";

void CreateFiles()
{
    directory = std::filesystem::temp_directory_path() / ("quelvor-bench-layouts-" + std::to_string(::getpid()));
    std::filesystem::create_directories(directory);
    WriteSamples(Path("raw_1Msps.cs16"), "", kDataBytes);
    WriteSamples(Path("big.wav"), WavHeader(static_cast<uint32_t>(kDataBytes)), kDataBytes);
    std::filesystem::create_hard_link(Path("raw_1Msps.cs16"), Path("rec.sigmf-data"));
    WriteText(Path("rec.sigmf-meta"), kMeta);
    WriteSamples(Path("small.wav"), WavHeader(1 << 20), 1 << 20);
    WriteSamples(Path("cap_433.92M_250k.cu8"), "", 1 << 20);
    // A tar holding one recording: two ustar members and the end blocks.
    std::string archive;
    for (const auto &[name, content] : {std::pair<std::string, std::string>{"r/r.sigmf-meta", kMeta},
                                        std::pair<std::string, std::string>{"r/r.sigmf-data", std::string(4096, '\0')}}) {
        std::string header(512, '\0');
        header.replace(0, name.size(), name);
        char size[12];
        std::snprintf(size, sizeof size, "%011o", static_cast<unsigned>(content.size()));
        header.replace(124, 11, size);
        header[156] = '0';
        header.replace(257, 5, "ustar");
        archive += header + content + std::string((512 - content.size() % 512) % 512, '\0');
    }
    WriteText(Path("r.sigmf"), archive + std::string(1024, '\0'));
}

void BM_Detect(benchmark::State &state, const char *name)
{
    const std::string path = Path(name);
    for (auto _ : state) {
        LayoutReading reading = Layouts_Detect(path);
        if (!reading.recognised) state.SkipWithError(reading.reason.c_str());
        benchmark::DoNotOptimize(reading);
    }
}
BENCHMARK_CAPTURE(BM_Detect, wav, "small.wav")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Detect, sigmf_pair, "rec.sigmf-meta")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Detect, sigmf_archive, "r.sigmf")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Detect, raw_with_rate_token, "cap_433.92M_250k.cu8")->Unit(benchmark::kMicrosecond);

// One conversion job through the runner, as the command line does it: the layout detected, the
// output in the bench directory (replaced each time).
void BM_Convert(benchmark::State &state, const char *name)
{
    for (auto _ : state) {
        Session session;
        session.views.shown = false;
        App_InitSession(session, "");
        Configuration_SelectRecord(session, Configuration_DefaultRecord());
        const DetectionResult detection = App_DetectLayout(session, Path(name));
        std::string output = directory.string();
        if (!detection.recognised || !Gui_SetOutputDirectory(session, &output) ||
            Gui_AddIQ(session, 0, {detection.dataPath}) != 1) {
            state.SkipWithError("not converted");
            return;
        }
        std::vector<ConversionEvent> events;
        std::mutex mutex;
        if (onConversion(session, [&](const ConversionEvent &event) {
                std::lock_guard lock(mutex);
                events.push_back(event);
            }))
            Conversion_WaitForWorker(session);
        for (const ConversionEvent &event : events) Conversion_ApplyEvent(session, event);
        if (session.jobs.items[kJobStatus].label != "Status: Done") state.SkipWithError("job not done");
    }
    state.SetBytesProcessed(state.iterations() * kDataBytes);
}
BENCHMARK_CAPTURE(BM_Convert, raw_cs16, "raw_1Msps.cs16")->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK_CAPTURE(BM_Convert, wav, "big.wav")->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK_CAPTURE(BM_Convert, sigmf, "rec.sigmf-meta")->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    CreateFiles();
    benchmark::RunSpecifiedBenchmarks();
    std::filesystem::remove_all(directory);
    return 0;
}
