#include <iostream>

#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "parser/analysis.h"

namespace {

nlohmann::ordered_json FaultList(const ConfigurationTree &tree)
{
    nlohmann::ordered_json faults = nlohmann::ordered_json::array();
    for (int item = 0; item < kTreeItemCount; ++item) {
        const TreeItem &cell = tree.items[item];
        if (cell.faultImage < 0) continue;
        faults.push_back({{"item", item}, {"label", cell.label}, {"message", cell.message}});
    }
    return faults;
}

nlohmann::ordered_json AnalysisJson(const Session &session)
{
    const ConversionSettings &s = session.settings;
    const ConfigurationTree &tree = session.tree;
    return {{"inputSize", session.files.inputSize},
            {"headerLength", s.headerLength},
            {"trailerLength", s.trailerLength},
            {"comment", s.comment},
            {"samplerate", s.samplerate},
            {"sampleFormat", s.sampleFormat},
            {"valuesPerSet", s.valuesPerSet},
            {"bytesPerSet", s.bytesPerSet},
            {"iValueIndex", s.iValueIndex},
            {"qValueIndex", s.qValueIndex},
            {"swapIQ", s.swapIQ},
            {"swapBytes", s.swapBytes},
            {"totalSets", s.totalSets},
            {"firstSet", s.firstSet},
            {"lastSet", s.lastSet},
            {"scale", s.scale},
            {"iOffset", s.iOffset},
            {"qOffset", s.qOffset},
            {"mirrorOn", s.mirrorOn},
            {"shiftFraction", s.shiftFraction},
            {"tapCount", s.tapCount},
            {"cutoffFraction", s.cutoffFraction},
            {"windowCode", s.windowCode},
            {"outputRateTenths", s.outputRateTenths},
            {"faults", FaultList(tree)},
            {"branches",
             {{"Metadata", tree.items[kItemMetadata].faultCounter},
              {"IQ", tree.items[kItemIQ].faultCounter},
              {"Signal Processing", tree.items[kItemSignalProcessing].faultCounter}}}};
}

}  // namespace

int Cli_Analyze(const Selection &selection, bool json, const std::string &file, const std::string &qFile)
{
    Session session;
    if (const int status = Cli_PrepareSession(session, selection); status != kExitOk) return status;
    Parser_Job1Changed(session, file.c_str(), qFile.empty() ? nullptr : qFile.c_str());

    const nlohmann::ordered_json analysis = AnalysisJson(session);
    if (json) {
        std::cout << analysis.dump() << "\n";
    } else {
        for (const auto &[key, value] : analysis.items()) {
            if (key == "faults" || key == "branches") continue;
            std::cout << key << ": " << (value.is_string() ? value.get<std::string>() : value.dump()) << "\n";
        }
        for (const auto &fault : analysis["faults"])
            std::cout << "fault: item " << fault["item"].get<int>() << " \"" << fault["label"].get<std::string>()
                      << "\": " << fault["message"].get<std::string>() << "\n";
    }
    if (session.files.inputSize <= 0) std::cerr << session.views.hints.addFirstText << "\n";
    const ConfigurationTree &tree = session.tree;
    const bool faulty = Gui_BranchIsFaulty(tree, kItemMetadata) || Gui_BranchIsFaulty(tree, kItemIQ) ||
                        Gui_BranchIsFaulty(tree, kItemSignalProcessing);
    // A file that cannot be analysed is a failure even though no item is marked.
    return faulty || session.files.inputSize <= 0 ? kExitFailed : kExitOk;
}
