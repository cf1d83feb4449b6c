#pragma once
// What the user chose to look at, kept in the session so that later redraws and the settings
// file keep it: collapsed branches of the two trees, the page shown, the browser's folder.
// While a run has the controls locked these are refused like any other input (the window then
// takes no expand clicks and shows no other page).

#include <string>

#include "session/session.h"

// A branch of the configuration tree was collapsed (1) or expanded (0). Returns 1 when taken.
[[nodiscard]] int Gui_SetTreeItemCollapsed(Session &session, int item, int collapsed);

// A job item or a job's status item was collapsed (1) or expanded (0). Returns 1 when taken.
[[nodiscard]] int Gui_SetJobItemCollapsed(Session &session, int item, int collapsed);

// The TAB page the user turned to. Returns 1 when taken.
[[nodiscard]] int Gui_SetActiveTab(Session &session, int tab);

// The folder the browser shows, as the raw bytes of its path. Returns 1 when taken.
[[nodiscard]] int Gui_SetBrowserDirectory(Session &session, const std::string &directory);
