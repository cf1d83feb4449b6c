#include "guitest.h"

#include <QAbstractButton>
#include <cstdlib>

WindowFixture::WindowFixture(const std::function<void(const std::string &dir)> &prepare)
{
    if (prepare) prepare(configDir.path().string());
    session.monitors = {{0, 0, 1920, 0, 1200}};
    App_StartSession(session, configDir.path().string());
    window = std::make_unique<MainWindow>(session, dialogs);
    window->resize(kMinimumWindowWidth, kMinimumWindowHeight);
    window->show();
    settle();
}

WindowFixture::~WindowFixture()
{
    window.reset();
    settle();
}

void WindowFixture::click(const char *name, const char *page)
{
    if (auto *button = find<QAbstractButton>(name, page)) QTest::mouseClick(button, Qt::LeftButton);
    settle();
}

void WindowFixture::settle()
{
    for (int round = 0; round < 3; ++round) QCoreApplication::processEvents();
}

bool WindowFixture::waitFor(const std::function<bool()> &done, int seconds)
{
    QDeadlineTimer deadline(seconds * 1000);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    settle();
    return true;
}

// The window tests run on the offscreen platform unless the caller chose another.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
