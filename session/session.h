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

    // Called after a core step changed what a view shows (before, for RowChange::Removing);
    // may be empty.
    std::function<void(const SessionNotice &)> onChange;

    Session() = default;
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;
};

// True while a run has the configuration and job controls locked (Gui_Lock): the core
// functions behind those controls then refuse input.
inline bool Session_Locked(const Session &session) { return session.views.controlsLocked; }

inline void Session_Notify(const Session &session, SessionChange change)
{
    if (session.onChange) session.onChange(SessionNotice{change});
}

// Tells a view which of its rows changed, or are about to go (see RowChange).
inline void Session_NotifyRows(const Session &session, SessionChange view, RowChange rows, int first, int count)
{
    if (session.onChange && (count > 0 || rows == RowChange::Reveal)) session.onChange(SessionNotice{view, rows, first, count});
}

// Asks a view, once, to make an item current and visible (a job's status item, a tree item
// whose value was cut). Nothing is stored: a later redraw leaves the user's position alone.
inline void Session_Reveal(const Session &session, SessionChange view, int item)
{
    Session_NotifyRows(session, view, RowChange::Reveal, item, 1);
}

// Appends a row to the status log and tells its view (the row before it was dimmed).
inline void Gui_UpdateStatus(Session &session, const std::string &text, StatusIcon icon)
{
    Gui_UpdateStatus(session.statusLog, text, icon);
    const int last = static_cast<int>(session.statusLog.rows.size()) - 1;
    Session_NotifyRows(session, SessionChange::StatusLog, RowChange::Inserted, last, 1);
}

// Stores the unsaved state with its label and buttons, and tells the configuration area.
inline void Gui_SetUnsavedStatus(Session &session, int unsaved)
{
    Gui_SetUnsavedStatus(session.configurations, unsaved);
    Session_Notify(session, SessionChange::ConfigurationList);
}
