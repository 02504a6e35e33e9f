#include "RufNum/RufNum.h"

#include "RufNum/NummernDelegate.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTableView>

// The grid's behaviour: in-place editing under the column masks, Tab between cells, and
// re-sorting by a double-click on the number or remark header.

namespace {

// Enter opens the current cell's editor, as F2 does. Item views leave Enter to activation on
// every desktop but the Mac; this grid has nothing to activate, and an operator who works with
// the keyboard expects Enter to start and to end an edit.
class EnterEdits final : public QObject {
public:
    explicit EnterEdits(QTableView* grid) : QObject(grid), m_grid(grid) {
        grid->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // An editor's own Enter, which ends the edit, comes up to the grid as well.
        if (watched == m_grid && event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            const QModelIndex current = m_grid->currentIndex();
            if ((key == Qt::Key_Return || key == Qt::Key_Enter) &&
                (current.flags() & Qt::ItemIsEditable) && !m_grid->indexWidget(current)) {
                m_grid->edit(current);
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QTableView* m_grid;
};

} // namespace

void TNummernForm::setupNummernGrid() {
    auto* delegate = new NummernDelegate(NummernGrid);
    NummernGrid->setItemDelegate(delegate);
    NummernGrid->setTabKeyNavigation(true);
    NummernGrid->setSelectionMode(QAbstractItemView::ContiguousSelection);
    NummernGrid->setEditTriggers(
        QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
        QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    new EnterEdits(NummernGrid);
    // The first table puts the keyboard on its first number, where the operator starts to
    // work. Later ones, sorts and saves leave him where he was, on the same line, an editor
    // he had open open again: the keys he goes on typing must land where he meant them.
    NumberTable& table = m_client.table();
    connect(&table, &NumberTable::aboutToRefill, this, [this, &table] {
        const QModelIndex current = NummernGrid->currentIndex();
        m_place = {current.isValid() && table.hasTable() ? current.row() : -1, current.column(),
                   current.isValid() && NummernGrid->indexWidget(current)};
        commitOpenEditor();
    });
    connect(&table.model(), &QAbstractItemModel::modelReset, this, [this, &table] {
        if (table.rowCount() == 0)
            return;
        const int row = m_place.row >= 0 ? table.rowAfterRefill(m_place.row) : -1;
        if (row < 0) {
            NummernGrid->setCurrentIndex(table.model().index(0, table::Number));
            return;
        }
        const QModelIndex at = table.model().index(row, m_place.column);
        NummernGrid->setCurrentIndex(at);
        if (!m_place.editing)
            return;
        NummernGrid->edit(at);
        // Opened for him, not by him: nothing selected, so his next key goes after his text.
        if (auto* editor = qobject_cast<QLineEdit*>(NummernGrid->indexWidget(at)))
            editor->end(false);
    });
    connect(NummernGrid->horizontalHeader(), &QHeaderView::sectionDoubleClicked, this,
            [this](int section) { NummernGridDblClick(section + 1); });
}

void TNummernForm::NummernGridDblClick(int column) {
    // Grid columns count from the row labels; the data fields start at 1.
    if (column >= 1 && column <= table::FieldCount)
        m_client.table().sortBy(table::Field(column - 1));
}

void TNummernForm::commitOpenEditor() {
    const QModelIndex current = NummernGrid->currentIndex();
    if (QWidget* editor = current.isValid() ? NummernGrid->indexWidget(current) : nullptr)
        NummernGrid->itemDelegate()->setModelData(editor, &m_client.table().model(), current);
}
