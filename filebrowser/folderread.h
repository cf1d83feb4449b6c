#pragma once
// Reading a folder from disk with opendir/readdir and one stat per entry at most. Names stay
// the raw bytes the file system holds (spaces, newlines and bytes that are not UTF-8 survive);
// only what is shown goes through QString. Everything here may run on any thread: the browser
// reads on threads of its own (BackgroundReads), never on the user-interface thread.

#include <QString>
#include <cstdint>
#include <string>
#include <vector>

struct DiskEntry {
    std::string name;               // raw bytes
    int64_t size = 0;               // bytes; 0 for folders and broken symbolic links
    bool isDir = false;             // a folder, or a symbolic link to one
    bool mayHaveSubfolders = true;  // folders read with FoldersOnly: false when the link count says none
};

enum class ReadWhat {
    Everything,   // every entry; folders named by readdir as such are not stat'ed (no size needed)
    FoldersOnly,  // the sub-folders; plain files named by readdir are skipped without a stat
};

// Reads the entries of `folder` ("." and ".." left out, hidden ones kept) into `entries`, in the
// order readdir gives them. Returns 0, or the errno of opendir or readdir. An entry that stat
// cannot follow is taken as lstat gives it (a broken link: a file of size 0).
int ReadFolder(const std::string &folder, ReadWhat what, std::vector<DiskEntry> &entries);

// Called with the folder by every ReadFolder before it opens the folder, on the reading thread.
// The tests put a hook here that holds a read as long as they like, as a mount that does not
// answer would. Null (the default): none.
using FolderReadHook = void (*)(const std::string &folder);
void SetFolderReadHook(FolderReadHook hook);

// `name` inside `folder`: "/" + "a" is "/a", "/x" + "a" is "/x/a".
std::string JoinPath(const std::string &folder, const std::string &name);

// A name as shown and as ordered. Names are ordered case-insensitively as
// QString::compare(..., Qt::CaseInsensitive) orders them, ties case-sensitively, and names that
// show the same (bytes that are not UTF-8 all become the replacement character) by their raw
// bytes, so that the order is total and the same on every read. For an ASCII name the
// lower-case bytes give that order directly, much faster than comparing QStrings.
struct NameText {
    QString shown;      // the bytes read as UTF-8, replacement characters for bad bytes
    std::string lower;  // ASCII names: the name in lower case; empty otherwise
    bool ascii = false;
};

NameText MakeNameText(const std::string &raw);

// <0, 0 or >0 like strcmp.
int CompareNames(const NameText &textA, const std::string &rawA, const NameText &textB, const std::string &rawB);

// The sub-folders of one folder, ordered by name as the tree shows them.
struct Subfolder {
    std::string name;  // raw
    QString label;
    bool mayHaveSubfolders = true;
};
struct Subfolders {
    std::string folder;  // raw full path of the folder read
    int error = 0;       // the errno of the read; 0: read
    std::vector<Subfolder> folders;
};
Subfolders ReadSubfolders(const std::string &folder);

// The text shown for a name: the bytes read as UTF-8, replacement characters for bad bytes.
inline QString ShownName(const std::string &raw) { return QString::fromUtf8(raw.data(), static_cast<qsizetype>(raw.size())); }
