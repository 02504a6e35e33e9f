#pragma once

#include "TableLines.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QList>

// The cells of the number grid, held as the server's single-byte text. Model columns are the
// five data columns (number, alarm, emergency, charges, remark); the row labels "Verb. n" are
// the vertical header and the column titles the horizontal header.
//
// Before the first table arrives the grid shows its design state: one empty row and empty
// titles.
class NummernModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using Row = table::Cells;

    explicit NummernModel(QObject* parent = nullptr);

    // Replaces every row with the fields of the given lines.
    void fill(const QList<QByteArray>& lines);

    QByteArray cell(int row, table::Field column) const { return m_rows.at(row)[column]; }
    // Every row as it stands, for a save that must not see later changes.
    const QList<Row>& rows() const { return m_rows; }
    void setCell(int row, table::Field column, const QByteArray& text);
    bool designState() const { return m_design; }

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
    QList<Row> m_rows;
    bool m_design = true;
};
