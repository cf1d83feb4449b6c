// quelvor-cli: converts I/Q waveform files to ".wv" waveform files from the command line, with
// the same core calls the desktop program makes.

#include <CLI/CLI.hpp>

#include <iostream>

#include "cli/commands.h"

namespace {

// The options that select a configuration, on every command that works with one.
void AddSelectionOptions(CLI::App &command, Selection &selection, std::vector<std::string> &sets)
{
    command.add_option("--config", selection.config,
                       "start from a stored configuration: a name in the configuration directory or a .pnx file");
    command.add_option("--set", sets, "set one configuration slot, SLOT=TEXT, as an edit of its tree item")
        ->type_name("SLOT=TEXT")
        ->allow_extra_args(false);
}

}  // namespace

int main(int argc, char **argv)
{
    CLI::App app{"Converts I/Q waveform files of almost any layout into .wv waveform files.", "quelvor-cli"};
    app.set_version_flag("--version", std::string("quelvor-cli ") + QUELVOR_VERSION);
    app.require_subcommand(1);
    Selection selection;
    std::vector<std::string> sets;
    app.add_option("--config-dir", selection.configDir, "directory of the stored configurations");

    ConvertOptions convert;
    CLI::App *convertCommand = app.add_subcommand(
        "convert", "convert FILEs (separate structure: I and Q files in pairs); without --config or --preset the "
                   "layout of each file is detected on its own");
    AddSelectionOptions(*convertCommand, selection, sets);
    convertCommand->add_option("--preset", selection.preset, "start from a built-in preset (see: config presets)")
        ->excludes("--config");
    auto *outputDir = convertCommand->add_option("--output-dir", convert.outputDir, "directory for the outputs");
    convertCommand->add_option("--output", convert.output, "output file (one job only)")->excludes(outputDir);
    convertCommand->add_flag("--overwrite-protection", convert.overwriteProtection,
                             "skip jobs whose output file exists");
    convertCommand->add_flag("--json", convert.json, "one JSON object per job on stdout");
    convertCommand->add_flag("--quiet", convert.quiet, "no progress display");
    convertCommand->add_option("--jobs", convert.jobs, "convert up to N jobs at once, each on its own; 0: one per core")
        ->type_name("N")
        ->check(CLI::NonNegativeNumber)
        ->capture_default_str();
    convertCommand->add_option("FILE", convert.files, "input files")->required();

    bool analyzeJson = false;
    std::string analyzeFile;
    std::string analyzeQFile;
    CLI::App *analyzeCommand = app.add_subcommand("analyze", "analyse FILE (and QFILE) with the configuration");
    AddSelectionOptions(*analyzeCommand, selection, sets);
    analyzeCommand->add_flag("--json", analyzeJson, "print one JSON object");
    analyzeCommand->add_option("FILE", analyzeFile, "the combined IQ file or the I file")->required();
    analyzeCommand->add_option("QFILE", analyzeQFile, "the Q file of separate files");

    bool detectJson = false;
    std::string detectSave;
    std::vector<std::string> detectFiles;
    CLI::App *detectCommand =
        app.add_subcommand("detect", "what each FILE says about itself, where each value came from, what remains");
    detectCommand->add_flag("--json", detectJson, "one JSON object per file");
    detectCommand->add_option("--save", detectSave, "store the detected layout as configuration NAME (one FILE only)")
        ->type_name("NAME");
    detectCommand->add_option("FILE", detectFiles, "input files")->required();

    CLI::App *configCommand = app.add_subcommand("config", "list, show, save and delete stored configurations");
    configCommand->require_subcommand(1);
    CLI::App *listCommand = configCommand->add_subcommand("list", "one stored configuration name per line");
    CLI::App *presetsCommand = configCommand->add_subcommand("presets", "the built-in presets, one per line");
    bool showJson = false;
    CLI::App *showCommand = configCommand->add_subcommand("show", "every slot of the configuration with its text");
    AddSelectionOptions(*showCommand, selection, sets);
    showCommand->add_flag("--json", showJson, "print one JSON object");
    std::string saveName;
    CLI::App *saveCommand = configCommand->add_subcommand("save", "store the configuration under NAME");
    AddSelectionOptions(*saveCommand, selection, sets);
    saveCommand->add_option("NAME", saveName, "configuration name")->required();
    std::string deleteName;
    CLI::App *deleteCommand = configCommand->add_subcommand("delete", "delete the stored configuration NAME");
    deleteCommand->add_option("NAME", deleteName, "configuration name")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &error) {
        return app.exit(error) == 0 ? kExitOk : kExitUsage;
    }
    for (const std::string &argument : sets) {
        std::pair<std::string, std::string> set;
        if (!Cli_SplitSet(argument, set)) {
            std::cerr << "quelvor-cli: --set expects SLOT=TEXT, got '" << argument << "'\n";
            return kExitUsage;
        }
        selection.sets.push_back(std::move(set));
    }

    if (convertCommand->parsed()) return Cli_Convert(selection, convert);
    if (detectCommand->parsed()) {
        // An empty NAME is still a request to save, refused with its reason.
        const std::optional<std::string> save =
            detectCommand->count("--save") ? std::optional(detectSave) : std::nullopt;
        return Cli_Detect(selection, detectJson, save, detectFiles);
    }
    if (presetsCommand->parsed()) return Cli_ConfigPresets();
    if (analyzeCommand->parsed()) return Cli_Analyze(selection, analyzeJson, analyzeFile, analyzeQFile);
    if (listCommand->parsed()) return Cli_ConfigList(selection);
    if (showCommand->parsed()) return Cli_ConfigShow(selection, showJson);
    if (saveCommand->parsed()) return Cli_ConfigSave(selection, saveName);
    if (deleteCommand->parsed()) return Cli_ConfigDelete(selection, deleteName);
    return kExitUsage;
}
