#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "testsupport.h"

using testsupport::TempDir;

namespace {

struct Outcome {
    int exitStatus = -1;
    std::string out;
    std::string err;
};

// Runs quelvor-cli with the arguments (each quoted for the shell).
Outcome RunCli(const std::vector<std::string> &arguments, const TempDir &dir)
{
    std::string command = QUELVOR_CLI_PATH;
    for (const std::string &argument : arguments) {
        std::string quoted = "'";
        for (char c : argument) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        command += " " + quoted + "'";
    }
    const std::string errPath = dir.file("stderr.txt");
    command += " 2>'" + errPath + "'";
    Outcome outcome;
    std::FILE *pipe = ::popen(command.c_str(), "r");
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) outcome.out.append(buffer, got);
    const int status = ::pclose(pipe);
    outcome.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.err = testsupport::ReadFile(errPath);
    return outcome;
}

// A headerless 16-bit file of constant pairs, with settings that need no metadata.
const std::vector<std::string> kPlain{"--set", "headerSource=User", "--set", "headerValue=0",
                                      "--set", "trailerSource=User", "--set", "trailerValue=0",
                                      "--set", "commentSource=User", "--set", "commentBegin=cli",
                                      "--set", "samplerateSource=User", "--set", "samplerateValue=1"};

std::vector<std::string> Args(std::vector<std::string> head, const std::vector<std::string> &tail = {})
{
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

std::string ConstantPairs(int count, int16_t i, int16_t q)
{
    std::string bytes;
    for (int k = 0; k < count; ++k) {
        bytes.append(reinterpret_cast<const char *>(&i), 2);
        bytes.append(reinterpret_cast<const char *>(&q), 2);
    }
    return bytes;
}

}  // namespace

TEST(Cli, UsageErrorsExitWithTwo)
{
    TempDir dir;
    EXPECT_EQ(RunCli({"--version"}, dir).exitStatus, 0);
    EXPECT_EQ(RunCli({"convert", "--help"}, dir).exitStatus, 0);
    EXPECT_EQ(RunCli({"frobnicate"}, dir).exitStatus, 2);
    EXPECT_EQ(RunCli({"convert"}, dir).exitStatus, 2);

    const Outcome unknown = RunCli({"convert", "--set", "bogus=1", "x.bin"}, dir);
    EXPECT_EQ(unknown.exitStatus, 2);
    EXPECT_NE(unknown.err.find("valid slots: structure, endianness"), std::string::npos);
    EXPECT_EQ(RunCli({"convert", "--set", "noequals", "x.bin"}, dir).exitStatus, 2);
    EXPECT_EQ(RunCli({"convert", "--set", "structure=Separate IQ (2 Files)", "--preset", "cs16", "a", "b", "c"}, dir)
                  .exitStatus,
              2);
    // Detection takes each file on its own: a pair needs the layout given.
    const Outcome paired = RunCli({"convert", "--set", "structure=Separate IQ (2 Files)", "i.bin", "q.bin"}, dir);
    EXPECT_EQ(paired.exitStatus, 2);
    EXPECT_NE(paired.err.find("give the layout with --config or --preset"), std::string::npos) << paired.err;

    const Outcome missing = RunCli({"--config-dir", dir.path().string(), "convert", "--config", "absent", "x"}, dir);
    EXPECT_EQ(missing.exitStatus, 2);
    EXPECT_NE(missing.err.find("Load 'absent.pnx': Could not open file."), std::string::npos);

    testsupport::WriteFile(dir.file("a.bin"), ConstantPairs(500, 1, 1));
    testsupport::WriteFile(dir.file("b.bin"), ConstantPairs(500, 1, 1));
    EXPECT_EQ(RunCli({"convert", "--output", dir.file("o.wv"), dir.file("a.bin"), dir.file("b.bin")}, dir).exitStatus, 2);
}

