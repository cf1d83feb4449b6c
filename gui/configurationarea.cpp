#include "gui/configurationarea.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>

#include "app/configflows.h"
#include "app/layoutflows.h"
#include "app/viewchoices.h"
#include "conversion/guilock.h"
#include "gui/configtreedelegate.h"
#include "gui/configtreemodel.h"
#include "gui/dialogs.h"
#include "layouts/layouts.h"

namespace {
constexpr int kLabelColumnWidth = 190;
}

ConfigurationArea::ConfigurationArea(Session &session, Dialogs &dialogs, QWidget *parent)
    : QWidget(parent), session(session), dialogs(dialogs)
{
    nameLabel = new QLabel;
    nameLabel->setObjectName("TEXT_CONFIGURATION");
    ring = new QComboBox;
    ring->setObjectName("RING_CONFIGURATION");
    ring->setToolTip("Stored configurations");
    name = new QLineEdit;
    name->setObjectName("STRING_CONFIGURATION");
    name->setMaxLength(kNameMaxChars);
    name->setToolTip("Name under which the configuration is saved");
    nameLabel->setBuddy(name);
    saveButton = new QPushButton(style()->standardIcon(QStyle::SP_DialogSaveButton), "Save");
    saveButton->setObjectName("BUTTON_SAVE");
    saveButton->setToolTip("Saves the current configuration");
    deleteButton = new QPushButton(style()->standardIcon(QStyle::SP_TrashIcon), "Delete");
    deleteButton->setObjectName("BUTTON_DELETE");
    deleteButton->setToolTip("Deletes the current configuration");
    detectButton = new QPushButton("Detect layout");
    detectButton->setObjectName("BUTTON_DETECT_LAYOUT");
    detectButton->setToolTip("Describes job 1's file as it describes itself (WAV, SigMF, .wv, raw capture "
                             "names); the configuration stays unsaved");
    presetsButton = buildPresetsButton();
    buildTree();

    auto *ringRow = new QHBoxLayout;
    ringRow->addWidget(ring, 1);
    ringRow->addWidget(detectButton);
    ringRow->addWidget(presetsButton);
    auto *nameRow = new QHBoxLayout;
    nameRow->addWidget(name, 1);
    nameRow->addWidget(saveButton);
    nameRow->addWidget(deleteButton);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(nameLabel);
    layout->addLayout(ringRow);
    layout->addLayout(nameRow);
    layout->addWidget(tree, 1);

    connect(ring, &QComboBox::activated, this, &ConfigurationArea::selectRing);
    connect(name, &QLineEdit::textEdited, this, [this](const QString &text) {
        static_cast<void>(onConfigurationString(this->session, text.toStdString()));
    });
    connect(saveButton, &QPushButton::clicked, this, &ConfigurationArea::save);
    connect(detectButton, &QPushButton::clicked, this,
            [this] { static_cast<void>(App_DetectJob1Layout(this->session)); });
    connect(deleteButton, &QPushButton::clicked, this, [this] {
        static_cast<void>(onConfigurationDelete(this->session, Dialogs_Confirm(this->dialogs, this)));
    });
    refreshList();
    refreshTree();
}

// The built-in configurations for files that SDR programs write: one loads as an unsaved
// configuration, which the ring does not list until it is saved.
QToolButton *ConfigurationArea::buildPresetsButton()
{
    auto *button = new QToolButton;
    button->setObjectName("BUTTON_PRESETS");
    button->setText("Presets");
    button->setToolTip("Loads a built-in configuration for a kind of file, unsaved");
    button->setPopupMode(QToolButton::InstantPopup);
    auto *menu = new QMenu(button);
    for (const LayoutPreset &preset : Layouts_Presets()) {
        const QString name = QString::fromUtf8(preset.name.data(), static_cast<qsizetype>(preset.name.size()));
        const QString description =
            QString::fromUtf8(preset.description.data(), static_cast<qsizetype>(preset.description.size()));
        QAction *action = menu->addAction(QString("%1 - %2").arg(name, description));
        connect(action, &QAction::triggered, this, [this, name] {
            if (Gui_SavedUnsavedChanges(session, Dialogs_Confirm(dialogs, this), Dialogs_AskName(dialogs, this)))
                static_cast<void>(App_LoadPreset(session, name.toStdString()));
        });
    }
    button->setMenu(menu);
    return button;
}

