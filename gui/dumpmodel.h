#pragma once
// A hex dump of the "Metadata Analysis" page (TABLE_HEADER or TABLE_TRAILER) as a table model
// over the core's DumpTable: 70 one-character cells per row of 16 bytes, each in its core
// colour. The model builds nothing per cell; a view of a 16,384-byte dump asks only for the
// cells it shows.

#include <QAbstractTableModel>
#include <QStyledItemDelegate>

#include "session/views.h"

class DumpTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DumpTableModel(const DumpTable &dump, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The dump changed: rows are added or removed at the end, and the others repainted.
    void refresh();

private:
    const DumpTable &dump;
    int shownRows = 0;
};

// The text a dump cell shows: hex digits and spacers as they are; a character cell's raw byte
// as its Latin-1 character when printable, else a middle dot.
QString DumpCellText(const std::string &cell);

// Paints a dump cell as its background and one centred character, without the style's item
// machinery: a page of the dump is two thousand cells.
class DumpCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
