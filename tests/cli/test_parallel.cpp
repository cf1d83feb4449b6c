// quelvor-cli convert --jobs N against a serial run, Ctrl+C during a parallel run, and two
// processes that write the same output name at the same time.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "conversion/wvwriter.h"
#include "testsupport.h"

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WaitForExit;
using testsupport::WriteFile;

namespace {

const std::vector<std::string> kPlain{"--set", "headerSource=User", "--set", "headerValue=0",
                                      "--set", "trailerSource=User", "--set", "trailerValue=0",
                                      "--set", "commentSource=User", "--set", "commentBegin=par",
                                      "--set", "samplerateSource=User", "--set", "samplerateValue=1"};
const std::vector<std::string> kFilter{"--set", "filterType=Blackman Window", "--set", "cutoff=0.2",
                                       "--set", "taps=256", "--set", "outputSamplerate=Input Samplerate x 5/10"};

// Starts quelvor-cli with stdout and stderr going to the two files.
pid_t StartCli(std::vector<std::string> arguments, const std::string &outPath, const std::string &errPath)
{
    arguments.insert(arguments.begin(), QUELVOR_CLI_PATH);
    return testsupport::StartProcess(std::move(arguments), outPath, errPath);
}

struct CliRun {
    int exitStatus = -1;
    std::vector<nlohmann::json> jobs;  // the JSON lines, in the order they came
    std::string err;
};

CliRun RunCli(const std::vector<std::string> &arguments, const TempDir &dir, const std::string &name)
{
    const std::string out = dir.file(name + ".out");
    const std::string err = dir.file(name + ".err");
    CliRun run;
    run.exitStatus = WaitForExit(StartCli(arguments, out, err));
    std::istringstream lines(ReadFile(out));
    for (std::string line; std::getline(lines, line);) run.jobs.push_back(nlohmann::json::parse(line));
    run.err = ReadFile(err);
    return run;
}

std::vector<std::string> Args(std::vector<std::string> head, const std::vector<std::string> &tail)
{
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

// Interleaved 16-bit pairs of a tone with a little noise, different for every seed.
std::string NoisyTone(int pairs, int seed)
{
    std::string bytes;
    uint32_t noise = 2463534242u + static_cast<uint32_t>(seed);
    for (int k = 0; k < pairs; ++k) {
        noise ^= noise << 13;
        noise ^= noise >> 17;
        noise ^= noise << 5;
        const double phase = 0.003 * (seed + 1) * k;
        const auto i = static_cast<int16_t>(std::lround(7000.0 * std::sin(phase)) + static_cast<int>(noise % 61) - 30);
        const auto q = static_cast<int16_t>(std::lround(7000.0 * std::cos(phase)));
        bytes.append(reinterpret_cast<const char *>(&i), 2).append(reinterpret_cast<const char *>(&q), 2);
    }
    return bytes;
}

std::vector<std::string> TemporaryFiles(const std::filesystem::path &directory)
{
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(directory))
        if (Conversion_IsTemporaryOutputName(entry.path().filename().string()))
            names.push_back(entry.path().filename().string());
    return names;
}

}  // namespace

TEST(ParallelJobs, OutputsEqualASerialRunAndEveryJobReportsOnce)
{
    TempDir dir;
    std::vector<std::string> inputs;
    for (int job = 0; job < 7; ++job) {
        inputs.push_back(dir.file("in" + std::to_string(job) + ".bin"));
        // Job 4 is silent: it fails ("Scale Factor too low") in both runs alike.
        WriteFile(inputs.back(), job == 4 ? std::string(4 * 30000, '\0') : NoisyTone(40000 + 5003 * job, job));
    }
    for (const auto &[name, settings] : {std::pair{"plain", kPlain}, std::pair{"filtered", Args(kPlain, kFilter)}}) {
        SCOPED_TRACE(name);
        const std::filesystem::path serialDir = dir.path() / (std::string(name) + "-serial");
        const std::filesystem::path parallelDir = dir.path() / (std::string(name) + "-parallel");
        std::filesystem::create_directory(serialDir);
        std::filesystem::create_directory(parallelDir);
        const CliRun serial = RunCli(Args(Args({"convert", "--json", "--output-dir", serialDir.string()}, settings), inputs), dir, "s");
        const CliRun parallel = RunCli(Args(Args({"convert", "--json", "--jobs", "3", "--output-dir", parallelDir.string()}, settings), inputs),
                                    dir, "p");
        EXPECT_EQ(serial.exitStatus, 1);
        EXPECT_EQ(parallel.exitStatus, serial.exitStatus);
        ASSERT_EQ(parallel.jobs.size(), inputs.size());
        std::set<int> numbers;
        for (const nlohmann::json &job : parallel.jobs) {
            const int number = job["job"];
            numbers.insert(number);
            const nlohmann::json &same = serial.jobs.at(number - 1);
            EXPECT_EQ(job["input"], same["input"]);
            EXPECT_EQ(job["status"], same["status"]);
            EXPECT_EQ(job["maxScaleFactor"], same["maxScaleFactor"]);
            EXPECT_EQ(job["status"], number == 5 ? "Status: Scale Factor too low" : "Status: Done");
        }
        EXPECT_EQ(numbers.size(), inputs.size());
        for (const std::string &input : inputs) {
            const std::string name = std::filesystem::path(input).filename().string() + ".wv";
            EXPECT_EQ(std::filesystem::exists(serialDir / name), std::filesystem::exists(parallelDir / name));
            if (std::filesystem::exists(serialDir / name)) {
                EXPECT_TRUE(ReadFile(serialDir / name) == ReadFile(parallelDir / name)) << name;
            }
        }
        EXPECT_NE(parallel.err.find("7 jobs: 6 done, 1 failed, 0 not run"), std::string::npos) << parallel.err;
        EXPECT_NE(serial.err.find("7 jobs: 6 done, 1 failed, 0 not run"), std::string::npos) << serial.err;
    }
}

