#pragma once
// The open input files of the analysed job: sizes and absolute positions are 64-bit.

#include <cstdint>
#include <string>

#include "base/filehandle.h"

struct InputFiles {
    FileHandle inputHandleI;    // the combined IQ file or the I file; invalid when closed
    FileHandle inputHandleQ;    // the Q file of separate files; invalid when closed or unused
    int64_t inputSizeI = -1;
    int64_t inputSizeQ = -1;
    int64_t inputSize = -1;     // usable size; for separate files the smaller of the two
};

// Marks both handles closed and the sizes unknown. The handles own their descriptors, so a
// handle that is still open is closed rather than leaked.
void Parser_Reset(InputFiles &files);

// Opens the files read-only; either path may be null or empty. `separate` is 1 unless the
// structure is "Combined IQ (1 File)". Returns 1 when inputSize > 0 afterwards, else 0. The
// caller closes the previous files first.
[[nodiscard]] int Parser_OpenFiles(InputFiles &files, const char *pathI, const char *pathQ, int separate);

// 1 when an open file is now shorter than it was when opened (another program truncated it),
// else 0. Reads that end early are normal for text; this tells them from a file that changed.
int Parser_InputFilesShrank(const InputFiles &files);

// Closes every open handle, then resets.
void Parser_CloseFiles(InputFiles &files);

// Size in bytes of the named file; 0 when it cannot be queried or is not a regular file.
int64_t Parser_GetFileSize(const char *path);

// The same size; *error receives the errno of a query that failed (ENOENT for a file that is
// gone), 0 when the file could be queried (a folder or special file: size 0, error 0).
int64_t Parser_QueryFileSize(const char *path, int *error);

// Reads up to `count` bytes at the absolute `position`, retrying short reads; returns the
// number of bytes read (fewer at the end of the file or on an error).
[[nodiscard]] int64_t Parser_ReadAt(int handle, int64_t position, void *buffer, int64_t count);
