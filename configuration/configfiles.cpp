#include "configuration/configfiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>

#include "base/tempfile.h"

namespace {

constexpr int kLineBufferBytes = 99;  // a line of at most 98 characters and its terminator
constexpr int kSeedCount = 100;
constexpr int kSumOffset = 2;
constexpr int kSampleOffset = 6;
constexpr std::string_view kInvalidNameCharacters = "\"*/<>?\\|";

// The reference pseudo-random generator of the C standard, so that check blocks are the same
// on every build and machine: next = next * 1103515245 + 12345, value = (next / 65536) % 32768.
class CheckBlockGenerator {
public:
    explicit CheckBlockGenerator(uint32_t seed) : next_(seed) {}
    uint32_t Next()
    {
        next_ = next_ * 1103515245u + 12345u;
        return (next_ / 65536u) % 32768u;
    }

private:
    uint32_t next_;
};

int NewSeed()
{
    std::random_device entropy;
    return static_cast<int>(entropy() % kSeedCount);
}

// Reads one line the way the files were always read: at most 98 characters, of which the last
// (the line feed) is removed.
bool ReadLine(std::FILE *file, std::string &line)
{
    char buffer[kLineBufferBytes];
    if (!std::fgets(buffer, sizeof buffer, file)) return false;
    line = buffer;
    if (!line.empty()) line.pop_back();
    return true;
}

// The seed in the first two block bytes, or -1 when they are not two digits.
int StoredSeed(const char *block)
{
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (!digit(block[0]) || !digit(block[1])) return -1;
    return (block[0] - '0') * 10 + (block[1] - '0');
}

std::string FileNameOf(const ConfigurationRecord &record)
{
    return std::string(record.name, strnlen(record.name, sizeof record.name)) + std::string(kConfigurationExtension);
}

void LogOutcome(StatusLog &log, const std::string &prefix, FileOutcome outcome)
{
    Gui_UpdateStatus(log, prefix + Configuration_OutcomeText(outcome),
                     outcome == FileOutcome::Done ? StatusIcon::Ok : StatusIcon::Error);
}

}  // namespace

const char *Configuration_OutcomeText(FileOutcome outcome)
{
    switch (outcome) {
    case FileOutcome::Done: return "Done.";
    case FileOutcome::CouldNotOpen: return "Could not open file.";
    case FileOutcome::Incompatible: return "Incompatible file format.";
    case FileOutcome::CouldNotCreate: return "Could not create file.";
    case FileOutcome::CouldNotWrite: return "Could not write to file.";
    }
    return "";
}

std::string Configuration_Directory()
{
    const auto variable = [](const char *name) {
        const char *value = std::getenv(name);
        return std::string(value ? value : "");
    };
    if (const std::string own = variable("QUELVOR_CONFIG_DIR"); !own.empty()) return own;
    if (const std::string xdg = variable("XDG_CONFIG_HOME"); !xdg.empty()) return xdg + "/quelvor";
    if (const std::string home = variable("HOME"); !home.empty()) return home + "/.config/quelvor";
    return "";
}

void Configuration_CalculateKeyOver(const char *record, int size, char *block, const int *seed)
{
    const int blockSeed = seed ? *seed : NewSeed();
    block[0] = static_cast<char>('0' + blockSeed / 10 % 10);
    block[1] = static_cast<char>('0' + blockSeed % 10);

    uint32_t sum = 0;
    for (int k = 0; k < size; ++k) sum += static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(record[k])));
    for (int k = 0; k < 4; ++k) block[kSumOffset + k] = static_cast<char>(sum >> (8 * k) & 0xFF);

    CheckBlockGenerator generator(static_cast<uint32_t>(blockSeed));
    for (int k = kSampleOffset; k < kCheckBlockBytes; ++k)
        block[k] = record[generator.Next() % static_cast<uint32_t>(size)];
}

void Configuration_CalculateKey(const char *record, char *block, const int *seed)
{
    Configuration_CalculateKeyOver(record, kRecordBytes, block, seed);
}

FileOutcome Configuration_ReadFramedFile(const std::string &path, char *record, int size)
{
    const std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    struct stat status{};
    if (!file || ::fstat(::fileno(file.get()), &status) != 0 || S_ISDIR(status.st_mode))
        return FileOutcome::CouldNotOpen;

    std::string line;
    if (!ReadLine(file.get(), line) || line != kFileProductLine) return FileOutcome::Incompatible;
    // Older versions sort before ours and are read; newer ones are refused.
    if (!ReadLine(file.get(), line) || std::strcmp(line.c_str(), kFileVersionLine.data()) > 0)
        return FileOutcome::Incompatible;

    char stored[kCheckBlockBytes];
    if (std::fread(record, 1, static_cast<size_t>(size), file.get()) != static_cast<size_t>(size) ||
        std::fread(stored, 1, sizeof stored, file.get()) != sizeof stored)
        return FileOutcome::Incompatible;

    const int seed = StoredSeed(stored);
    if (seed < 0) return FileOutcome::Incompatible;
    char expected[kCheckBlockBytes];
    Configuration_CalculateKeyOver(record, size, expected, &seed);
    return std::memcmp(expected, stored, sizeof stored) == 0 ? FileOutcome::Done : FileOutcome::Incompatible;
}