TEST(Cli, ConvertReportsEachJobAsJson)
{
    TempDir dir;
    testsupport::WriteFile(dir.file("in.bin"), ConstantPairs(1000, 3000, -4000));
    testsupport::WriteFile(dir.file("tiny.bin"), ConstantPairs(10, 1, 1));
    const Outcome outcome =
        RunCli(Args({"convert", "--json", "--output-dir", dir.path().string()}, kPlain), dir);
    EXPECT_EQ(outcome.exitStatus, 2);  // FILE is required

    const Outcome run = RunCli(Args(Args({"convert", "--json", "--quiet"}, kPlain), {dir.file("in.bin"), dir.file("tiny.bin")}), dir);
    EXPECT_EQ(run.exitStatus, 1);  // the tiny file was refused
    EXPECT_NE(run.err.find("File size <1kB: tiny.bin"), std::string::npos);
    const nlohmann::ordered_json job = nlohmann::ordered_json::parse(run.out);
    std::vector<std::string> keys;
    for (const auto &item : job.items()) keys.push_back(item.key());
    EXPECT_EQ(keys, (std::vector<std::string>{"job", "input", "q", "output", "status", "convertedSamples", "fileSize",
                                              "runTime", "maxScaleFactor", "peak", "rms", "mbPerSecond", "layout",
                                              "sources"}));
    EXPECT_EQ(job["layout"], nullptr);  // nothing recognised: the defaults and the edits
    EXPECT_EQ(job["status"], "Status: Done");
    EXPECT_EQ(job["q"], nullptr);
    EXPECT_EQ(job["convertedSamples"], "1000");
    EXPECT_EQ(job["fileSize"], "0.003933 MB");  // (121 + 3 + 4000) / 2^20
    EXPECT_EQ(job["maxScaleFactor"], "6.225730 (auto set)");
    EXPECT_DOUBLE_EQ(job["peak"].get<double>(), 31128.65);
    EXPECT_EQ(job["output"], dir.file("in.bin") + ".wv");

    const Outcome single = RunCli(Args(Args({"convert"}, kPlain), {"--output", dir.file("named.wv"), dir.file("in.bin")}), dir);
    EXPECT_EQ(single.exitStatus, 0);
    EXPECT_NE(single.err.find("Job 1: Status: Done"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(dir.file("named.wv")));

    const Outcome failed =
        RunCli(Args(Args({"convert", "--json", "--output-dir", dir.file("missing")}, kPlain), {dir.file("in.bin")}), dir);
    EXPECT_EQ(failed.exitStatus, 1);
    EXPECT_EQ(nlohmann::json::parse(failed.out)["status"], "Status: Output error");
    EXPECT_EQ(nlohmann::json::parse(failed.out)["peak"], nullptr);
}

// A raw capture without a rate in its name: detection leaves the rate a fault, which --set
// mends; --preset gives the same layout without detection.
TEST(Cli, DetectionLeavesWhatNoFactGivesToTheUser)
{
    TempDir dir;
    std::string floats;
    for (int k = 0; k < 1000; ++k) {
        const float pair[2] = {static_cast<float>(std::cos(0.2 * k)), static_cast<float>(std::sin(0.2 * k))};
        floats.append(reinterpret_cast<const char *>(pair), sizeof pair);
    }
    testsupport::WriteFile(dir.file("capture.cf32"), floats);

    const Outcome detected = RunCli({"detect", "--json", dir.file("capture.cf32")}, dir);
    EXPECT_EQ(detected.exitStatus, 1);
    const nlohmann::json found = nlohmann::json::parse(detected.out);
    EXPECT_EQ(found["layout"], "cf32");
    EXPECT_EQ(found["values"][1]["name"], "Format");
    EXPECT_EQ(found["values"][1]["value"], "32 Bit Float");
    EXPECT_EQ(found["values"][1]["source"], "preset");
    ASSERT_EQ(found["faults"].size(), 1u);
    EXPECT_EQ(found["faults"][0]["item"], 17);

    EXPECT_EQ(RunCli({"convert", "--quiet", dir.file("capture.cf32")}, dir).exitStatus, 1);
    const Outcome mended = RunCli({"convert", "--json", "--set", "samplerateValue=2", dir.file("capture.cf32")}, dir);
    EXPECT_EQ(mended.exitStatus, 0) << mended.err;
    const nlohmann::json job = nlohmann::json::parse(mended.out);
    EXPECT_EQ(job["layout"], "cf32");
    EXPECT_EQ(job["sources"]["Comment"], "name");
    EXPECT_NE(testsupport::ReadFile(dir.file("capture.cf32.wv")).find("{CLOCK: 02000000.000}"), std::string::npos);

    EXPECT_EQ(RunCli({"convert", "--preset", "cf32", "--set", "samplerateValue=2", "--output", dir.file("p.wv"),
                      dir.file("capture.cf32")},
                     dir)
                  .exitStatus,
              0);
    EXPECT_EQ(testsupport::ReadFile(dir.file("p.wv")), testsupport::ReadFile(dir.file("capture.cf32.wv")));
    EXPECT_EQ(RunCli({"convert", "--preset", "nope", dir.file("capture.cf32")}, dir).exitStatus, 2);
    const Outcome presets = RunCli({"config", "presets"}, dir);
    EXPECT_EQ(presets.out.substr(0, 4), "cu8\t");
}

TEST(Cli, AnalyzeListsFaultsAndBranchCounters)
{
    TempDir dir;
    testsupport::WriteFile(dir.file("in.bin"), ConstantPairs(1000, 1, 2));
    const Outcome good = RunCli(Args(Args({"analyze", "--json"}, kPlain), {dir.file("in.bin")}), dir);
    EXPECT_EQ(good.exitStatus, 0);
    const nlohmann::json analysis = nlohmann::json::parse(good.out);
    EXPECT_EQ(analysis["inputSize"], 4000);
    EXPECT_EQ(analysis["totalSets"], 1000);
    EXPECT_EQ(analysis["comment"], "cli");
    EXPECT_EQ(analysis["faults"].size(), 0u);

    const Outcome bad = RunCli(Args(Args({"analyze", "--json"}, kPlain),
                                    {"--set", "filterType=Blackman Window", "--set", "cutoff=0.1", "--set", "taps=5",
                                     dir.file("in.bin")}),
                               dir);
    EXPECT_EQ(bad.exitStatus, 1);
    const nlohmann::json faulty = nlohmann::json::parse(bad.out);
    ASSERT_EQ(faulty["faults"].size(), 1u);
    EXPECT_EQ(faulty["faults"][0],
              (nlohmann::json{{"item", 45}, {"label", "Number of Taps"}, {"message", "Integer value between 10 and 1024 expected"}}));
    EXPECT_EQ(faulty["branches"]["Signal Processing"], 0);
    EXPECT_EQ(faulty["branches"]["Metadata"], -1);
    EXPECT_EQ(faulty["tapCount"], 256);
}

TEST(Cli, StoredConfigurationsRoundTrip)
{
    TempDir dir;
    const std::string configDir = dir.file("configs");
    const auto Config = [&](std::vector<std::string> arguments) {
        return RunCli(Args({"--config-dir", configDir}, arguments), dir);
    };
    const Outcome saved = Config({"config", "save", "lab", "--set", "format=32 Bit Float", "--set", "shift=0.25"});
    EXPECT_EQ(saved.exitStatus, 0);
    EXPECT_NE(saved.err.find("Save 'lab.pnx': Done."), std::string::npos);
    // An invalid name says which rule it breaks, whether saved directly or after detection.
    const Outcome unnamed = Config({"config", "save", "New"});
    EXPECT_EQ(unnamed.exitStatus, 1);
    EXPECT_NE(unnamed.err.find("Save configuration: Invalid name: \"New\" is kept for the unsaved configuration"),
              std::string::npos);
    testsupport::WriteFile(dir.file("capture.cu8"), std::string(4096, '\x80'));
    const std::pair<std::string, std::string> refused[] = {{"bad/name", "a name cannot hold the character '/'"},
                                                           {"", "a name cannot be empty"}};
    for (const auto &[name, rule] : refused) {
        const Outcome detected = Config({"detect", "--save", name, dir.file("capture.cu8")});
        EXPECT_EQ(detected.exitStatus, 1);
        EXPECT_NE(detected.err.find("Save configuration: Invalid name: " + rule), std::string::npos) << detected.err;
    }
    EXPECT_EQ(Config({"config", "list"}).out, "lab\n");

    const nlohmann::json shown = nlohmann::json::parse(Config({"config", "show", "--config", "lab", "--json"}).out);
    EXPECT_EQ(shown["name"], "lab");
    EXPECT_EQ(shown["format"], "32 Bit Float");
    EXPECT_EQ(shown["shift"], "0.25");
    // A path to the file works as well.
    EXPECT_EQ(nlohmann::json::parse(RunCli({"config", "show", "--json", "--config", configDir + "/lab.pnx"}, dir).out)["shift"],
              "0.25");

    const Outcome deleted = Config({"config", "delete", "lab"});
    EXPECT_EQ(deleted.exitStatus, 0);
    EXPECT_NE(deleted.err.find("Delete configuration: Done"), std::string::npos);
    EXPECT_EQ(Config({"config", "list"}).out, "");
    EXPECT_EQ(Config({"config", "delete", "lab"}).exitStatus, 1);

    testsupport::WriteFile(configDir + "/broken.pnx", "Brannig Quelvor\n1.06\n");
    const Outcome broken = Config({"config", "show", "--config", "broken"});
    EXPECT_EQ(broken.exitStatus, 2);
    EXPECT_NE(broken.err.find("Load 'broken.pnx': Incompatible file format."), std::string::npos);

    // The list holds what the ring would offer: the refused file is named on stderr only.
    EXPECT_EQ(Config({"config", "save", "lab"}).exitStatus, 0);
    const Outcome listed = Config({"config", "list"});
    EXPECT_EQ(listed.exitStatus, 0);
    EXPECT_EQ(listed.out, "lab\n");
    EXPECT_EQ(listed.err, "Load 'broken.pnx': Incompatible file format.\n");
}
