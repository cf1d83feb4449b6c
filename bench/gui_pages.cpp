// The analysis pages' speed on the offscreen platform, at a 1600 x 1000 window:
//  - dragging the file position through a 6 GB input at 8192 sets: read, compute and draw per
//    step (goal: within 16 ms);
//  - a repaint of the "IQ Analysis" page, as it is and with both graphs' curves redrawn
//    (goal: under 8 ms);
//  - the 16,384-byte header dump: showing the page, and scrolling it page by page.
// The input is a sparse file with a tone written at each position the slider visits. Not a
// test: it prints figures. Run it from the build folder: bench/bench_gui_pages

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QSlider>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/configflows.h"
#include "app/startup.h"
#include "app/treerules.h"
#include "gui/iqpage.h"
#include "gui/metadatapage.h"
#include "gui/signalprocessingpage.h"
#include "gui/dialogs.h"
#include "gui/mainwindow.h"
#include "gui/plotwidget.h"

namespace {

constexpr int64_t kFileBytes = int64_t{6} << 30;
constexpr int kSteps = 64;
constexpr int kWindowSets = 8192;

void Settle()
{
    for (int round = 0; round < 3; ++round) QCoreApplication::processEvents();
}

struct Figures {
    std::vector<double> ms;
    void add(const QElapsedTimer &clock) { ms.push_back(clock.nsecsElapsed() / 1e6); }
    double median() const
    {
        std::vector<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        return sorted[sorted.size() / 2];
    }
    double maximum() const { return *std::max_element(ms.begin(), ms.end()); }
};

// 6 GB of 16-bit pairs, sparse but for a tone of one window at each of the slider's stops.
bool MakeInput(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    if (fd < 0 || ::ftruncate(fd, kFileBytes) != 0) return false;
    std::vector<int16_t> tone(2 * kWindowSets);
    for (int k = 0; k < kWindowSets; ++k) {
        tone[2 * k] = static_cast<int16_t>(std::lround(20000 * std::cos(2 * M_PI * k / 37.0)));
        tone[2 * k + 1] = static_cast<int16_t>(std::lround(20000 * std::sin(2 * M_PI * k / 37.0)));
    }
    bool written = true;
    for (int step = 0; step < kSteps; ++step) {
        const off_t at = (kFileBytes / kSteps * step) & ~off_t{3};
        written = ::pwrite(fd, tone.data(), tone.size() * 2, at) == static_cast<ssize_t>(tone.size() * 2) && written;
    }
    return ::close(fd) == 0 && written;
}

void Report(const char *what, const Figures &figures)
{
    std::printf("%-52s median %6.2f ms, longest %6.2f ms (%zu)\n", what, figures.median(), figures.maximum(),
                figures.ms.size());
}

}  // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir scratch;
    const std::string input = scratch.filePath("six.bin").toStdString();
    if (!MakeInput(input)) return 1;

    Session session;
    session.monitors = {{0, 0, 1920, 0, 1200}};
    App_StartSession(session, scratch.filePath("config").toStdString());
    for (const auto &[item, value] : {std::pair{kItemHeaderSource, "User"}, std::pair{kItemHeaderValue, "0"},
                                      std::pair{kItemTrailerSource, "User"}, std::pair{kItemTrailerValue, "0"}})
        static_cast<void>(onConfigurationTree(session, item, value));
    SilentDialogs dialogs;
    MainWindow window(session, dialogs);
    window.resize(1600, 1000);
    window.show();
    window.addFiles({QString::fromStdString(input)});
    auto *tabs = window.findChild<QTabWidget *>("TAB");
    tabs->setCurrentIndex(2);
    auto *page = window.findChild<QWidget *>("PAGE_IQ");
    auto *samples = page->findChild<QComboBox *>("RING_SAMPLES");
    samples->setCurrentIndex(samples->findData(kWindowSets));
    emit samples->activated(samples->currentIndex());
    Settle();

    auto *slider = page->findChild<QSlider *>("NUMERICSLIDE_POSITION");
    Figures drag, update, draw;
    for (int step = 0; step < kSteps; ++step) {
        const int64_t set = kFileBytes / kSteps * step / 4 + 1;
        QElapsedTimer clock, part;
        clock.start();
        part.start();
        slider->setValue(SliderValue(set, session.views.iq.positionMaximum));
        Settle();  // the step reaches the core, and the widgets take the new view state
        update.add(part);
        part.restart();
        page->repaint();
        draw.add(part);
        drag.add(clock);
    }
    Report("file position step at 8192 sets (read, compute, draw)", drag);
    Report("  of which read and compute in the core, and the widgets taking the view state", update);
    Report("  of which drawing", draw);

    Figures repaint, redraw;
    for (int round = 0; round < 50; ++round) {
        QElapsedTimer clock;
        clock.start();
        page->repaint();
        repaint.add(clock);
        clock.restart();
        for (PlotWidget *graph : page->findChildren<PlotWidget *>()) graph->refresh();
        page->repaint();
        redraw.add(clock);
    }
    Report("IQ page repaint", repaint);
    Report("IQ page repaint with every curve redrawn", redraw);

    Figures show, scroll;
    QElapsedTimer clock;
    clock.start();
    tabs->setCurrentIndex(1);
    Settle();
    window.repaint();
    show.add(clock);
    auto *header = window.findChild<QTableView *>("TABLE_HEADER");
    QScrollBar *bar = header->verticalScrollBar();
    for (int value = bar->minimum(); value <= bar->maximum(); value += std::max(1, bar->pageStep())) {
        clock.restart();
        bar->setValue(value);
        header->viewport()->repaint();
        scroll.add(clock);
    }
    std::printf("header dump: %d rows\n", header->model()->rowCount());
    Report("metadata page shown with its 16,384-byte dumps", show);
    Report("header dump scrolled by a page", scroll);
    return 0;
}
