#include "gui/configtreedelegate.h"

#include <QComboBox>
#include <QLineEdit>

#include "configuration/record.h"
#include "gui/configtreemodel.h"

namespace {

QString EditorText(const QWidget *editor)
{
    if (const auto *combo = qobject_cast<const QComboBox *>(editor)) return combo->currentText();
    if (const auto *line = qobject_cast<const QLineEdit *>(editor)) return line->text();
    return QString();
}

}  // namespace

QWidget *ConfigurationTreeDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                                 const QModelIndex &index) const
{
    if (index.data(ConfigurationTreeModel::IsListRole).toBool()) return CreateListEditor(parent, index);
    auto *line = new QLineEdit(parent);
    line->setMaxLength(kTreeValueMaxChars);
    line->setFrame(false);
    return line;
}

QWidget *ConfigurationTreeDelegate::CreateListEditor(QWidget *parent, const QModelIndex &index) const
{
    auto *combo = new QComboBox(parent);
    combo->addItems(index.data(ConfigurationTreeModel::ListValuesRole).toStringList());
    // A pick is the whole edit: commit it and close the editor at once. The signals are not
    // const, createEditor is; the delegate itself is not const, only this call's view of it.
    auto *self = const_cast<ConfigurationTreeDelegate *>(this);
    connect(combo, &QComboBox::activated, self, [self, combo] {
        emit self->commitData(combo);
        emit self->closeEditor(combo);
    });
    return combo;
}

void ConfigurationTreeDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    const QString value = index.data(Qt::EditRole).toString();
    if (auto *combo = qobject_cast<QComboBox *>(editor)) {
        combo->setCurrentText(value);
    } else if (auto *line = qobject_cast<QLineEdit *>(editor)) {
        // A refresh while the user types must not throw the typed text away.
        if (!line->isModified()) line->setText(value);
    }
}

void ConfigurationTreeDelegate::setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    model->setData(index, EditorText(editor), Qt::EditRole);
}
