#pragma once
// The "IQ Analysis" page: the preview of job 1 at the file position with its interval cursor,
// the window length and cursor rings, and the loop seam below it. Slider steps that arrive
// faster than the preview is drawn are gathered: the latest position wins.

#include <QWidget>

#include "session/session.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QSplitter;
class QTimer;
class PlotWidget;

class IqPage : public QWidget {
    Q_OBJECT
public:
    explicit IqPage(Session &session, QWidget *parent = nullptr);
    void refresh();
    void refreshHint();

private:
    QWidget *buildPreview();
    QWidget *buildSeam();
    void positionChanged();
    void cursorMoved(int index, double x);

    Session &session;
    PlotWidget *previewGraph;
    PlotWidget *seamGraph;
    QSplitter *splitter;
    QWidget *seam;
    QSlider *position;
    QTimer *positionTimer;
    QLabel *positionLabel;
    QComboBox *samples;
    QComboBox *cursor;
    QLineEdit *total;
    QLabel *totalLabel;
    QLineEdit *interval;
    QLabel *intervalLabel;
    QCheckBox *scale;
    QPushButton *autoAdjust;
    QCheckBox *show[6];
    QLabel *hint;
};

// NUMERICSLIDE_POSITION holds set numbers of 64 bits; a slider holds an int. Positions up to
// the int range map one to one, longer files in proportion.
int SliderValue(int64_t position, int64_t maximum);
int64_t SliderPosition(int value, int64_t maximum);
