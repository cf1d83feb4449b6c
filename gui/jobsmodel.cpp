#include "gui/jobsmodel.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <algorithm>

#include "filebrowser/pathtext.h"
#include "gui/cellstyle.h"
#include "session/session.h"

namespace {

constexpr int kChildRows = 4;  // under a job item, and under a status item
const QColor kRemoveLinkText(160, 0, 0);
const QColor kProgressTrough(220, 220, 220);

int OffsetOf(int item) { return item % kItemsPerJob; }
int JobItemOf(int item) { return item - OffsetOf(item); }
bool HasChildren(int item) { return OffsetOf(item) == kJobItem || OffsetOf(item) == kJobStatus; }

// The row of an item under its parent: job items by job number, the others by offset.
int RowOf(int item)
{
    const int offset = OffsetOf(item);
    if (offset == kJobItem) return item / kItemsPerJob;
    return offset <= kJobStatus ? offset - kJobInput : offset - kJobConvertedSamples;
}

// The progress of a status item's value, while the value is a number.
QVariant ProgressOf(const JobTreeItem &item)
{
    bool isNumber = false;
    const double progress = QString::fromStdString(item.value).toDouble(&isNumber);
    if (!isNumber) return QVariant();
    return qBound(0, qRound(progress), 100);
}

QStyle *StyleOf(const QStyleOptionViewItem &option)
{
    return option.widget ? option.widget->style() : QApplication::style();
}

QVariant DisplayText(const JobTreeItem &item, int column)
{
    if (column == JobsModel::kLabelColumn) return QString::fromStdString(item.label);
    if (item.cell == JobCell::Remove) return QStringLiteral("Remove");
    // The progress value shows as a bar while the job runs; a finished job's image says the rest.
    if (item.cell == JobCell::Progress && item.image != -1) return QString();
    return item.cell == JobCell::File ? PathText(item.value) : QString::fromStdString(item.value);
}

QVariant Decoration(const JobTreeItem &item, int itemIndex, int column)
{
    if (column != JobsModel::kLabelColumn || !HasChildren(itemIndex)) return QVariant();
    const QIcon image = JobImage(item.image);
    return image.isNull() ? QVariant() : QVariant(image);
}

// The whole of a text that a narrow column may cut; nothing for an empty one.
QVariant FullText(const std::string &text)
{
    return text.empty() ? QVariant() : QVariant(QString::fromStdString(text));
}

QVariant Foreground(const JobTreeItem &item, int column)
{
    if (column == JobsModel::kValueColumn && item.valueDimmed) return DimmedText(item.background);
    return ReadableText(item.background);
}

}  // namespace

JobsModel::JobsModel(const Session &session, QObject *parent)
    : QAbstractItemModel(parent), session_(session), itemCount_(static_cast<int>(session.jobs.items.size()))
{
}

QModelIndex JobsModel::index(int row, int column, const QModelIndex &parent) const
{
    if (!hasIndex(row, column, parent)) return QModelIndex();
    // A job item's children follow it directly, and so do the status item's.
    const int item = parent.isValid() ? itemOf(parent) + 1 + row : row * kItemsPerJob;
    return createIndex(row, column, static_cast<quintptr>(item));
}

QModelIndex JobsModel::parent(const QModelIndex &child) const
{
    if (!child.isValid()) return QModelIndex();
    const int item = itemOf(child);
    const int offset = OffsetOf(item);
    if (offset == kJobItem) return QModelIndex();
    return indexOf(offset <= kJobStatus ? JobItemOf(item) : JobItemOf(item) + kJobStatus);
}

int JobsModel::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid()) return itemCount_ / kItemsPerJob;
    if (parent.column() != kLabelColumn) return 0;
    return HasChildren(itemOf(parent)) ? kChildRows : 0;
}

int JobsModel::columnCount(const QModelIndex &) const { return 2; }

QVariant JobsModel::data(const QModelIndex &index, int role) const
{
    const int itemIndex = itemOf(index);
    if (itemIndex < 0 || itemIndex >= static_cast<int>(session_.jobs.items.size())) return QVariant();
    const JobTreeItem &item = session_.jobs.items[itemIndex];
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole: return DisplayText(item, column);
    case Qt::DecorationRole: return Decoration(item, itemIndex, column);
    case Qt::ToolTipRole: return ToolTip(item, column);
    case Qt::BackgroundRole: return BackgroundRole(item.background);
    case Qt::ForegroundRole: return Foreground(item, column);
    case CellKindRole: return static_cast<int>(item.cell);
    case ProgressRole:
        // A bar only while the job runs: a finished job shows its image instead.
        return column == kValueColumn && item.cell == JobCell::Progress && item.image == -1 ? ProgressOf(item)
                                                                                             : QVariant();
    default: return QVariant();
    }
}

