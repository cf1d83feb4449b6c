#pragma once
// The commands of quelvor-cli. Each returns the process's exit status: 0 success, 1 when a job
// or the configuration is faulty, 2 for a usage error or a configuration that cannot be loaded.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/layoutflows.h"
#include "session/session.h"

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// Which configuration a command starts from and the slot edits applied to it.
struct Selection {
    std::string configDir;                                // --config-dir; empty: the default
    std::string config;                                   // --config NAME|FILE.pnx; empty: "New"
    std::string preset;                                   // --preset NAME: a built-in preset
    std::vector<std::pair<std::string, std::string>> sets;  // --set SLOT=TEXT, in order
};

struct ConvertOptions {
    std::string outputDir;
    std::string output;
    bool overwriteProtection = false;
    bool json = false;
    bool quiet = false;
    int jobs = 1;                    // jobs converted at once; 0: one per core
    std::vector<std::string> files;
};

// Splits "SLOT=TEXT" into its two parts; returns false without "=".
bool Cli_SplitSet(const std::string &argument, std::pair<std::string, std::string> &set);

// The --set edits of the selection, as tree edits. Prints why on stderr and returns kExitUsage
// for an unknown slot or an item not in use; kExitOk otherwise.
int Cli_ApplySets(Session &session, const Selection &selection);

// Brings a session up with the selected configuration and edits. Prints why on stderr and
// returns kExitUsage when it cannot; kExitOk otherwise.
int Cli_PrepareSession(Session &session, const Selection &selection);

// Writes the status log rows added since `from` to stderr; returns the new row count.
size_t Cli_PrintStatusLog(const Session &session, size_t from);

int Cli_Convert(const Selection &selection, const ConvertOptions &options);
int Cli_Analyze(const Selection &selection, bool json, const std::string &file, const std::string &qFile);
int Cli_ConfigList(const Selection &selection);
int Cli_ConfigShow(const Selection &selection, bool json);
int Cli_ConfigSave(const Selection &selection, const std::string &name);
int Cli_ConfigDelete(const Selection &selection, const std::string &name);
int Cli_ConfigPresets();

// What detection found for one file, as the JSON of detect and of a job's line.
nlohmann::ordered_json Cli_DetectionJson(const DetectionResult &detection);
int Cli_Detect(const Selection &selection, bool json, const std::optional<std::string> &saveName,
               const std::vector<std::string> &files);
