#pragma once
// The application settings file "ini.pny" in the configuration directory: the working state
// remembered between runs (last configuration, folders, window placement, collapsed tree
// branches, overwrite protection, preview length). It has the frame of a configuration file
// with a 1320-byte record.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "configuration/statuslog.h"
#include "configuration/tree.h"

inline constexpr int kSettingsRecordBytes = 1320;
// The settings file holds the collapsed state of the first 47 items (the items it was made for);
// an item added later opens expanded.
inline constexpr int kCollapsedItems = 47;
inline constexpr const char *kSettingsFileName = "ini.pny";

// The record as stored byte for byte: texts NUL-terminated, integers 32-bit little-endian.
struct ApplicationSettings {
    char lastConfiguration[100];   // configuration shown at the last save
    char browserDirectory[500];    // folder of the file browser
    char outputDirectory[500];     // user-defined output folder; empty means "Same as input"
    int32_t monitorId;             // monitor that showed the main window
    int32_t panelLeft;
    int32_t panelWidth;
    int32_t panelTop;
    int32_t panelHeight;
    int32_t panelMaximized;        // 1 when the main window was maximised
    int32_t collapsed[kCollapsedItems];  // collapsed state of configuration tree items 0 .. 46
    int32_t overwriteProtection;
    int32_t previewLength;
};
static_assert(sizeof(ApplicationSettings) == kSettingsRecordBytes, "the record is the file layout");
static_assert(offsetof(ApplicationSettings, monitorId) == 1100);
static_assert(offsetof(ApplicationSettings, collapsed) == 1124);
static_assert(offsetof(ApplicationSettings, overwriteProtection) == 1312);
static_assert(offsetof(ApplicationSettings, previewLength) == 1316);
static_assert(std::endian::native == std::endian::little, "the integers are stored as held in memory");

// The record before loading: everything empty or 0.
inline ApplicationSettings Ini_DefaultSettings() { return ApplicationSettings{}; }

// Puts `text` into a text field of the record. A cut folder name would name another folder, so
// a text that does not fit (with its terminator) leaves the field empty.
template <size_t N>
void Ini_SetText(char (&field)[N], const std::string &text)
{
    std::memset(field, 0, N);
    if (text.size() < N) std::memcpy(field, text.data(), text.size());
}

// One monitor of the screen, as the window system reports it.
struct MonitorEntry {
    int32_t id = 0;
    int32_t left = 0;
    int32_t width = 0;
    int32_t top = 0;
    int32_t height = 0;
};

// The check block over the 1320 record bytes; `seed` (0 .. 99) null means a new seed.
void Ini_CalculateKey(const char *record, char *block, const int *seed);

// Sets the defaults (lastConfiguration empty; browserDirectory and outputDirectory the
// configuration directory `directory`, or empty when it does not fit), then reads "ini.pny"
// from `directory`. Only a file that verifies, with its three texts ending inside their fields,
// replaces `settings`. `message` becomes "Load 'ini.pny': " and the outcome; nothing is
// logged. Returns 1 when loaded, else 0.
[[nodiscard]] int Ini_Load(const std::string &directory, ApplicationSettings &settings, std::string &message);

// Writes `settings` atomically as "ini.pny" in `directory` (created when missing) and logs
// "Save 'ini.pny': " with the outcome. Returns 1 when saved, else 0.
[[nodiscard]] int Ini_Save(const std::string &directory, const ApplicationSettings &settings, StatusLog &log);

// 1 when the first monitor of `monitors` with id `monitorId` has its origin at or before the
// stored window's (left, top) and is at least as wide and as high as the stored window; else 0.
// Only origins and sizes are compared, not the far edges.
[[nodiscard]] int Ini_CheckMonitor(const std::vector<MonitorEntry> &monitors, const ApplicationSettings &settings,
                                   int monitorId);

// fromTree 1 reads the collapsed state of the 47 configuration tree items into the settings;
// 0 applies the settings' states to the tree.
void Ini_CollapsedStatus(ApplicationSettings &settings, ConfigurationTree &tree, int fromTree);
