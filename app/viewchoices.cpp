#include "app/viewchoices.h"

#include "conversion/guilock.h"

int Gui_SetTreeItemCollapsed(Session &session, int item, int collapsed)
{
    if (!Gui_ControlTakesInput(session.views, Control::ConfigurationTree)) return 0;
    if (item < 0 || item >= kTreeItemCount) return 0;
    session.tree.items[item].collapsed = collapsed != 0;
    return 1;
}

int Gui_SetJobItemCollapsed(Session &session, int item, int collapsed)
{
    if (!Gui_ControlTakesInput(session.views, Control::JobsTree)) return 0;
    const int offset = item % kItemsPerJob;
    if (item < 0 || item >= static_cast<int>(session.jobs.items.size()) || (offset != kJobItem && offset != kJobStatus))
        return 0;
    session.jobs.items[item].collapsed = collapsed != 0;
    return 1;
}

int Gui_SetActiveTab(Session &session, int tab)
{
    if (!Gui_ControlTakesInput(session.views, Control::Tab)) return 0;
    if (tab < 0 || tab > 3) return 0;
    session.views.activeTab = tab;
    return 1;
}
