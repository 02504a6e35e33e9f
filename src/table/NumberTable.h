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
// Edits leave the grid only by a save that went out or by the operator's own decision. A
// table that arrives over edits nobody has decided about yet (no save went out and the save
// question was not declined since) is held, the newest one winning: a save that goes out
// drops it, a declined save loads it. A save asks its questions in modal boxes while events
// keep coming; it sends the rows it checked and asked about, so a table arriving meanwhile is
// held the same way, and neither a second save nor a sort starts under it.
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
    // Edited since the last load, and neither sent nor declined since the edit.
    bool hasUndecidedEdits() const { return m_edits != m_decided; }
    bool saveRunning() const { return m_saveRunning; }

    // A "[___D_IN]" frame: its lines replace the table and every cell.
    void LoadTable(const QByteArray& frame);
    void FillGrid();
    // The operator changed a cell's text.
    void cellEdited();
    // Sorts the lines by the number or the remark and refills the cells; other fields do not
    // sort. Edits not yet decided about are dropped only when the operator agrees, and then
    // a table held back for them is what gets sorted.
    void sortBy(table::Field field);
    // Checks for twins and for the link, asks, offers to clear charges, sends. False when the
    // save was refused (a number occurs twice, or the link is down) and the edits stay.
    bool SaveTable();

private:
    enum class Outcome { NothingToSave, WentOut, Declined, Refused };
    Outcome saveRows();
    Outcome refuseWithoutLink();

    ServerLink& m_link;
    Prompts& m_prompts;
    NummernModel GridModel;
    QList<QByteArray> TableLines;
    table::RowNumbers RowNst;
    bool TableModified = false;
    // Edits counted, and how many of them were settled by a load, a save or a decline.
    quint64 m_edits = 0;
    quint64 m_decided = 0;
    bool m_saveRunning = false;
    std::optional<QByteArray> m_heldTable;
};
