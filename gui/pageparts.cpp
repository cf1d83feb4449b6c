#include "gui/pageparts.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <algorithm>

QLabel *Title(const char *objectName, const QString &text)
{
    auto *label = new QLabel(text);
    label->setObjectName(objectName);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

PlotWidget *Graph(const char *objectName, const QString &name, const PlotWidget::PlotLabels &labels,
                  const GraphView &view)
{
    auto *graph = new PlotWidget(labels);
    graph->setObjectName(objectName);
    graph->setAccessibleName(name);
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

QLineEdit *Indicator(const char *objectName, const QString &name)
{
    auto *field = new QLineEdit;
    field->setObjectName(objectName);
    field->setAccessibleName(name);
    field->setReadOnly(true);
    field->setAlignment(Qt::AlignRight);
    // Room for a ten-digit count, in the font the field has.
    const int digits = field->fontMetrics().horizontalAdvance(QString(10, '0')) + 16;
    field->setMinimumWidth(digits);
    field->setMaximumWidth(std::max(110, digits));
    return field;
}

QLabel *AddHintOverlay(QWidget *area)
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
