#include <iostream>
#include <string_view>

#include "app/startup.h"
#include "app/treerules.h"
#include "cli/commands.h"
#include "configuration/configfiles.h"
#include "layouts/layouts.h"

namespace {

// The --set key of the centring item, which has no slot of its own.
constexpr std::string_view kCentreKey = "centreUnsigned";

// The keys --set accepts: every slot with a tree item, and the centring item.
std::string ValidSlotNames()
{
    std::string names;
    for (const SlotInfo &slot : kSlots) {
        if (slot.treeItem < 0) continue;
        if (!names.empty()) names += ", ";
        names += slot.key;
    }
    names += ", ";
    names += kCentreKey;
    return names;
}

bool IsPnxPath(const std::string &config)
{
    return config.find('/') != std::string::npos ||
           (config.size() > 4 && config.compare(config.size() - 4, 4, ".pnx") == 0);
}

}  // namespace

int Cli_ApplySets(Session &session, const Selection &selection)
{
    for (const auto &[key, value] : selection.sets) {
        const int slot = Configuration_SlotByKey(key);
        const int item = key == kCentreKey ? kItemCentreUnsigned : slot < 0 ? -1 : kSlots[slot].treeItem;
        if (item < 0) {
            std::cerr << "quelvor-cli: unknown slot '" << key << "'; valid slots: " << ValidSlotNames() << "\n";
            return kExitUsage;
        }
        if (!onConfigurationTree(session, item, value)) {
            std::cerr << "quelvor-cli: --set " << key << ": the item \"" << session.tree.items[item].label
                      << "\" is not in use with this configuration (set the item that enables it first)\n";
            return kExitUsage;
        }
    }
    return kExitOk;
}

bool Cli_SplitSet(const std::string &argument, std::pair<std::string, std::string> &set)
{
    const size_t equals = argument.find('=');
    if (equals == std::string::npos) return false;
    set = {argument.substr(0, equals), argument.substr(equals + 1)};
    return true;
}

size_t Cli_PrintStatusLog(const Session &session, size_t from)
{
    const auto &rows = session.statusLog.rows;
    for (size_t row = from; row < rows.size(); ++row) std::cerr << rows[row].text << "\n";
    return rows.size();
}

int Cli_PrepareSession(Session &session, const Selection &selection)
{
    session.views.shown = false;  // the command line draws no pages
    App_InitSession(session, selection.configDir.empty() ? Configuration_Directory() : selection.configDir);

    ConfigurationRecord record = Configuration_DefaultRecord();
    if (!selection.config.empty()) {
        std::optional<ConfigurationRecord> loaded =
            IsPnxPath(selection.config)
                ? Configuration_LoadFile(selection.config, session.statusLog)
                : Configuration_Load(session.configurations.directory, selection.config, session.statusLog);
        if (!loaded) {
            Cli_PrintStatusLog(session, 0);
            return kExitUsage;
        }
        record = *loaded;
    } else if (!selection.preset.empty()) {
        const LayoutPreset *preset = Layouts_FindPreset(selection.preset);
        if (preset == nullptr) {
            std::cerr << "quelvor-cli: no preset named '" << selection.preset << "' (see: quelvor-cli config presets)\n";
            return kExitUsage;
        }
        record = Layouts_PresetRecord(*preset);
    }
    Configuration_SelectRecord(session, record);
    session.statusLog.rows.clear();  // a successful load needs no report
    return Cli_ApplySets(session, selection);
}