void ConfigurationArea::buildTree()
{
    tree = new QTreeView;
    tree->setObjectName("TREE_CONFIGURATION");
    tree->setAccessibleName("Configuration");
    model = new ConfigurationTreeModel(session, tree);
    tree->setModel(model);
    tree->setItemDelegate(new ConfigurationTreeDelegate(tree));
    tree->setUniformRowHeights(true);
    tree->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::AnyKeyPressed);
    tree->header()->setStretchLastSection(true);
    tree->header()->resizeSection(0, kLabelColumnWidth);
    tree->setIndentation(14);
    // One click on a Value cell opens its editor: the tree is a form.
    connect(tree, &QTreeView::clicked, this, [this](const QModelIndex &index) {
        if (index.column() == 1 && (index.flags() & Qt::ItemIsEditable)) tree->edit(index);
    });
    connect(tree, &QTreeView::collapsed, this, [this](const QModelIndex &index) { rememberCollapsed(index, true); });
    connect(tree, &QTreeView::expanded, this, [this](const QModelIndex &index) { rememberCollapsed(index, false); });
}

void ConfigurationArea::rememberCollapsed(const QModelIndex &index, bool collapsed)
{
    const int item = model->itemOf(index);
    if (item >= 0) static_cast<void>(Gui_SetTreeItemCollapsed(session, item, collapsed ? 1 : 0));
}

void ConfigurationArea::selectRing(int index)
{
    static_cast<void>(
        onConfigurationRing(session, index, Dialogs_Confirm(dialogs, this), Dialogs_AskName(dialogs, this)));
    refreshList();  // a refused or cancelled switch shows the configuration in hand again
}

void ConfigurationArea::save()
{
    if (!Gui_ControlTakesInput(session.views, Control::SaveButton)) return;
    static_cast<void>(Gui_SaveConfiguration(session));
}

void ConfigurationArea::refreshList()
{
    const ConfigurationList &list = session.configurations;
    nameLabel->setText(QString::fromStdString(list.nameLabel));
    {
        const QSignalBlocker blocker(ring);
        ring->clear();
        for (const std::string &entry : list.ring) ring->addItem(QString::fromStdString(entry));
        ring->setCurrentIndex(list.ringIndex);
    }
    const QString text = QString::fromStdString(list.nameText);
    if (name->text() != text) name->setText(text);  // leaves the cursor alone while typing
    saveButton->setEnabled(list.saveEnabled && !Session_Locked(session));
    deleteButton->setEnabled(list.deleteEnabled && !Session_Locked(session));
}

void ConfigurationArea::refreshTree()
{
    model->refresh();
    for (int item = 0; item < kTreeItemCount; ++item) {
        const TreeItem &treeItem = session.tree.items[item];
        // An item without a label has nothing to offer in this configuration: no blank row.
        // Each change lays the tree out anew: only real changes are made.
        const QModelIndex index = model->indexOf(item);
        if (tree->isRowHidden(index.row(), index.parent()) != treeItem.label.empty())
            tree->setRowHidden(index.row(), index.parent(), treeItem.label.empty());
        if (model->rowCount(index) == 0 || tree->isExpanded(index) == !treeItem.collapsed) continue;
        const QSignalBlocker blocker(tree);  // restoring is not a user's collapse
        tree->setExpanded(index, !treeItem.collapsed);
    }
}

void ConfigurationArea::revealItem(int item)
{
    const QModelIndex value = model->indexOf(item, ConfigurationTreeModel::kValueColumn);
    if (!value.isValid()) return;
    tree->setCurrentIndex(value);
    tree->scrollTo(value);
}

void ConfigurationArea::applyLocks()
{
    ring->setEnabled(Gui_ControlTakesInput(session.views, Control::ConfigurationRing));
    name->setReadOnly(!Gui_ControlTakesInput(session.views, Control::ConfigurationName));
    tree->setItemsExpandable(Gui_ControlTakesInput(session.views, Control::ConfigurationTree));
    detectButton->setEnabled(Gui_ControlTakesInput(session.views, Control::DetectLayoutButton));
    presetsButton->setEnabled(Gui_ControlTakesInput(session.views, Control::PresetsButton));
    // The tree keeps showing and scrolling; its model offers no editor while locked, and core
    // refuses an edit that was open when the run started.
    model->refresh();
    refreshList();
}
