// Faults that must lose nothing: a full disk during a block write, an output directory that
// disappears, is replaced or becomes read-only, an input truncated while it is converted, a
// conversion killed and started again, and interrupted configuration and settings saves. After
// each: existing outputs and configuration files are intact, no partial ".wv" stands under a
// target name, the job's status names the failure, and the next run works.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include <nlohmann/json.hpp>

#include "configuration/appsettings.h"
#include "configuration/configfiles.h"
#include "conversion/jobs.h"
#include "conversion/wvwriter.h"
#include "robustnesssupport.h"
#include "testsupport.h"

using namespace robustness;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WaitForExit;
using testsupport::WriteFile;

namespace {

constexpr const char *kOldWaveform = "an existing waveform that must survive";

size_t OutputBytes(int pairs) { return 121 + 3 + 4 * static_cast<size_t>(pairs); }

// Limits the size of every file this process writes; a write beyond it fails (EFBIG) instead of
// killing the process.
void LimitFileSize(rlim_t bytes)
{
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{bytes, bytes};
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

// Writes the statuses of all jobs, one per line, and beside them (".log") the lines of the
// status log, for the parent to check.
void WriteStatuses(const Session &session, const std::string &path)
{
    std::ofstream out(path);
    for (int job = 0; job < Gui_JobCount(session.jobs); ++job) out << Status(session, job) << "\n";
    std::ofstream log(path + ".log");
    for (const StatusRow &row : session.statusLog.rows) log << row.text << "\n";
}

std::vector<std::string> ReadLines(const std::string &path)
{
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Whether the file at `path` has a line that is exactly `line`.
bool HasLine(const std::string &path, const std::string &line)
{
    const std::vector<std::string> lines = ReadLines(path);
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The input of `pairs` pairs of a tone at a level that is accepted.
std::string ToneInput(const TempDir &dir, const std::string &name, int pairs)
{
    const std::string path = dir.file(name);
    WriteFile(path, Tone16(pairs, 8000.0));
    return path;
}

// 1.5 GiB, long enough to be caught in the middle; below the pair limit of one output.
std::string LongInput(const TempDir &dir) { return SparseToneInput(dir.file("long.bin"), int64_t{3} << 29); }

}  // namespace

TEST(Faults, DiskFullDuringABlockWriteKeepsTheOldTargetAndTheNextRunWorks)
{
    TempDir dir;
    const std::string big = ToneInput(dir, "big.bin", 1000000);   // 4 MB of output
    const std::string small = ToneInput(dir, "small.bin", 2000);  // fits under the limit
    WriteFile(big + ".wv", kOldWaveform);
    const std::string statuses = dir.file("statuses.txt");

    const int exitCode = RunInChild([&] {
        LimitFileSize(1 << 20);
        Session session;
        StartPlain(session);
        EXPECT_EQ(Gui_AddIQ(session, 0, {big, small}), 2);
        ConvertAll(session);
        WriteStatuses(session, statuses);
        return 0;
    });
    ASSERT_EQ(exitCode, 0);
    EXPECT_EQ(ReadLines(statuses), (std::vector<std::string>{"Status: Output error", "Status: Done"}));
    EXPECT_TRUE(HasLine(statuses + ".log", "Job 1: cannot write " + big + ".wv: File too large"));
    EXPECT_EQ(ReadFile(big + ".wv"), kOldWaveform);
    EXPECT_EQ(ReadFile(small + ".wv").size(), OutputBytes(2000));
    EXPECT_TRUE(TemporaryFiles(dir.path().string()).empty());

    Session session;
    StartPlain(session);
    EXPECT_EQ(Gui_AddIQ(session, 0, {big}), 1);
    ConvertAll(session);
    EXPECT_EQ(Status(session, 0), "Status: Done");
    EXPECT_EQ(ReadFile(big + ".wv").size(), OutputBytes(1000000));
}

namespace {

enum class DirectoryFault { Removed, ReplacedByAFile, ReadOnly };

// With the directory usable again, both jobs convert into it.
void ExpectTheNextRunConverts(const std::string &out, const std::vector<std::string> &inputs)
{
    Session session;
    StartPlain(session);
    EXPECT_EQ(Gui_SetOutputDirectory(session, &out), 1);
    EXPECT_EQ(Gui_AddIQ(session, 0, inputs), static_cast<int>(inputs.size()));
    ConvertAll(session);
    EXPECT_EQ(Status(session, 0), "Status: Done");
    EXPECT_EQ(Status(session, 1), "Status: Done");
    EXPECT_EQ(ReadFile(out + "/a.bin.wv").size(), OutputBytes(3000));
}

// Converts two jobs into `out`; the fault strikes `out` when the first job's file is complete
// but not yet accepted (the rename is the step that must fail safely).
void RunWithDirectoryFault(const std::string &out, DirectoryFault fault,
                           const std::vector<std::string> &inputs, const std::string &statuses)
{
    Session session;
    StartPlain(session);
    EXPECT_EQ(Gui_SetOutputDirectory(session, &out), 1);
    EXPECT_EQ(Gui_AddIQ(session, 0, inputs), static_cast<int>(inputs.size()));
    ConvertAll(session, [&](const ConversionEvent &event) {
        if (event.kind != ConversionEvent::Kind::Results || event.job != 0) return;
        std::error_code ignored;
        switch (fault) {
        case DirectoryFault::Removed: std::filesystem::remove_all(out, ignored); break;
        case DirectoryFault::ReplacedByAFile:
            std::filesystem::remove_all(out, ignored);
            WriteFile(out, "now a file");
            break;
        case DirectoryFault::ReadOnly: ::chmod(out.c_str(), 0555); break;
        }
    });
    WriteStatuses(session, statuses);
}

}  // namespace

TEST(Faults, OutputDirectoryRemovedOrReplacedMidRun)
{
    for (const DirectoryFault fault : {DirectoryFault::Removed, DirectoryFault::ReplacedByAFile}) {
        SCOPED_TRACE(fault == DirectoryFault::Removed ? "removed" : "replaced by a file");
        TempDir dir;
        const std::string out = dir.file("out");
        std::filesystem::create_directory(out);
        const std::vector<std::string> inputs{ToneInput(dir, "a.bin", 3000), ToneInput(dir, "b.bin", 3000)};
        RunWithDirectoryFault(out, fault, inputs, dir.file("statuses.txt"));
        // Neither job can put a file there; both say so.
        EXPECT_EQ(ReadLines(dir.file("statuses.txt")),
                  (std::vector<std::string>{"Status: Output error", "Status: Output error"}));
        const std::string reason = fault == DirectoryFault::Removed ? "No such file or directory" : "Not a directory";
        EXPECT_TRUE(HasLine(dir.file("statuses.txt.log"), "Job 1: cannot write " + out + "/a.bin.wv: " + reason));
        EXPECT_TRUE(HasLine(dir.file("statuses.txt.log"), "Job 2: cannot create " + out + "/b.bin.wv: " + reason));
        EXPECT_TRUE(TemporaryFiles(dir.path().string()).empty());

        // The directory is back: the next run works.
        std::error_code ignored;
        std::filesystem::remove_all(out, ignored);
        std::filesystem::create_directory(out);
        ExpectTheNextRunConverts(out, inputs);
    }
}

// Root ignores permission bits, so the run happens in a child without the capabilities that
// override them: the directory is then as read-only to it as to any user.
TEST(Faults, OutputDirectoryBecomesReadOnlyMidRun)
{
    TempDir dir;
    const std::string out = dir.file("out");
    std::filesystem::create_directory(out);
    const std::vector<std::string> inputs{ToneInput(dir, "a.bin", 3000), ToneInput(dir, "b.bin", 3000)};
    WriteFile(out + "/a.bin.wv", kOldWaveform);
    const std::string statuses = dir.file("statuses.txt");
    const int exitCode = RunInChild([&] {
        if (!DropFilePermissionOverride()) return 3;
        RunWithDirectoryFault(out, DirectoryFault::ReadOnly, inputs, statuses);
        return 0;
    });
    ::chmod(out.c_str(), 0755);
    ASSERT_EQ(exitCode, 0);
    EXPECT_EQ(ReadLines(statuses), (std::vector<std::string>{"Status: Output error", "Status: Output error"}));
    EXPECT_TRUE(HasLine(statuses + ".log", "Job 1: cannot write " + out + "/a.bin.wv: Permission denied"));
    EXPECT_TRUE(HasLine(statuses + ".log", "Job 2: cannot create " + out + "/b.bin.wv: Permission denied"));
    EXPECT_EQ(ReadFile(out + "/a.bin.wv"), kOldWaveform);
    EXPECT_FALSE(std::filesystem::exists(out + "/b.bin.wv"));
    // The rejected file could not be removed from the read-only directory; it keeps a temporary
    // name that the next run recognises and removes.
    const std::vector<std::string> left = TemporaryFiles(out);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_TRUE(Conversion_IsTemporaryOutputName(left[0]));
    EXPECT_TRUE(left[0].starts_with(".a.bin.wv.quelvor-tmp-")) << left[0];

    ExpectTheNextRunConverts(out, inputs);
    EXPECT_TRUE(TemporaryFiles(out).empty());
}

TEST(Faults, InputTruncatedWhileConverting)
{
    for (const bool automatic : {true, false}) {
        SCOPED_TRACE(automatic ? "in the measuring pass" : "in the writing pass");
        TempDir dir;
        const std::string input = LongInput(dir);
        WriteFile(input + ".wv", kOldWaveform);
        Session session;
        StartPlain(session);
        if (!automatic) testsupport::Edit(session, "autoOptimization", "No");
        EXPECT_EQ(Gui_AddIQ(session, 0, {input}), 1);
        std::atomic<bool> truncated{false};
        RecordedRun run;
        ASSERT_EQ(Start(session, run, [&](const ConversionEvent &event) {
                      if (event.kind == ConversionEvent::Kind::Progress && !truncated.exchange(true)) {
                          ASSERT_EQ(::truncate(input.c_str(), int64_t{1} << 28), 0);
                      }
                  }),
                  1);
        Finish(session, run);
        ASSERT_TRUE(truncated) << "the conversion ended before it could be truncated";
        EXPECT_EQ(Status(session, 0), "Input file(s) read error");
        const auto &rows = session.statusLog.rows;
        EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [](const StatusRow &row) {
            return row.text.find("became shorter") != std::string::npos;
        }));
        EXPECT_EQ(ReadFile(input + ".wv"), kOldWaveform);
        EXPECT_TRUE(TemporaryFiles(dir.path().string()).empty());

        // The next run works on what the file holds now (a short interval, to be quick).
        testsupport::Edit(session, "autoOptimization", "Yes");
        testsupport::Edit(session, "lastSampleType", "User");
        testsupport::Edit(session, "lastSampleValue", "200000");
        ConvertAll(session);
        EXPECT_EQ(Status(session, 0), "Status: Done");
        EXPECT_EQ(ReadFile(input + ".wv").size(), OutputBytes(200000));
    }
}

namespace {

// quelvor-cli convert of `input` into `target` (headerless 16-bit pairs at 1 MHz); `sets` limits
// the interval when > 0. Returns the child's pid; its stdout goes to `jsonPath`.
pid_t StartCli(const TempDir &dir, const std::string &input, const std::string &target, int sets,
               const std::string &jsonPath)
{
    std::vector<std::string> arguments{QUELVOR_CLI_PATH, "--config-dir", dir.file("config"), "convert",
                                       "--json",         "--quiet",      "--output",         target,
                                       "--set",          "autoOptimization=No",
                                       "--set",          "scaleFactor=3.5"};
    for (const char *set : {"headerSource=User", "headerValue=0", "trailerSource=User", "trailerValue=0",
                            "commentSource=User", "commentBegin=abc", "samplerateSource=User", "samplerateValue=1.0"}) {
        arguments.push_back("--set");
        arguments.push_back(set);
    }
    if (sets > 0) {
        arguments.insert(arguments.end(), {"--set", "lastSampleType=User", "--set",
                                           "lastSampleValue=" + std::to_string(sets)});
    }
    arguments.push_back(input);
    return testsupport::StartProcess(std::move(arguments), jsonPath, "/dev/null");
}

// Size of the first temporary output file in `directory`, or -1.
int64_t TemporaryOutputSize(const std::string &directory)
{
    for (const std::string &name : TemporaryFiles(directory)) {
        std::error_code error;
        const auto size = std::filesystem::file_size(std::filesystem::path(directory) / name, error);
        if (!error) return static_cast<int64_t>(size);
    }
    return -1;
}

}  // namespace

TEST(Faults, ConversionKilledMidRunAndStartedAgain)
{
    for (const bool targetExisted : {false, true}) {
        SCOPED_TRACE(targetExisted ? "over an existing target" : "to a new target");
        TempDir dir;
        const std::string input = LongInput(dir);
        const std::string target = dir.file("killed.wv");
        if (targetExisted) WriteFile(target, kOldWaveform);

        const pid_t child = StartCli(dir, input, target, 0, dir.file("first.json"));
        ASSERT_GT(child, 0);
        // Kill it once it is well into writing its output.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (TemporaryOutputSize(dir.path().string()) < (1 << 20) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ::kill(child, SIGKILL);
        ASSERT_EQ(WaitForExit(child), 128 + SIGKILL);

        // No file under the target's name but the old one; the leftover is recognisable.
        if (targetExisted)
            EXPECT_EQ(ReadFile(target), kOldWaveform);
        else
            EXPECT_FALSE(std::filesystem::exists(target));
        const std::vector<std::string> left = TemporaryFiles(dir.path().string());
        ASSERT_EQ(left.size(), 1u);
        EXPECT_TRUE(Conversion_IsTemporaryOutputName(left[0]));

        // Started again (on a short interval, to be quick): it works and clears the leftover.
        const pid_t again = StartCli(dir, input, target, 200000, dir.file("second.json"));
        ASSERT_EQ(WaitForExit(again), 0);
        const nlohmann::json job = nlohmann::json::parse(ReadFile(dir.file("second.json")));
        EXPECT_EQ(job["status"], "Status: Done");
        EXPECT_EQ(ReadFile(target).size(), OutputBytes(200000));
        EXPECT_TRUE(TemporaryFiles(dir.path().string()).empty());
    }
}

namespace {

ConfigurationRecord NamedRecord(const std::string &name, const std::string &comment)
{
    ConfigurationRecord record = Configuration_DefaultRecord();
    Configuration_SetSlotText(record, kSlotName, name);
    Configuration_SetSlotText(record, Configuration_SlotByKey("commentBegin"), comment);
    return record;
}

bool SameRecord(const ConfigurationRecord &a, const ConfigurationRecord &b)
{
    return std::memcmp(Configuration_Bytes(a), Configuration_Bytes(b), kRecordBytes) == 0;
}

}  // namespace

TEST(Faults, ConfigurationAndSettingsSavesThatFailInTheWriteKeepTheOldFiles)
{
    TempDir dir;
    const std::string directory = dir.file("config");
    StatusLog log;
    const ConfigurationRecord old = NamedRecord("Lab", "old");
    ASSERT_EQ(Configuration_Save(directory, old, log), 1);
    ApplicationSettings settings{};
    std::strcpy(settings.lastConfiguration, "Lab");
    ASSERT_EQ(Ini_Save(directory, settings, log), 1);
    const std::string oldSettings = ReadFile(directory + "/ini.pny");

    const std::string messages = dir.file("messages.txt");
    ASSERT_EQ(RunInChild([&] {
                  LimitFileSize(1000);  // the frame needs more than 1000 bytes
                  StatusLog childLog;
                  const int saved = Configuration_Save(directory, NamedRecord("Lab", "new"), childLog);
                  ApplicationSettings changed{};
                  std::strcpy(changed.lastConfiguration, "Other");
                  const int settingsSaved = Ini_Save(directory, changed, childLog);
                  std::ofstream out(messages);
                  for (const StatusRow &row : childLog.rows) out << row.text << "\n";
                  return saved == 0 && settingsSaved == 0 ? 0 : 1;
              }),
              0);
    EXPECT_EQ(ReadLines(messages), (std::vector<std::string>{"Save 'Lab.pnx': Could not write to file.",
                                                             "Save 'ini.pny': Could not write to file."}));
    const std::optional<ConfigurationRecord> loaded = Configuration_Load(directory, "Lab", log);
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(SameRecord(*loaded, old));
    EXPECT_EQ(ReadFile(directory + "/ini.pny"), oldSettings);
    EXPECT_TRUE(TemporaryFiles(directory).empty());
}

TEST(Faults, ConfigurationSaveKilledAtAnyMomentLeavesALoadableFile)
{
    TempDir dir;
    const std::string directory = dir.file("config");
    StatusLog log;
    const ConfigurationRecord first = NamedRecord("Lab", "first");
    const ConfigurationRecord second = NamedRecord("Lab", "second");
    ASSERT_EQ(Configuration_Save(directory, first, log), 1);

    std::mt19937 random(7);
    std::uniform_int_distribution<int> delayMicroseconds(0, 20000);
    for (int repetition = 0; repetition < 30; ++repetition) {
        // A child saves the two versions in turn until it is killed at a random moment.
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            StatusLog childLog;
            for (int k = 0;; ++k) {
                (void)Configuration_Save(directory, k % 2 ? first : second, childLog);
                childLog.rows.clear();
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(delayMicroseconds(random)));
        ::kill(child, SIGKILL);
        ASSERT_EQ(WaitForExit(child), 128 + SIGKILL);

        const std::optional<ConfigurationRecord> loaded = Configuration_Load(directory, "Lab", log);
        ASSERT_TRUE(loaded) << "repetition " << repetition;
        EXPECT_TRUE(SameRecord(*loaded, first) || SameRecord(*loaded, second));
        // A leftover is never listed as a configuration.
        EXPECT_EQ(Configuration_ListFiles(directory), std::vector<std::string>{"Lab.pnx"});
        for (const std::string &name : TemporaryFiles(directory)) EXPECT_TRUE(name.starts_with(".Lab.pnx.quelvor-tmp-"));
    }
    // The next save clears what the killed ones left.
    ASSERT_EQ(Configuration_Save(directory, first, log), 1);
    EXPECT_TRUE(TemporaryFiles(directory).empty());
}
