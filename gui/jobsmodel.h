#pragma once
// The conversion job list as a Qt model: Session::jobs holds nine items per job; the job item is
// a top-level row with the input, Q, output and status items below it, and the status item has
// the run's four results below it. Column 0 is the label, column 1 the value: file paths, the
// progress of a run and the job's "Remove" link. JobsDelegate draws the progress as a bar, the
// remove cell as a link and file paths elided in the middle. The model keeps nothing but the
// job count it has announced; the session's job notices tell it which rows to signal.

#include <QAbstractItemModel>
#include <QStyledItemDelegate>

#include "conversion/joblist.h"

struct Session;

class JobsModel : public QAbstractItemModel {
    Q_OBJECT

public:
    enum Role {
        CellKindRole = Qt::UserRole + 1,  // int(JobCell): what a press on column 1 does
        ProgressRole = Qt::UserRole + 2,  // int 0 .. 100 on a status item's value while it shows a number
    };
    enum Column { kLabelColumn = 0, kValueColumn = 1 };

    explicit JobsModel(const Session &session, QObject *parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Job notices (RowChange), applied in the order the session sends them.
    void jobsInserted(int first, int count);
    void jobsRemoving(int first, int count);
    void jobsRemoved();
    // Jobs [first, first + count) changed: their rows and every row below them.
    void jobsChanged(int first, int count);
    void allJobsChanged() { jobsChanged(0, rowCount()); }

    // The job list item of an index, -1 for an invalid index; and the index of an item's cell.
    int itemOf(const QModelIndex &index) const;
    QModelIndex indexOf(int item, int column = kLabelColumn) const;

private:
    QVariant ToolTip(const JobTreeItem &item, int column) const;

    void emitChildrenChanged(const QModelIndex &parent);

    const Session &session_;
    int itemCount_ = 0;         // the item count the views were last told about
    int removingItems_ = 0;     // items announced by jobsRemoving, gone at jobsRemoved
    int removingEnd_ = 0;       // the item after them
};

// Paints column 1 of the jobs tree: the progress bar of a status item, the "Remove" link of a
// job item, and file paths elided in the middle so that the file name stays visible.
class JobsDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    void PaintProgress(QPainter *painter, const QStyleOptionViewItem &option, int percent) const;
    void PaintRemoveLink(QPainter *painter, const QStyleOptionViewItem &option) const;
};
