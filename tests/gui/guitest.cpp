#include "guitest.h"

#include <QAbstractButton>
#include <QAbstractItemModelTester>
#include <QAbstractItemView>
#include <cstdlib>

namespace {

// Every model of the window is checked on every signal it sends: rows inserted and removed
// with their begin and end calls, changes within one parent, indexes that stay valid. A
// broken promise stops the test program with the tester's message. The browser's models are
// left to its own tests: a tester walks every folder below "My Computer".
void CheckEveryModel(QWidget *window)
{
    for (QAbstractItemView *view : window->findChildren<QAbstractItemView *>()) {
        QAbstractItemModel *model = view->model();
        if (!model || model->inherits("FolderTreeModel") || model->inherits("FileListModel") || model->findChild<QAbstractItemModelTester *>()) continue;
        new QAbstractItemModelTester(model, QAbstractItemModelTester::FailureReportingMode::Fatal, model);
    }
}

}  // namespace

WindowFixture::WindowFixture(const std::function<void(const std::string &dir)> &prepare)
{
    if (prepare) prepare(configDir.path().string());
    session.monitors = {{0, 0, 1920, 0, 1200}};
    App_StartSession(session, configDir.path().string());
    window = std::make_unique<MainWindow>(session, dialogs);
    CheckEveryModel(window.get());
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
