#include "parser/inputfiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

// Opens a regular file read-only; directories and other special files are refused.
FileHandle OpenRegularFile(const char *path)
{
    FileHandle handle(::open(path, O_RDONLY | O_CLOEXEC));
    if (!handle.valid()) return handle;
    struct stat info {};
    if (::fstat(handle.get(), &info) != 0 || !S_ISREG(info.st_mode)) handle.reset();
    return handle;
}

bool HasPath(const char *path) { return path != nullptr && path[0] != '\0'; }

}  // namespace

void Parser_Reset(InputFiles &files)
{
    files.inputHandleI.reset();
    files.inputHandleQ.reset();
    files.inputSizeI = -1;
    files.inputSizeQ = -1;
    files.inputSize = -1;
}

int Parser_OpenFiles(InputFiles &files, const char *pathI, const char *pathQ, int separate)
{
    files.inputSizeI = -1;
    if (HasPath(pathI)) {
        files.inputHandleI = OpenRegularFile(pathI);
        if (files.inputHandleI.valid()) files.inputSizeI = Parser_GetFileSize(pathI);
    }
    files.inputSizeQ = -1;
    if (HasPath(pathQ)) {
        files.inputHandleQ = OpenRegularFile(pathQ);
        if (files.inputHandleQ.valid()) files.inputSizeQ = Parser_GetFileSize(pathQ);
    }
    // With separate files the shorter file bounds both; a Q file that could not be opened
    // leaves the size unknown.
    files.inputSize = separate && files.inputSizeQ <= files.inputSizeI ? files.inputSizeQ : files.inputSizeI;
    return files.inputSize > 0 ? 1 : 0;
}

int Parser_InputFilesShrank(const InputFiles &files)
{
    const auto shrank = [](const FileHandle &handle, int64_t sizeWhenOpened) {
        struct stat info {};
        return handle.valid() && ::fstat(handle.get(), &info) == 0 && info.st_size < sizeWhenOpened;
    };
    return shrank(files.inputHandleI, files.inputSizeI) || shrank(files.inputHandleQ, files.inputSizeQ) ? 1 : 0;
}

void Parser_CloseFiles(InputFiles &files) { Parser_Reset(files); }

int64_t Parser_GetFileSize(const char *path)
{
    int error = 0;
    return Parser_QueryFileSize(path, &error);
}

int64_t Parser_QueryFileSize(const char *path, int *error)
{
    *error = 0;
    if (!HasPath(path)) {
        *error = ENOENT;
        return 0;
    }
    struct stat info {};
    if (::stat(path, &info) != 0) {
        *error = errno;
        return 0;
    }
    return S_ISREG(info.st_mode) ? static_cast<int64_t>(info.st_size) : 0;
}

int64_t Parser_ReadAt(int handle, int64_t position, void *buffer, int64_t count)
{
    if (handle < 0 || position < 0 || count <= 0) return 0;
    auto *target = static_cast<char *>(buffer);
    int64_t done = 0;
    while (done < count) {
        const ssize_t got = ::pread(handle, target + done, static_cast<size_t>(count - done),
                                    static_cast<off_t>(position + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += got;
    }
    return done;
}
