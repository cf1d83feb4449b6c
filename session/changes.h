#pragma once
// Change notices: after a core step has changed what a view shows, it names the view and the
// rows it touched, so that a window redraws that view and nothing else, and its item models
// emit exactly the row signals that views, proxies and screen readers expect.
//
// Threads: every notice arrives on the thread that owns the session, synchronously, from inside
// the core call that made the change. For the desktop program that is the user-interface
// thread, where all core calls on its session are made. The conversion worker works on a
// session of its own that has no observer; what it reports reaches the owner's thread as
// ConversionEvents (conversion/runner.h), and applying those there raises the notices.

enum class SessionChange {
    ConfigurationTree,     // items, values, fault marks, collapsed states
    ConfigurationList,     // RING_CONFIGURATION, STRING_CONFIGURATION with its label, and
                           // BUTTON_SAVE / BUTTON_DELETE enabled
    Jobs,                  // the jobs tree (rows are jobs), the output directory, overwrite
                           // protection, the add buttons shown
    StatusLog,             // rows were appended (RowChange::Inserted)
    Metadata,              // the "Metadata Analysis" page
    IqPage,                // the "IQ Analysis" page
    SignalProcessingPage,  // the "Signal Processing" page
    TextMode,              // textMode changed: the "IQ Analysis" page takes its other layout
    ConvertButton,         // BUTTON_CONVERT label, colour and whether it takes clicks
    ActiveTab,             // the TAB page to show
    Hints,                 // TEXT_ADD_FILES_HERE and the TEXT_ADD_FIRST texts
    Locks,                 // the controls locked during a run were locked or unlocked
    BrowserRefresh,        // the file browser re-reads its folder (new output files at a run's end)
};

// What a notice says about the rows of its view. Rows are jobs for SessionChange::Jobs, tree
// items for ConfigurationTree and log rows for StatusLog.
enum class RowChange {
    All,       // anything the view shows may have changed; no rows were added or removed
    Inserted,  // rows [first, first + count) were added
    Removing,  // rows [first, first + count) are about to go; their data is still in place
    Removed,   // rows [first, first + count) are gone, and the rows after them moved up
    Changed,   // rows [first, first + count) changed, everything below them included
    Reveal,    // make item `first` current and visible: a request the view takes once
};

struct SessionNotice {
    SessionChange view;
    RowChange rows = RowChange::All;
    int first = 0;
    int count = 0;
};
