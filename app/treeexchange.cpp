#include "app/treeexchange.h"

#include <cstring>

#include "configuration/choices.h"
#include "layouts/layouts.h"

namespace {

// The centring item lives in the reserved slot: "No" is no key at all, so a record that never
// chose it keeps its reserved bytes as they were.
void CentreIO(ConfigurationTree &tree, ConfigurationRecord &record, int toTree)
{
    TreeItem &cell = tree.items[kItemCentreUnsigned];
    if (toTree) {
        cell.value = std::string(Layouts_ReservedValue(record, kReservedCentre) == text::kYes ? text::kYes : text::kNo);
        return;
    }
    (void)Layouts_SetReservedValue(record, kReservedCentre, cell.value == text::kYes ? text::kYes : "");
}

}  // namespace

int Configuration_TreeLineIO(ConfigurationTree &tree, char *slot, int toTree, int item, int onlyItem)
{
    if (onlyItem != -1 && onlyItem != item) return 0;
    TreeItem &cell = tree.items[item];
    if (toTree) {
        cell.value = slot;
        return 0;
    }
    const int cut = Configuration_CutTreeValue(cell.value) ? 1 : 0;
    std::memcpy(slot, cell.value.c_str(), cell.value.size() + 1);
    return cut;
}

void Configuration_TreeIO(Session &session, ConfigurationRecord &record, int toTree, int item)
{
    if (item < 0) {
        std::string &nameText = session.configurations.nameText;
        if (toTree) {
            nameText = record.name;
        } else {
            Configuration_SetSlotText(record, kSlotName, nameText);
        }
        if (item == -2) return;
    }
    int lastCut = -1;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const int treeItem = kSlots[slot].treeItem;
        if (treeItem < 0) continue;  // the name and the reserved slot
        if (Configuration_TreeLineIO(session.tree, Configuration_Slot(record, slot), toTree, treeItem, item))
            lastCut = treeItem;
    }
    if (item == -1 || item == kItemCentreUnsigned) CentreIO(session.tree, record, toTree);
    Session_Notify(session, SessionChange::ConfigurationTree);
    if (lastCut >= 0) Session_Reveal(session, SessionChange::ConfigurationTree, lastCut);
}
