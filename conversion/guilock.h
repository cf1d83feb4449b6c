#pragma once
// The lock-out of the controls that could change the configuration, the job list or the
// analysed job while a conversion runs.

#include <string_view>

#include "session/session.h"

// locked 1: the controls take no input (they still show their values); 0: operable again.
void Gui_Lock(Session &session, int locked);

// Whether the control with this objectName takes input now. BUTTON_CONVERT and BUTTON_ABOUT
// are never locked; the browser's folder tree and file list are "BROWSER".
bool Gui_ControlTakesInput(const ViewState &views, std::string_view controlName);
