#include "NummernModel.h"

#include "link/Wire1252.h"

namespace {

const QStringList kTitles{QStringLiteral("Ruf/Zi.-Nummer"), QStringLiteral("Alarm Nummer."),
                          QStringLiteral("Not Nummer."), QStringLiteral("Gebühr."),
                          QStringLiteral("Bemerk.")};

} // namespace

NummernModel::NummernModel(QObject* parent) : QAbstractTableModel(parent), m_rows(1) {}

void NummernModel::fill(const QList<QByteArray>& lines) {
    beginResetModel();
    m_design = false;
    m_rows.clear();
    m_rows.reserve(lines.size());
    for (const QByteArray& line : lines) {
        Row row;
        for (int f = 0; f < table::FieldCount; ++f)
            row[f] = table::field(line, table::Field(f));
        m_rows.append(row);
    }
    endResetModel();
}

void NummernModel::setCell(int row, table::Field column, const QByteArray& text) {
    m_rows[row][column] = text;
    const QModelIndex i = index(row, column);
    emit dataChanged(i, i);
}

int NummernModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int NummernModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : table::FieldCount;
}

QVariant NummernModel::data(const QModelIndex& index, int role) const {
    // Views ask about the invalid root index too; that is no mistake worth a warning.
    if (!index.isValid() || !checkIndex(index))
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return wire::fromWire(m_rows.at(index.row())[index.column()]);
    // A screen reader reads the value, not the blanks that pad it to the field's width.
    if (role == Qt::AccessibleTextRole)
        return wire::fromWire(table::trimmed(m_rows.at(index.row())[index.column()]));
    return {};
}

bool NummernModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || !checkIndex(index) || role != Qt::EditRole ||
        !(flags(index) & Qt::ItemIsEditable))
        return false;
    setCell(index.row(), table::Field(index.column()), wire::toWire(value.toString()));
    return true;
}

QVariant NummernModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (m_design)
        return QString();
    if (orientation == Qt::Horizontal)
        return columnTitle(table::Field(section));
    return rowLabel(section);
}

QString NummernModel::columnTitle(table::Field column) {
    return kTitles.value(column);
}

QString NummernModel::rowLabel(int row) {
    return QStringLiteral("Verb. %1").arg(row + 1);
}

Qt::ItemFlags NummernModel::flags(const QModelIndex& index) const {
    if (!index.isValid() || !checkIndex(index))
        return Qt::NoItemFlags;
    // The charges belong to the server: the cell never becomes current, so no editor opens.
    if (index.column() == table::Charges)
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}
