#pragma once
// The named configurations of a session: listing them at start, selecting, saving, deleting,
// and the unsaved state. Questions to the user arrive as a Confirm answer from the caller.

#include <functional>
#include <optional>
#include <string>

#include "session/session.h"

// The user's answer to a question. Cancel leaves everything as it was.
enum class Answer { Yes, No, Cancel };

// Asks the user a question, offering Cancel besides Yes and No when `offersCancel`.
using Confirm = std::function<Answer(const std::string &question, bool offersCancel)>;

// Asks the user for a configuration name, with `prompt`; nullopt when the user cancels.
using AskName = std::function<std::optional<std::string>(const std::string &prompt)>;

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

// Saves the current record under its name and updates the list and the ring, which then
// shows the saved configuration. Returns 1 when saved, 0 when not (logged, an invalid name with
// the rule it breaks; nothing is logged while the controls are locked).
[[nodiscard]] int Gui_SaveConfiguration(Session &session);

// Names the current record `name`, as typing it into the name text does, and saves it as the
// save button does.
[[nodiscard]] int Gui_SaveConfigurationAs(Session &session, const std::string &name);

// Before switching or quitting: asks whether to save unsaved changes (Yes, No or Cancel); an
// unedited "New" has nothing to save and is not asked about. Yes saves; a configuration whose
// name cannot be saved ("New") is first given one with `askName`. Returns 1 to go on, 0 to stay
// (Cancel, a cancelled name or a failed save).
[[nodiscard]] int Gui_SavedUnsavedChanges(Session &session, const Confirm &confirm, const AskName &askName);

// The callbacks of the configuration area. Each returns 1 when it changed something, 0 when
// not; all of them refuse input (0) while the controls are locked.

// The ring's entry `index` was selected: switches to it after the save question; when the user
// stays, the ring shows the configuration in hand again.
[[nodiscard]] int onConfigurationRing(Session &session, int index, const Confirm &confirm, const AskName &askName);

// The name text was edited.
[[nodiscard]] int onConfigurationString(Session &session, const std::string &text);

// The delete button: deletes the configuration named in the name text after confirmation (a
// yes/no question).
[[nodiscard]] int onConfigurationDelete(Session &session, const Confirm &confirm);
