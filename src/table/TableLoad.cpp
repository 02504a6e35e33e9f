#include "RufNum/RufNum.h"

#include "table/NummernModel.h"
#include "table/TableLines.h"

void TNummernForm::LoadTable(const QByteArray& frame) {
    TableLines = table::parseTableFrame(frame);
    FillGrid();
}

void TNummernForm::FillGrid() {
    TableModified = false;
    GridModel->fill(TableLines);
    for (int i = 0; i < TableLines.size(); ++i)
        RowNst[i] = table::trimmed(table::field(TableLines.at(i), table::Number));
}
