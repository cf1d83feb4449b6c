#include "gui/statuslogmodel.h"

#include <QColor>

#include "gui/cellstyle.h"
#include "session/session.h"

namespace {

const QColor kDimmedText(128, 128, 128);

QVariant DisplayText(const StatusRow &row, int column)
{
    switch (column) {
    case StatusLogModel::kTimeColumn: return QString::fromStdString(row.time);
    case StatusLogModel::kDescriptionColumn: return QString::fromStdString(row.text);
    default: return QVariant();
    }
}

}  // namespace

StatusLogModel::StatusLogModel(const Session &session, QObject *parent)
    : QAbstractTableModel(parent), session_(session), rowCount_(static_cast<int>(session.statusLog.rows.size()))
{
}

int StatusLogModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : rowCount_; }

int StatusLogModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : 3; }

QVariant StatusLogModel::data(const QModelIndex &index, int role) const
{
    const std::vector<StatusRow> &rows = session_.statusLog.rows;
    if (!index.isValid() || index.row() >= static_cast<int>(rows.size())) return QVariant();
    const StatusRow &row = rows[index.row()];
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole: return DisplayText(row, column);
    case Qt::DecorationRole:
        if (column != kIconColumn) return QVariant();
        return row.dimmed ? FadedStatusIconImage(row.icon) : StatusIconImage(row.icon);
    case Qt::ForegroundRole: return row.dimmed ? QVariant(kDimmedText) : QVariant();
    case Qt::ToolTipRole: return column == kDescriptionColumn ? DisplayText(row, column) : QVariant();
    default: return QVariant();
    }
}

QVariant StatusLogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QVariant();
    switch (section) {
    case kTimeColumn: return QStringLiteral("Time");
    case kDescriptionColumn: return QStringLiteral("Description");
    default: return QString();
    }
}

void StatusLogModel::showAppendedRows()
{
    const int first = rowCount_;
    const int rows = static_cast<int>(session_.statusLog.rows.size());
    if (rows <= first) return;
    beginInsertRows(QModelIndex(), first, rows - 1);
    rowCount_ = rows;
    endInsertRows();
    if (first > 0) emit dataChanged(index(first - 1, kIconColumn), index(first - 1, kDescriptionColumn));
}
