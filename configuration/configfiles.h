#pragma once
// Configuration files "<name>.pnx" in the configuration directory, and the frame that they share
// with the application settings file: the line "Brannig Quelvor", the line "1.05", a fixed-size
// binary record and a 100-byte check block. Files are saved atomically (temporary file beside
// the target, flushed to disk, renamed over it), so a failed save never damages the old file.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "configuration/record.h"
#include "configuration/statuslog.h"
#include "configuration/version.h"

inline constexpr std::string_view kFileProductLine = kProgramName;
inline constexpr std::string_view kFileVersionLine = kProgramVersion;
inline constexpr int kCheckBlockBytes = 100;
inline constexpr std::string_view kConfigurationExtension = ".pnx";

// The outcome of reading or writing a framed file; each has its status-log text.
enum class FileOutcome { Done, CouldNotOpen, Incompatible, CouldNotCreate, CouldNotWrite };

// "Done.", "Could not open file.", "Incompatible file format.", "Could not create file." or
// "Could not write to file.".
const char *Configuration_OutcomeText(FileOutcome outcome);

// The directory of configuration and settings files: $QUELVOR_CONFIG_DIR, else
// $XDG_CONFIG_HOME/quelvor, else ~/.config/quelvor (empty variables count as unset). Empty when
// none of them is known.
std::string Configuration_Directory();

// Fills the 100-byte check block over `size` record bytes: bytes 0-1 the seed "%02d", bytes 2-5
// the wrap-around 32-bit sum of the record bytes taken as signed 8-bit values (little-endian),
// bytes 6-99 record bytes at pseudo-random positions drawn with the seed. `seed` (0 .. 99) null
// means a new seed.
void Configuration_CalculateKeyOver(const char *record, int size, char *block, const int *seed);

// The check block over the 3300 bytes of a configuration record.
void Configuration_CalculateKey(const char *record, char *block, const int *seed);

// Reads the frame from `path` into `record` ([size: size]); on any outcome but Done the
// record's content is unspecified. Trailing bytes after the check block are ignored.
[[nodiscard]] FileOutcome Configuration_ReadFramedFile(const std::string &path, char *record, int size);

// Writes the frame with `record` ([size: size]) and a newly seeded check block as `fileName` in
// `directory`, creating the directory when missing. On failure the old file is left as it was
// and no temporary file remains. The temporary file is ".<fileName>.quelvor-tmp-XXXXXX"; those
// that an interrupted save of the same file left behind are removed first (listings ignore them,
// as they do not end in the extension).
[[nodiscard]] FileOutcome Configuration_WriteFramedFile(const std::string &directory, const std::string &fileName,
                                                        const char *record, int size);

// Loads "<name>.pnx" from `directory`; logs "Load '<name>.pnx': " with the outcome (ok icon
// when loaded, error icon otherwise). Returns the record when it was read and verified.
[[nodiscard]] std::optional<ConfigurationRecord> Configuration_Load(const std::string &directory, const std::string &name,
                                                      StatusLog &log);

// Saves `record` as "<name>.pnx" (its name slot) in `directory`; logs "Save '<name>.pnx': " with
// the outcome. Returns 1 when saved, else 0. A name that cannot be a file name (empty, or with
// "/") is not written: "Could not create file.".
[[nodiscard]] int Configuration_Save(const std::string &directory, const ConfigurationRecord &record,
                                     StatusLog &log);

// 1 when `name` may be saved: not empty, not "New", and none of the characters " * / < > ? \ |.
[[nodiscard]] int Configuration_CheckName(std::string_view name);

// Which of those rules `name` breaks, for the user ("a name cannot be empty", ...); empty when
// the name may be saved.
std::string Configuration_NameFault(std::string_view name);

// Cuts the ".pnx" extension off `fileName`; returns 1 when it had one, else 0 (unchanged).
[[nodiscard]] int Configuration_RemoveExtension(std::string &fileName);

// The names ("x.pnx") of the regular files in `directory` that end in ".pnx" and have a name
// before the extension, sorted byte-wise. Empty when the directory cannot be read.
std::vector<std::string> Configuration_ListFiles(const std::string &directory);
