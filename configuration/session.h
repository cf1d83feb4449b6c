#pragma once
// The program's state in one plain struct. `main` (GUI or CLI) creates one and passes it to
// the functions that need it; a test builds a fresh one, and the conversion worker builds its
// own from a copy of the configuration (see conversion/runner.h).

#include <functional>
#include <string>

#include "configuration/configlist.h"
#include "configuration/record.h"
#include "configuration/settings.h"
#include "configuration/statuslog.h"
#include "configuration/tree.h"
#include "conversion/joblist.h"
#include "conversion/runstate.h"
#include "parser/inputfiles.h"
#include "parser/metadata.h"
#include "parser/views.h"

// What changed, so that a view knows what to redraw.
enum class SessionChange {
    ConfigurationTree,
    Jobs,
    StatusLog,
    Metadata,
    IqPage,
    SignalProcessingPage,
    ConvertButton,
    Hints,
    Locks,
};

struct Session {
    ConfigurationRecord record = Configuration_DefaultRecord();
    ConversionSettings settings;
    ConfigurationTree tree = Gui_NewConfigurationTree();
    InputFiles files;
    MetadataState metadata;
    ViewState views;
    JobList jobs;
    StatusLog statusLog;
    ConfigurationList configurations;
    RunState run;

    // Called after a core step changed what a view shows; may be empty.
    std::function<void(SessionChange)> onChange;

    Session() = default;
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;
};

inline void Session_Notify(const Session &session, SessionChange change)
{
    if (session.onChange) session.onChange(change);
}
