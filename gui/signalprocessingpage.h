#pragma once
// The "Signal Processing" page: the spectrum of job 1 before and after the filter, the
// filter's response and the edges of the output band.

#include <QWidget>

#include "session/session.h"

class QCheckBox;
class QLabel;
class PlotWidget;

class SignalProcessingPage : public QWidget {
    Q_OBJECT
public:
    explicit SignalProcessingPage(Session &session, QWidget *parent = nullptr);
    void refresh();
    void refreshHint();

private:
    Session &session;
    PlotWidget *graph;
    QCheckBox *show[3];
    QLabel *hint;
};
