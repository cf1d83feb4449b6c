#pragma once
// BROWSER on the "Files" page: the folder tree BROWSER_FOLDERS, rooted at "My Computer", beside
// the list BROWSER_FILES of the chosen folder's entries. The add buttons take the selected files
// of the list; a double click on a file adds them too, one on a folder opens it.
//
// Paths are raw bytes (std::string) as the file system holds them: names with newlines or bytes
// that are not UTF-8 are shown with replacement characters but handed out exactly.
//
// Nothing is read from disk on the user-interface thread: folders, sub-folders and the mounted
// volumes are read on threads of their own and shown when they arrive; the list says "Reading..."
// meanwhile. A folder that never answers (a dead network mount) leaves the browser working and
// is no reason to wait when it closes.

#include <QPersistentModelIndex>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "filebrowser/backgroundreads.h"
#include "filebrowser/folderread.h"
#include "filebrowser/volumes.h"

class FileListModel;
class FolderTreeModel;
class QLabel;
class QSplitter;
class QTreeView;

enum class BrowserAttribute { ShowIcons, ShowRemovableDrives, ShowCdRomDrives, ShowTimeColumn };

class FileBrowser;

// The browser with its folder tree rooted at an item labelled `root` ("My Computer").
FileBrowser *FileBrowser_Create(QWidget *parent, const QString &root);
// Sets an attribute (value 0 off, otherwise on). Returns 0, or -1 for what the browser cannot
// show: the time column (value 1).
int FileBrowser_SetAttribute(FileBrowser &browser, BrowserAttribute attribute, int value);
// Reads the shown folder again from disk (in the background) and keeps it shown: the entries
// that were selected and still exist stay selected (without a current entry the first one
// becomes current); its sub-folders in the tree are read again too. A folder that cannot be
// read any more shows no entries.
void FileBrowser_Refresh(FileBrowser &browser);
// The full paths of the selected entries, folders included, top to bottom as the list shows
// them. The callers decide what a folder stands for (the add buttons: the files in it).
std::vector<std::string> FileBrowser_GetSelectedFiles(const FileBrowser &browser);
// Whether `path` is a folder: *isDir 1 or 0 and 0 returned; a path that does not exist is no
// folder (0). Another failure of stat returns -errno.
int Filebrowser_IsDirFromDisk(const std::string &path, int *isDir);
// Opens a folder in the tree. relative 0: `path` is absolute; its components are opened one by
// one from "/", and the deepest one that exists stays open ("/tmp/x/gone" opens "/tmp/x", a
// folder on a volume that is gone, "/gone/x", opens "/"); a path not starting with "/" shows
// "My Computer". relative 1: `path` is the name of a folder in the shown folder (a top folder's
// full path under "My Computer"). An empty path shows "My Computer".
// Folders the tree has not read yet are read in the background on the way: the folder opens
// when they have arrived, unless the user chose another folder in the tree meanwhile.
void Filebrowser_SetDir(FileBrowser &browser, const std::string &path, int relative);
// The browser inside `scope` (by objectName "BROWSER"), or `scope` itself when it is one.
FileBrowser *Filebrowser_GetFileBrowserPtr(QWidget *scope);
// The text of the "Size" column for a file of `bytes` bytes ("%zd %2s"): bytes up to 10000,
// then KB up to 10000000, MB up to 10000000000 and GB above, each rounded down.
QString FileBrowser_SizeText(int64_t bytes);

class FileBrowser : public QWidget {
    Q_OBJECT

public:
    using ErrorReporter = std::function<void(const QString &title, const QString &text)>;

    explicit FileBrowser(const QString &rootLabel, QWidget *parent = nullptr);
    ~FileBrowser() override;

    // The shown folder as raw bytes; empty for "My Computer".
    std::string currentDirectory() const { return shownFolder_; }
    // A folder being opened, the list's entries or the volumes of "My Computer" shown in it
    // have not arrived yet (the list says "Reading..." meanwhile).
    bool isReading() const;
    // While locked (a conversion runs) the tree and the list still show but take no input.
    void setLocked(bool locked);
    // The last folders shown, most recent first, each once (at most 8).
    QStringList recentFolders() const;
    // Where read errors of the tree go; a warning box unless replaced (the tests replace it).
    void setErrorReporter(ErrorReporter reporter);

signals:
    // A file entry was double-clicked or Return was pressed on it.
    void filesActivated();
    // The shown folder changed; `path` is the folder as UTF-8 text, empty for "My Computer".
    void directoryChanged(const QString &path);

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend int FileBrowser_SetAttribute(FileBrowser &, BrowserAttribute, int);
    friend void FileBrowser_Refresh(FileBrowser &);
    friend std::vector<std::string> FileBrowser_GetSelectedFiles(const FileBrowser &);
    friend void Filebrowser_SetDir(FileBrowser &, const std::string &, int);

    int setAttribute(BrowserAttribute attribute, int value);
    void refresh();
    std::vector<std::string> selectedFiles() const;
    void openPath(const std::string &path);
    void openSubfolder(const std::string &name);
    // Opens the deepest folder along `components` below the folder at `start` that exists: at
    // once as far as the tree holds the folders already, otherwise after their sub-folders have
    // been read in the background.
    void walk(const QModelIndex &start, std::vector<std::string> components);
    void finishWalk(int id, const QPersistentModelIndex &start, const std::vector<std::string> &components,
                    const std::vector<Subfolders> &levels);
    // Expands the folders down to `index`, makes it the tree's current item (which shows it).
    void openInTree(const QModelIndex &index);
    // Shows the tree item's folder in the list; its entries arrive later.
    void showFolder(const QModelIndex &index);
    void setShownFolder(const std::string &folder);
    void listArrived();
    void readVolumes();
    void volumesArrived(int id, const std::vector<TopFolder> &folders);
    void updateReadingHint();
    void activateEntry(const QModelIndex &index);
    void reportReadFailure(const QModelIndex &index, int error);
    void showFolderMenu(const QPoint &position);
    void makeFirstEntryCurrent();

    FolderTreeModel *folderModel_;
    FileListModel *listModel_;
    QTreeView *folderTree_;
    QTreeView *fileList_;
    QLabel *readingHint_;
    QSplitter *splitter_;
    ErrorReporter reporter_;
    std::string shownFolder_;
    bool shownOnce_ = false;
    std::deque<std::string> recent_;
    bool showRemovable_ = true;
    bool showOptical_ = true;
    int navigation_ = 0;       // counts the folders asked for; a walk of an older one is dropped
    bool walking_ = false;
    int volumesRequest_ = 0;   // the latest read of the volumes; older answers are dropped
    bool readingVolumes_ = false;
    BackgroundReads reads_{this};
};
