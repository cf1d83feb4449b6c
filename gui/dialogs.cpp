#include "gui/dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

bool QtDialogs::confirm(QWidget *parent, const QString &question)
{
    return QMessageBox::question(parent, kProgramName, question, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
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
