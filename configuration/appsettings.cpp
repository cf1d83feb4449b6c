#include "configuration/appsettings.h"

#include <cstring>
#include <filesystem>

#include "configuration/configfiles.h"

namespace {

char *Bytes(ApplicationSettings &settings) { return reinterpret_cast<char *>(&settings); }
const char *Bytes(const ApplicationSettings &settings) { return reinterpret_cast<const char *>(&settings); }

// The texts are used as NUL-terminated strings; each must end inside its field.
bool TextsAreTerminated(const ApplicationSettings &settings)
{
    const auto terminated = [](const auto &field) { return std::memchr(field, '\0', sizeof field) != nullptr; };
    return terminated(settings.lastConfiguration) && terminated(settings.browserDirectory) &&
           terminated(settings.outputDirectory);
}

}  // namespace

void Ini_CalculateKey(const char *record, char *block, const int *seed)
{
    Configuration_CalculateKeyOver(record, kSettingsRecordBytes, block, seed);
}

int Ini_Load(const std::string &directory, ApplicationSettings &settings, std::string &message)
{
    std::memset(settings.lastConfiguration, 0, sizeof settings.lastConfiguration);
    Ini_SetText(settings.browserDirectory, directory);
    Ini_SetText(settings.outputDirectory, directory);

    ApplicationSettings scratch{};
    FileOutcome outcome = Configuration_ReadFramedFile(
        (std::filesystem::path(directory) / kSettingsFileName).string(), Bytes(scratch), kSettingsRecordBytes);
    if (outcome == FileOutcome::Done && !TextsAreTerminated(scratch)) outcome = FileOutcome::Incompatible;
    message = std::string("Load '") + kSettingsFileName + "': " + Configuration_OutcomeText(outcome);
    if (outcome != FileOutcome::Done) return 0;
    settings = scratch;
    return 1;
}

int Ini_Save(const std::string &directory, const ApplicationSettings &settings, StatusLog &log)
{
    const FileOutcome outcome =
        Configuration_WriteFramedFile(directory, kSettingsFileName, Bytes(settings), kSettingsRecordBytes);
    Gui_UpdateStatus(log, std::string("Save '") + kSettingsFileName + "': " + Configuration_OutcomeText(outcome),
                     outcome == FileOutcome::Done ? StatusIcon::Ok : StatusIcon::Error);
    return outcome == FileOutcome::Done ? 1 : 0;
}

int Ini_CheckMonitor(const std::vector<MonitorEntry> &monitors, const ApplicationSettings &settings, int monitorId)
{
    for (const MonitorEntry &monitor : monitors) {
        if (monitor.id == monitorId && monitor.left <= settings.panelLeft && monitor.top <= settings.panelTop &&
            settings.panelWidth <= monitor.width && settings.panelHeight <= monitor.height)
            return 1;
    }
    return 0;
}

void Ini_CollapsedStatus(ApplicationSettings &settings, ConfigurationTree &tree, int fromTree)
{
    for (int item = 0; item < kCollapsedItems; ++item) {
        if (fromTree)
            settings.collapsed[item] = tree.items[item].collapsed ? 1 : 0;
        else
            tree.items[item].collapsed = settings.collapsed[item] != 0;
    }
}
