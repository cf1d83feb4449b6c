#include "gui/metadatapage.h"

#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QSignalBlocker>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/currentvaluesmodel.h"
#include "gui/dumpmodel.h"
#include "gui/pageparts.h"
#include "parser/metadataupdate.h"

namespace {

constexpr int kCurrentValuesLabelWidth = 160;

QTableView *DumpView(const char *objectName, const QString &name, DumpTableModel *model)
{
    auto *table = new QTableView;
    table->setObjectName(objectName);
    table->setAccessibleName(name);
    table->setModel(model);
    table->setItemDelegate(new DumpCellDelegate(table));
    const QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    table->setFont(font);
    const QFontMetrics metrics(font);
    // Hex digits and characters one character wide, the spacers half as wide.
    const int characterWidth = metrics.horizontalAdvance(QLatin1Char('0')) + 2;
    table->horizontalHeader()->hide();
    table->horizontalHeader()->setMinimumSectionSize(1);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    for (int column = 0; column < kDumpColumns; ++column)
        table->setColumnWidth(column, Session_IsDumpSpacer(column) ? (characterWidth + 1) / 2 - 1 : characterWidth);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(metrics.height() + 2);
    table->verticalHeader()->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);
    table->setShowGrid(false);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setWordWrap(false);
    return table;
}

}  // namespace

MetadataPage::MetadataPage(Session &session, QWidget *parent) : QWidget(parent), session(session)
{
    setObjectName("PAGE_METADATA");
    headerTitle = Title("TEXTMSG_HEADER", "");
    trailerTitle = Title("TEXTMSG_TRAILER", "");
    headerModel = new DumpTableModel(session.views.metadata.header, this);
    trailerModel = new DumpTableModel(session.views.metadata.trailer, this);
    header = DumpView("TABLE_HEADER", "Header", headerModel);
    trailer = DumpView("TABLE_TRAILER", "Trailer", trailerModel);
    currentValues = buildCurrentValues();
    hint = AddHintOverlay(header->viewport());
    for (auto [view, table] : {std::pair{header, kTableHeader}, std::pair{trailer, kTableTrailer}})
        connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this,
                [this, table = table](const QModelIndex &current) { moveMarker(table, current); });

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(headerTitle);
    layout->addWidget(header, 1);
    layout->addWidget(trailerTitle);
    layout->addWidget(trailer, 1);
    layout->addWidget(Title("TEXTMSG_CURRENT_VALUES", "Current Values"));
    layout->addWidget(currentValues);
    refresh();
    refreshHint();
}

QTableView *MetadataPage::buildCurrentValues()
{
    currentValuesModel = new CurrentValuesModel(session, this);
    auto *table = new QTableView;
    table->setObjectName("TABLE_CURRENT_VALUES");
    table->setAccessibleName("Current Values");
    table->setModel(currentValuesModel);
    table->horizontalHeader()->hide();
    table->verticalHeader()->hide();
    int labelWidth = kCurrentValuesLabelWidth;
    for (int row = 0; row < currentValuesModel->rowCount(); ++row) {
        const QString label = currentValuesModel->index(row, CurrentValuesModel::kLabelColumn).data().toString();
        labelWidth = std::max(labelWidth, table->fontMetrics().horizontalAdvance(label) + 12);
    }
    table->horizontalHeader()->resizeSection(CurrentValuesModel::kLabelColumn, labelWidth);
    table->horizontalHeader()->setStretchLastSection(true);
    // Six rows, always all of them: rows as high as the font needs, the table as high as they.
    const int rowHeight = table->fontMetrics().height() + 8;
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(rowHeight);
    table->setFixedHeight(currentValuesModel->rowCount() * rowHeight + 2 * table->frameWidth());
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                           QAbstractItemView::AnyKeyPressed);
    return table;
}

void MetadataPage::moveMarker(int table, const QModelIndex &cell)
{
    if (!cell.isValid()) return;
    static_cast<void>(onMetaTable(session, static_cast<MetaTable>(table), cell.row() + 1, cell.column() + 1));
}

// Shows a dump's cells and puts its active cell where the marker stands, in view.
void MetadataPage::showDump(QTableView *view, DumpTableModel *model, const DumpTable &dump)
{
    model->refresh();
    const QModelIndex active = model->index(dump.activeRow - 1, dump.activeColumn - 1);
    if (!active.isValid()) return;
    const QSignalBlocker blocker(view->selectionModel());  // the program's move is no click
    view->setCurrentIndex(active);
    view->scrollTo(active);
}

void MetadataPage::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // A hidden view cannot scroll: bring the markers into view when the page appears.
    refresh();
}

void MetadataPage::refresh()
{
    const MetadataView &view = session.views.metadata;
    headerTitle->setText(QString::fromStdString(view.header.label));
    trailerTitle->setText(QString::fromStdString(view.trailer.label));
    showDump(header, headerModel, view.header);
    showDump(trailer, trailerModel, view.trailer);
    currentValuesModel->refresh();
}

void MetadataPage::refreshHint()
{
    hint->setText(QString::fromStdString(session.views.hints.addFirstText));
    hint->setVisible(session.views.hints.addFirstVisible);
}
