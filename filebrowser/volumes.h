#pragma once
// The folders under "My Computer": the file system's root, the user's home folder and the
// mounted volumes that hold files (pseudo file systems and the system's runtime mounts left out).

#include <QString>
#include <string>
#include <vector>

struct TopFolder {
    enum class Kind { Root, Home, Volume };
    std::string path;  // raw bytes, also the item's name for matching
    QString label;
    Kind kind = Kind::Volume;
};

// "/" and the home folder, which need nothing read from disk.
std::vector<TopFolder> RootAndHome();
// RootAndHome, then the volumes in mount order, each path once. Removable and optical volumes
// are left out when their flag is false; a volume whose device says nothing counts as fixed.
// Asks every mount for its state: may take long, or never return for a network mount that does
// not answer; not for the user-interface thread.
std::vector<TopFolder> TopFolders(bool withRemovable, bool withOptical);
