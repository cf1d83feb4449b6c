#pragma once
// The three analysis pages: "Metadata Analysis", "IQ Analysis" and "Signal Processing". Each
// shows its part of the session's view state and passes the user's input to the core handler
// of that control.

#include <QWidget>

#include "session/session.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QSplitter;
class QTableView;
class QTableWidget;
class DumpTableModel;
class PlotWidget;

// A hint in the middle of `area`: the page's TEXT_ADD_FIRST.
QLabel *Gui_AddHintOverlay(QWidget *area);

class MetadataPage : public QWidget {
    Q_OBJECT
public:
    explicit MetadataPage(Session &session, QWidget *parent = nullptr);
    void refresh();
    void refreshHint();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildCurrentValues();
    void editCurrentValue(int row, int column);
    void moveMarker(int table, const QModelIndex &cell);
    void showDump(QTableView *view, DumpTableModel *model, const DumpTable &dump);

    Session &session;
    DumpTableModel *headerModel;
    DumpTableModel *trailerModel;
    QLabel *headerTitle;
    QLabel *trailerTitle;
    QTableView *header;
    QTableView *trailer;
    QTableWidget *currentValues;
    QLabel *hint;
};

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

// NUMERICSLIDE_POSITION holds set numbers of 64 bits; a slider holds an int. Positions up to
// the int range map one to one, longer files in proportion.
int Gui_SliderValue(int64_t position, int64_t maximum);
int64_t Gui_SliderPosition(int value, int64_t maximum);
