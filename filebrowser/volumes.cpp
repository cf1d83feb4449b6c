#include "filebrowser/volumes.h"

#include <QDir>
#include <QFile>
#include <QStorageInfo>
#include <algorithm>
#include <iterator>
#include <climits>
#include <cstdlib>
#include <string_view>

#include "filebrowser/folderread.h"
#include "filebrowser/pathtext.h"

namespace {

// File systems that hold no user files, whatever their mount point.
constexpr std::string_view kPseudoTypes[] = {
    "proc",     "sysfs",  "devtmpfs", "devpts",      "cgroup",   "cgroup2", "securityfs", "debugfs",
    "tracefs",  "pstore", "bpf",      "configfs",    "fusectl",  "mqueue",  "hugetlbfs",  "autofs",
    "rootfs",   "nsfs",   "overlay",  "binfmt_misc", "efivarfs", "ramfs",   "rpc_pipefs", "selinuxfs",
};

bool StartsWith(std::string_view path, std::string_view folder)
{
    return path == folder || (path.size() > folder.size() && path.substr(0, folder.size()) == folder &&
                              path[folder.size()] == '/');
}

bool HoldsUserFiles(const std::string &type, const std::string &root)
{
    if (std::find(std::begin(kPseudoTypes), std::end(kPseudoTypes), type) != std::end(kPseudoTypes)) return false;
    if (StartsWith(root, "/proc") || StartsWith(root, "/sys") || StartsWith(root, "/dev")) return false;
    // /run holds the system's runtime mounts; removable media mount under /run/media on some systems.
    if (StartsWith(root, "/run") && !StartsWith(root, "/run/media")) return false;
    if (type == "squashfs" && StartsWith(root, "/snap")) return false;
    return true;
}

std::string ReadLine(const std::string &path)
{
    QFile file(PathText(path));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readLine().trimmed().toStdString();
}

// The block device's kernel name ("sdb1", "sr0") of a device path such as /dev/disk/by-uuid/...
std::string KernelName(const QByteArray &device)
{
    if (!device.startsWith('/')) return {};
    char resolved[PATH_MAX];
    const std::string path = ::realpath(device.constData(), resolved) ? resolved : device.toStdString();
    return path.substr(path.rfind('/') + 1);
}

bool IsRemovable(const std::string &name)
{
    if (name.empty()) return false;
    const std::string entry = "/sys/class/block/" + name;
    std::string flag = ReadLine(entry + "/removable");
    if (flag.empty()) {
        // A partition: the flag is on its disk, the folder above the partition's own.
        char resolved[PATH_MAX];
        if (::realpath(entry.c_str(), resolved)) {
            const std::string partition = resolved;
            flag = ReadLine(partition.substr(0, partition.rfind('/')) + "/removable");
        }
    }
    return flag == "1";
}

bool IsOptical(const std::string &name, const std::string &type)
{
    return name.rfind("sr", 0) == 0 || type == "iso9660" || type == "udf";
}

void Add(std::vector<TopFolder> &folders, std::string path, TopFolder::Kind kind)
{
    for (const TopFolder &folder : folders)
        if (folder.path == path) return;
    TopFolder folder{std::move(path), {}, kind};
    folder.label = ShownName(folder.path);
    folders.push_back(std::move(folder));
}

}  // namespace

std::vector<TopFolder> RootAndHome()
{
    std::vector<TopFolder> folders;
    Add(folders, "/", TopFolder::Kind::Root);
    const char *home = std::getenv("HOME");
    const std::string homePath = home && *home ? home : PathBytes(QDir::homePath());
    Add(folders, homePath, TopFolder::Kind::Home);
    return folders;
}

std::vector<TopFolder> TopFolders(bool withRemovable, bool withOptical)
{
    std::vector<TopFolder> folders = RootAndHome();
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady()) continue;
        const std::string root = PathBytes(volume.rootPath());
        const std::string type = volume.fileSystemType().toStdString();
        if (!HoldsUserFiles(type, root)) continue;
        const std::string device = KernelName(volume.device());
        const bool shown = IsOptical(device, type) ? withOptical : (withRemovable || !IsRemovable(device));
        if (!shown) continue;
        Add(folders, root, TopFolder::Kind::Volume);
    }
    return folders;
}
