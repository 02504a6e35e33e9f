#include "RufNum/RufNum.h"

#include "table/NummernModel.h"
#include "table/TableLines.h"

void TNummernForm::LoadTable(const QByteArray& frame) {
    // A save sends the rows it checked and asked about; a table replacing them halfway
    // would be mixed into its frame. The newest table waits for the save to end.
    if (m_saveRunning) {
        m_deferredTable = frame;
        return;
    }
    // Whatever waited is older than this table.
    m_deferredTable.reset();
    TableLines = table::parseTableFrame(frame);
    FillGrid();
}

void TNummernForm::FillGrid() {
    TableModified = false;
    GridModel->fill(TableLines);
    for (int i = 0; i < TableLines.size(); ++i)
        RowNst[i] = table::trimmed(table::field(TableLines.at(i), table::Number));
}