FileOutcome Configuration_WriteFramedFile(const std::string &directory, const std::string &fileName,
                                          const char *record, int size)
{
    std::error_code error;
    if (!directory.empty()) std::filesystem::create_directories(directory, error);
    if (error) return FileOutcome::CouldNotCreate;

    const std::filesystem::path target = std::filesystem::path(directory) / fileName;
    std::string temporary;
    const int fd = Files_CreateTemporaryBeside(target.string(), temporary);
    if (fd < 0) return FileOutcome::CouldNotCreate;

    char block[kCheckBlockBytes];
    Configuration_CalculateKeyOver(record, size, block, nullptr);
    std::string content;
    content.reserve(kFileProductLine.size() + kFileVersionLine.size() + 2 + static_cast<size_t>(size) + sizeof block);
    content.append(kFileProductLine).append("\n").append(kFileVersionLine).append("\n");
    content.append(record, static_cast<size_t>(size)).append(block, sizeof block);

    const bool written = Files_WriteAll(fd, content.data(), content.size()) && ::fsync(fd) == 0;
    if (!written) {
        ::unlink(temporary.c_str());
        ::close(fd);
        return FileOutcome::CouldNotWrite;
    }
    // Only a name that cannot be taken (a folder of that name, say) makes the rename fail. The
    // descriptor stays open until then: it keeps the temporary file locked against removal.
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        ::unlink(temporary.c_str());
        ::close(fd);
        return FileOutcome::CouldNotCreate;
    }
    ::close(fd);
    Files_SyncDirectory(directory.empty() ? "." : directory);
    return FileOutcome::Done;
}

std::optional<ConfigurationRecord> Configuration_Load(const std::string &directory, const std::string &name,
                                                      StatusLog &log)
{
    const std::string fileName = name + std::string(kConfigurationExtension);
    ConfigurationRecord record{};
    FileOutcome outcome = Configuration_ReadFramedFile((std::filesystem::path(directory) / fileName).string(),
                                                       Configuration_Bytes(record), kRecordBytes);
    if (outcome == FileOutcome::Done && !Configuration_SlotsAreTerminated(record)) outcome = FileOutcome::Incompatible;
    LogOutcome(log, "Load '" + fileName + "': ", outcome);
    if (outcome != FileOutcome::Done) return std::nullopt;
    return record;
}

int Configuration_Save(const std::string &directory, const ConfigurationRecord &record, StatusLog &log)
{
    const std::string fileName = FileNameOf(record);
    const bool nameUsable = fileName.size() > kConfigurationExtension.size() && fileName.find('/') == std::string::npos;
    const FileOutcome outcome = nameUsable ? Configuration_WriteFramedFile(directory, fileName,
                                                                           Configuration_Bytes(record), kRecordBytes)
                                           : FileOutcome::CouldNotCreate;
    LogOutcome(log, "Save '" + fileName + "': ", outcome);
    return outcome == FileOutcome::Done ? 1 : 0;
}

int Configuration_CheckName(std::string_view name) { return Configuration_NameFault(name).empty() ? 1 : 0; }

std::string Configuration_NameFault(std::string_view name)
{
    if (name.empty()) return "a name cannot be empty";
    if (name == "New") return "\"New\" is kept for the unsaved configuration";
    const size_t invalid = name.find_first_of(kInvalidNameCharacters);
    if (invalid != std::string_view::npos)
        return "a name cannot hold the character '" + std::string(1, name[invalid]) + "'";
    return {};
}

int Configuration_RemoveExtension(std::string &fileName)
{
    if (!fileName.ends_with(kConfigurationExtension)) return 0;
    fileName.resize(fileName.size() - kConfigurationExtension.size());
    return 1;
}

std::vector<std::string> Configuration_ListFiles(const std::string &directory)
{
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(directory, error), end; !error && entry != end;
         entry.increment(error)) {
        std::string name = entry->path().filename().string();
        std::error_code typeError;
        if (name.size() > kConfigurationExtension.size() && name.ends_with(kConfigurationExtension) &&
            entry->is_regular_file(typeError))
            names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}
