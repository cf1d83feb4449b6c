#include "configuration/configlist.h"

void Gui_SetUnsavedStatus(ConfigurationList &list, int unsaved)
{
    if (list.unsaved == unsaved) return;
    list.unsaved = unsaved;
    list.nameLabel = unsaved ? "Configuration - unsaved" : "Configuration";
    list.saveEnabled = unsaved != 0;
    list.deleteEnabled = unsaved == 0;
}
