#pragma once
// The "Files" page's rules beyond the job list itself: files dropped from a file manager and the
// folder the browser shows. Qt-free; the window calls these and shows what they leave.

#include <string>
#include <vector>

#include "session/session.h"

// What dropped or selected paths stand for: a folder for the files in it (hidden ones too, sub-folders
// and special files left out, ordered by name with A-Z and a-z alike, ties by their bytes), any
// other path for itself. A folder that cannot be read stands for nothing.
// Reads the disk and may take long on a slow mount: call it on a worker thread, not on the
// user-interface thread.
std::vector<std::string> App_ListDroppedPaths(const std::vector<std::string> &dropped);

// Whether dropped files can be added now. While a conversion runs they cannot, and the status
// log says why ("Files cannot be added while the conversion runs").
[[nodiscard]] bool App_TakesDrops(Session &session);

// Adds the files that dropped or selected paths stood for (App_ListDroppedPaths) as jobs, as the
// add buttons add files (qFiles 1: as Q files). Returns the number of files taken; 0 while a
// conversion runs (App_TakesDrops logs why: the run may have started while the folders were read).
[[nodiscard]] int App_AddDroppedFiles(Session &session, const std::vector<std::string> &files, int qFiles = 0);

// Stores the folder the browser shows (raw bytes; empty for "My Computer"), to be opened again
// at the next start. Returns 1, or 0 while the controls are locked (nothing changes then).
[[nodiscard]] int App_SetBrowserDirectory(Session &session, const std::string &folder);
