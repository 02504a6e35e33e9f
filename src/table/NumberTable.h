#pragma once

#include "table/NummernModel.h"
#include "table/SavePlan.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <optional>

class Prompts;
class ServerLink;

// The number table: the lines as the server sent them, the cells the grid shows and the
// operator edits, each row's number as last loaded, and saving it all back.
//
// A save asks its questions in modal boxes while events keep coming. It sends the rows it
// checked and asked about, so a table arriving meanwhile waits until the save is over
// (the newest one wins), and neither a second save nor a sort starts under it.
class NumberTable : public QObject {
    Q_OBJECT
public:
    NumberTable(ServerLink& link, Prompts& prompts, QObject* parent = nullptr);

    // The cells, for the grid to show and edit.
    NummernModel& model() { return GridModel; }
    const NummernModel& model() const { return GridModel; }
    const QList<QByteArray>& lines() const { return TableLines; }
    const table::RowNumbers& rowNst() const { return RowNst; }
    bool isModified() const { return TableModified; }
    bool saveRunning() const { return m_saveRunning; }

    // A "[___D_IN]" frame: its lines replace the table and every cell.
    void LoadTable(const QByteArray& frame);
    void FillGrid();
    // The operator changed a cell's text.
    void cellEdited();
    // Sorts the lines by the number or the remark and refills the cells; other fields do not
    // sort. Edits not yet saved go with the refill.
    void sortBy(table::Field field);
    // Checks for twins, asks, offers to clear charges, sends. False only when a number occurs
    // twice and nothing was sent.
    bool SaveTable();

private:
    bool saveRows();

    ServerLink& m_link;
    Prompts& m_prompts;
    NummernModel GridModel;
    QList<QByteArray> TableLines;
    table::RowNumbers RowNst;
    bool TableModified = false;
    bool m_saveRunning = false;
    std::optional<QByteArray> m_deferredTable;
};
