#pragma once
// Helpers shared by the test programs: temporary directories and generated files.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

// Whether this program runs under the address or thread sanitizer (gcc says so with
// __SANITIZE_*, clang with __has_feature). They keep freed memory in quarantine and shadow it, so
// resident sizes there say nothing about the program's own use.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kSanitized = true;
#elif defined(__has_feature)
inline constexpr bool kSanitized = __has_feature(address_sanitizer) || __has_feature(thread_sanitizer);
#else
inline constexpr bool kSanitized = false;
#endif

// A fresh directory under the system's temporary directory, removed with its content.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::filesystem::path &path() const { return path_; }
    // The path of `name` inside the directory, as text.
    std::string file(std::string_view name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Writes `bytes` to `path`, replacing the file.
void WriteFile(const std::string &path, std::string_view bytes);

// Reads the whole file.
std::string ReadFile(const std::string &path);

// Creates a sparse file of `size` bytes (holes read as zeros) and writes `tail` at its end.
void MakeSparseFile(const std::string &path, int64_t size, std::string_view tail = {});

// Starts the program `arguments[0]` with the rest as its arguments, its stdout and stderr going to
// the two files ("/dev/null" to drop one). Returns the child's pid.
int StartProcess(std::vector<std::string> arguments, const std::string &outPath, const std::string &errPath);

// Waits for the child: its exit status, or 128 + the signal that ended it.
int WaitForExit(int child);

}  // namespace testsupport

struct Session;

namespace testsupport {

// Brings a fresh session up as the program starts without stored configurations: the
// built-in defaults in the tree and a full check.
void StartWithDefaults(Session &session);

// A committed edit of the tree item that mirrors slot `key` (fails the test when refused).
void Edit(Session &session, std::string_view key, std::string_view text);

}  // namespace testsupport
