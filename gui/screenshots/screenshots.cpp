// quelvor-screenshots: draws the desktop program's panels into PNG files, for a look at every
// page after a change and for the user's guide. Runs without a display (offscreen platform).
//   quelvor-screenshots OUTPUT_DIR EXAMPLES_DIR [SUFFIX]
// The session starts on a copy of the bundled example configurations with the example file
// as job 1; two pages are drawn once more under a dark palette, then the converted job, the
// signal processing page with a filter and the IQ page of the text example. SUFFIX (e.g. "@2x", for a run with QT_SCALE_FACTOR=2) names a run that draws the
// pages at the smallest window only.

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFont>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeView>
#include <cstdio>
#include <cstdlib>

#include "app/configflows.h"
#include "app/filesflows.h"
#include "app/startup.h"
#include "app/treerules.h"
#include "conversion/jobs.h"
#include "conversion/runstate.h"
#include "filebrowser/filebrowser.h"
#include "filebrowser/pathtext.h"
#include "gui/dialogs.h"
#include "gui/mainwindow.h"
#include "gui/splash.h"

namespace {

void Settle()
{
    for (int round = 0; round < 5; ++round) QCoreApplication::processEvents();
}

// The browser reads its folders in the background: the pictures show them once they are in.
void WaitForBrowser(QWidget *widget)
{
    const FileBrowser *browser = Filebrowser_GetFileBrowserPtr(widget);
    const QDeadlineTimer deadline(10000);
    while (browser && browser->isReading() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool Save(QWidget *widget, const QDir &output, const QString &name)
{
    WaitForBrowser(widget);
    Settle();
    const QString path = output.filePath(name + ".png");
    if (widget->grab().save(path)) return true;
    std::fprintf(stderr, "quelvor-screenshots: could not write %s\n", qPrintable(path));
    return false;
}

bool DrawSplash(const QDir &output, const QString &suffix)
{
    Splash splash;
    splash.stopAnimation();
    splash.show();
    bool saved = Save(&splash, output, "splash" + suffix);
    splash.refuseScreen();
    return Save(&splash, output, "splash-refused" + suffix) && saved;
}

bool DrawWindow(MainWindow &window, const QDir &output, QSize size, const QString &suffix)
{
    static const char *const kPages[] = {"files", "metadata", "iq", "signal-processing"};
    const QString dimensions = QString("-%1x%2").arg(size.width()).arg(size.height()) + suffix;
    window.resize(size);
    auto *tabs = window.findChild<QTabWidget *>("TAB");
    bool saved = true;
    for (int page = 0; page < tabs->count(); ++page) {
        tabs->setCurrentIndex(page);
        saved = Save(&window, output, QString("%1-%2").arg(page + 1).arg(kPages[page]) + dimensions) && saved;
    }
    tabs->setCurrentIndex(0);
    window.showAbout();
    saved = Save(&window, output, "about" + dimensions) && saved;
    window.showPanel();
    return saved;
}

// The two pages with the most coloured cells under a dark system palette: their text must stay
// readable on the light cell colours.
bool DrawDark(MainWindow &window, const QDir &output)
{
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(45, 45, 48));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setColor(QPalette::Base, QColor(30, 30, 32));
    dark.setColor(QPalette::AlternateBase, QColor(45, 45, 48));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::Button, QColor(60, 60, 64));
    dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    dark.setColor(QPalette::Highlight, QColor(60, 110, 180));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        dark.setColor(QPalette::Disabled, role, QColor(120, 120, 120));
    QApplication::setPalette(dark);
    window.resize(1020, 710);
    auto *tabs = window.findChild<QTabWidget *>("TAB");
    bool saved = true;
    for (int page : {0, 1}) {
        tabs->setCurrentIndex(page);
        saved = Save(&window, output, page == 0 ? "1-files-dark" : "2-metadata-dark") && saved;
    }
    tabs->setCurrentIndex(0);
    return saved;
}

bool DrawPage(MainWindow &window, const QDir &output, int page, const QString &name, QSize size)
{
    window.resize(size);
    window.findChild<QTabWidget *>("TAB")->setCurrentIndex(page);
    const bool saved = Save(&window, output, name + QString("-%1x%2").arg(size.width()).arg(size.height()));
    window.findChild<QTabWidget *>("TAB")->setCurrentIndex(0);
    return saved;
}

// The "Files" page after the example was converted, with the job's results open.
bool DrawConverted(Session &session, MainWindow &window, const QDir &output)
{
    window.convert();
    QDeadlineTimer deadline(60000);
    while (Gui_GetConversionRunning(session.run) != kRunIdle && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    Settle();
    window.findChild<QTreeView *>("TREE")->expandAll();
    return DrawPage(window, output, 0, "5-converted", {1020, 710});
}

// The signal processing page with the low-pass filter halving the rate, and the IQ page of the
// separate text files, whose preview takes the page's height.
bool DrawVariants(Session &session, MainWindow &window, const QDir &output, const QDir &shown)
{
    for (const auto &[item, value] : {std::pair{kItemFilterType, "Blackman Window"}, std::pair{kItemCutoff, "0.2"},
                                      std::pair{kItemTaps, "100"},
                                      std::pair{kItemOutputSamplerate, "Input Samplerate x 5/10"}})
        static_cast<void>(onConfigurationTree(session, item, value));
    Gui_SetUnsavedStatus(session, 0);  // as after a save
    bool saved = DrawPage(window, output, 3, "4-signal-processing-filter", {1020, 710});
    saved = DrawPage(window, output, 3, "4-signal-processing-filter", {1600, 1000}) && saved;

    Configuration_SetByName(session, "separate-text");
    Gui_SetUnsavedStatus(session, 0);  // as the ring leaves it after the save question
    static_cast<void>(onFilesTree(session, kJobItem));
    window.addFiles({shown.filePath("separate_i.txt")});
    static_cast<void>(Gui_AddIQ(session, 1, {shown.filePath("separate_q.txt").toStdString()}));
    saved = DrawPage(window, output, 2, "3-iq-text", {1020, 710}) && saved;
    return DrawPage(window, output, 2, "3-iq-text", {1600, 1000}) && saved;
}

}  // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: quelvor-screenshots OUTPUT_DIR EXAMPLES_DIR [SUFFIX [FONT_POINTS]]\n");
        return 2;
    }
    // A larger application font, as users who need one set it for their desktop.
    if (argc > 4) {
        QFont font = QApplication::font();
        font.setPointSizeF(std::atof(argv[4]));
        QApplication::setFont(font);
    }
    const QDir output(QString::fromLocal8Bit(argv[1]));
    const QDir examples(QString::fromLocal8Bit(argv[2]));
    const QString suffix = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
    QDir().mkpath(output.path());

    // The pictures show a copy of the examples in a folder of their own, and the browser opens
    // there: no folder of the machine they were made on appears in them.
    QTemporaryDir scratch(QDir::tempPath() + "/quelvor-XXXXXX");
    const QDir shown(scratch.filePath("examples"));
    const QDir configurations(scratch.filePath("configurations"));
    QDir().mkpath(shown.path());
    QDir().mkpath(configurations.path());
    for (const QString &name : examples.entryList(QDir::Files)) {
        QFile::copy(examples.filePath(name), shown.filePath(name));
        if (name.endsWith(".pnx")) QFile::copy(examples.filePath(name), configurations.filePath(name));
    }
    Session session;
    session.monitors = {{0, 0, 1920, 0, 1200}};
    App_StartSession(session, configurations.path().toStdString());
    static_cast<void>(App_SetBrowserDirectory(session, PathBytes(shown.path())));
    Configuration_SetByName(session, "tone16");
    Gui_SetUnsavedStatus(session, 0);

    SilentDialogs dialogs;
    MainWindow window(session, dialogs);
    window.show();
    window.addFiles({shown.filePath("tone16.bin")});

    bool saved = DrawSplash(output, suffix);
    saved = DrawWindow(window, output, {1020, 710}, suffix) && saved;
    if (suffix.isEmpty()) {
        saved = DrawWindow(window, output, {1600, 1000}, suffix) && saved;
        saved = DrawDark(window, output) && saved;
        QApplication::setPalette(QPalette());
        saved = DrawConverted(session, window, output) && saved;
        saved = DrawVariants(session, window, output, shown) && saved;
    }
    return saved ? 0 : 1;
}
