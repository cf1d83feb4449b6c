#include "fuzzsupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/startup.h"
#include "configuration/configfiles.h"

namespace fuzzsupport {

namespace {

// One directory per process, so that parallel fuzzing jobs never share files.
class ScratchDirectory {
public:
    ScratchDirectory()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "quelvor-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) Fail("cannot create the scratch directory");
        path_ = pattern;
    }
    ~ScratchDirectory()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path &path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace

std::string ScratchFile(std::string_view name)
{
    static ScratchDirectory directory;
    return (directory.path() / name).string();
}

void WriteBytes(const std::string &path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) Fail("cannot write a scratch file", path);
}

std::string ReadBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void StartWithDefaults(Session &session)
{
    App_InitSession(session, "");
    Configuration_SelectRecord(session, Configuration_DefaultRecord());
}

void ApplyRecord(Session &session, const char *recordBytes)
{
    ConfigurationRecord record;
    std::memcpy(Configuration_Bytes(record), recordBytes, kRecordBytes);
    Configuration_SelectRecord(session, record);
}

void Fail(const char *what, const std::string &detail)
{
    std::fprintf(stderr, "oracle failed: %s %s\n", what, detail.c_str());
    std::abort();
}

std::string FramedFile(const char *record, int recordSize, int seed)
{
    char block[kCheckBlockBytes];
    Configuration_CalculateKeyOver(record, recordSize, block, &seed);
    std::string bytes(kFileProductLine);
    bytes.append("\n").append(kFileVersionLine).append("\n");
    bytes.append(record, static_cast<size_t>(recordSize)).append(block, sizeof block);
    return bytes;
}

std::string FileFromInput(const uint8_t *data, size_t size, int recordSize)
{
    const std::string rest(reinterpret_cast<const char *>(data) + 1, size - 1);
    if ((data[0] & 1) == 0) return rest;
    std::string record = rest.substr(0, static_cast<size_t>(recordSize));
    record.resize(static_cast<size_t>(recordSize), '\0');
    return FramedFile(record.data(), recordSize, data[0] / 2 % 100);
}

void CheckSavedFile(const std::string &loaded, const std::string &saved, const std::string &expected)
{
    FUZZ_CHECK(saved.size() == expected.size(), "saved size");
    FUZZ_CHECK(saved.compare(0, saved.size() - kCheckBlockBytes, expected, 0, expected.size() - kCheckBlockBytes) == 0,
               "saved frame or record differs");
    const std::string canonicalPrefix = std::string(kFileProductLine) + "\n" + std::string(kFileVersionLine) + "\n";
    if (loaded.compare(0, canonicalPrefix.size(), canonicalPrefix) == 0)
        FUZZ_CHECK(loaded.compare(0, expected.size(), expected) == 0, "saved bytes differ from the loaded file");
}

}  // namespace fuzzsupport
