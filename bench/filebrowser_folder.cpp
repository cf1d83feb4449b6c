// The file browser's speed on the offscreen platform, at a 1000 x 700 browser:
//  - a folder of 20,000 files shown: from Filebrowser_SetDir to the list drawn (goal: under 0.5 s);
//  - the list scrolled page by page: time per page;
//  - FileBrowser_Refresh after one new file appeared, until the list is drawn (goal: under 0.2 s);
//  - the same with 100,000 entries (no goal).
// The files are made in a folder under the system's temporary directory, removed at the end.
// Not a test: it prints figures. Run it from the build folder: bench/bench_filebrowser_folder

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTreeView>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "filebrowser/filebrowser.h"

namespace {

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
    for (int n = 0; n < 20; ++n) std::filesystem::create_directory(folder + "/folder_" + std::to_string(n));
    return true;
}

void Measure(FileBrowser &browser, const std::string &folder, int count, bool withGoals)
{
    auto *list = browser.findChild<QTreeView *>("BROWSER_FILES");
    std::printf("%d files:\n", count);

    std::vector<double> shown;
    for (int round = 0; round < 5; ++round) {
        Filebrowser_SetDir(browser, "", 0);
        browser.repaint();
        Settle();
        QElapsedTimer clock;
        clock.start();
        Filebrowser_SetDir(browser, folder, 0);
        browser.repaint();
        shown.push_back(Milliseconds(clock));
        Settle();
    }
    std::printf("  shown (SetDir to drawn): first %.1f ms, median of 5 %.1f ms%s; %d rows\n", shown.front(),
                Median(shown), withGoals ? " (goal < 500 ms)" : "", list->model()->rowCount());

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

    std::vector<double> refreshed;
    for (int round = 0; round < 5; ++round) {
        const std::string added = folder + "/new_" + std::to_string(round) + ".iq";
        ::close(::open(added.c_str(), O_CREAT | O_WRONLY, 0644));
        QElapsedTimer clock;
        clock.start();
        FileBrowser_Refresh(browser);
        browser.repaint();
        refreshed.push_back(Milliseconds(clock));
        Settle();
    }
    std::printf("  refresh after a new file: first %.1f ms, median of 5 %.1f ms%s; %d rows\n", refreshed.front(),
                Median(refreshed), withGoals ? " (goal < 200 ms)" : "", list->model()->rowCount());
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
            std::printf("(%d files made in %.0f ms)\n", count, Milliseconds(clock));
            Measure(*browser, folder, count, count == 20000);
        }
        delete browser;
    }
    std::error_code ignored;
    std::filesystem::remove_all(base, ignored);
    return status;
}
