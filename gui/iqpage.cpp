#include "gui/iqpage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "gui/pageparts.h"
#include "parser/previews.h"

namespace {

constexpr int64_t kSliderSpan = int64_t{1} << 30;
constexpr int kSeamHeight = 210;

const PlotWidget::PlotLabels kIqLabels{"IQ Sample", "IQ Amplitude", "FFT Frequency [f/fs]",
                                      "Normalized FFT Amplitude"};

}  // namespace

int SliderValue(int64_t position, int64_t maximum)
{
    const int64_t span = std::min(std::max<int64_t>(maximum - 1, 0), kSliderSpan);
    const int64_t offset = std::clamp<int64_t>(position - 1, 0, std::max<int64_t>(maximum - 1, 0));
    if (span == maximum - 1) return static_cast<int>(offset);
    return static_cast<int>(std::llround(static_cast<long double>(offset) * span / (maximum - 1)));
}

int64_t SliderPosition(int value, int64_t maximum)
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
    previewGraph = Graph("GRAPH", "IQ preview", kIqLabels, session.views.iq.preview);
    hint = AddHintOverlay(previewGraph);
    position = new QSlider(Qt::Horizontal);
    position->setObjectName("NUMERICSLIDE_POSITION");
    position->setAccessibleName("File Position");
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
    total = Indicator("NUMERIC_TOTAL", "Total IQ Samples");
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
    // A drag or a held key sends steps faster than a preview of 8192 sets is drawn: the steps
    // wait for the next turn of the event loop, and the latest position is the one shown.
    positionTimer = new QTimer(this);
    positionTimer->setSingleShot(true);
    positionTimer->setInterval(0);
    connect(position, &QSlider::valueChanged, positionTimer, qOverload<>(&QTimer::start));
    connect(positionTimer, &QTimer::timeout, this, &IqPage::positionChanged);
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
    interval = Indicator("NUMERIC_INTERVAL", "Interval Length");
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
    seamGraph = Graph("GRAPH_EOL", "End of loop", kIqLabels, session.views.iq.seam);
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
    onIqFilePosition(session, SliderPosition(position->value(), view.positionMaximum),
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
    std::vector<GraphCursor> cursors = view.preview.cursors;
    cursors.push_back(view.intervalCursor);
    previewGraph->setCursors(cursors);
    previewGraph->refresh();
    seamGraph->setCursors(view.seam.cursors);
    seamGraph->refresh();
    {
        const QSignalBlocker blocker(position);
        position->setRange(0, SliderValue(view.positionMaximum, view.positionMaximum));
        position->setSingleStep(std::max(1, SliderValue(1 + view.positionIncrement, view.positionMaximum)));
        position->setPageStep(position->singleStep() * 8);
        position->setValue(SliderValue(view.position, view.positionMaximum));
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
    total->setAccessibleName(totalLabel->text());
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

