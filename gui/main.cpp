// quelvor: the desktop program. Shows the splash while the session starts, refuses a screen
// that is too small, then opens the main window with the command line's FILEs as jobs.
//   quelvor [--config-dir DIR] [FILE...]

#include <QApplication>
#include <QCommandLineParser>
#include <QEventLoop>
#include <QScreen>
#include <thread>

#include "app/startup.h"
#include "configuration/configfiles.h"
#include "filebrowser/pathtext.h"
#include "gui/dialogs.h"
#include "gui/mainwindow.h"
#include "gui/splash.h"

namespace {

std::vector<MonitorEntry> Monitors()
{
    std::vector<MonitorEntry> monitors;
    const QList<QScreen *> screens = QGuiApplication::screens();
    for (int index = 0; index < screens.size(); ++index) {
        const QRect geometry = screens[index]->geometry();
        monitors.push_back({index, geometry.x(), geometry.width(), geometry.y(), geometry.height()});
    }
    return monitors;
}

// Starts the session on a thread of its own, so the splash keeps turning meanwhile; nothing
// else touches the session until it has started.
void StartSession(Session &session, const std::string &directory, Splash &splash)
{
    QEventLoop loop;
    std::thread starter([&] {
        App_StartSession(session, directory);
        QMetaObject::invokeMethod(&splash, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec();
    starter.join();
}

}  // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName("quelvor");
    // No display name: the window system would append it to every window title, and the title
    // is to read exactly "Brannig Quelvor - 1.05".
    QApplication::setApplicationVersion(kProgramVersion);

    QCommandLineParser parser;
    parser.setApplicationDescription("Converts I/Q waveform files into .wv waveform files.");
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption configDir("config-dir", "Where the configurations and settings are stored.", "DIR");
    parser.addOption(configDir);
    parser.addPositionalArgument("FILE", "Input files to add as conversion jobs.", "[FILE...]");
    parser.process(application);

    Splash splash;
    QObject::connect(&splash, &Splash::quitRequested, &application, &QApplication::quit);
    splash.show();

    Session session;
    session.monitors = Monitors();
    if (!Gui_MonitorCheck(session.monitors, nullptr)) {
        splash.refuseScreen();
        return QApplication::exec();
    }
    const std::string directory =
        parser.isSet(configDir) ? PathBytes(parser.value(configDir)) : Configuration_Directory();
    StartSession(session, directory, splash);

    QtDialogs dialogs;
    MainWindow window(session, dialogs);
    window.showPlaced();
    splash.stopAnimation();
    splash.hide();
    window.addFiles(parser.positionalArguments());
    return QApplication::exec();
}
