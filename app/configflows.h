#pragma once
// The named configurations of a session: listing them at start, selecting, saving, deleting,
// and the unsaved state. Questions to the user arrive as a Confirm answer from the caller.

#include <functional>
#include <optional>
#include <string>

#include "session/session.h"

// Asks the user a yes/no question; true for yes.
using Confirm = std::function<bool(const std::string &question)>;

// Loads a configuration file given by its path; logs "Load '<file name>': " with the outcome.
[[nodiscard]] std::optional<ConfigurationRecord> Configuration_LoadFile(const std::string &path, StatusLog &log);

// Lists and loads the stored configurations of the session's directory into the list and the
// ring. Without any: the configuration "New" with the tree's built-in defaults, checked and
// unsaved.
void Configuration_Init(Session &session);

// Makes `record` the configuration in hand: writes it into the tree (and the name text) and
// checks everything.
void Configuration_SelectRecord(Session &session, const ConfigurationRecord &record);

// Makes a listed configuration current (the first one when the name is not listed): copies it
// into the record, writes it into the tree and checks everything.
void Configuration_SetByName(Session &session, const std::string &name);

// Saves the current record under its name and updates the list and the ring. Returns 1 when
// saved, 0 when not (logged; nothing is logged while the controls are locked).
[[nodiscard]] int Gui_SaveConfiguration(Session &session);

// Before switching or quitting: asks whether to save unsaved changes. Returns 1 to go on, 0 to
// stay (the save failed).
[[nodiscard]] int Gui_SavedUnsavedChanges(Session &session, const Confirm &confirm);

// The callbacks of the configuration area. Each returns 1 when it changed something, 0 when
// not; all of them refuse input (0) while the controls are locked.

// The ring's entry `index` was selected: switches to it after the save question.
[[nodiscard]] int onConfigurationRing(Session &session, int index, const Confirm &confirm);

// The name text was edited.
[[nodiscard]] int onConfigurationString(Session &session, const std::string &text);

// The delete button: deletes the configuration named in the name text after confirmation.
[[nodiscard]] int onConfigurationDelete(Session &session, const Confirm &confirm);
