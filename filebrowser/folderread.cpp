#include "filebrowser/folderread.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

bool IsDotOrDotDot(const char *name) { return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)); }

std::atomic<FolderReadHook> readHook{nullptr};

}  // namespace

void SetFolderReadHook(FolderReadHook hook) { readHook = hook; }

int ReadFolder(const std::string &folder, ReadWhat what, std::vector<DiskEntry> &entries)
{
    entries.clear();
    if (const FolderReadHook hook = readHook) hook(folder);
    DIR *dir = ::opendir(folder.c_str());
    if (!dir) return errno;
    const int fd = ::dirfd(dir);
    int error = 0;
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir);
        if (!entry) {
            error = errno;
            break;
        }
        if (IsDotOrDotDot(entry->d_name)) continue;
        const unsigned char type = entry->d_type;
        const bool maybeFolder = type == DT_DIR || type == DT_LNK || type == DT_UNKNOWN;
        if (what == ReadWhat::FoldersOnly && !maybeFolder) continue;
        DiskEntry read;
        read.name = entry->d_name;
        if (what == ReadWhat::Everything && type == DT_DIR) {
            read.isDir = true;
        } else {
            struct stat info;
            if (::fstatat(fd, entry->d_name, &info, 0) == 0) {
                read.isDir = S_ISDIR(info.st_mode);
                if (!read.isDir) read.size = info.st_size;
                // On file systems that count them, a folder's links are 2 plus its sub-folders;
                // 2 means none, so the tree needs no expand mark. Others report 1.
                read.mayHaveSubfolders = !(read.isDir && info.st_nlink == 2);
            } else if (::fstatat(fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
                continue;  // removed since readdir named it
            }
            if (what == ReadWhat::FoldersOnly && !read.isDir) continue;
        }
        entries.push_back(std::move(read));
    }
    ::closedir(dir);
    return error;
}

std::string JoinPath(const std::string &folder, const std::string &name)
{
    if (folder.empty()) return name;
    std::string path = folder;
    if (path.back() != '/') path += '/';
    path += name;
    return path;
}

NameText MakeNameText(const std::string &raw)
{
    NameText text;
    text.shown = ShownName(raw);
    text.ascii = std::all_of(raw.begin(), raw.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (text.ascii) {
        text.lower = raw;
        for (char &c : text.lower)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

int CompareNames(const NameText &textA, const std::string &rawA, const NameText &textB, const std::string &rawB)
{
    if (textA.ascii && textB.ascii) {
        // Case folding maps A-Z to a-z and leaves the other ASCII characters; the case-sensitive
        // tie of two ASCII names is their byte order.
        if (const int order = textA.lower.compare(textB.lower)) return order;
        return rawA.compare(rawB);
    }
    if (const int order = QString::compare(textA.shown, textB.shown, Qt::CaseInsensitive)) return order;
    if (const int order = QString::compare(textA.shown, textB.shown, Qt::CaseSensitive)) return order;
    return rawA.compare(rawB);
}

Subfolders ReadSubfolders(const std::string &folder)
{
    Subfolders read;
    read.folder = folder;
    std::vector<DiskEntry> entries;
    read.error = ReadFolder(folder, ReadWhat::FoldersOnly, entries);
    if (read.error) return read;
    std::vector<NameText> texts(entries.size());
    std::vector<size_t> order(entries.size());
    for (size_t n = 0; n < entries.size(); ++n) {
        texts[n] = MakeNameText(entries[n].name);
        order[n] = n;
    }
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return CompareNames(texts[a], entries[a].name, texts[b], entries[b].name) < 0;
    });
    read.folders.reserve(entries.size());
    for (size_t n : order)
        read.folders.push_back({std::move(entries[n].name), std::move(texts[n].shown), entries[n].mayHaveSubfolders});
    return read;
}
