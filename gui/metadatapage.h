#pragma once
// The "Metadata Analysis" page: the header and trailer dumps with their markers and the
// current values (positions, lengths, comment, sample rate). A click in a dump or a typed
// position moves a marker through the core.

#include <QWidget>

#include "session/session.h"

class QLabel;
class QTableView;
class CurrentValuesModel;
class DumpTableModel;

class MetadataPage : public QWidget {
    Q_OBJECT
public:
    explicit MetadataPage(Session &session, QWidget *parent = nullptr);
    void refresh();
    void refreshHint();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QTableView *buildCurrentValues();
    void moveMarker(int table, const QModelIndex &cell);
    void showDump(QTableView *view, DumpTableModel *model, const DumpTable &dump);

    Session &session;
    DumpTableModel *headerModel;
    DumpTableModel *trailerModel;
    CurrentValuesModel *currentValuesModel;
    QLabel *headerTitle;
    QLabel *trailerTitle;
    QTableView *header;
    QTableView *trailer;
    QTableView *currentValues;
    QLabel *hint;
};
