#include "gui/currentvaluesmodel.h"

#include "gui/cellstyle.h"
#include "parser/metadataupdate.h"
#include "session/session.h"

CurrentValuesModel::CurrentValuesModel(Session &session, QObject *parent)
    : QAbstractTableModel(parent), session_(session)
{
}

int CurrentValuesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(session_.views.metadata.currentValues.size());
}

int CurrentValuesModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : 2; }

QVariant CurrentValuesModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid()) return QVariant();
    const CurrentValuesRow &row = session_.views.metadata.currentValues[index.row()];
    const bool isValue = index.column() == kValueColumn;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: return QString::fromStdString(isValue ? row.value : row.label);
    case Qt::BackgroundRole: return ToQColor(row.background);
    case Qt::ForegroundRole: return ReadableText(row.background);
    case Qt::ToolTipRole:
        if (isValue && row.editable) return QString("A byte position from 0 to %1").arg(row.maximum);
        return QVariant();
    default: return QVariant();
    }
}

Qt::ItemFlags CurrentValuesModel::flags(const QModelIndex &index) const
{
    if (!index.isValid()) return Qt::NoItemFlags;
    const Qt::ItemFlags shown = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const bool editable = index.column() == kValueColumn && session_.views.metadata.currentValues[index.row()].editable;
    return editable ? shown | Qt::ItemIsEditable : shown;
}

bool CurrentValuesModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable)) return false;
    // Taken or refused, the row shows what the core holds now (a refused entry shows the
    // marker's position again); the marker's move redraws the rest through its notice.
    const int taken = onMetaCurrentValues(session_, index.row(), value.toString().toStdString());
    emit dataChanged(index, index);
    return taken != 0;
}

void CurrentValuesModel::refresh()
{
    emit dataChanged(index(0, kLabelColumn), index(rowCount() - 1, kValueColumn));
}
