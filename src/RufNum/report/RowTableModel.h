#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>
#include <utility>

// Rows of one kind under fixed column titles; a report's tables differ only in their data().
template <typename Row> class RowTableModel : public QAbstractTableModel {
public:
    explicit RowTableModel(QStringList titles, QObject* parent = nullptr)
        : QAbstractTableModel(parent), m_titles(std::move(titles)) {}

    void setRows(QList<Row> rows) {
        beginResetModel();
        m_rows = std::move(rows);
        endResetModel();
    }
    const QList<Row>& rows() const { return m_rows; }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(m_rows.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(m_titles.size());
    }
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return QAbstractTableModel::headerData(section, orientation, role);
        return section >= 0 && section < m_titles.size() ? QVariant(m_titles.at(section))
                                                         : QVariant();
    }

protected:
    // The row an index of this table stands in, or none.
    const Row* row(const QModelIndex& index) const {
        return index.isValid() && index.row() < m_rows.size() ? &m_rows.at(index.row()) : nullptr;
    }

private:
    QList<Row> m_rows;
    QStringList m_titles;
};
