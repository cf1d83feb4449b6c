#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "configuration/appsettings.h"
#include "configuration/configfiles.h"
#include "testsupport.h"

namespace {

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

const std::string kFrameLines = "Brannig Quelvor\n1.05\n";

// The generator as the C standard writes it, with a 64-bit `next`: only the low 31 bits reach
// the result, so it must agree with any 32-bit implementation.
std::vector<int> ReferenceRandomValues(unsigned seed, int count)
{
    uint64_t next = seed;
    std::vector<int> values;
    for (int k = 0; k < count; ++k) {
        next = next * 1103515245 + 12345;
        values.push_back(static_cast<int>(next / 65536 % 32768));
    }
    return values;
}

// The check block computed step by step from its description.
std::string ExpectedCheckBlock(const std::string &record, int seed)
{
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02d", seed);
    int64_t sum = 0;
    for (char byte : record) sum += static_cast<signed char>(byte);
    const auto wrapped = static_cast<uint32_t>(sum);
    std::string block(digits, 2);
    for (int k = 0; k < 4; ++k) block += static_cast<char>(wrapped >> (8 * k));
    for (int value : ReferenceRandomValues(static_cast<unsigned>(seed), 94))
        block += record[static_cast<size_t>(value) % record.size()];
    return block;
}

// A record whose every byte differs from its neighbours, with texts in some slots.
ConfigurationRecord SampleRecord(const char *name)
{
    ConfigurationRecord record = Configuration_DefaultRecord();
    char *bytes = Configuration_Bytes(record);
    for (int k = 0; k < kRecordBytes; ++k) bytes[k] = static_cast<char>(k * 7 + 3);
    // Every slot holds a terminated text; the bytes behind it are arbitrary and must survive.
    for (int slot = 0; slot < kSlotCount; ++slot) Configuration_Slot(record, slot)[kSlotBytes / 2] = '\0';
    Configuration_SetSlotText(record, kSlotName, name);
    Configuration_SetSlotText(record, Configuration_SlotByKey("format"), "16 Bit Integer");
    return record;
}

const StatusRow &LastRow(const StatusLog &log) { return log.rows.back(); }

std::vector<std::string> FileNames(const std::filesystem::path &dir)
{
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// In a forked child whose files may not grow beyond `limitBytes`: exits 0 when `body` holds.
template <typename Body>
void RunWithFileSizeLimit(rlim_t limitBytes, Body body)
{
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = limitBytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::_Exit(body() ? 0 : 1);
}

class ConfigurationFiles : public ::testing::Test {
protected:
    // Saves a sample record as "<name>.pnx" and returns the file's bytes.
    std::string SaveSample(const char *name)
    {
        const ConfigurationRecord record = SampleRecord(name);
        EXPECT_EQ(Configuration_Save(dir.path().string(), record, log), 1);
        return ReadFile(dir.file(std::string(name) + ".pnx"));
    }
    // Loads "<name>.pnx" and returns the logged text.
    std::string LoadText(const std::string &name)
    {
        (void)Configuration_Load(dir.path().string(), name, log);
        return LastRow(log).text;
    }

    TempDir dir;
    StatusLog log;
};

}  // namespace

TEST(CheckBlock, GeneratorIsTheFixedReferenceSequence)
{
    EXPECT_EQ(ReferenceRandomValues(1, 4), (std::vector<int>{16838, 5758, 10113, 17515}));

    // A tiny record: every byte 0xFF sums to -7 (F9 FF FF FF); the samples follow the sequence.
    const std::string allOnes(7, '\xFF');
    char block[kCheckBlockBytes];
    const int seed = 7;
    Configuration_CalculateKeyOver(allOnes.data(), 7, block, &seed);
    EXPECT_EQ(std::string(block, 6), std::string("07\xF9\xFF\xFF\xFF", 6));

    std::string record(kRecordBytes, '\0');
    for (int k = 0; k < kRecordBytes; ++k) record[k] = static_cast<char>(k * 31 + k / 256);
    for (int s : {0, 5, 42, 99}) {
        Configuration_CalculateKey(record.data(), block, &s);
        EXPECT_EQ(std::string(block, kCheckBlockBytes), ExpectedCheckBlock(record, s)) << "seed " << s;
    }
    const std::string settings(kSettingsRecordBytes, 'x');
    Ini_CalculateKey(settings.data(), block, &seed);
    EXPECT_EQ(std::string(block, kCheckBlockBytes), ExpectedCheckBlock(settings, seed));

    // Without a seed a new one from 0 to 99 is chosen and written.
    Configuration_CalculateKey(record.data(), block, nullptr);
    const int chosen = (block[0] - '0') * 10 + (block[1] - '0');
    EXPECT_EQ(std::string(block, kCheckBlockBytes), ExpectedCheckBlock(record, chosen));
}

TEST(FramedFile, HoldsTheTwoLinesTheRecordAndItsCheckBlock)
{
    TempDir dir;
    const std::string tiny("ab\0cd\x80\x7F", 7);
    ASSERT_EQ(Configuration_WriteFramedFile(dir.path().string(), "tiny.bin", tiny.data(), 7), FileOutcome::Done);
    const std::string bytes = ReadFile(dir.file("tiny.bin"));
    ASSERT_EQ(bytes.size(), 21u + 7u + 100u);
    const int seed = std::stoi(bytes.substr(28, 2));
    EXPECT_EQ(bytes, kFrameLines + tiny + ExpectedCheckBlock(tiny, seed));

    std::string readBack(7, '\0');
    EXPECT_EQ(Configuration_ReadFramedFile(dir.file("tiny.bin"), readBack.data(), 7), FileOutcome::Done);
    EXPECT_EQ(readBack, tiny);
    EXPECT_EQ(FileNames(dir.path()), std::vector<std::string>{"tiny.bin"});
}

TEST_F(ConfigurationFiles, RoundTripKeepsEveryRecordByteAndLogsDone)
{
    const ConfigurationRecord saved = SampleRecord("Alpha");
    ASSERT_EQ(Configuration_Save(dir.path().string(), saved, log), 1);
    EXPECT_EQ(LastRow(log).text, "Save 'Alpha.pnx': Done.");
    EXPECT_EQ(LastRow(log).icon, StatusIcon::Ok);

    const std::optional<ConfigurationRecord> loaded = Configuration_Load(dir.path().string(), "Alpha", log);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(std::memcmp(&*loaded, &saved, sizeof saved), 0);
    EXPECT_EQ(LastRow(log).text, "Load 'Alpha.pnx': Done.");
    EXPECT_EQ(LastRow(log).icon, StatusIcon::Ok);
    EXPECT_EQ(FileNames(dir.path()), std::vector<std::string>{"Alpha.pnx"});
}

TEST_F(ConfigurationFiles, VersionLineIsComparedBytewise)
{
    const std::string bytes = SaveSample("Beta");
    const std::string body = bytes.substr(kFrameLines.size());
    const auto withVersion = [&](const std::string &version) {
        WriteFile(dir.file("Beta.pnx"), "Brannig Quelvor\n" + version + "\n" + body);
        return LoadText("Beta");
    };
    EXPECT_EQ(withVersion("1.04"), "Load 'Beta.pnx': Done.");
    EXPECT_EQ(withVersion("1.05"), "Load 'Beta.pnx': Done.");
    EXPECT_EQ(withVersion("1.06"), "Load 'Beta.pnx': Incompatible file format.");
    EXPECT_EQ(withVersion("2.0"), "Load 'Beta.pnx': Incompatible file format.");
    EXPECT_EQ(withVersion("1.050"), "Load 'Beta.pnx': Incompatible file format.");
    EXPECT_EQ(LastRow(log).icon, StatusIcon::Error);
}

TEST_F(ConfigurationFiles, DamagedOrForeignFilesAreRefused)
{
    const std::string bytes = SaveSample("Gamma");
    const std::string body = bytes.substr(kFrameLines.size());
    const std::string incompatible = "Load 'Gamma.pnx': Incompatible file format.";
    const auto loadBytes = [&](const std::string &content) {
        WriteFile(dir.file("Gamma.pnx"), content);
        return LoadText("Gamma");
    };
    EXPECT_EQ(LoadText("Missing"), "Load 'Missing.pnx': Could not open file.");
    EXPECT_EQ(LastRow(log).icon, StatusIcon::Error);
    EXPECT_EQ(loadBytes("Brannig Quelvor\r\n1.05\r\n" + body), incompatible);
    EXPECT_EQ(loadBytes("Brannig Quelvo\n1.05\n" + body), incompatible);
    EXPECT_EQ(loadBytes(""), incompatible);
    EXPECT_EQ(loadBytes(bytes.substr(0, bytes.size() - 1)), incompatible);
    EXPECT_EQ(loadBytes(bytes.substr(0, 500)), incompatible);
    EXPECT_EQ(loadBytes(bytes + "trailing bytes are ignored"), "Load 'Gamma.pnx': Done.");

    std::string seedNotDigits = bytes;
    seedNotDigits[kFrameLines.size() + kRecordBytes] = ' ';
    EXPECT_EQ(loadBytes(seedNotDigits), incompatible);

    std::filesystem::create_directory(dir.path() / "Folder.pnx");
    EXPECT_EQ(LoadText("Folder"), "Load 'Folder.pnx': Could not open file.");
}

TEST_F(ConfigurationFiles, AnySingleChangedByteIsRefused)
{
    const std::string bytes = SaveSample("Delta");
    std::string record(kRecordBytes, '\0');
    std::vector<size_t> positions;
    for (size_t position = kFrameLines.size(); position < bytes.size() - kCheckBlockBytes; position += 53)
        positions.push_back(position);
    for (size_t position = bytes.size() - kCheckBlockBytes; position < bytes.size(); ++position)
        positions.push_back(position);
    for (size_t position : positions) {
        std::string damaged = bytes;
        damaged[position] = static_cast<char>(damaged[position] ^ 0x01);
        WriteFile(dir.file("Delta.pnx"), damaged);
        ASSERT_EQ(Configuration_ReadFramedFile(dir.file("Delta.pnx"), record.data(), kRecordBytes),
                  FileOutcome::Incompatible)
            << "byte " << position;
    }
}

TEST_F(ConfigurationFiles, FailedSavesKeepTheOldFileAndLeaveNoTemporaryFile)
{
    const std::string old = SaveSample("Keep");

    // A folder with the file's name cannot be replaced.
    std::filesystem::create_directory(dir.path() / "Clash.pnx");
    EXPECT_EQ(Configuration_Save(dir.path().string(), SampleRecord("Clash"), log), 0);
    EXPECT_EQ(LastRow(log).text, "Save 'Clash.pnx': Could not create file.");
    EXPECT_EQ(LastRow(log).icon, StatusIcon::Error);

    // A name that is no file name is not written.
    EXPECT_EQ(Configuration_Save(dir.path().string(), SampleRecord("../Escape"), log), 0);
    EXPECT_EQ(LastRow(log).text, "Save '../Escape.pnx': Could not create file.");

    // A directory that cannot be created, because a file stands in its way.
    WriteFile(dir.file("plain"), "x");
    EXPECT_EQ(Configuration_Save(dir.file("plain/sub"), SampleRecord("Keep"), log), 0);
    EXPECT_EQ(LastRow(log).text, "Save 'Keep.pnx': Could not create file.");

    // The disk refuses the data half-way.
    const std::string directory = dir.path().string();
    EXPECT_EXIT(RunWithFileSizeLimit(1000, [&] {
                    StatusLog childLog;
                    return Configuration_Save(directory, SampleRecord("Keep"), childLog) == 0 &&
                           childLog.rows.back().text == "Save 'Keep.pnx': Could not write to file.";
                }),
                ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadFile(dir.file("Keep.pnx")), old);
    EXPECT_EQ(FileNames(dir.path()), (std::vector<std::string>{"Clash.pnx", "Keep.pnx", "plain"}));
}

TEST_F(ConfigurationFiles, SaveCreatesTheMissingDirectoryAndReplacesTheOldFile)
{
    const std::string nested = dir.file("a/b/quelvor");
    ConfigurationRecord record = SampleRecord("Epsilon");
    ASSERT_EQ(Configuration_Save(nested, record, log), 1);
    Configuration_SetSlotText(record, Configuration_SlotByKey("taps"), "64");
    ASSERT_EQ(Configuration_Save(nested, record, log), 1);
    const std::optional<ConfigurationRecord> loaded = Configuration_Load(nested, "Epsilon", log);
    ASSERT_TRUE(loaded);
    EXPECT_STREQ(loaded->taps, "64");
    EXPECT_EQ(FileNames(nested), std::vector<std::string>{"Epsilon.pnx"});
}

TEST_F(ConfigurationFiles, ListingGivesSortedConfigurationFilesOnly)
{
    for (const char *name : {"b.pnx", "A.pnx", "a.pnx", ".pnx", "c.pnx.bak", "d.PNX", "notes.txt"})
        WriteFile(dir.file(name), "x");
    std::filesystem::create_directory(dir.path() / "folder.pnx");
    EXPECT_EQ(Configuration_ListFiles(dir.path().string()), (std::vector<std::string>{"A.pnx", "a.pnx", "b.pnx"}));
    EXPECT_TRUE(Configuration_ListFiles(dir.file("missing")).empty());
}

TEST(ConfigurationNames, CheckAndExtension)
{
    EXPECT_EQ(Configuration_CheckName("Scope capture 2"), 1);
    EXPECT_EQ(Configuration_CheckName("a:b"), 1);  // left to the file system
    EXPECT_EQ(Configuration_CheckName(""), 0);
    EXPECT_EQ(Configuration_CheckName("New"), 0);
    for (const char *bad : {"a\"b", "a*b", "a/b", "a<b", "a>b", "a?b", "a\\b", "a|b"})
        EXPECT_EQ(Configuration_CheckName(bad), 0) << bad;

    std::string name = "Alpha.pnx";
    EXPECT_EQ(Configuration_RemoveExtension(name), 1);
    EXPECT_EQ(name, "Alpha");
    EXPECT_EQ(Configuration_RemoveExtension(name), 0);
    EXPECT_EQ(name, "Alpha");
}

TEST(ConfigurationDirectory, FollowsTheEnvironmentInOrder)
{
    const auto saved = [](const char *name) {
        const char *value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    };
    const auto own = saved("QUELVOR_CONFIG_DIR"), xdg = saved("XDG_CONFIG_HOME"), home = saved("HOME");

    ::setenv("QUELVOR_CONFIG_DIR", "/own", 1);
    ::setenv("XDG_CONFIG_HOME", "/xdg", 1);
    ::setenv("HOME", "/home/user", 1);
    EXPECT_EQ(Configuration_Directory(), "/own");
    ::setenv("QUELVOR_CONFIG_DIR", "", 1);
    EXPECT_EQ(Configuration_Directory(), "/xdg/quelvor");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(Configuration_Directory(), "/home/user/.config/quelvor");

    const auto restore = [](const char *name, const std::optional<std::string> &value) {
        if (value) ::setenv(name, value->c_str(), 1);
        else ::unsetenv(name);
    };
    restore("QUELVOR_CONFIG_DIR", own);
    restore("XDG_CONFIG_HOME", xdg);
    restore("HOME", home);
}

TEST(ApplicationSettingsFile, LoadWithoutFileKeepsTheDefaults)
{
    TempDir dir;
    ApplicationSettings settings{};
    std::strcpy(settings.lastConfiguration, "Old");
    settings.previewLength = 3;
    std::string message;
    EXPECT_EQ(Ini_Load(dir.path().string(), settings, message), 0);
    EXPECT_EQ(message, "Load 'ini.pny': Could not open file.");
    EXPECT_STREQ(settings.lastConfiguration, "");
    EXPECT_EQ(settings.browserDirectory, dir.path().string());
    EXPECT_EQ(settings.outputDirectory, dir.path().string());
    EXPECT_EQ(settings.previewLength, 3);

    // A folder name that does not fit its field is not cut into another folder's name.
    EXPECT_EQ(Ini_Load(dir.file(std::string(600, 'd')), settings, message), 0);
    EXPECT_STREQ(settings.browserDirectory, "");
    EXPECT_STREQ(settings.outputDirectory, "");
}

TEST(ApplicationSettingsFile, RoundTripWithLittleEndianFieldsAtTheirOffsets)
{
    TempDir dir;
    StatusLog log;
    ApplicationSettings saved{};
    std::strcpy(saved.lastConfiguration, "Alpha");
    std::strcpy(saved.outputDirectory, "/data/out");
    saved.panelLeft = 0x01020304;
    saved.collapsed[46] = 1;
    saved.previewLength = -2;
    ASSERT_EQ(Ini_Save(dir.path().string(), saved, log), 1);
    EXPECT_EQ(log.rows.back().text, "Save 'ini.pny': Done.");

    const std::string bytes = ReadFile(dir.file("ini.pny"));
    ASSERT_EQ(bytes.size(), 21u + 1320u + 100u);
    EXPECT_EQ(bytes.substr(0, 21), kFrameLines);
    EXPECT_EQ(bytes.substr(21 + 1104, 4), "\x04\x03\x02\x01");
    EXPECT_EQ(bytes.substr(21 + 1124 + 46 * 4, 4), std::string("\x01\0\0\0", 4));
    EXPECT_EQ(bytes.substr(21 + 1316, 4), "\xFE\xFF\xFF\xFF");
    const std::string record = bytes.substr(21, 1320);
    EXPECT_EQ(bytes.substr(21 + 1320), ExpectedCheckBlock(record, std::stoi(bytes.substr(21 + 1320, 2))));

    ApplicationSettings loaded{};
    std::string message;
    EXPECT_EQ(Ini_Load(dir.path().string(), loaded, message), 1);
    EXPECT_EQ(message, "Load 'ini.pny': Done.");
    EXPECT_EQ(std::memcmp(&loaded, &saved, sizeof saved), 0);
}

TEST(ApplicationSettingsFile, DamagedFileLeavesTheDefaultsAndFailedSaveTheOldFile)
{
    TempDir dir;
    StatusLog log;
    ApplicationSettings saved{};
    saved.panelWidth = 1200;
    ASSERT_EQ(Ini_Save(dir.path().string(), saved, log), 1);
    std::string bytes = ReadFile(dir.file("ini.pny"));
    bytes[21 + 1108] ^= 0x10;
    WriteFile(dir.file("ini.pny"), bytes);

    ApplicationSettings loaded{};
    std::string message;
    EXPECT_EQ(Ini_Load(dir.path().string(), loaded, message), 0);
    EXPECT_EQ(message, "Load 'ini.pny': Incompatible file format.");
    EXPECT_EQ(loaded.panelWidth, 0);
    EXPECT_EQ(loaded.browserDirectory, dir.path().string());

    const std::string directory = dir.path().string();
    EXPECT_EXIT(RunWithFileSizeLimit(600, [&] {
                    StatusLog childLog;
                    return Ini_Save(directory, saved, childLog) == 0 &&
                           childLog.rows.back().text == "Save 'ini.pny': Could not write to file." &&
                           childLog.rows.back().icon == StatusIcon::Error;
                }),
                ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadFile(dir.file("ini.pny")), bytes);
    EXPECT_EQ(FileNames(dir.path()), std::vector<std::string>{"ini.pny"});
}

TEST(ApplicationSettingsMonitor, ComparesOriginsAndSizesOnly)
{
    ApplicationSettings settings{};
    settings.panelLeft = 100;
    settings.panelTop = 50;
    settings.panelWidth = 1200;
    settings.panelHeight = 800;
    const std::vector<MonitorEntry> monitors{{7, 0, 1280, 0, 1024}, {9, 1280, 1920, 0, 1080}};
    EXPECT_EQ(Ini_CheckMonitor(monitors, settings, 7), 1);  // right edge 1300 lies beyond 1280
    EXPECT_EQ(Ini_CheckMonitor(monitors, settings, 9), 0);  // origin left of the monitor's
    EXPECT_EQ(Ini_CheckMonitor(monitors, settings, 3), 0);  // no such monitor
    settings.panelHeight = 1100;
    EXPECT_EQ(Ini_CheckMonitor(monitors, settings, 7), 0);  // taller than the monitor
    EXPECT_EQ(Ini_CheckMonitor({{7, 0, 100, 0, 100}, {7, 0, 2000, 0, 2000}}, settings, 7), 1);
    EXPECT_EQ(Ini_CheckMonitor({}, settings, 7), 0);
}
