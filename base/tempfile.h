#pragma once
// Files that take their name only when complete: they are written under a temporary name
// beside the target (".<target>.quelvor-tmp-XXXXXX") and renamed over it at the end, so a
// failed or interrupted write never leaves a damaged file under the target's name.

#include <cstddef>
#include <string>

// Creates a new temporary file beside `target`, exclusively and with the permissions an
// ordinary new file gets, after removing the temporary files of the same target that a killed
// process left behind. Returns the descriptor and its path, or -1. The file is locked for as
// long as this descriptor (or a duplicate of it) is open: keep it open until the file has taken
// its target's name or was removed, so that another process that writes the same target meanwhile
// does not take it for a leftover.
[[nodiscard]] int Files_CreateTemporaryBeside(const std::string &target, std::string &temporaryPath);

// True for names that Files_CreateTemporaryBeside makes (a directory part is ignored).
bool Files_IsTemporaryName(const std::string &fileName);

// Writes all bytes, continuing after partial writes; false when the file takes fewer.
[[nodiscard]] bool Files_WriteAll(int fd, const void *data, size_t size);

enum class RenameOutcome { Done, TargetExists, Failed };

// Gives `from` the name `to` only where no file of that name exists, in one step (no window
// between a look and the rename, also against other processes): TargetExists leaves both files
// as they were. File systems without renameat2's RENAME_NOREPLACE take a hard link instead;
// only those without hard links as well fall back to a look before the rename.
[[nodiscard]] RenameOutcome Files_RenameNoReplace(const std::string &from, const std::string &to);

// Makes a completed rename in `directory` survive a crash.
void Files_SyncDirectory(const std::string &directory);
