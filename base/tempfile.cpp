#include "base/tempfile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

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

// Removes a temporary file unless its writer still holds it: a writer locks its file from its
// creation until it has taken the target's name, so only the leftovers of a process that died
// can be locked here. Another process writing the same target at the same moment keeps its file.
void RemoveIfAbandoned(const std::filesystem::path &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) ::unlink(path.c_str());
    ::close(fd);
}

// True while `path` still names the file open at `fd` (a leftover remover may have taken the
// name between its creation and its lock).
bool StillNamed(int fd, const std::string &path)
{
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 && opened.st_dev == named.st_dev &&
           opened.st_ino == named.st_ino;
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
            RemoveIfAbandoned(entry->path());
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
        if (fd < 0) {
            if (errno != EEXIST) return -1;
            continue;
        }
        // Where the file system has no locks (a network share without a lock service), the file
        // goes unlocked; the clean-up of other writers cannot lock it either and leaves it alone.
        const bool locked = ::flock(fd, LOCK_EX) == 0;
        if (!locked || StillNamed(fd, candidate)) {
            temporaryPath = candidate;
            return fd;
        }
        ::close(fd);
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

RenameOutcome Files_RenameNoReplace(const std::string &from, const std::string &to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return RenameOutcome::Done;
    if (errno == EEXIST) return RenameOutcome::TargetExists;
    // File systems without the flag: a hard link is made only where no name is, and just as
    // atomically; the temporary name is dropped after it.
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return RenameOutcome::Failed;
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return RenameOutcome::Done;
    }
    if (errno == EEXIST) return RenameOutcome::TargetExists;
    // Nor hard links (a FAT stick, some network shares): a look before the rename is all there
    // is; a job still keeps an existing file, but two writers at the very same moment are not
    // kept apart there.
    if (errno != EPERM && errno != ENOTSUP) return RenameOutcome::Failed;
    struct stat existing {};
    if (::lstat(to.c_str(), &existing) == 0) return RenameOutcome::TargetExists;
    return ::rename(from.c_str(), to.c_str()) == 0 ? RenameOutcome::Done : RenameOutcome::Failed;
}
