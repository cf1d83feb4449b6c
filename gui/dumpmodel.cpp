#include "gui/dumpmodel.h"

#include <QPainter>

#include "gui/cellstyle.h"

namespace {
constexpr int kBytesPerRow = 16;
const QChar kUnprintable(0x00B7);
}  // namespace

QString DumpCellText(const std::string &cell)
{
    if (cell.size() != 1) return QString::fromStdString(cell);
    const auto byte = static_cast<unsigned char>(cell[0]);
    const bool printable = (byte >= 0x20 && byte < 0x7F) || byte >= 0xA0;
    return printable ? QString(QChar(byte)) : QString(kUnprintable);
}

DumpTableModel::DumpTableModel(const DumpTable &dump, QObject *parent) : QAbstractTableModel(parent), dump(dump)
{
    shownRows = dump.rows;
}

int DumpTableModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : shownRows; }

int DumpTableModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : kDumpColumns; }

QVariant DumpTableModel::data(const QModelIndex &index, int role) const
{
    const size_t cell = static_cast<size_t>(index.row()) * kDumpColumns + index.column();
    // Between a change of the dump and refresh() the view may ask for rows that are gone.
    if (!index.isValid() || cell >= dump.cells.size() || cell >= dump.colors.size()) return QVariant();
    const Rgb background = dump.colors[cell];
    switch (role) {
    case Qt::DisplayRole: return DumpCellText(dump.cells[cell]);
    case Qt::BackgroundRole: return BackgroundRole(background);
    case Qt::ForegroundRole:
        // The empty dump paints its row white on white.
        return index.row() == 0 && dump.row1TextColor == kWhite ? ToQColor(kWhite) : ReadableText(background);
    case Qt::TextAlignmentRole: return Qt::AlignCenter;
    default: return QVariant();
    }
}

QVariant DumpTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    // Rows are labelled with the position of their first byte, as the user types positions.
    if (orientation != Qt::Vertical || role != Qt::DisplayRole) return QVariant();
    return QString::number(section * kBytesPerRow);
}

void DumpTableModel::refresh()
{
    // Rows come and go at the end; every row that stays may show other bytes and colours.
    if (dump.rows > shownRows) {
        beginInsertRows(QModelIndex(), shownRows, dump.rows - 1);
        shownRows = dump.rows;
        endInsertRows();
    } else if (dump.rows < shownRows) {
        beginRemoveRows(QModelIndex(), dump.rows, shownRows - 1);
        shownRows = dump.rows;
        endRemoveRows();
    }
    if (shownRows > 0) emit dataChanged(index(0, 0), index(shownRows - 1, kDumpColumns - 1));
}

void DumpCellDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const QVariant background = index.data(Qt::BackgroundRole);
    if (background.isValid()) painter->fillRect(option.rect, background.value<QBrush>());
    painter->setPen(index.data(Qt::ForegroundRole).value<QColor>());
    painter->drawText(option.rect, Qt::AlignCenter, index.data(Qt::DisplayRole).toString());
    if (option.state & QStyle::State_HasFocus) {  // the cell the keyboard moves from
        painter->setPen(QPen(Qt::black, 1, Qt::DotLine));
        painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
    }
}
