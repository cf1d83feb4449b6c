#pragma once
// TABLE_CURRENT_VALUES of the "Metadata Analysis" page as a table model over the core's six
// rows: label and value, each row in its colour. The two position rows take a typed byte
// position while their dump shows a file; the core moves the marker there, or refuses.

#include <QAbstractTableModel>

struct Session;

class CurrentValuesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kLabelColumn = 0, kValueColumn = 1 };

    explicit CurrentValuesModel(Session &session, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

    // The metadata changed: every cell may show something else.
    void refresh();

private:
    Session &session_;
};