QVariant JobsModel::ToolTip(const JobTreeItem &item, int column) const
{
    if (column == kLabelColumn) return FullText(item.label);
    // While a run has the job controls locked, presses do nothing: no hints then.
    const bool takesInput = !Session_Locked(session_);
    const QString path = PathText(item.value);
    switch (item.cell) {
    case JobCell::Remove: return takesInput ? QVariant(QStringLiteral("Remove this job")) : QVariant();
    case JobCell::File:
        if (!takesInput) return path.isEmpty() ? QVariant() : QVariant(path);
        return path.isEmpty() ? QStringLiteral("Click or press F2 to choose a file")
                              : path + QStringLiteral("\nClick or press F2 to choose another file");
    case JobCell::Plain: return FullText(item.value);
    // The bar, or the image of a finished job, stands for the status the label spells out.
    case JobCell::Progress: return FullText(item.label);
    }
    return QVariant();
}

QVariant JobsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QVariant();
    return section == kLabelColumn ? QStringLiteral("Conversion jobs") : QString();
}

void JobsModel::jobsInserted(int first, int count)
{
    beginInsertRows(QModelIndex(), first, first + count - 1);
    itemCount_ += count * kItemsPerJob;
    endInsertRows();
}

void JobsModel::jobsRemoving(int first, int count)
{
    beginRemoveRows(QModelIndex(), first, first + count - 1);
    removingItems_ = count * kItemsPerJob;
    removingEnd_ = (first + count) * kItemsPerJob;
}

void JobsModel::jobsRemoved()
{
    itemCount_ -= removingItems_;
    endRemoveRows();
    // Qt moves the persistent indexes of the job rows after the removed ones, not those of their
    // children (an expanded status row, the current cell): an index's id is its item number,
    // which drops by the items removed.
    const QModelIndexList persistent = persistentIndexList();
    for (const QModelIndex &index : persistent) {
        const int item = itemOf(index);
        if (OffsetOf(item) == kJobItem || item < removingEnd_) continue;
        const auto movedItem = static_cast<quintptr>(item - removingItems_);
        changePersistentIndex(index, createIndex(index.row(), index.column(), movedItem));
    }
    removingItems_ = 0;
}

void JobsModel::jobsChanged(int first, int count)
{
    const int last = std::min(first + count, rowCount()) - 1;
    if (first < 0 || last < first) return;
    emit dataChanged(index(first, kLabelColumn), index(last, kValueColumn));
    for (int row = first; row <= last; ++row) {
        const QModelIndex job = index(row, kLabelColumn);
        emitChildrenChanged(job);
        emitChildrenChanged(index(kJobStatus - kJobInput, kLabelColumn, job));
    }
}

void JobsModel::emitChildrenChanged(const QModelIndex &parent)
{
    emit dataChanged(index(0, kLabelColumn, parent), index(kChildRows - 1, kValueColumn, parent));
}

int JobsModel::itemOf(const QModelIndex &index) const
{
    return index.isValid() ? static_cast<int>(index.internalId()) : -1;
}

QModelIndex JobsModel::indexOf(int item, int column) const
{
    if (item < 0 || item >= itemCount_) return QModelIndex();
    return createIndex(RowOf(item), column, static_cast<quintptr>(item));
}

void JobsDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem cell(option);
    initStyleOption(&cell, index);
    const auto kind = static_cast<JobCell>(index.data(JobsModel::CellKindRole).toInt());
    const QVariant progress = index.data(JobsModel::ProgressRole);
    const bool isValueCell = index.column() == JobsModel::kValueColumn;
    const bool isProgress = isValueCell && kind == JobCell::Progress && progress.isValid();
    const bool isRemove = isValueCell && kind == JobCell::Remove;
    if (isValueCell && kind == JobCell::File) cell.textElideMode = Qt::ElideMiddle;

    // The text rect of the cell as the style lays it out, before the text is taken away.
    const QRect textRect = StyleOf(cell)->subElementRect(QStyle::SE_ItemViewItemText, &cell, cell.widget);
    if (isProgress || isRemove) cell.text.clear();
    StyleOf(cell)->drawControl(QStyle::CE_ItemViewItem, &cell, painter, cell.widget);
    if (isProgress) PaintProgress(painter, cell, progress.toInt());
    if (isRemove) {
        // The style draws item text inset by this margin; the link lines up with the paths.
        const int margin = StyleOf(cell)->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, cell.widget) + 1;
        cell.rect = textRect.adjusted(margin, 0, -margin, 0);
        PaintRemoveLink(painter, cell);
    }
}

void JobsDelegate::PaintProgress(QPainter *painter, const QStyleOptionViewItem &option, int percent) const
{
    const QRect bar = option.rect.adjusted(4, 2, -4, -2);
    if (bar.width() <= 0 || bar.height() <= 0) return;
    painter->save();
    painter->fillRect(bar, kProgressTrough);
    painter->fillRect(QRect(bar.topLeft(), QSize(bar.width() * percent / 100, bar.height())), ToQColor(kTraceI));
    painter->setPen(Qt::black);
    painter->setFont(option.font);
    painter->drawText(bar, Qt::AlignCenter, QStringLiteral("%1 %").arg(percent));
    painter->restore();
}

void JobsDelegate::PaintRemoveLink(QPainter *painter, const QStyleOptionViewItem &option) const
{
    QFont font = option.font;
    font.setUnderline(true);
    painter->save();
    painter->setFont(font);
    painter->setPen(kRemoveLinkText);
    painter->drawText(option.rect, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Remove"));
    painter->restore();
}
