#pragma once
// The rules of the configuration tree: a committed cell edit, the check that adapts labels,
// enabled states and lists to the configuration and re-derives the settings, and text mode.

#include <string>

#include "session/session.h"

// A committed edit of the Value cell of `item` with `text`, as the tree view reports it.
// Returns 1 when the edit was taken; 0 for items without an editable cell, disabled items and
// while the controls are locked (nothing changes then).
[[nodiscard]] int onConfigurationTree(Session &session, int item, const std::string &text);

// Selects the list's first value when the cell's text is not one of its list values.
void Gui_CheckConfigurationRingValue(ConfigurationTree &tree, int item);

// item -1 checks everything; otherwise the item whose value just changed.
void Gui_CheckConfiguration(Session &session, int item);

// Enters (1) or leaves (0) text mode; nothing happens when the mode does not change.
void Gui_SetTextMode(Session &session, int isText);
