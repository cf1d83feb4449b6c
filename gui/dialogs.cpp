#include "gui/dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

Answer QtDialogs::confirm(QWidget *parent, const QString &question, bool offersCancel)
{
    QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No;
    if (offersCancel) buttons |= QMessageBox::Cancel;
    switch (QMessageBox::question(parent, kProgramName, question, buttons, QMessageBox::Yes)) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    default: return offersCancel ? Answer::Cancel : Answer::No;  // Escape or the window's close button
    }
}

std::optional<QString> QtDialogs::askText(QWidget *parent, const QString &label)
{
    bool accepted = false;
    const QString text = QInputDialog::getText(parent, kProgramName, label, QLineEdit::Normal, QString(), &accepted);
    if (!accepted) return std::nullopt;
    return text;
}

std::optional<QString> QtDialogs::selectFile(QWidget *parent, const FileRequest &request)
{
    const QString start = request.fileName.isEmpty() ? request.directory
                                                     : QDir(request.directory).filePath(request.fileName);
    const QString filter = request.filter.isEmpty() ? QString() : request.filter;
    const QString chosen = request.save ? QFileDialog::getSaveFileName(parent, request.title, start, filter)
                                        : QFileDialog::getOpenFileName(parent, request.title, start, filter);
    if (chosen.isEmpty()) return std::nullopt;
    return chosen;
}

std::optional<QString> QtDialogs::selectDirectory(QWidget *parent, const QString &title, const QString &start)
{
    const QString chosen = QFileDialog::getExistingDirectory(parent, title, start);
    if (chosen.isEmpty()) return std::nullopt;
    return chosen;
}

void QtDialogs::inform(QWidget *parent, const QString &title, const QString &text)
{
    QMessageBox::warning(parent, title, text);
}

Confirm Dialogs_Confirm(Dialogs &dialogs, QWidget *parent)
{
    return [&dialogs, parent](const std::string &question, bool offersCancel) {
        return dialogs.confirm(parent, QString::fromStdString(question), offersCancel);
    };
}

AskName Dialogs_AskName(Dialogs &dialogs, QWidget *parent)
{
    return [&dialogs, parent](const std::string &prompt) -> std::optional<std::string> {
        const std::optional<QString> name = dialogs.askText(parent, QString::fromStdString(prompt));
        if (!name) return std::nullopt;
        return name->toStdString();
    };
}
