// Reading sample sets from files in the page cache: a 1 GiB combined "16 Bit Integer" file in
// blocks of 100,000 sets beside a plain read() of the same file, and a 200 MB "Text Floating
// Point" file. The files are generated in a temporary directory at start and removed at the end.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "parser/formats.h"
#include "parser/setreader.h"

namespace {

constexpr int kBlockSets = 100000;
constexpr int64_t kBinaryBytes = int64_t{1} << 30;
constexpr int64_t kTextBytes = 200000000;

struct BenchFiles {
    std::filesystem::path directory;
    std::string binary;
    std::string text;
};
BenchFiles files;

void WriteBinaryFile(const std::string &path)
{
    std::vector<int16_t> block(1 << 20);
    std::mt19937 random(3);
    for (int16_t &value : block) value = static_cast<int16_t>(random());
    FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return;
    for (int64_t written = 0; written < kBinaryBytes; written += static_cast<int64_t>(block.size() * 2)) {
        std::fwrite(block.data(), 2, block.size(), file);
    }
    std::fclose(file);
}

void WriteTextFile(const std::string &path)
{
    std::string chunk;
    std::mt19937 random(4);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    char line[64];
    while (chunk.size() < 4000000) {
        std::snprintf(line, sizeof line, "%.6f %.6f\n", uniform(random), uniform(random));
        chunk += line;
    }
    FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return;
    for (int64_t written = 0; written < kTextBytes; written += static_cast<int64_t>(chunk.size())) {
        std::fwrite(chunk.data(), 1, chunk.size(), file);
    }
    std::fclose(file);
}

// Reads the whole file once, so that it is in the page cache for every benchmark.
void Warm(const std::string &path)
{
    std::vector<char> buffer(1 << 22);
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return;
    while (::read(fd, buffer.data(), buffer.size()) > 0) {
    }
    ::close(fd);
}

void BM_PlainRead(benchmark::State &state)
{
    const int64_t size = static_cast<int64_t>(std::filesystem::file_size(files.binary));
    std::vector<char> buffer(kBlockSets * 4);
    const int fd = ::open(files.binary.c_str(), O_RDONLY);
    for (auto _ : state) {
        for (int64_t position = 0; position < size;) {
            const ssize_t got = ::pread(fd, buffer.data(), buffer.size(), position);
            if (got <= 0) break;
            position += got;
            benchmark::DoNotOptimize(buffer.data());
        }
    }
    ::close(fd);
    state.SetBytesProcessed(state.iterations() * size);
}
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond)->Iterations(5);

void ReadAllSets(benchmark::State &state, const std::string &path, int format)
{
    InputFiles input;
    if (Parser_OpenFiles(input, path.c_str(), nullptr, 0) != 1) {
        state.SkipWithError("cannot open the input");
        return;
    }
    ConversionSettings settings;
    settings.sampleFormat = format;
    settings.scale = 0.5;
    SetReaderScratch scratch;
    std::vector<double> i(kBlockSets), q(kBlockSets);
    for (auto _ : state) {
        int64_t posI = 0, posQ = 0;
        while (Parser_GetSetsFromFile(input, settings, scratch, &posI, &posQ, kBlockSets, i.data(), q.data()) > 0) {
            benchmark::DoNotOptimize(i.data());
            benchmark::DoNotOptimize(q.data());
        }
    }
    state.SetBytesProcessed(state.iterations() * input.inputSize);
}

void BM_GetSetsBinaryInt16(benchmark::State &state) { ReadAllSets(state, files.binary, kInt16); }
BENCHMARK(BM_GetSetsBinaryInt16)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_GetSetsTextFloatingPoint(benchmark::State &state) { ReadAllSets(state, files.text, kTextFloatingPoint); }
BENCHMARK(BM_GetSetsTextFloatingPoint)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    files.directory = std::filesystem::temp_directory_path() / ("quelvor_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(files.directory);
    files.binary = (files.directory / "iq_i16.bin").string();
    files.text = (files.directory / "iq_text.txt").string();
    WriteBinaryFile(files.binary);
    WriteTextFile(files.text);
    Warm(files.binary);
    Warm(files.text);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(files.directory);
    return 0;
}
