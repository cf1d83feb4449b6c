#pragma once
// What the user chose to look at, kept in the session so that later redraws and the settings
// file keep it: collapsed branches of the two trees and the page shown (the browser's folder is
// in app/filesflows.h).
// While a run has the controls locked these are refused like any other input (the window then
// takes no expand clicks and shows no other page).

#include "session/session.h"

// A branch of the configuration tree was collapsed (1) or expanded (0). Returns 1 when taken.
[[nodiscard]] int Gui_SetTreeItemCollapsed(Session &session, int item, int collapsed);

// A job item or a job's status item was collapsed (1) or expanded (0). Returns 1 when taken.
[[nodiscard]] int Gui_SetJobItemCollapsed(Session &session, int item, int collapsed);

// The TAB page the user turned to. Returns 1 when taken.
[[nodiscard]] int Gui_SetActiveTab(Session &session, int tab);
