#include "conversion/guilock.h"

void Gui_Lock(Session &session, int locked)
{
    session.views.controlsLocked = locked != 0;
    Session_Notify(session, SessionChange::Locks);
}

bool Gui_ControlTakesInput(const ViewState &views, Control control)
{
    if (!views.controlsLocked) return true;
    return control == Control::ConvertButton || control == Control::AboutButton;
}
