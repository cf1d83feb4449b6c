#include "app/startup.h"

#include <string_view>

#include "conversion/runner.h"
#include "parser/analysis.h"

int Gui_MonitorCheck(const std::vector<MonitorEntry> &monitors, int *firstFitting)
{
    int fitting = -1;
    for (size_t index = 0; index < monitors.size() && fitting < 0; ++index)
        if (monitors[index].width >= kMinimumWindowWidth && monitors[index].height >= kMinimumWindowHeight)
            fitting = static_cast<int>(index);
    if (firstFitting) *firstFitting = fitting;
    return fitting >= 0 ? 1 : 0;
}

void App_InitSession(Session &session, const std::string &configDirectory)
{
    session.configurations.directory = configDirectory;
    Parser_Init(session);
}

void App_StartSession(Session &session, const std::string &configDirectory)
{
    App_InitSession(session, configDirectory);
    std::string message;
    if (Ini_Load(configDirectory, session.applicationSettings, message)) {
        Gui_UpdateStatus(session, message, StatusIcon::Ok);
        Ini_Set(session);
    } else if (message.find("Could not open file") == std::string::npos) {
        Gui_UpdateStatus(session, message, StatusIcon::Question);
    }
    Configuration_Init(session);
    if (session.configurations.records.empty()) return;
    Configuration_SetByName(session, session.applicationSettings.lastConfiguration);
    Gui_SetUnsavedStatus(session, 0);
}

void Ini_Set(Session &session)
{
    ApplicationSettings &stored = session.applicationSettings;
    session.views.browserDirectory = stored.browserDirectory;
    JobList &jobs = session.jobs;
    if (stored.outputDirectory[0] != '\0') {
        jobs.outputDirectory = stored.outputDirectory;
        jobs.outputSource = kOutputUserDefined;
    }
    jobs.overwriteProtection = stored.overwriteProtection ? 1 : 0;
    Session_Notify(session, SessionChange::Jobs);
    Ini_CollapsedStatus(stored, session.tree, 0);
    Session_Notify(session, SessionChange::ConfigurationTree);
    // A length the ring does not offer (a file written before the preview was ever shown) keeps
    // the ring's own.
    if (Session_IsPreviewLength(stored.previewLength)) session.previewLength = stored.previewLength;
    Session_Notify(session, SessionChange::IqPage);

    if (!Ini_CheckMonitor(session.monitors, stored, stored.monitorId)) {
        Gui_UpdateStatus(session, "Incompatible monitor data.", StatusIcon::Question);
        return;
    }
    session.views.restoreWindow = true;
    session.views.window = {stored.monitorId, stored.panelLeft, stored.panelWidth,
                            stored.panelTop,  stored.panelHeight, stored.panelMaximized != 0};
}

void Ini_Gather(Session &session, const WindowPlacement &window)
{
    ApplicationSettings &settings = session.applicationSettings;
    Ini_SetText(settings.lastConfiguration, session.configurations.nameText);
    Ini_SetText(settings.browserDirectory, session.views.browserDirectory);
    Ini_SetText(settings.outputDirectory, session.jobs.outputDirectory);
    settings.monitorId = window.monitorId;
    settings.panelLeft = window.left;
    settings.panelWidth = window.width;
    settings.panelTop = window.top;
    settings.panelHeight = window.height;
    settings.panelMaximized = window.maximized ? 1 : 0;
    Ini_CollapsedStatus(settings, session.tree, 1);
    settings.overwriteProtection = session.jobs.overwriteProtection;
    settings.previewLength = session.previewLength;
}

int App_CloseSession(Session &session, const Confirm &confirm, const AskName &askName, const WindowPlacement &window)
{
    if (Gui_GetConversionRunning(session.run) != kRunIdle) {
        Conversion_AbortThread(session);
        Conversion_WaitForWorker(session);
        Conversion_EndRun(session);
    }
    if (!Gui_SavedUnsavedChanges(session, confirm, askName)) return 0;
    // The unnamed configuration leaves the settings file as it is.
    if (std::string_view(session.record.name) == "New") return 1;
    Ini_Gather(session, window);
    // Ini_Save logs its outcome; a settings file that cannot be written does not keep the
    // program open.
    static_cast<void>(Ini_Save(session.configurations.directory, session.applicationSettings, session.statusLog));
    Session_Notify(session, SessionChange::StatusLog);
    return 1;
}
