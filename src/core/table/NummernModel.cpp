#include "core/table/NummernModel.h"

#include "core/table/NumberTable.h"
#include "wire/Wire1252.h"

namespace {

const QStringList kTitles{QStringLiteral("Ruf/Zi.-Nummer"), QStringLiteral("Alarm Nummer."),
                          QStringLiteral("Not Nummer."), QStringLiteral("Gebühr."),
                          QStringLiteral("Bemerk.")};

} // namespace

NummernModel::NummernModel(NumberTable& table) : m_table(table) {}

void NummernModel::cellChanged(int row, table::Field column) {
    const QModelIndex i = index(row, column);
    emit dataChanged(i, i);
}

int NummernModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_table.rowCount();
}

int NummernModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : table::FieldCount;
}

QVariant NummernModel::data(const QModelIndex& index, int role) const {
    // Views ask about the invalid root index too; that is no mistake worth a warning.
    if (!index.isValid() || !checkIndex(index))
        return {};
    const auto field = table::Field(index.column());
    switch (role) {
    // Trailing blanks never show. Without them a blank cell is empty, and a screen reader,
    // which falls back to this text when the one below is empty, reads no row of blanks.
    case Qt::DisplayRole: {
        QByteArray shown = m_table.cell(index.row(), field);
        while (shown.endsWith(' '))
            shown.chop(1);
        return wire::fromWire(shown);
    }
    // The whole field: the editor and what goes back to the server start from it.
    case Qt::EditRole:
        return wire::fromWire(m_table.cell(index.row(), field));
    // A screen reader reads the value, not the blanks that pad it to the field's width.
    case Qt::AccessibleTextRole:
        return wire::fromWire(table::trimmed(m_table.cell(index.row(), field)));
    case Qt::AccessibleDescriptionRole:
        return m_table.isEdited(index.row(), field) ? QStringLiteral("geändert") : QVariant();
    case EditedRole:
        return m_table.isEdited(index.row(), field);
    default:
        return {};
    }
}

bool NummernModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || !checkIndex(index) || role != Qt::EditRole ||
        !(flags(index) & Qt::ItemIsEditable))
        return false;
    return m_table.NummernGridSetEditText(index.row(), table::Field(index.column()),
                                          wire::toWire(value.toString()));
}

QVariant NummernModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (!m_table.hasTable())
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