TEST(ParallelJobs, CtrlCAbortsEveryRunningJobAndTouchesNoExistingOutput)
{
    TempDir dir;
    std::vector<std::string> inputs;
    for (int job = 0; job < 3; ++job) {
        // Long enough that both running jobs are still reading when the interrupt comes.
        inputs.push_back(dir.file("long" + std::to_string(job) + ".bin"));
        testsupport::MakeSparseFile(inputs.back(), int64_t{3} << 29, NoisyTone(1000, job));
    }
    const std::string older = "an older waveform";
    WriteFile(inputs[0] + ".wv", older);

    const pid_t child = StartCli(Args(Args({"convert", "--json", "--quiet", "--jobs", "2"}, kPlain), inputs),
                                 dir.file("run.out"), dir.file("run.err"));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (TemporaryFiles(dir.path()).size() < 2 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_EQ(TemporaryFiles(dir.path()).size(), 2u) << "the two jobs did not start";
    ::kill(child, SIGINT);

    EXPECT_EQ(WaitForExit(child), 1);
    std::istringstream lines(ReadFile(dir.file("run.out")));
    std::set<int> aborted;
    for (std::string line; std::getline(lines, line);) {
        const nlohmann::json job = nlohmann::json::parse(line);
        EXPECT_EQ(job["status"], "Status: Aborted");
        aborted.insert(job["job"].get<int>());
    }
    EXPECT_EQ(aborted, (std::set<int>{1, 2}));  // the third never started
    EXPECT_NE(ReadFile(dir.file("run.err")).find("3 jobs: 0 done, 2 failed, 1 not run"), std::string::npos);
    EXPECT_TRUE(TemporaryFiles(dir.path()).empty());
    EXPECT_EQ(ReadFile(inputs[0] + ".wv"), older);
    EXPECT_FALSE(std::filesystem::exists(inputs[1] + ".wv"));
    EXPECT_FALSE(std::filesystem::exists(inputs[2] + ".wv"));
}

TEST(ConcurrentWriters, TwoProcessesRaceForOneNameAHundredTimes)
{
    TempDir dir;
    const std::vector<std::string> inputs{dir.file("a.bin"), dir.file("b.bin")};
    WriteFile(inputs[0], NoisyTone(60000, 1));
    WriteFile(inputs[1], NoisyTone(60000, 2));
    std::vector<std::string> expected;
    for (const std::string &input : inputs) {
        ASSERT_EQ(RunCli(Args(Args({"convert", "--quiet"}, kPlain), {input}), dir, "alone").exitStatus, 0);
        expected.push_back(ReadFile(input + ".wv"));
    }
    ASSERT_NE(expected[0], expected[1]);

    const std::string target = dir.file("shared.wv");
    // The race is between processes, which the sanitizers do not watch; under them a fifth of
    // the races still checks the writers' own code.
    const int races = testsupport::kSanitized ? 20 : 100;
    for (int race = 0; race < races; ++race) {
        SCOPED_TRACE("race " + std::to_string(race));
        const bool protection = race % 2 == 0;
        std::filesystem::remove(target);
        pid_t children[2];
        for (int writer = 0; writer < 2; ++writer) {
            std::vector<std::string> arguments = Args({"convert", "--json", "--quiet", "--output", target}, kPlain);
            if (protection) arguments.push_back("--overwrite-protection");
            arguments.push_back(inputs[writer]);
            const std::string name = "writer" + std::to_string(writer);
            children[writer] = StartCli(arguments, dir.file(name + ".out"), dir.file(name + ".err"));
        }
        int exits[2];
        std::string statuses[2];
        for (int writer = 0; writer < 2; ++writer) {
            exits[writer] = WaitForExit(children[writer]);
            const std::string name = "writer" + std::to_string(writer);
            statuses[writer] = nlohmann::json::parse(ReadFile(dir.file(name + ".out")))["status"];
        }
        const std::string written = ReadFile(target);
        ASSERT_TRUE(written == expected[0] || written == expected[1]) << "a mixed or incomplete file";
        if (protection) {
            // The one that took the name first wins; the other leaves its file alone.
            const int winner = written == expected[0] ? 0 : 1;
            EXPECT_EQ(statuses[winner], "Status: Done");
            EXPECT_EQ(exits[winner], 0);
            EXPECT_EQ(statuses[1 - winner], "Status: File already exists");
            EXPECT_EQ(exits[1 - winner], 1);
        } else {
            EXPECT_EQ(statuses[0], "Status: Done");
            EXPECT_EQ(statuses[1], "Status: Done");
        }
        ASSERT_TRUE(TemporaryFiles(dir.path()).empty());
        if (HasFailure()) break;
    }
}
