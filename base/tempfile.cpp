#include "base/tempfile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <random>
#include <string_view>

namespace {

constexpr std::string_view kTemporaryMarker = ".quelvor-tmp-";
constexpr int kTemporarySuffixChars = 6;
constexpr std::string_view kSuffixAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
// Keeps ".<name>.quelvor-tmp-XXXXXX" within the 255 bytes a file name may have.
constexpr size_t kTemporaryNameStemMax = 200;
constexpr int kCreateAttempts = 100;

// The start of the temporary names of `target`: ".<name>.quelvor-tmp-".
std::string TemporaryNamePrefix(const std::filesystem::path &targetPath)
{
    std::string prefix(1, '.');
    prefix += targetPath.filename().string().substr(0, kTemporaryNameStemMax);
    prefix += kTemporaryMarker;
    return prefix;
}

// Removes the temporary files of `target` that a killed process left behind, so that they do not
// pile up.
void RemoveStaleTemporaries(const std::filesystem::path &targetPath, const std::string &prefix)
{
    const std::filesystem::path directory = targetPath.has_parent_path() ? targetPath.parent_path() : ".";
    std::error_code error;
    for (std::filesystem::directory_iterator entry(directory, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (name.size() == prefix.size() + kTemporarySuffixChars && name.starts_with(prefix) &&
            Files_IsTemporaryName(name))
            ::unlink(entry->path().c_str());
    }
}

}  // namespace

int Files_CreateTemporaryBeside(const std::string &target, std::string &temporaryPath)
{
    const std::filesystem::path targetPath(target);
    const std::string prefix = TemporaryNamePrefix(targetPath);
    RemoveStaleTemporaries(targetPath, prefix);
    std::random_device entropy;
    std::uniform_int_distribution<size_t> pick(0, kSuffixAlphabet.size() - 1);
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        std::string name = prefix;
        for (int k = 0; k < kTemporarySuffixChars; ++k) name += kSuffixAlphabet[pick(entropy)];
        const std::string candidate = (targetPath.parent_path() / name).string();
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            temporaryPath = candidate;
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    return -1;
}

bool Files_IsTemporaryName(const std::string &fileName)
{
    const std::string name = std::filesystem::path(fileName).filename().string();
    constexpr size_t kEndingChars = kTemporaryMarker.size() + kTemporarySuffixChars;
    if (name.size() < 2 + kEndingChars || name.front() != '.') return false;
    const std::string_view ending = std::string_view(name).substr(name.size() - kEndingChars);
    return ending.starts_with(kTemporaryMarker) &&
           ending.substr(kTemporaryMarker.size()).find_first_not_of(kSuffixAlphabet) == std::string_view::npos;
}

bool Files_WriteAll(int fd, const void *data, size_t size)
{
    const char *bytes = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

void Files_SyncDirectory(const std::string &directory)
{
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}
