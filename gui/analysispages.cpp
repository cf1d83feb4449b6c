#include "gui/analysispages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <limits>

#include "gui/cellstyle.h"
#include "gui/dumpmodel.h"
#include "gui/plotwidget.h"
#include "parser/metadataupdate.h"
#include "parser/previews.h"

namespace {

constexpr int64_t kSliderSpan = int64_t{1} << 30;
constexpr int kSeamHeight = 210;
constexpr int kCurrentValuesHeight = 6 * 22 + 4;

QLabel *Title(const char *objectName, const QString &text)
{
    auto *label = new QLabel(text);
    label->setObjectName(objectName);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

const PlotWidget::PlotLabels kIqLabels{"IQ Sample", "IQ Amplitude", "FFT Frequency [f/fs]",
                                      "Normalized FFT Amplitude"};
const PlotWidget::PlotLabels kSignalProcessingLabels{"Frequency [f/fs]", "Relative Power [dB]", {}, {}};

// The graphs' cursors mark either a level (the full-scale marks) or a position on the x axis
// (the interval, the seam, the band edges): each is drawn as the one line it means.
GraphCursor LevelMark(GraphCursor cursor)
{
    cursor.x = std::numeric_limits<double>::quiet_NaN();
    return cursor;
}

GraphCursor PositionMark(GraphCursor cursor)
{
    cursor.y = std::numeric_limits<double>::quiet_NaN();
    return cursor;
}

std::vector<GraphCursor> PositionMarks(const std::vector<GraphCursor> &cursors)
{
    std::vector<GraphCursor> marks;
    for (const GraphCursor &cursor : cursors) marks.push_back(PositionMark(cursor));
    return marks;
}

PlotWidget *Graph(const char *objectName, const PlotWidget::PlotLabels &labels, const GraphView &view)
{
    auto *graph = new PlotWidget(labels);
    graph->setObjectName(objectName);
    graph->setGraph(&view);
    return graph;
}

QCheckBox *ShowBox(const char *objectName, const QString &text, bool checked)
{
    auto *box = new QCheckBox(text);
    box->setObjectName(objectName);
    box->setChecked(checked);
    return box;
}

QLineEdit *Indicator(const char *objectName)
{
    auto *field = new QLineEdit;
    field->setObjectName(objectName);
    field->setReadOnly(true);
    field->setAlignment(Qt::AlignRight);
    field->setMaximumWidth(110);
    return field;
}

// Columns of a dump by what they hold: hex digits and characters one character wide, the
// spacers after each byte and before the characters half as wide.
bool IsSpacerColumn(int column)  // 0-based
{
    return (column < 48 && column % 3 == 2) || (column >= 48 && column < 54);
}

QTableView *DumpView(const char *objectName, DumpTableModel *model)
{
    auto *table = new QTableView;
    table->setObjectName(objectName);
    table->setModel(model);
    table->setItemDelegate(new DumpCellDelegate(table));
    const QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    table->setFont(font);
    const QFontMetrics metrics(font);
    const int characterWidth = metrics.horizontalAdvance(QLatin1Char('0')) + 2;
    table->horizontalHeader()->hide();
    table->horizontalHeader()->setMinimumSectionSize(1);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    for (int column = 0; column < kDumpColumns; ++column)
        table->setColumnWidth(column, IsSpacerColumn(column) ? (characterWidth + 1) / 2 - 1 : characterWidth);
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

int Gui_SliderValue(int64_t position, int64_t maximum)
{
    const int64_t span = std::min(std::max<int64_t>(maximum - 1, 0), kSliderSpan);
    const int64_t offset = std::clamp<int64_t>(position - 1, 0, std::max<int64_t>(maximum - 1, 0));
    if (span == maximum - 1) return static_cast<int>(offset);
    return static_cast<int>(std::llround(static_cast<long double>(offset) * span / (maximum - 1)));
}

int64_t Gui_SliderPosition(int value, int64_t maximum)
{
    const int64_t span = std::min(std::max<int64_t>(maximum - 1, 0), kSliderSpan);
    if (span == maximum - 1) return 1 + value;
    return 1 + std::llround(static_cast<long double>(value) * (maximum - 1) / span);
}

namespace {

QStringList RingEntries(const QComboBox *ring)
{
    QStringList entries;
    for (int index = 0; index < ring->count(); ++index) entries << ring->itemText(index);
    return entries;
}

}  // namespace

QLabel *Gui_AddHintOverlay(QWidget *area)
{
    auto *hint = new QLabel;
    hint->setObjectName("TEXT_ADD_FIRST");
    hint->setStyleSheet("color: rgb(128, 128, 128); background: transparent;");
    hint->setWordWrap(true);
    hint->setAlignment(Qt::AlignCenter);
    auto *overlay = new QVBoxLayout(area);
    overlay->addWidget(hint, 0, Qt::AlignCenter);
    return hint;
}

// --- Metadata Analysis -------------------------------------------------------------------

MetadataPage::MetadataPage(Session &session, QWidget *parent) : QWidget(parent), session(session)
{
    setObjectName("PAGE_METADATA");
    headerTitle = Title("TEXTMSG_HEADER", "");
    trailerTitle = Title("TEXTMSG_TRAILER", "");
    headerModel = new DumpTableModel(session.views.metadata.header, this);
    trailerModel = new DumpTableModel(session.views.metadata.trailer, this);
    header = DumpView("TABLE_HEADER", headerModel);
    trailer = DumpView("TABLE_TRAILER", trailerModel);
    buildCurrentValues();
    hint = Gui_AddHintOverlay(header->viewport());
    for (auto [view, table] : {std::pair{header, kTableHeader}, std::pair{trailer, kTableTrailer}})
        connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this,
                [this, table](const QModelIndex &current) { moveMarker(table, current); });

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

void MetadataPage::buildCurrentValues()
{
    currentValues = new QTableWidget(6, 2);
    currentValues->setObjectName("TABLE_CURRENT_VALUES");
    currentValues->horizontalHeader()->hide();
    currentValues->verticalHeader()->hide();
    currentValues->horizontalHeader()->resizeSection(0, 160);
    currentValues->horizontalHeader()->setStretchLastSection(true);
    currentValues->verticalHeader()->setDefaultSectionSize(22);
    currentValues->setFixedHeight(kCurrentValuesHeight);
    currentValues->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (int row = 0; row < 6; ++row) {
        currentValues->setItem(row, 0, new QTableWidgetItem);
        currentValues->setItem(row, 1, new QTableWidgetItem);
    }
    connect(currentValues, &QTableWidget::cellChanged, this, &MetadataPage::editCurrentValue);
}

void MetadataPage::editCurrentValue(int row, int column)
{
    if (column != 1) return;
    const std::string text = currentValues->item(row, column)->text().toStdString();
    static_cast<void>(onMetaCurrentValues(session, row, text));
    refresh();  // a refused entry shows the marker's position again
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
    const QSignalBlocker blocker(currentValues);
    for (int row = 0; row < 6; ++row) {
        const CurrentValuesRow &values = view.currentValues[row];
        for (int column = 0; column < 2; ++column) {
            QTableWidgetItem *cell = currentValues->item(row, column);
            cell->setText(QString::fromStdString(column == 0 ? values.label : values.value));
            cell->setBackground(Gui_ToQColor(values.background));
            cell->setForeground(Gui_ReadableText(values.background));
            const bool editable = column == 1 && values.editable;
            cell->setFlags(editable ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable
                                    : Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            if (editable) cell->setToolTip(QString("A byte position from 0 to %1").arg(values.maximum));
        }
    }
}

void MetadataPage::refreshHint()
{
    hint->setText(QString::fromStdString(session.views.hints.addFirstText));
    hint->setVisible(session.views.hints.addFirstVisible);
}

// --- IQ Analysis ---------------------------------------------------------------------------

IqPage::IqPage(Session &session, QWidget *parent) : QWidget(parent), session(session)
{
    setObjectName("PAGE_IQ");
    splitter = new QSplitter(Qt::Vertical);
    splitter->setObjectName("SPLITTER_EOL");
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(buildPreview());
    seam = buildSeam();
    splitter->addWidget(seam);
    // The preview takes the page's height, the seam keeps its own.
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 0);
    splitter->setSizes({3 * kSeamHeight, kSeamHeight});
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(splitter);
    refresh();
    refreshHint();
}

QWidget *IqPage::buildPreview()
{
    previewGraph = Graph("GRAPH", kIqLabels, session.views.iq.preview);
    hint = Gui_AddHintOverlay(previewGraph);
    position = new QSlider(Qt::Horizontal);
    position->setObjectName("NUMERICSLIDE_POSITION");
    position->setToolTip("File Position: the first sample set of the preview");
    samples = new QComboBox;
    samples->setObjectName("RING_SAMPLES");
    for (int length = kSmallestPreviewLength; length <= kLargestPreviewLength; length *= 2)
        samples->addItem(QString("%1 Samples").arg(length), length);
    samples->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    cursor = new QComboBox;
    cursor->setObjectName("RING_CURSOR");
    cursor->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    totalLabel = new QLabel;
    total = Indicator("NUMERIC_TOTAL");
    show[0] = ShowBox("CHECKBOX_SHOWI", "Show I Samples", true);
    show[1] = ShowBox("CHECKBOX_SHOWQ", "Show Q Samples", true);
    show[2] = ShowBox("CHECKBOX_SHOWF", "Show FFT", true);
    scale = ShowBox("CHECKBOX_SCALE", "Auto Adjust Scale Factor When Scrolling", false);
    autoAdjust = new QPushButton("Auto Adjust Scale Factor");
    autoAdjust->setObjectName("BUTTON_AUTO_ADJUST");

    // Title with the window's length, the cursor's role and the file's size; the slider gets a
    // row of its own; the show boxes and the scale controls under it.
    auto *titleRow = new QHBoxLayout;
    titleRow->addWidget(Title("TEXTMSG", "Job 1: IQ Preview"));
    titleRow->addStretch();
    titleRow->addWidget(samples);
    titleRow->addWidget(cursor);
    titleRow->addSpacing(8);
    titleRow->addWidget(totalLabel);
    titleRow->addWidget(total);
    auto *positionRow = new QHBoxLayout;
    positionLabel = new QLabel("File Position");
    positionRow->addWidget(positionLabel);
    positionRow->addWidget(position, 1);
    positionRow->addWidget(scale);
    auto *showRow = new QHBoxLayout;
    for (QCheckBox *box : {show[0], show[1], show[2]}) showRow->addWidget(box);
    showRow->addStretch();
    showRow->addWidget(autoAdjust);  // text input only
    auto *preview = new QWidget;
    auto *layout = new QVBoxLayout(preview);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(titleRow);
    layout->addWidget(previewGraph, 1);
    layout->addLayout(positionRow);
    layout->addLayout(showRow);

    connect(previewGraph, &PlotWidget::cursorMoved, this, &IqPage::cursorMoved);
    connect(position, &QSlider::valueChanged, this, &IqPage::positionChanged);
    connect(samples, &QComboBox::activated, this, &IqPage::positionChanged);
    connect(cursor, &QComboBox::activated, this, &IqPage::positionChanged);
    connect(scale, &QCheckBox::clicked, this, [this](bool checked) { onScaleAdjustment(this->session, checked); });
    connect(autoAdjust, &QPushButton::clicked, this, [this] { onAutoAdjustButton(this->session); });
    const PlotShow boxes[3] = {PlotShow::I, PlotShow::Q, PlotShow::Spectrum};
    for (int box = 0; box < 3; ++box)
        connect(show[box], &QCheckBox::clicked, this,
                [this, which = boxes[box]](bool checked) { onPlotShow(this->session, which, checked); });
    return preview;
}

QWidget *IqPage::buildSeam()
{
    intervalLabel = new QLabel("Interval Length");
    interval = Indicator("NUMERIC_INTERVAL");
    show[3] = ShowBox("CHECKBOX_SHOWI_EOL", "Show I Samples", true);
    show[4] = ShowBox("CHECKBOX_SHOWQ_EOL", "Show Q Samples", true);
    show[5] = ShowBox("CHECKBOX_SHOWF_EOL", "Show FFT", true);

    auto *titleRow = new QHBoxLayout;
    titleRow->addWidget(Title("TEXTMSG_EOL", "Job 1: IQ End of Loop Characteristics"));
    titleRow->addStretch();
    titleRow->addWidget(intervalLabel);
    titleRow->addWidget(interval);
    auto *showRow = new QHBoxLayout;
    for (int box = 3; box < 6; ++box) showRow->addWidget(show[box]);
    showRow->addStretch();
    auto *seamArea = new QWidget;
    seamArea->setMinimumHeight(kSeamHeight);
    auto *layout = new QVBoxLayout(seamArea);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(titleRow);
    seamGraph = Graph("GRAPH_EOL", kIqLabels, session.views.iq.seam);
    layout->addWidget(seamGraph, 1);
    layout->addLayout(showRow);

    const PlotShow boxes[3] = {PlotShow::SeamI, PlotShow::SeamQ, PlotShow::SeamSpectrum};
    for (int box = 0; box < 3; ++box)
        connect(show[3 + box], &QCheckBox::clicked, this,
                [this, which = boxes[box]](bool checked) { onPlotShow(this->session, which, checked); });
    return seamArea;
}

void IqPage::positionChanged()
{
    const IqPageView &view = session.views.iq;
    onIqFilePosition(session, Gui_SliderPosition(position->value(), view.positionMaximum),
                     samples->currentData().toInt(), cursor->currentIndex());
}

// The interval cursor is the preview's third cursor, after the two full-scale marks.
void IqPage::cursorMoved(int index, double x)
{
    if (index != static_cast<int>(session.views.iq.preview.cursors.size())) return;
    if (!onIqGraph(session, x)) refresh();  // refused: the cursor goes back
}

void IqPage::refresh()
{
    const IqPageView &view = session.views.iq;
    std::vector<GraphCursor> cursors;
    for (const GraphCursor &fullScale : view.preview.cursors) cursors.push_back(LevelMark(fullScale));
    cursors.push_back(PositionMark(view.intervalCursor));
    previewGraph->setCursors(cursors);
    previewGraph->refresh();
    seamGraph->setCursors(PositionMarks(view.seam.cursors));
    seamGraph->refresh();
    {
        const QSignalBlocker blocker(position);
        position->setRange(0, Gui_SliderValue(view.positionMaximum, view.positionMaximum));
        position->setSingleStep(std::max(1, Gui_SliderValue(1 + view.positionIncrement, view.positionMaximum)));
        position->setPageStep(position->singleStep() * 8);
        position->setValue(Gui_SliderValue(view.position, view.positionMaximum));
    }
    position->setEnabled(!view.positionDimmed);
    position->setVisible(view.positionVisible);
    positionLabel->setVisible(view.positionVisible);
    samples->setCurrentIndex(samples->findData(session.previewLength));
    {
        const QSignalBlocker blocker(cursor);
        QStringList entries;
        for (const std::string &entry : view.cursorRing) entries << QString::fromStdString(entry);
        if (RingEntries(cursor) != entries) {
            cursor->clear();
            cursor->addItems(entries);
            cursor->setMinimumWidth(cursor->sizeHint().width());  // the whole text, always
        }
        cursor->setCurrentIndex(view.cursorChoice);
    }
    cursor->setVisible(view.cursorRingVisible);
    totalLabel->setText(QString::fromStdString(view.totalLabel));
    total->setText(QString::number(view.total));
    interval->setText(QString::number(view.interval));
    interval->setVisible(view.intervalVisible);
    intervalLabel->setVisible(view.intervalVisible);
    scale->setChecked(view.scaleChecked);
    scale->setVisible(view.scaleVisible);
    autoAdjust->setVisible(view.autoAdjustVisible);
    seam->setVisible(view.endOfLoopVisible);
    const GraphView *graphs[6] = {&view.preview, &view.preview, &view.preview, &view.seam, &view.seam, &view.seam};
    const int traceSlots[6] = {kSlotI, kSlotQ, kSlotSpectrum, kSlotI, kSlotQ, kSlotSpectrum};
    for (int box = 0; box < 6; ++box) show[box]->setChecked(graphs[box]->traces[traceSlots[box]].visible);
}

void IqPage::refreshHint()
{
    hint->setText(QString::fromStdString(session.views.hints.previewText));
    hint->setVisible(session.views.hints.previewVisible);
}

// --- Signal Processing ---------------------------------------------------------------------

SignalProcessingPage::SignalProcessingPage(Session &session, QWidget *parent) : QWidget(parent), session(session)
{
    setObjectName("PAGE_SP");
    graph = Graph("GRAPH", kSignalProcessingLabels, session.views.signalProcessing.graph);
    hint = Gui_AddHintOverlay(graph);
    show[0] = ShowBox("CHECKBOX_SHOW_FBF", "Show FFT Before Filter", true);
    show[1] = ShowBox("CHECKBOX_SHOW_FAF", "Show FFT After Filter", true);
    show[2] = ShowBox("CHECKBOX_SHOW_FF", "Show Filter FFT", true);
    auto *showRow = new QHBoxLayout;
    for (QCheckBox *box : show) showRow->addWidget(box);
    showRow->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(Title("TEXTMSG", "Job 1: Signal Processing Preview"));
    layout->addWidget(graph, 1);
    layout->addLayout(showRow);

    const PlotShow boxes[3] = {PlotShow::BeforeFilter, PlotShow::AfterFilter, PlotShow::Filter};
    for (int box = 0; box < 3; ++box)
        connect(show[box], &QCheckBox::clicked, this,
                [this, which = boxes[box]](bool checked) { onPlotShow(this->session, which, checked); });
    refresh();
    refreshHint();
}

void SignalProcessingPage::refresh()
{
    const SignalProcessingView &view = session.views.signalProcessing;
    std::vector<GraphCursor> cursors(view.bandCursors.begin(), view.bandCursors.end());
    cursors.insert(cursors.end(), view.graph.cursors.begin(), view.graph.cursors.end());
    graph->setCursors(PositionMarks(cursors));
    graph->refresh();
    const int traceSlots[3] = {kSlotBeforeFilter, kSlotAfterFilter, kSlotFilter};
    for (int box = 0; box < 3; ++box) show[box]->setChecked(view.graph.traces[traceSlots[box]].visible);
}

void SignalProcessingPage::refreshHint()
{
    hint->setText(QString::fromStdString(session.views.hints.previewText));
    hint->setVisible(session.views.hints.previewVisible);
}
