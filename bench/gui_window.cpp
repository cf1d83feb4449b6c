// The desktop program's speed as a user meets it, on the offscreen platform:
//  - start: a session on a stored configuration until the main window has drawn itself
//    (goal: under 0.5 s);
//  - 1,000 jobs added at once until the jobs tree has drawn them (goal: under 1 s);
//  - a conversion of a 1 GiB file started from the window against quelvor-cli on the same file
//    in the same run (goal: at least 95 % of the command line's speed), and the longest wait of
//    the window's event loop meanwhile (goal: under 50 ms), from a 10 ms timer.
// Not a test: it prints figures. Run it from the build folder: bench/bench_gui_window

#include <QApplication>
#include <QEventLoop>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/configflows.h"
#include "app/startup.h"
#include "gui/dialogs.h"
#include "gui/mainwindow.h"

namespace {

void Settle()
{
    for (int round = 0; round < 5; ++round) QCoreApplication::processEvents();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A tone of 16-bit I/Q pairs, `bytes` long, written in 16 MiB blocks.
void WriteTone(const std::string &path, int64_t bytes)
{
    std::vector<int16_t> block(8 << 20);
    for (size_t k = 0; k < block.size(); k += 2) {
        const double phase = 2 * M_PI * static_cast<double>(k / 2) / 50.0;
        block[k] = static_cast<int16_t>(std::lround(20000 * std::cos(phase)));
        block[k + 1] = static_cast<int16_t>(std::lround(20000 * std::sin(phase)));
    }
    std::ofstream file(path, std::ios::binary);
    for (int64_t written = 0; written < bytes; written += static_cast<int64_t>(block.size() * 2))
        file.write(reinterpret_cast<const char *>(block.data()), static_cast<std::streamsize>(block.size() * 2));
}

struct Window {
    Session session;
    SilentDialogs dialogs;
    std::unique_ptr<MainWindow> window;

    explicit Window(const std::string &configDir)
    {
        session.monitors = {{0, 0, 1920, 0, 1200}};
        App_StartSession(session, configDir);
        Configuration_SetByName(session, "plain");
        window = std::make_unique<MainWindow>(session, dialogs);
        window->resize(1600, 1000);
        window->show();
        Settle();
    }
};

double StartSeconds(const std::string &configDir)
{
    QElapsedTimer clock;
    clock.start();
    Window started(configDir);
    return clock.nsecsElapsed() / 1e9;
}

double ThousandJobsSeconds(const std::string &configDir, const QString &file)
{
    Window window(configDir);
    const QStringList files(1000, file);
    QElapsedTimer clock;
    clock.start();
    window.window->addFiles(files);
    Settle();
    window.window->repaint();
    const double seconds = clock.nsecsElapsed() / 1e9;
    if (Gui_JobCount(window.session.jobs) != 1000) std::fprintf(stderr, "%d jobs, not 1000\n", Gui_JobCount(window.session.jobs));
    return seconds;
}

struct WindowRun {
    double seconds = 0;
    double longestWaitMs = 0;
};

WindowRun ConvertInWindow(const std::string &configDir, const QString &file)
{
    Window window(configDir);
    window.window->addFiles({file});
    Settle();
    WindowRun run;
    QElapsedTimer sinceTick;
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        run.longestWaitMs = std::max(run.longestWaitMs, sinceTick.nsecsElapsed() / 1e6 - 10.0);
        sinceTick.restart();
    });
    // The event loop runs as in the program (it sleeps between events); the ticker ends it once
    // the run was handed back.
    QEventLoop loop;
    QObject::connect(&ticker, &QTimer::timeout, &loop, [&] {
        if (Gui_GetConversionRunning(window.session.run) == kRunIdle) loop.quit();
    });
    QElapsedTimer clock;
    clock.start();
    sinceTick.start();
    ticker.start();
    window.window->convert();
    loop.exec();
    run.seconds = clock.nsecsElapsed() / 1e9;
    ticker.stop();
    const std::string status = window.session.jobs.items[kJobStatus].label;
    if (status != "Status: Done") std::fprintf(stderr, "window run ended \"%s\"\n", status.c_str());
    return run;
}

double ConvertWithCli(const std::string &configDir, const std::string &file)
{
    const std::string command = std::string("\"") + QUELVOR_CLI_PATH + "\" --config-dir \"" + configDir +
                                "\" convert --config plain --quiet \"" + file + "\" >/dev/null 2>&1";
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "quelvor-cli failed: %s\n", command.c_str());
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir scratch;
    const std::string configDir = scratch.filePath("config").toStdString();
    const std::string save = std::string("\"") + QUELVOR_CLI_PATH + "\" --config-dir \"" + configDir +
                             "\" config save plain --set headerSource=User --set headerValue=0 --set trailerSource=User"
                             " --set trailerValue=0 --set commentSource=User --set commentBegin=bench"
                             " --set samplerateSource=User --set samplerateValue=1.0 2>/dev/null";
    if (std::system(save.c_str()) != 0) return 1;
    const std::string small = scratch.filePath("small.bin").toStdString();
    WriteTone(small, 2048);
    const std::string large = scratch.filePath("large.bin").toStdString();
    WriteTone(large, int64_t{1} << 30);

    std::vector<double> starts, adds;
    for (int round = 0; round < 5; ++round) starts.push_back(StartSeconds(configDir));
    for (int round = 0; round < 3; ++round) adds.push_back(ThousandJobsSeconds(configDir, QString::fromStdString(small)));
    std::printf("window shown after start:    %7.3f s (median of 5)\n", Median(starts));
    std::printf("1,000 jobs added and drawn:  %7.3f s (median of 3)\n", Median(adds));

    // Each run starts with the previous output written out and removed, so that neither pays
    // for the other's write-back; the order alternates.
    const auto clean = [&] {
        std::filesystem::remove(large + ".wv");
        static_cast<void>(std::system("sync"));
    };
    std::vector<double> cli, window, waits;
    for (int round = 0; round < 6; ++round) {
        for (int turn = 0; turn < 2; ++turn) {
            clean();
            if ((round + turn) % 2 == 0) {
                cli.push_back(ConvertWithCli(configDir, large));
            } else {
                const WindowRun run = ConvertInWindow(configDir, QString::fromStdString(large));
                window.push_back(run.seconds);
                waits.push_back(run.longestWaitMs);
            }
        }
    }
    clean();
    const auto list = [](const std::vector<double> &values) {
        std::string text;
        for (double value : values) text += (text.empty() ? "" : ", ") + std::to_string(value).substr(0, 4);
        return text;
    };
    const double cliMedian = Median(cli), windowMedian = Median(window);
    std::printf("1 GiB conversion, quelvor-cli: %6.2f s (median of %s s)\n", cliMedian, list(cli).c_str());
    std::printf("1 GiB conversion, window:      %6.2f s (median of %s s)\n", windowMedian, list(window).c_str());
    std::printf("the window converts at %.1f %% of the command line's speed\n", 100.0 * cliMedian / windowMedian);
    std::printf("longest event-loop wait during the window's runs: %.1f ms\n", *std::max_element(waits.begin(), waits.end()));
    return 0;
}
