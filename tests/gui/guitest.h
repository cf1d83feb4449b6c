#pragma once
// Support for the window tests: dialogs answered by the test, a window on a fresh session,
// and finding controls by page and objectName.

#include <QApplication>
#include <QDeadlineTimer>
#include <QTest>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

#include "app/startup.h"
#include "gui/dialogs.h"
#include "gui/mainwindow.h"
#include "testsupport.h"

// Shows QStrings as text in the test's messages.
inline void PrintTo(const QString &text, std::ostream *out) { *out << '"' << text.toStdString() << '"'; }

// Answers every question from queues the test fills; an unexpected question fails the test.
class ScriptedDialogs : public Dialogs {
public:
    std::deque<Answer> confirmations;
    std::deque<std::optional<QString>> texts;  // nullopt cancels the dialog
    std::deque<QString> files;        // an empty answer cancels the dialog
    std::deque<QString> directories;
    QStringList asked;  // every question and dialog title, in order

    Answer confirm(QWidget *, const QString &question, bool offersCancel) override
    {
        asked << question;
        if (confirmations.empty()) ADD_FAILURE() << "unexpected question: " << question.toStdString();
        if (confirmations.empty()) return Answer::No;
        const Answer answer = confirmations.front();
        confirmations.pop_front();
        if (answer == Answer::Cancel && !offersCancel) ADD_FAILURE() << "no Cancel offered: " << question.toStdString();
        return answer;
    }
    std::optional<QString> askText(QWidget *, const QString &label) override
    {
        asked << label;
        if (texts.empty()) ADD_FAILURE() << "unexpected text dialog: " << label.toStdString();
        if (texts.empty()) return std::nullopt;
        const std::optional<QString> answer = texts.front();
        texts.pop_front();
        return answer;
    }
    std::optional<QString> selectFile(QWidget *, const FileRequest &request) override
    {
        asked << request.title;
        if (files.empty()) ADD_FAILURE() << "unexpected file dialog: " << request.title.toStdString();
        return Next(files);
    }
    std::optional<QString> selectDirectory(QWidget *, const QString &title, const QString &) override
    {
        asked << title;
        if (directories.empty()) ADD_FAILURE() << "unexpected directory dialog: " << title.toStdString();
        return Next(directories);
    }

    void inform(QWidget *, const QString &title, const QString &text) override { asked << title + ": " + text; }

private:
    static std::optional<QString> Next(std::deque<QString> &answers)
    {
        if (answers.empty()) return std::nullopt;
        const QString answer = answers.front();
        answers.pop_front();
        if (answer.isEmpty()) return std::nullopt;
        return answer;
    }
};

// A started session in its own configuration directory and the main window on it.
struct WindowFixture {
    testsupport::TempDir configDir;
    Session session;
    ScriptedDialogs dialogs;
    std::unique_ptr<MainWindow> window;

    // Starts the session (with `prepare` run on the empty configuration directory first) and
    // shows the window at the smallest size.
    explicit WindowFixture(const std::function<void(const std::string &dir)> &prepare = {});
    ~WindowFixture();

    // The control `name` on the page `page` (empty: anywhere in the window).
    template <typename Widget>
    Widget *find(const char *name, const char *page = nullptr) const
    {
        QWidget *scope = window.get();
        if (page) scope = window->findChild<QWidget *>(page);
        Widget *widget = scope ? scope->findChild<Widget *>(name) : nullptr;
        if (!widget) ADD_FAILURE() << "no control " << name << (page ? std::string(" on ") + page : "");
        return widget;
    }

    void click(const char *name, const char *page = nullptr);
    // Lets the window draw what the session's notices asked for.
    static void settle();
    // Runs the event loop until `done` or `seconds` pass; false on the time-out.
    static bool waitFor(const std::function<bool()> &done, int seconds = 60);
};
