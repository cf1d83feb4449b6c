// The computations behind one redraw of the analysis previews, for the largest window (8192
// sets): the whole refresh must stay under 5 ms (binary) and 10 ms (text) so that scrolling
// through a file feels immediate; its parts are timed one by one below it:
//  - reading the window with the conversion's reader (16-bit, float32 and text input),
//  - the windowed, centred and normalised magnitude spectrum (Parser_Fft),
//  - the filter response: the low-pass design, its coefficients zero-padded to the window and
//    transformed the same way, and the three curves taken to decibels (Parser_LogScale).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "app/startup.h"
#include "app/treerules.h"
#include "configuration/settings.h"
#include "parser/analysis.h"
#include "parser/formats.h"
#include "parser/inputfiles.h"
#include "parser/previews.h"
#include "parser/setreader.h"
#include "parser/spectrum.h"
#include "signalprocessing/dsp.h"

namespace {

constexpr int kWindowSets = 8192;
constexpr int kFileSets = 1 << 22;  // 16 MB of 16-bit sets: positions spread over the page cache

// An input file in the system's temporary directory, removed at exit.
class BenchFile {
public:
    BenchFile(const std::string &name, const std::string &bytes)
        : path_((std::filesystem::temp_directory_path() / name).string())
    {
        std::FILE *file = std::fopen(path_.c_str(), "wb");
        if (file != nullptr) {
            std::fwrite(bytes.data(), 1, bytes.size(), file);
            std::fclose(file);
        }
    }
    ~BenchFile() { std::filesystem::remove(path_); }
    const std::string &path() const { return path_; }

private:
    std::string path_;
};

std::string RandomBinary(std::size_t bytes)
{
    std::mt19937 generator(1);
    std::string data(bytes, '\0');
    for (char &b : data) b = static_cast<char>(generator());
    return data;
}

std::string RandomText(int sets)
{
    std::mt19937 generator(2);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    std::string text;
    char line[64];
    for (int k = 0; k < sets; ++k) {
        const int length = std::snprintf(line, sizeof line, "%.6f %.6f\n", value(generator), value(generator));
        text.append(line, static_cast<std::size_t>(length));
    }
    return text;
}

// Reads 8192 sets at pseudo-random set positions, as scrolling does.
void ReadWindows(benchmark::State &state, const std::string &path, int format, int bytesPerValue, int64_t sets)
{
    InputFiles files;
    if (!Parser_OpenFiles(files, path.c_str(), nullptr, 0)) {
        state.SkipWithError("cannot open the input");
        return;
    }
    ConversionSettings settings;
    settings.sampleFormat = format;
    settings.bytesPerSet = 2 * bytesPerValue;
    std::vector<double> i(kWindowSets), q(kWindowSets);
    SetReaderScratch scratch;
    std::mt19937 generator(3);
    for (auto _ : state) {
        // Text has no set positions: a window is read from the start, as the preview does.
        const int64_t set = bytesPerValue > 0 ? static_cast<int64_t>(generator() % (sets - kWindowSets)) : 0;
        int64_t posI = set * settings.bytesPerSet, posQ = posI;
        const int got = Parser_GetSetsFromFile(files, settings, scratch, &posI, &posQ, kWindowSets, i.data(), q.data());
        if (got != kWindowSets) state.SkipWithError("short read");
        benchmark::DoNotOptimize(i.data());
    }
    Parser_CloseFiles(files);
}

void BM_ReadWindow16Bit(benchmark::State &state)
{
    static const BenchFile file("quelvor-bench-previews-i16.bin", RandomBinary(4u * kFileSets));
    ReadWindows(state, file.path(), kInt16, 2, kFileSets);
}

void BM_ReadWindowFloat32(benchmark::State &state)
{
    static const BenchFile file("quelvor-bench-previews-f32.bin", RandomBinary(8u * kFileSets));
    ReadWindows(state, file.path(), kFloat32, 4, kFileSets);
}

void BM_ReadWindowText(benchmark::State &state)
{
    static const BenchFile file("quelvor-bench-previews.txt", RandomText(2 * kWindowSets));
    ReadWindows(state, file.path(), kTextFloatingPoint, -1, 2 * kWindowSets);
}

std::vector<double> RandomValues(int count, unsigned seed)
{
    std::mt19937 generator(seed);
    std::uniform_real_distribution<double> value(-30000.0, 30000.0);
    std::vector<double> values(static_cast<std::size_t>(count));
    for (double &v : values) v = value(generator);
    return values;
}

void BM_WindowedSpectrum(benchmark::State &state)
{
    const std::vector<double> i = RandomValues(kWindowSets, 4), q = RandomValues(kWindowSets, 5);
    std::vector<double> out(kWindowSets);
    for (auto _ : state) {
        Parser_Fft(i.data(), q.data(), kWindowSets, out.data());
        benchmark::DoNotOptimize(out.data());
    }
}

// Argument: taps. Designs the filter, transforms its coefficients and forms the three curves.
void BM_FilterResponse(benchmark::State &state)
{
    const int taps = static_cast<int>(state.range(0));
    const std::vector<double> before = RandomValues(kWindowSets, 6);
    std::vector<double> coefficients(taps), a(kWindowSets), b(kWindowSets), response(kWindowSets),
        after(kWindowSets), s(kWindowSets);
    for (auto _ : state) {
        if (!SignalProcessing_DesignLowpass(1.0, 0.2, taps, coefficients.data(), kWindowBlackman)) {
            state.SkipWithError("design failed");
            break;
        }
        std::fill(a.begin(), a.end(), 0.0);
        std::fill(b.begin(), b.end(), 0.0);
        const int first = taps > kWindowSets ? (taps - kWindowSets) / 2 : 0;
        for (int k = 0; k < std::min(taps, kWindowSets); ++k) a[k] = coefficients[first + k];
        Parser_Fft(a.data(), b.data(), kWindowSets, response.data());
        for (int k = 0; k < kWindowSets; ++k) {
            after[k] = before[k] * response[k];
            s[k] = std::abs(before[k]);
        }
        Parser_LogScale(after.data(), kWindowSets, 1e-11);
        Parser_LogScale(s.data(), kWindowSets, 1e-11);
        Parser_LogScale(response.data(), kWindowSets, 1e-11);
        benchmark::DoNotOptimize(after.data());
    }
}

// One full refresh of the pages as scrolling causes it, through the core functions: the window
// of 8192 sets read, its spectrum, the three signal processing curves with a 1024-tap filter,
// and the loop seam. Arguments: the format (0 16-bit, 1 float32, 2 text) and whether the window
// lies near the end of a sparse 6 GB file (binary formats only).
void BM_PreviewRefresh(benchmark::State &state)
{
    static const BenchFile int16File("quelvor-bench-refresh-i16.bin", RandomBinary(4u * kFileSets));
    static const BenchFile floatFile("quelvor-bench-refresh-f32.bin", RandomBinary(8u * kFileSets));
    static const BenchFile textFile("quelvor-bench-refresh.txt", RandomText(2 * kWindowSets));
    const int format = static_cast<int>(state.range(0));
    const bool large = state.range(1) != 0;
    const char *formatText[] = {"16 Bit Integer", "32 Bit Float", "Text Floating Point"};
    std::string path = format == 0 ? int16File.path() : format == 1 ? floatFile.path() : textFile.path();
    const std::string sparse = (std::filesystem::temp_directory_path() / "quelvor-bench-refresh-6g.bin").string();
    if (large) {
        std::filesystem::copy_file(path, sparse, std::filesystem::copy_options::overwrite_existing);
        std::filesystem::resize_file(sparse, int64_t{6} << 30);
        path = sparse;
    }

    Session session;
    App_InitSession(session, "");
    Configuration_SelectRecord(session, Configuration_DefaultRecord());
    const std::pair<int, const char *> edits[] = {
        {kItemHeaderSource, "User"}, {kItemHeaderValue, "0"},          {kItemTrailerSource, "User"},
        {kItemTrailerValue, "0"},    {kItemFormat, formatText[format]}, {kItemFilterType, "Blackman Window"},
        {kItemCutoff, "0.2"},        {kItemTaps, "1024"},               {kItemOutputSamplerate, "Input Samplerate x 5/10"}};
    for (const auto &[item, text] : edits)
        if (!onConfigurationTree(session, item, text) && format != 2) state.SkipWithError("edit refused");
    Parser_Job1Changed(session, path.c_str(), nullptr);
    const int64_t last = std::max<int64_t>(session.settings.totalSets - kWindowSets + 1, 1);
    std::mt19937 generator(7);
    for (auto _ : state) {
        // Binary windows at pseudo-random positions (near the end of the large file); text
        // windows from the start, as the text preview reads them.
        const int64_t span = large ? 1 << 20 : last;
        const int64_t position = format == 2 ? 1 : last - static_cast<int64_t>(generator() % span);
        onIqFilePosition(session, position, kWindowSets, 0);
        Parser_UpdateEolPlots(session);
        benchmark::DoNotOptimize(session.views.signalProcessing.graph.traces[kSlotFilter].values.data());
    }
    if (session.views.signalProcessing.graph.traces[kSlotFilter].values.size() != kWindowSets)
        state.SkipWithError("no signal processing curves");
    Parser_Terminate(session);
    if (large) std::filesystem::remove(sparse);
}

}  // namespace

BENCHMARK(BM_PreviewRefresh)->Args({0, 0})->Args({1, 0})->Args({2, 0})->Args({0, 1})->Args({1, 1})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadWindow16Bit)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadWindowFloat32)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadWindowText)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WindowedSpectrum)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FilterResponse)->Arg(256)->Arg(1024)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
