#pragma once
// Helpers shared by the fuzz targets: scratch files and the check that turns a broken oracle
// into a crash that libFuzzer reports and saves.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct Session;

namespace fuzzsupport {

// The path of `name` in a scratch directory of this process (removed at exit).
std::string ScratchFile(std::string_view name);

// Writes `bytes` to `path`, replacing the file.
void WriteBytes(const std::string &path, std::string_view bytes);

// Reads the whole file; empty when it cannot be read.
std::string ReadBytes(const std::string &path);

// Brings a fresh session up as the program starts: built-in defaults in the tree, a full check.
void StartWithDefaults(Session &session);

// Makes `record` the session's configuration as a load does: into the tree, then a full check.
void ApplyRecord(Session &session, const char *recordBytes);

// The bytes of a settings or configuration file: the two lines, `recordSize` record bytes and
// the check block computed with `seed`.
std::string FramedFile(const char *record, int recordSize, int seed);

// The file a fuzz input stands for: with an even first byte the rest as it is; with an odd one
// the rest taken as a record of `recordSize` bytes and sealed with a correct check block (seed
// from the first byte), so that arbitrary records get past the check.
std::string FileFromInput(const uint8_t *data, size_t size, int recordSize);

// Checks a file saved after `loaded` was loaded against `expected`, the frame of the loaded
// record: equal up to the check block, and equal byte for byte when the loaded file began with
// the canonical two lines.
void CheckSavedFile(const std::string &loaded, const std::string &saved, const std::string &expected);

// Reports a broken oracle and aborts, so the input is kept as a crash.
[[noreturn]] void Fail(const char *what, const std::string &detail = {});

}  // namespace fuzzsupport

#define FUZZ_CHECK(condition, detail)                                               \
    do {                                                                            \
        if (!(condition)) ::fuzzsupport::Fail(#condition, (detail));                \
    } while (0)
