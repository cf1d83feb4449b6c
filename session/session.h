#pragma once
// The program's state in one plain struct. `main` (GUI or CLI) creates one and passes it to
// the functions that need it; a test builds a fresh one, and the conversion worker builds its
// own from a copy of the configuration (see conversion/runner.h). Start-up and shut-down of a
// session are in app/startup.h.

#include <functional>
#include <string>

#include "configuration/appsettings.h"
#include "configuration/configlist.h"
#include "configuration/record.h"
#include "configuration/settings.h"
#include "configuration/statuslog.h"
#include "configuration/tree.h"
#include "conversion/joblist.h"
#include "conversion/runstate.h"
#include "parser/inputfiles.h"
#include "parser/metadata.h"
#include "parser/previewstate.h"
#include "session/changes.h"
#include "session/views.h"

struct Session {
    ConfigurationRecord record = Configuration_DefaultRecord();
    ConversionSettings settings;
    ConfigurationTree tree = Gui_NewConfigurationTree();
    InputFiles files;
    MetadataState metadata;
    PreviewState previews;
    ViewState views;
    JobList jobs;
    StatusLog statusLog;
    ConfigurationList configurations;
    RunState run;
    ApplicationSettings applicationSettings = Ini_DefaultSettings();  // as loaded at start
    std::vector<MonitorEntry> monitors;  // the screens the front end reported at start
    int previewLength = kDefaultPreviewLength;  // RING_SAMPLES: preview window in sample sets

    // Called after a core step changed what a view shows; may be empty.
    std::function<void(SessionChange)> onChange;

    Session() = default;
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;
};

// True while a run has the configuration and job controls locked (Gui_Lock): the core
// functions behind those controls then refuse input.
inline bool Session_Locked(const Session &session) { return session.views.controlsLocked; }

inline void Session_Notify(const Session &session, SessionChange change)
{
    if (session.onChange) session.onChange(change);
}

// Appends a row to the status log and tells its view.
inline void Gui_UpdateStatus(Session &session, const std::string &text, StatusIcon icon)
{
    Gui_UpdateStatus(session.statusLog, text, icon);
    Session_Notify(session, SessionChange::StatusLog);
}

// Stores the unsaved state with its label and buttons, and tells the configuration area.
inline void Gui_SetUnsavedStatus(Session &session, int unsaved)
{
    Gui_SetUnsavedStatus(session.configurations, unsaved);
    Session_Notify(session, SessionChange::ConfigurationList);
}
