#pragma once
// Exchange between a configuration record and the configuration tree's Value cells (and the
// name text).

#include "session/session.h"

// toTree 1 writes slot texts into the tree, 0 reads the cells into the slots (cut to 90
// characters). item -1: every slot and the name; -2: only the name; otherwise only the slot of
// that tree item. The centring item (47) has no slot: it is kept in the reserved slot.
void Configuration_TreeIO(Session &session, ConfigurationRecord &record, int toTree, int item);

// One slot: acts only when onlyItem is -1 or equals item. Reading a text longer than 90
// characters cuts it and writes the cut text back into the cell; returns 1 then, so that the
// caller can show the user the item that was cut.
[[nodiscard]] int Configuration_TreeLineIO(ConfigurationTree &tree, char *slot, int toTree, int item, int onlyItem);
