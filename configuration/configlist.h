#pragma once
// The named configurations of the session: the list of stored records, the ring that offers
// them, the name text and the unsaved state with the buttons it enables.

#include <string>
#include <vector>

#include "configuration/record.h"

struct ConfigurationList {
    std::vector<ConfigurationRecord> records;  // one per ring entry, same order
    std::vector<std::string> ring;             // RING_CONFIGURATION entries; {"New"} when none
    int ringIndex = 0;                         // the ring's selected entry
    std::string nameText;                      // STRING_CONFIGURATION
    std::string nameLabel = "Configuration";   // its label
    int unsaved = 0;
    bool saveEnabled = false;                  // BUTTON_SAVE
    bool deleteEnabled = true;                 // BUTTON_DELETE
    std::string directory;                     // where the .pnx files live
};

// Stores the unsaved state when it changes, with the label and buttons that show it.
void Gui_SetUnsavedStatus(ConfigurationList &list, int unsaved);
