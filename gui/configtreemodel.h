#pragma once
// The configuration tree as a Qt model: the 47 items of Session::tree in their fixed
// parent-child structure, two columns "Parameter" and "Value". It shows labels, values, colours,
// disabled items, fault marks with their messages and, on branch items, the number of faults
// below. A committed edit of a Value cell goes to the core's tree rules, which change the
// session and announce SessionChange::ConfigurationTree; the window then calls refresh().

#include <QAbstractItemModel>

#include <array>
#include <vector>

#include "configuration/tree.h"

struct Session;

class ConfigurationTreeModel : public QAbstractItemModel {
    Q_OBJECT

public:
    enum Role {
        ListValuesRole = Qt::UserRole + 1,  // QStringList: the drop-down values of a list item
        IsListRole = Qt::UserRole + 2,      // bool: the Value cell offers a drop-down list
    };
    enum Column { kParameterColumn = 0, kValueColumn = 1 };

    explicit ConfigurationTreeModel(Session &session, QObject *parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

    // Tells the views that any cell may have changed (the structure never does).
    void refresh();

    // The tree item of an index, -1 for an invalid index; and the index of an item's cell.
    int itemOf(const QModelIndex &index) const;
    QModelIndex indexOf(int item, int column = kParameterColumn) const;

private:
    const TreeItem &Item(const QModelIndex &index) const;
    const std::vector<int> &ChildrenOf(const QModelIndex &parent) const;

    Session &session_;
    std::vector<int> topLevel_;                                // items without a parent, in order
    std::array<std::vector<int>, kTreeItemCount> children_;    // each item's children, in order
    std::array<int, kTreeItemCount> parentOf_{};               // -1 for top-level items
    std::array<int, kTreeItemCount> rowOf_{};                  // row under its parent
};
