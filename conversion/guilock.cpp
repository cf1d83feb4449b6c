#include "conversion/guilock.h"

#include <algorithm>
#include <array>

namespace {

// The controls a running conversion locks, in the order they are switched.
constexpr std::array<std::string_view, 15> kLockedControls{
    "TAB",          "BUTTON_DELETE", "BUTTON_SAVE",        "TREE_CONFIGURATION", "STRING_CONFIGURATION",
    "RING_CONFIGURATION", "BUTTON_OUTPUT", "BUTTON_ADD_Q", "BUTTON_ADD_I",       "TREE",
    "BUTTON_ADD_IQ", "RING_OUTPUT_SOURCE", "CHECKBOX_OVERWRITE", "BUTTON_REFRESH", "BROWSER"};

}  // namespace

void Gui_Lock(Session &session, int locked)
{
    session.views.controlsLocked = locked != 0;
    Session_Notify(session, SessionChange::Locks);
}

bool Gui_ControlTakesInput(const ViewState &views, std::string_view controlName)
{
    if (!views.controlsLocked) return true;
    return std::find(kLockedControls.begin(), kLockedControls.end(), controlName) == kLockedControls.end();
}
