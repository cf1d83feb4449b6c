// quelvor-cli detect and config presets: what files say about themselves, and the built-in
// presets.

#include <iostream>

#include <nlohmann/json.hpp>

#include "app/configflows.h"
#include "app/layoutflows.h"
#include "cli/commands.h"
#include "conversion/jobs.h"
#include "layouts/layouts.h"

nlohmann::ordered_json Cli_DetectionJson(const DetectionResult &detection)
{
    nlohmann::ordered_json values = nlohmann::ordered_json::array();
    for (const DetectedValue &value : detection.values)
        values.push_back({{"item", value.item}, {"name", value.name}, {"value", value.value}, {"source", value.source}});
    nlohmann::ordered_json faults = nlohmann::ordered_json::array();
    for (const RemainingFault &fault : detection.faults)
        faults.push_back({{"item", fault.item}, {"label", fault.label}, {"message", fault.message}});
    const auto textOrNull = [](const std::string &text) {
        return text.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(text);
    };
    return {{"recognised", detection.recognised},
            {"reason", textOrNull(detection.reason)},
            {"layout", textOrNull(detection.layout)},
            {"preset", textOrNull(detection.preset)},
            {"dataPath", detection.dataPath},
            {"values", values},
            {"notes", detection.notes},
            {"faults", faults}};
}

namespace {

void PrintDetection(const std::string &file, const DetectionResult &detection)
{
    if (!detection.recognised) {
        std::cout << file << ": not recognised: " << detection.reason << "\n";
        return;
    }
    std::cout << file << ": " << detection.layout << " (preset " << detection.preset << ")\n";
    if (detection.dataPath != file) std::cout << "  samples in: " << detection.dataPath << "\n";
    for (const DetectedValue &value : detection.values)
        std::cout << "  " << value.name << ": " << value.value << "  [" << value.source << "]\n";
    for (const std::string &note : detection.notes) std::cout << "  note: " << note << "\n";
    for (const RemainingFault &fault : detection.faults)
        std::cout << "  fault: item " << fault.item << " \"" << fault.label << "\": " << fault.message << "\n";
}

}  // namespace

int Cli_Detect(const Selection &selection, bool json, const std::optional<std::string> &saveName,
               const std::vector<std::string> &files)
{
    if (saveName && files.size() != 1) {
        std::cerr << "quelvor-cli: --save takes exactly one FILE\n";
        return kExitUsage;
    }
    bool allFound = true;
    for (const std::string &file : files) {
        Session session;
        if (const int status = Cli_PrepareSession(session, selection); status != kExitOk) return status;
        DetectionResult detection = App_DetectLayout(session, file);
        // Analysed as job 1, so that the faults are those of a conversion of this file.
        (void)Gui_AddIQ(session, 0, {detection.dataPath});
        detection.faults = App_RemainingFaults(session.tree);
        allFound = allFound && detection.recognised && detection.faults.empty();
        if (json) {
            nlohmann::ordered_json line = {{"file", file}};
            line.update(Cli_DetectionJson(detection));
            std::cout << line.dump() << "\n";
        } else {
            PrintDetection(file, detection);
        }
        if (saveName) {
            const int saved = Gui_SaveConfigurationAs(session, *saveName);
            Cli_PrintStatusLog(session, 0);
            if (!saved) return kExitFailed;
        }
    }
    return allFound ? kExitOk : kExitFailed;
}

int Cli_ConfigPresets()
{
    for (const LayoutPreset &preset : Layouts_Presets()) {
        std::cout << preset.name << "\t" << preset.description;
        if (!preset.extensions.empty()) {
            std::cout << "\t";
            for (size_t k = 0; k < preset.extensions.size(); ++k) std::cout << (k ? " " : "") << preset.extensions[k];
        }
        std::cout << "\n";
    }
    return kExitOk;
}
