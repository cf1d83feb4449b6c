#pragma once
// The status log as a Qt table: one row per message of Session::statusLog, oldest first, with
// the message's icon, its time and its text. Every row but the newest is dimmed: grey text and
// a faded icon. Rows are only ever appended: the session's notices say which.

#include <QAbstractTableModel>

struct Session;

class StatusLogModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { kIconColumn = 0, kTimeColumn = 1, kDescriptionColumn = 2 };

    explicit StatusLogModel(const Session &session, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Inserts the rows appended since the views were last told (core steps that log through
    // a plain StatusLog announce them together), and signals the dimming of the row before.
    void showAppendedRows();

private:
    const Session &session_;
    int rowCount_ = 0;  // the row count the views were last told about
};
