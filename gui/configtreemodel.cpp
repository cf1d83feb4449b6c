#include "gui/configtreemodel.h"

#include <QStringList>

#include "app/treerules.h"
#include "gui/cellstyle.h"
#include "session/session.h"

namespace {

const QColor kFaultCountText(160, 0, 0);

// A branch item has no Value cell; its faultCounter is -1 plus the faulty items below it.
bool IsBranch(const TreeItem &item) { return !item.hasValueCell; }
bool HasFaultsBelow(const TreeItem &item) { return IsBranch(item) && item.faultCounter != -1; }
int FaultsBelow(const TreeItem &item) { return item.faultCounter + 1; }

QString FaultCountText(int faults)
{
    return faults == 1 ? QStringLiteral("1 fault") : QStringLiteral("%1 faults").arg(faults);
}

QString FaultSummary(int faults)
{
    return faults == 1 ? QStringLiteral("1 faulty item below") : QStringLiteral("%1 faulty items below").arg(faults);
}

QStringList ToStringList(const std::vector<std::string> &values)
{
    QStringList list;
    list.reserve(static_cast<qsizetype>(values.size()));
    for (const std::string &value : values) list.append(QString::fromStdString(value));
    return list;
}

QVariant DisplayText(const TreeItem &item, int column)
{
    if (column == ConfigurationTreeModel::kParameterColumn) return QString::fromStdString(item.label);
    if (HasFaultsBelow(item)) return FaultCountText(FaultsBelow(item));
    return QString::fromStdString(item.value);
}

QVariant Decoration(const TreeItem &item, int column)
{
    if (column != ConfigurationTreeModel::kParameterColumn) return QVariant();
    if (item.faultImage == 0 || HasFaultsBelow(item)) return FaultIcon();
    return QVariant();
}

QVariant ToolTip(const TreeItem &item)
{
    if (!item.message.empty()) return QString::fromStdString(item.message);
    if (HasFaultsBelow(item)) return FaultSummary(FaultsBelow(item));
    return QVariant();
}

QVariant Foreground(const TreeItem &item, int column)
{
    if (!item.enabled) return DimmedText(item.background);
    if (column == ConfigurationTreeModel::kValueColumn && HasFaultsBelow(item)) return kFaultCountText;
    return ReadableText(item.background);
}

}  // namespace

ConfigurationTreeModel::ConfigurationTreeModel(Session &session, QObject *parent)
    : QAbstractItemModel(parent), session_(session)
{
    for (int item = 0; item < kTreeItemCount; ++item) {
        const int itemParent = session_.tree.items[item].parent;
        std::vector<int> &siblings = itemParent < 0 ? topLevel_ : children_[itemParent];
        parentOf_[item] = itemParent;
        rowOf_[item] = static_cast<int>(siblings.size());
        siblings.push_back(item);
    }
}

const std::vector<int> &ConfigurationTreeModel::ChildrenOf(const QModelIndex &parent) const
{
    return parent.isValid() ? children_[itemOf(parent)] : topLevel_;
}

const TreeItem &ConfigurationTreeModel::Item(const QModelIndex &index) const
{
    return session_.tree.items[itemOf(index)];
}

QModelIndex ConfigurationTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    if (!hasIndex(row, column, parent)) return QModelIndex();
    return createIndex(row, column, static_cast<quintptr>(ChildrenOf(parent)[row]));
}

QModelIndex ConfigurationTreeModel::parent(const QModelIndex &child) const
{
    if (!child.isValid()) return QModelIndex();
    const int itemParent = parentOf_[itemOf(child)];
    if (itemParent < 0) return QModelIndex();
    return createIndex(rowOf_[itemParent], kParameterColumn, static_cast<quintptr>(itemParent));
}

int ConfigurationTreeModel::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > kParameterColumn) return 0;
    return static_cast<int>(ChildrenOf(parent).size());
}

int ConfigurationTreeModel::columnCount(const QModelIndex &) const { return 2; }

QVariant ConfigurationTreeModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid()) return QVariant();
    const TreeItem &item = Item(index);
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: return DisplayText(item, column);
    case Qt::DecorationRole: return Decoration(item, column);
    case Qt::ToolTipRole: return ToolTip(item);
    case Qt::BackgroundRole: return BackgroundRole(item.background);
    case Qt::ForegroundRole: return Foreground(item, column);
    case ListValuesRole: return item.isList ? QVariant(ToStringList(item.listValues)) : QVariant();
    case IsListRole: return item.isList;
    default: return QVariant();
    }
}

QVariant ConfigurationTreeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QVariant();
    return section == kParameterColumn ? QStringLiteral("Parameter") : QStringLiteral("Value");
}

Qt::ItemFlags ConfigurationTreeModel::flags(const QModelIndex &index) const
{
    if (!index.isValid()) return Qt::NoItemFlags;
    const TreeItem &item = Item(index);
    // Disabled core items keep their place in the tree but lose ItemIsEnabled, so the view dims them.
    if (!item.enabled) return Qt::ItemIsSelectable;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == kValueColumn && item.hasValueCell && !Session_Locked(session_))
        result |= Qt::ItemIsEditable;
    return result;
}

bool ConfigurationTreeModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.column() != kValueColumn || role != Qt::EditRole) return false;
    // An editor closed on the text it opened with changes nothing, unless the item is marked
    // faulty: typing its value again then is the user's answer (for example taking over a value
    // that each job's file was to give).
    const int item = itemOf(index);
    const TreeItem &cell = session_.tree.items[item];
    const std::string text = value.toString().toStdString();
    if (text == cell.value && cell.faultImage < 0) return false;
    // The core takes the edit and changes the tree; its notice redraws whatever else the edit
    // touched (enabled items, fault marks, counters).
    if (onConfigurationTree(session_, item, text) == 0) return false;
    emit dataChanged(index.siblingAtColumn(kParameterColumn), index);
    return true;
}

void ConfigurationTreeModel::refresh()
{
    const auto emitChildren = [this](const QModelIndex &parent) {
        const int rows = rowCount(parent);
        if (rows > 0) emit dataChanged(index(0, kParameterColumn, parent), index(rows - 1, kValueColumn, parent));
    };
    emitChildren(QModelIndex());
    for (int item = 0; item < kTreeItemCount; ++item)
        if (!children_[item].empty()) emitChildren(indexOf(item));
}

int ConfigurationTreeModel::itemOf(const QModelIndex &index) const
{
    return index.isValid() ? static_cast<int>(index.internalId()) : -1;
}

QModelIndex ConfigurationTreeModel::indexOf(int item, int column) const
{
    if (item < 0 || item >= kTreeItemCount) return QModelIndex();
    return createIndex(rowOf_[item], column, static_cast<quintptr>(item));
}
