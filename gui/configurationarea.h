#pragma once
// The configuration area right of the tabs: the ring of stored configurations, the name field
// with its "unsaved" label, the save and delete buttons and the configuration tree. Every
// action is a call of the core's configuration handlers; the widgets show what core holds.

#include <QWidget>

#include "session/session.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class QTreeView;
class ConfigurationTreeModel;
class Dialogs;

class ConfigurationArea : public QWidget {
    Q_OBJECT
public:
    ConfigurationArea(Session &session, Dialogs &dialogs, QWidget *parent = nullptr);

    void refreshList();    // ring, name, label, buttons
    void refreshTree();    // items, fault marks, collapsed branches
    void revealItem(int item);  // makes the item's Value cell current and visible, once
    void applyLocks();

    void save();           // BUTTON_SAVE, Ctrl+S

private:
    void buildTree();
    void selectRing(int index);
    void rememberCollapsed(const QModelIndex &index, bool collapsed);
    QToolButton *buildPresetsButton();

    Session &session;
    Dialogs &dialogs;
    QLabel *nameLabel;
    QComboBox *ring;
    QLineEdit *name;
    QPushButton *saveButton;
    QPushButton *deleteButton;
    QPushButton *detectButton;
    QToolButton *presetsButton;
    QTreeView *tree;
    ConfigurationTreeModel *model;
};
