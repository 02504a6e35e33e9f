#pragma once

#include "wire/TableLines.h"

#include <QAbstractTableModel>
#include <QByteArray>

class NumberTable;

// The number grid's view of the table: model columns are the five data columns (number,
// alarm, emergency, charges, remark); the row labels "Verb. n" are the vertical header and
// the column titles the horizontal header. The table holds the cells; typing into one hands
// the text to the table.
//
// Before the first table arrives the grid shows its design state: one empty row and empty
// titles.
class NummernModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // True for a cell whose text is the operator's and not yet sent.
    static constexpr int EditedRole = Qt::UserRole + 1;

    explicit NummernModel(NumberTable& table);

    // The table brackets every change of its rows as a whole with these.
    void beginRefill() { beginResetModel(); }
    void endRefill() { endResetModel(); }
    void cellChanged(int row, table::Field column);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // The titles the grid shows once a table is loaded; whatever names a column or a row to
    // the operator takes them from here.
    static QString columnTitle(table::Field column);
    static QString rowLabel(int row);
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    NumberTable& m_table;
};
