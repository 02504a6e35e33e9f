#include "RufNum/RufNum.h"

#include "table/NummernDelegate.h"
#include "table/NummernModel.h"
#include "table/TableSort.h"

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
            [this](int section) { NummernGridDblClick(section < 0 ? -1 : section + 1); });
}

void TNummernForm::NummernGridSetEditText(int, int, const QString&) {
    TableModified = true;
}

void TNummernForm::NummernGridDblClick(int column) {
    // A save holds the rows it is sending and the numbers it remembers by position; sorting
    // under it would shift both.
    if (m_saveRunning)
        return;
    if (column == 1 + table::Number)
        table::sortLines(TableLines, table::CompareByNumber);
    else if (column == 1 + table::Remark)
        table::sortLines(TableLines, table::CompareByRemark);
    else
        return;
    FillGrid();
}

void TNummernForm::commitOpenEditor() {
    // The grid takes an editor's text when the editor closes; a save started from the close
    // box or the tray leaves it open, and what the operator typed must go with the save.
    const QModelIndex current = NummernGrid->currentIndex();
    if (QWidget* editor = current.isValid() ? NummernGrid->indexWidget(current) : nullptr)
        NummernGrid->itemDelegate()->setModelData(editor, GridModel, current);
}
