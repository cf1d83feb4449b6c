#pragma once
// The "Files" page: the folder view to pick input files from, the add buttons, the output
// directory and overwrite protection, and the jobs tree with each job's files, status and
// results.

#include <QWidget>

#include "filebrowser/backgroundreads.h"
#include "session/session.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;
class Dialogs;
class FileBrowser;
class JobsModel;

class FilesPage : public QWidget {
    Q_OBJECT
public:
    FilesPage(Session &session, Dialogs &dialogs, QWidget *parent = nullptr);

    // Adds files as jobs, as the add button adds the browser's selection (qFiles 1: Q files).
    void addFiles(const QStringList &paths, int qFiles = 0);
    void addFiles(const std::vector<std::string> &paths, int qFiles);
    // The visible add button (IQ, or I files): the browser's selection, a selected folder
    // standing for its files, added once the folders have been read in the background.
    void addSelectedFiles();
    void removeCurrentJob();
    void openCurrentJobFile();
    // Files and folders dropped from a file manager: the files, and the files in the folders,
    // are added as jobs once the folders have been read in the background. Refused (with a line
    // in the status log) while a conversion runs.
    void dropFiles(const QList<QUrl> &urls);

    // The jobs tree's rows, as a job notice says (RowChange), and a job item to show, once.
    void applyJobRows(const SessionNotice &notice);
    void revealJobItem(int item);
    void refreshJobs();
    void refreshHint();
    void refreshBrowser();     // BUTTON_REFRESH, and the end of a run
    void applyLocks();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    // The first show opens the folder used last.
    void showEvent(QShowEvent *event) override;

private:
    QWidget *buildControls();
    void buildBrowser();
    void buildJobsTree();
    void showJobRows(int firstJob, int count);
    void rememberCollapsed(const QModelIndex &index, bool collapsed);
    void pressJobCell(const QModelIndex &index);
    void chooseJobFile(int item);
    void chooseOutputDirectory();
    void selectOutputSource(int index);
    void addSelection(int qFiles);
    void listInBackground(std::vector<std::string> paths, int qFiles, const char *noThreadMessage);

    Session &session;
    Dialogs &dialogs;
    FileBrowser *browser;
    QWidget *browserListArea = nullptr;  // where files dropped on the browser's list land
    QComboBox *outputSource;
    QLineEdit *outputDirectory;
    QPushButton *outputButton;
    QCheckBox *overwrite;
    QPushButton *addIq;
    QPushButton *addI;
    QPushButton *addQ;
    QPushButton *refreshButton;
    QTreeView *jobsTree;
    JobsModel *jobsModel;
    QLabel *addFilesHere;
    bool rememberedFolderOpened = false;
    BackgroundReads folderReads{this};  // dropped and selected folders
};
