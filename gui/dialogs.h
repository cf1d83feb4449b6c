#pragma once
// The questions the window asks the user: a yes/no(/cancel) question, a line of text, a file and
// a directory choice, and a message to acknowledge.
// Every callback that asks goes through this interface, so a test answers in place of a
// person (tests/gui replaces it with scripted answers).

#include <QString>
#include <optional>

#include "app/configflows.h"
#include "configuration/version.h"

class QWidget;

struct FileRequest {
    QString title;
    QString directory;      // where the dialog opens
    QString fileName;       // preselected name; may be empty
    QString filter;         // e.g. "*.wv"; empty: every file
    bool save = false;      // a save dialog (the file need not exist)
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A question titled with the product name, answered Yes or No, or Cancel when offered.
    virtual Answer confirm(QWidget *parent, const QString &question, bool offersCancel) = 0;
    // A line of text titled with the product name; nullopt when the user cancels.
    virtual std::optional<QString> askText(QWidget *parent, const QString &label) = 0;
    virtual std::optional<QString> selectFile(QWidget *parent, const FileRequest &request) = 0;
    virtual std::optional<QString> selectDirectory(QWidget *parent, const QString &title, const QString &start) = 0;
    // A message with its title and an OK button.
    virtual void inform(QWidget *parent, const QString &title, const QString &text) = 0;
};

// The real dialogs: QMessageBox and QFileDialog.
class QtDialogs : public Dialogs {
public:
    Answer confirm(QWidget *parent, const QString &question, bool offersCancel) override;
    std::optional<QString> askText(QWidget *parent, const QString &label) override;
    std::optional<QString> selectFile(QWidget *parent, const FileRequest &request) override;
    std::optional<QString> selectDirectory(QWidget *parent, const QString &title, const QString &start) override;
    void inform(QWidget *parent, const QString &title, const QString &text) override;
};

// Answers no and chooses nothing: for programs that drive the window without a person (the
// screenshots, the benchmarks).
class SilentDialogs : public Dialogs {
public:
    Answer confirm(QWidget *, const QString &, bool) override { return Answer::No; }
    std::optional<QString> askText(QWidget *, const QString &) override { return std::nullopt; }
    std::optional<QString> selectFile(QWidget *, const FileRequest &) override { return std::nullopt; }
    std::optional<QString> selectDirectory(QWidget *, const QString &, const QString &) override
    {
        return std::nullopt;
    }
    void inform(QWidget *, const QString &, const QString &) override {}
};

// The core's questions put to the user through `dialogs`, over `parent`.
Confirm Dialogs_Confirm(Dialogs &dialogs, QWidget *parent);
AskName Dialogs_AskName(Dialogs &dialogs, QWidget *parent);
