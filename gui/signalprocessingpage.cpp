#include "gui/signalprocessingpage.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "gui/pageparts.h"
#include "parser/previews.h"

namespace {
const PlotWidget::PlotLabels kSignalProcessingLabels{"Frequency [f/fs]", "Relative Power [dB]", {}, {}};
}

SignalProcessingPage::SignalProcessingPage(Session &session, QWidget *parent) : QWidget(parent), session(session)
{
    setObjectName("PAGE_SP");
    graph = Graph("GRAPH", "Signal processing preview", kSignalProcessingLabels, session.views.signalProcessing.graph);
    hint = AddHintOverlay(graph);
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
    graph->setCursors(cursors);
    graph->refresh();
    const int traceSlots[3] = {kSlotBeforeFilter, kSlotAfterFilter, kSlotFilter};
    for (int box = 0; box < 3; ++box) show[box]->setChecked(view.graph.traces[traceSlots[box]].visible);
}

void SignalProcessingPage::refreshHint()
{
    hint->setText(QString::fromStdString(session.views.hints.previewText));
    hint->setVisible(session.views.hints.previewVisible);
}
