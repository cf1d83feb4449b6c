#pragma once
// Start-up and shut-down of a session, the same for every front end: the desktop program, the
// command line and the tests bring a session up and take it down through these functions.
// Nothing here touches a window: the front end reports its screens and the main window's
// placement as plain numbers and reads what to show from the session.

#include <string>
#include <vector>

#include "app/configflows.h"
#include "session/session.h"

// The main window needs one screen of at least this size.
inline constexpr int kMinimumWindowWidth = 1020;
inline constexpr int kMinimumWindowHeight = 710;

// 1 when one of `monitors` is at least 1020 x 710, else 0. `firstFitting` (may be null) gets
// the index of the first such monitor, in the order given, or -1.
[[nodiscard]] int Gui_MonitorCheck(const std::vector<MonitorEntry> &monitors, int *firstFitting);

// What every front end does first: the configuration directory (taken as given; the front end
// resolves the default with Configuration_Directory) and the analysis state.
void App_InitSession(Session &session, const std::string &configDirectory);

// The whole start-up, in the program's order: App_InitSession; the settings file (a load is
// logged with the ok icon and applied with Ini_Set; a refused file is logged with the question
// icon; a missing one is not logged); the stored configurations (Configuration_Init); and the
// configuration remembered in the settings selected and marked saved. `session.monitors` must
// hold the front end's screens before the call.
void App_StartSession(Session &session, const std::string &configDirectory);

// Applies the loaded settings record to the session: the browser folder, a user-defined output
// directory, the collapsed tree branches, overwrite protection, the preview length and, when
// its monitor still exists and holds it, the window placement ("Incompatible monitor data."
// with the question icon otherwise).
void Ini_Set(Session &session);

// Gathers the session's current state and the window's placement into the settings record,
// ready for Ini_Save.
void Ini_Gather(Session &session, const WindowPlacement &window);

// The close of the main window. A running conversion is aborted and waited for. Unsaved
// changes are offered for saving (Gui_SavedUnsavedChanges; an edited "New" asks for a name on
// Yes, an unedited one is not asked about): Cancel, a cancelled name or a failed save keeps the
// program open (0). The configuration still unnamed ("New") then quits without writing the
// settings file; any other has the settings gathered and saved. 1: quit.
[[nodiscard]] int App_CloseSession(Session &session, const Confirm &confirm, const AskName &askName,
                                   const WindowPlacement &window);
