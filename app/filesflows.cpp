#include "app/filesflows.h"

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

#include "app/layoutflows.h"
#include "conversion/jobs.h"

namespace {

// The ordering key of a name: ASCII letters in lower case, every other byte as it is.
std::string SortKey(const std::string &name)
{
    std::string key = name;
    for (char &c : key)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return key;
}

bool IsFolder(const std::string &path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The plain files in `folder` (links followed), in name order.
std::vector<std::string> FilesIn(const std::string &folder)
{
    std::vector<std::pair<std::string, std::string>> named;  // key, name
    DIR *dir = ::opendir(folder.c_str());
    if (!dir) return {};
    while (const dirent *entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        struct stat info;
        if (::fstatat(::dirfd(dir), entry->d_name, &info, 0) != 0 || !S_ISREG(info.st_mode)) continue;
        named.emplace_back(SortKey(name), name);
    }
    ::closedir(dir);
    std::sort(named.begin(), named.end());
    const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + '/';
    std::vector<std::string> files;
    files.reserve(named.size());
    for (const auto &[key, name] : named) files.push_back(prefix + name);
    return files;
}

}  // namespace

std::vector<std::string> App_ListDroppedPaths(const std::vector<std::string> &dropped)
{
    std::vector<std::string> files;
    for (const std::string &path : dropped) {
        if (!IsFolder(path)) {
            files.push_back(path);
            continue;
        }
        const std::vector<std::string> inside = FilesIn(path);
        files.insert(files.end(), inside.begin(), inside.end());
    }
    return files;
}

bool App_TakesDrops(Session &session)
{
    if (!Session_Locked(session)) return true;
    Gui_UpdateStatus(session, "Files cannot be added while the conversion runs", StatusIcon::Error);
    return false;
}

int App_AddDroppedFiles(Session &session, const std::vector<std::string> &files, int qFiles)
{
    if (!App_TakesDrops(session) || files.empty()) return 0;
    return App_AddFiles(session, qFiles, files);
}

int App_SetBrowserDirectory(Session &session, const std::string &folder)
{
    if (Session_Locked(session)) return 0;
    session.views.browserDirectory = folder;
    return 1;
}
