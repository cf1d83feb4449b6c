// Loads arbitrary bytes as the application settings file "ini.pny".
// Oracle: a file that loads saves back to the same bytes apart from the seed (its check block
// recomputed with the loaded file's seed equals the loaded frame) and loads again to the same
// record, with its texts ending inside their fields; a file that does not load leaves the
// defaults. The first input byte chooses the mode:
// odd bytes seal the rest (a record, with the right check block added).

#include <cstring>
#include <filesystem>
#include <string>

#include "configuration/appsettings.h"
#include "configuration/configfiles.h"
#include "fuzzsupport.h"

namespace {

const char *Bytes(const ApplicationSettings &settings) { return reinterpret_cast<const char *>(&settings); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0) return 0;
    const std::string file = fuzzsupport::FileFromInput(data, size, kSettingsRecordBytes);
    const std::string loadDirectory = fuzzsupport::ScratchFile("load");
    const std::string saveDirectory = fuzzsupport::ScratchFile("save");
    std::error_code ignored;
    std::filesystem::create_directories(loadDirectory, ignored);
    fuzzsupport::WriteBytes(loadDirectory + "/" + kSettingsFileName, file);

    ApplicationSettings settings{};
    std::memset(&settings, 0x5A, sizeof settings);
    std::string message;
    const int loaded = Ini_Load(loadDirectory, settings, message);
    FUZZ_CHECK(message.starts_with("Load 'ini.pny': "), message);
    if (!loaded) {
        FUZZ_CHECK(settings.lastConfiguration[0] == '\0', "defaults not set");
        FUZZ_CHECK(std::string(settings.browserDirectory) == loadDirectory, "default browser directory");
        return 0;
    }

    const auto terminated = [](const auto &field) { return std::memchr(field, '\0', sizeof field) != nullptr; };
    FUZZ_CHECK(terminated(settings.lastConfiguration) && terminated(settings.browserDirectory) &&
                   terminated(settings.outputDirectory),
               "a loaded text has no terminator");
    StatusLog log;
    FUZZ_CHECK(Ini_Save(saveDirectory, settings, log) == 1, "save failed");
    const std::string saved = fuzzsupport::ReadBytes(saveDirectory + "/" + kSettingsFileName);
    const size_t at = file.find(std::string(Bytes(settings), kSettingsRecordBytes));
    FUZZ_CHECK(at != std::string::npos && at + kSettingsRecordBytes + kCheckBlockBytes <= file.size(),
               "record not in file");
    const char *storedBlock = file.data() + at + kSettingsRecordBytes;
    const std::string expected =
        fuzzsupport::FramedFile(Bytes(settings), kSettingsRecordBytes, (storedBlock[0] - '0') * 10 + (storedBlock[1] - '0'));
    fuzzsupport::CheckSavedFile(file, saved, expected);

    ApplicationSettings again{};
    FUZZ_CHECK(Ini_Load(saveDirectory, again, message) == 1 && std::memcmp(&again, &settings, sizeof again) == 0,
               "reload differs");

    // The monitor check on the stored placement.
    const std::vector<MonitorEntry> monitors{{0, 0, 1920, 0, 1080}, {settings.monitorId, -5000, 1024, -5000, 768}};
    (void)Ini_CheckMonitor(monitors, settings, settings.monitorId);
    return 0;
}
