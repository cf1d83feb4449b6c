#pragma once
// The editors of the configuration tree's Value cells: a drop-down list for list items, which
// commits as soon as the user picks an entry, and a line edit limited to the record's slot
// length for text items. An edit reaches the model only when the text really changed, so that
// opening and closing an editor does not mark the configuration unsaved.

#include <QStyledItemDelegate>

class ConfigurationTreeDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;

private:
    QWidget *CreateListEditor(QWidget *parent, const QModelIndex &index) const;
};
