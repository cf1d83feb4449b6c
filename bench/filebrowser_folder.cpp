// The file browser's speed on the offscreen platform, at a 1000 x 700 browser:
//  - a folder of 20,000 files shown: from Filebrowser_SetDir until every row is in the list and
//    the list is drawn (goal: at most 100 ms);
//  - the longest the event loop waits while a folder is opened and read, measured by a timer
//    that ticks every millisecond (goal with 100,000 files: at most 16 ms, one frame);
//  - the list scrolled page by page: time per page;
//  - FileBrowser_Refresh after one new file appeared, until its row is in and drawn, with the
//    longest event-loop wait meanwhile.
// The same for 100,000 files. Only the functions of the browser and the list's row count are
// used, so the program measures a browser that reads in the background and one that reads on the
// user-interface thread alike. The files are made in a folder under the system's temporary
// directory, removed at the end.
// Not a test: it prints figures. Run it from the build folder: bench/bench_filebrowser_folder

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QScrollBar>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

#include "filebrowser/filebrowser.h"

namespace {

constexpr int kFolders = 20;  // besides the files, in every folder made

void Settle()
{
    for (int round = 0; round < 3; ++round) QCoreApplication::processEvents();
}

double Milliseconds(const QElapsedTimer &clock) { return clock.nsecsElapsed() / 1e6; }

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// Runs the event loop until the list holds `rows` rows (at most 60 s); false on the time-out.
bool WaitForRows(const QTreeView &list, int rows)
{
    const QDeadlineTimer deadline(60000);
    while (list.model()->rowCount() != rows) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// The longest wait between two ticks of a timer that asks for one every millisecond: how long
// the event loop was kept from anything else.
class LoopWatch {
public:
    LoopWatch()
    {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.nsecsElapsed();
            longest_ = std::max(longest_, now - last_);
            last_ = now;
        });
    }
    void start()
    {
        longest_ = 0;
        clock_.start();
        last_ = 0;
        timer_.start();
    }
    double stop()
    {
        timer_.stop();
        const qint64 now = clock_.nsecsElapsed();
        return std::max(longest_, now - last_) / 1e6;
    }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
};

