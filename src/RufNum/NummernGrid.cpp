#include "RufNum/RufNum.h"

#include "table/NummernDelegate.h"

#include <QHeaderView>
#include <QTableView>

// The grid's behaviour: in-place editing under the column masks, Tab between cells, and
// re-sorting by a double-click on the number or remark header.

void TNummernForm::setupNummernGrid() {
    auto* delegate = new NummernDelegate(NummernGrid);
    NummernGrid->setItemDelegate(delegate);
    NummernGrid->setTabKeyNavigation(true);
    NummernGrid->setSelectionMode(QAbstractItemView::ContiguousSelection);
    NummernGrid->setEditTriggers(
        QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
        QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    connect(delegate, &NummernDelegate::edited, this, &TNummernForm::NummernGridSetEditText);
    connect(NummernGrid->horizontalHeader(), &QHeaderView::sectionDoubleClicked, this,
            [this](int section) { NummernGridDblClick(section + 1); });
}

void TNummernForm::NummernGridSetEditText() {
    m_table.cellEdited();
}

void TNummernForm::NummernGridDblClick(int column) {
    // Grid columns count from the row labels; the data fields start at 1.
    if (column >= 1 && column <= table::FieldCount)
        m_table.sortBy(table::Field(column - 1));
}

void TNummernForm::commitOpenEditor() {
    const QModelIndex current = NummernGrid->currentIndex();
    if (QWidget* editor = current.isValid() ? NummernGrid->indexWidget(current) : nullptr)
        NummernGrid->itemDelegate()->setModelData(editor, &m_table.model(), current);
}
