#pragma once
// Widgets the analysis pages share: bold titles, graphs over a core GraphView, show boxes,
// read-only number fields and the hint that stands in the middle of an empty area.

#include <QString>

#include "gui/plotwidget.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QWidget;

QLabel *Title(const char *objectName, const QString &text);
// `name` is what a screen reader announces for the control.
PlotWidget *Graph(const char *objectName, const QString &name, const PlotWidget::PlotLabels &labels,
                  const GraphView &view);
QCheckBox *ShowBox(const char *objectName, const QString &text, bool checked);
QLineEdit *Indicator(const char *objectName, const QString &name);

// A hint in the middle of `area`: the page's TEXT_ADD_FIRST.
QLabel *AddHintOverlay(QWidget *area);
