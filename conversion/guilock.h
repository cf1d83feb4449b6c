#pragma once
// The lock-out of the controls that could change the configuration, the job list or the
// analysed job while a conversion runs.

#include "session/session.h"

// The controls the lock concerns (their objectName in the window in the comment).
enum class Control {
    Tab,                  // TAB: the page shown
    DeleteButton,         // BUTTON_DELETE
    SaveButton,           // BUTTON_SAVE
    ConfigurationTree,    // TREE_CONFIGURATION
    ConfigurationName,    // STRING_CONFIGURATION
    ConfigurationRing,    // RING_CONFIGURATION
    OutputButton,         // BUTTON_OUTPUT
    AddQButton,           // BUTTON_ADD_Q
    AddIButton,           // BUTTON_ADD_I
    JobsTree,             // TREE
    AddIqButton,          // BUTTON_ADD_IQ
    OutputSourceRing,     // RING_OUTPUT_SOURCE
    OverwriteCheckbox,    // CHECKBOX_OVERWRITE
    RefreshButton,        // BUTTON_REFRESH
    Browser,              // BROWSER: the folder tree and the file list
    DetectLayoutButton,   // BUTTON_DETECT_LAYOUT
    PresetsButton,        // BUTTON_PRESETS
    ConvertButton,        // BUTTON_CONVERT: never locked, it aborts the run
    AboutButton,          // BUTTON_ABOUT: never locked
};

// locked 1: the controls take no input (they still show their values); 0: operable again.
void Gui_Lock(Session &session, int locked);

// Whether the control takes input now.
bool Gui_ControlTakesInput(const ViewState &views, Control control);
