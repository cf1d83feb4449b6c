#include <algorithm>
#include <iostream>

#include <nlohmann/json.hpp>

#include "app/startup.h"
#include "cli/commands.h"
#include "configuration/configfiles.h"

namespace {

std::string DirectoryOf(const Selection &selection)
{
    return selection.configDir.empty() ? Configuration_Directory() : selection.configDir;
}

Answer AnswerYes(const std::string &, bool) { return Answer::Yes; }

}  // namespace

// The configurations that load, in the ring's order; a refused file is named on stderr with
// its load message and left out.
int Cli_ConfigList(const Selection &selection)
{
    Session session;
    App_InitSession(session, DirectoryOf(selection));
    Configuration_Init(session);
    for (const StatusRow &row : session.statusLog.rows)
        if (row.icon != StatusIcon::Ok) std::cerr << row.text << "\n";
    if (session.configurations.records.empty()) return kExitOk;  // the ring's "New" is not stored
    for (const std::string &name : session.configurations.ring) std::cout << name << "\n";
    return kExitOk;
}

int Cli_ConfigShow(const Selection &selection, bool json)
{
    Session session;
    if (const int status = Cli_PrepareSession(session, selection); status != kExitOk) return status;
    nlohmann::ordered_json slots;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const std::string text = Configuration_Slot(session.record, slot);
        if (json)
            slots[std::string(kSlots[slot].key)] = text;
        else
            std::cout << kSlots[slot].key << ": " << text << "\n";
    }
    if (json) std::cout << slots.dump() << "\n";
    return kExitOk;
}

int Cli_ConfigSave(const Selection &selection, const std::string &name)
{
    Session session;
    if (const int status = Cli_PrepareSession(session, selection); status != kExitOk) return status;
    const int saved = Gui_SaveConfigurationAs(session, name);
    Cli_PrintStatusLog(session, 0);
    return saved ? kExitOk : kExitFailed;
}

int Cli_ConfigDelete(const Selection &selection, const std::string &name)
{
    Session session;
    App_InitSession(session, DirectoryOf(selection));
    Configuration_Init(session);
    const std::vector<std::string> &ring = session.configurations.ring;
    if (session.configurations.records.empty() || std::find(ring.begin(), ring.end(), name) == ring.end()) {
        std::cerr << "quelvor-cli: no stored configuration named '" << name << "'\n";
        return kExitFailed;
    }
    const size_t before = session.statusLog.rows.size();
    session.configurations.nameText = name;
    const int deleted = onConfigurationDelete(session, AnswerYes);
    Cli_PrintStatusLog(session, before);
    return deleted && std::find(ring.begin(), ring.end(), name) == ring.end() ? kExitOk : kExitFailed;
}