// `count` files of assorted sizes (sparse, nothing written) and a few folders, mixed-case names.
bool MakeFolder(const std::string &folder, int count)
{
    std::filesystem::create_directory(folder);
    for (int n = 0; n < count; ++n) {
        char name[64];
        std::snprintf(name, sizeof name, "%s_%06d.%s", n % 3 ? "capture" : "Capture", n, n % 2 ? "iq" : "BIN");
        const int fd = ::open((folder + "/" + name).c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        if (fd < 0) return false;
        const bool sized = ::ftruncate(fd, static_cast<off_t>(n) * 4099 % 50000000) == 0;
        if (::close(fd) != 0 || !sized) return false;
    }
    for (int n = 0; n < kFolders; ++n) std::filesystem::create_directory(folder + "/folder_" + std::to_string(n));
    return true;
}

// What `action` costs when the event loop runs it: the time until the list holds `rows` rows and
// is drawn, and the longest wait of the event loop meanwhile. False when the rows never came.
bool Timed(FileBrowser &browser, QTreeView &list, int rows, const std::function<void()> &action, double &shownMs,
           double &longestWaitMs)
{
    LoopWatch watch;
    QElapsedTimer clock;
    watch.start();
    QTimer::singleShot(0, &browser, [&] {
        clock.start();
        action();
    });
    const bool arrived = WaitForRows(list, rows);
    browser.repaint();
    shownMs = Milliseconds(clock);
    Settle();
    longestWaitMs = watch.stop();
    return arrived;
}

// The longest wait of an event loop that has nothing to do for a second: what the machine's
// other work (a busy machine takes the processor away) adds to every wait measured here.
double IdleLoopWait()
{
    LoopWatch watch;
    watch.start();
    QEventLoop loop;
    QTimer::singleShot(1000, &loop, &QEventLoop::quit);
    loop.exec();
    return watch.stop();
}

bool Measure(FileBrowser &browser, const std::string &folder, int count, bool withGoals)
{
    auto *list = browser.findChild<QTreeView *>("BROWSER_FILES");
    const int rows = count + kFolders;
    std::printf("%d files:\n", count);

    std::vector<double> shown, waits;
    for (int round = 0; round < 5; ++round) {
        Filebrowser_SetDir(browser, "", 0);
        browser.repaint();
        Settle();
        double shownMs = 0, waitMs = 0;
        if (!Timed(browser, *list, rows, [&] { Filebrowser_SetDir(browser, folder, 0); }, shownMs, waitMs)) {
            std::fprintf(stderr, "the folder's %d rows never came\n", rows);
            return false;
        }
        shown.push_back(shownMs);
        waits.push_back(waitMs);
    }
    std::printf("  shown (SetDir to every row drawn): first %.1f ms, median of 5 %.1f ms%s\n", shown.front(),
                Median(shown), withGoals ? " (goal <= 100 ms)" : "");
    std::printf("  longest event-loop wait while it opens: median of 5 %.1f ms, worst %.1f ms%s\n", Median(waits),
                *std::max_element(waits.begin(), waits.end()), withGoals ? "" : " (goal <= 16 ms)");

    QScrollBar *bar = list->verticalScrollBar();
    std::vector<double> pages;
    while (bar->value() < bar->maximum() && pages.size() < 300) {
        QElapsedTimer clock;
        clock.start();
        bar->setValue(bar->value() + bar->pageStep());
        list->viewport()->repaint();
        pages.push_back(Milliseconds(clock));
    }
    std::printf("  scrolled page by page: %zu pages, median %.2f ms, max %.2f ms per page\n", pages.size(),
                Median(pages), pages.empty() ? 0.0 : *std::max_element(pages.begin(), pages.end()));

    std::vector<double> refreshed, refreshWaits;
    for (int round = 0; round < 5; ++round) {
        const std::string added = folder + "/new_" + std::to_string(round) + ".iq";
        ::close(::open(added.c_str(), O_CREAT | O_WRONLY, 0644));
        double shownMs = 0, waitMs = 0;
        if (!Timed(browser, *list, rows + round + 1, [&] { FileBrowser_Refresh(browser); }, shownMs, waitMs)) return false;
        refreshed.push_back(shownMs);
        refreshWaits.push_back(waitMs);
    }
    for (int round = 0; round < 5; ++round) ::unlink((folder + "/new_" + std::to_string(round) + ".iq").c_str());
    std::printf("  refresh after a new file: first %.1f ms, median of 5 %.1f ms; longest event-loop wait: median "
                "%.1f ms, worst %.1f ms\n",
                refreshed.front(), Median(refreshed), Median(refreshWaits),
                *std::max_element(refreshWaits.begin(), refreshWaits.end()));
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);

    std::string pattern = (std::filesystem::temp_directory_path() / "quelvor-bench-browser-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        std::fprintf(stderr, "cannot make a temporary folder\n");
        return 1;
    }
    const std::string base = pattern;
    int status = 0;
    {
        FileBrowser *browser = FileBrowser_Create(nullptr, "My Computer");
        browser->resize(1000, 700);
        browser->show();
        Settle();
        for (const int count : {20000, 100000}) {
            const std::string folder = base + "/files" + std::to_string(count);
            QElapsedTimer clock;
            clock.start();
            if (!MakeFolder(folder, count)) {
                std::fprintf(stderr, "cannot make the files in %s\n", folder.c_str());
                status = 1;
                break;
            }
            std::printf("(%d files made in %.0f ms; an idle event loop waits up to %.1f ms here)\n", count,
                        Milliseconds(clock), IdleLoopWait());
            if (!Measure(*browser, folder, count, count == 20000)) {
                status = 1;
                break;
            }
        }
        delete browser;
    }
    std::error_code ignored;
    std::filesystem::remove_all(base, ignored);
    return status;
}
