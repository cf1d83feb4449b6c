#pragma once
// The main window: the main panel PANEL (the four pages in TAB, the configuration area, the
// status log, BUTTON_CONVERT and BUTTON_ABOUT) and the About panel, which replace each other.
// It shows the session and turns the user's actions into core calls; the session's change
// notices say which part to redraw.

#include <QMainWindow>
#include <bitset>

#include "session/session.h"

class QPushButton;
class QSplitter;
class QStackedWidget;
class QTabWidget;
class QTableView;
class QTimer;
class AboutPanel;
class ConfigurationArea;
class ConversionBridge;
class Dialogs;
class FilesPage;
class IqPage;
class MetadataPage;
class SignalProcessingPage;
class StatusLogModel;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(Session &session, Dialogs &dialogs, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Shows the window where the settings file placed it, or at its own size.
    void showPlaced();
    // Adds files as jobs, as the add button adds them (the command line's FILEs, drops).
    void addFiles(const QStringList &paths);
    // Where the window is now, for the settings file.
    WindowPlacement placement() const;

    void convert();          // BUTTON_CONVERT, Ctrl+Return
    void showAbout();
    void showPanel();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool event(QEvent *event) override;

private:
    QWidget *buildPanel();
    QWidget *buildStatusArea();
    void addShortcuts();
    void sessionChanged(const SessionNotice &notice);
    void applyRowChange(const SessionNotice &notice);
    void redrawPending();
    void redraw(SessionChange change);
    void refreshConvertButton();
    void applyLocks();
    void fitMinimumSize();

    Session &session;
    Dialogs &dialogs;
    ConversionBridge *bridge;
    QStackedWidget *stack;
    QWidget *panel;
    AboutPanel *about;
    QTabWidget *tabs;
    FilesPage *filesPage;
    MetadataPage *metadataPage;
    IqPage *iqPage;
    SignalProcessingPage *signalProcessingPage;
    ConfigurationArea *configurationArea;
    QSplitter *verticalSplitter;
    QSplitter *horizontalSplitter;
    QTableView *statusView;
    StatusLogModel *statusModel;
    QPushButton *convertButton;
    QPushButton *aboutButton;
    // Notices are gathered and drawn once the current core call has returned: adding a
    // thousand files redraws the jobs tree once, not a thousand times. Row changes reach the
    // models at once, in order; requests to reveal an item are taken once, after the redraw.
    std::bitset<16> pending;
    std::vector<SessionNotice> reveals;
    QTimer *redrawTimer;
};
