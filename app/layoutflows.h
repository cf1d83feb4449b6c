#pragma once
// What a file says about itself, applied to a session: the detected layout of a file as edits of
// the configuration tree (the same path as a user's edit, so the same checks and fault marks
// follow), and the built-in presets loaded as unsaved configurations. No Qt: the window and
// the command line call these on the thread that owns the session.

#include <string>
#include <string_view>
#include <vector>

#include "session/session.h"

// One value that detection put into the configuration, and where it came from.
struct DetectedValue {
    int item = -1;          // the tree item it went into; -1 for a value only shown
    std::string name;       // "Format", "Samplerate", "Centre frequency", ...
    std::string value;      // as the tree shows it (rates in MHz)
    std::string source;     // "header", "sidecar", "name" or "preset"
};

// A fault that remains after detection: the item, its label and its message.
struct RemainingFault {
    int item = -1;
    std::string label;
    std::string message;
};

struct DetectionResult {
    bool recognised = false;
    std::string reason;                 // why not, when not recognised
    std::string layout;                 // "WAV", "RF64", "SigMF archive", "cu8", ...
    std::string preset;                 // the preset that describes it
    std::string dataPath;               // the file to convert (a SigMF pair: its .sigmf-data)
    std::vector<DetectedValue> values;
    std::vector<std::string> notes;     // e.g. content that contradicts the extension
    std::vector<RemainingFault> faults;
};

// Detects the layout of the file at `path` and applies it to the session's configuration as
// tree edits (unsaved): structure, byte order, format, order, header and trailer lengths, the
// comment, the sample rate (when the file gives one), the centring of unsigned values, and the
// per-job sources, so that during a run each job's values come from its own file. A file that
// nothing recognises leaves the configuration as it is. Refused (not recognised, reason
// "controls locked") while a run has the controls locked. The faults listed are those of the
// configuration tree afterwards.
DetectionResult App_DetectLayout(Session &session, const std::string &path);

// Tells the status log what detection found in the file at `path` and from where: one row with
// the layout and each value with its source, one per note (content against extension), one per
// remaining fault; a file not recognised gives one row with the reason.
void App_LogDetection(Session &session, const std::string &path, const DetectionResult &result);

// The faults the configuration tree shows now.
std::vector<RemainingFault> App_RemainingFaults(const ConfigurationTree &tree);

// Loads the built-in preset `name` as the configuration in hand, unsaved. Returns 1 when
// loaded; 0 for an unknown name or while the controls are locked.
[[nodiscard]] int App_LoadPreset(Session &session, std::string_view name);

// A rate in Hz as the tree's samplerate value in MHz: up to nine decimals, no trailing zeros.
std::string App_RateText(double hz);

// Whether the record is the built-in "New", unedited: every slot as the defaults have it.
bool App_IsUneditedNew(const ConfigurationRecord &record);

// Adds files as jobs, as the add buttons do (Gui_AddIQ). When they become the first jobs while
// the configuration in hand is an unedited "New", the first file's layout is detected first and
// put into the configuration (unsaved), the status log says what was found and from where, and
// the job takes the file that holds the data (a SigMF recording's .sigmf-data). Returns the
// number of files taken.
[[nodiscard]] int App_AddFiles(Session &session, int qFiles, std::vector<std::string> paths);

// "Detect layout": applies job 1's detection to the configuration in hand (unsaved) and tells
// the status log. Returns 1 when job 1's file was recognised; 0 without a job (logged), for a
// file nothing recognises, or while the controls are locked.
[[nodiscard]] int App_DetectJob1Layout(Session &session);
