#pragma once

#include "core/table/NummernModel.h"
#include "wire/TableLines.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class Prompts;
class ServerWire;

// A cell whose text a save changed on the server, as the operator reads it: trimmed, empty
// when blank.
struct SentChange {
    QString line;  // "Verb. 3": the place the row was sent to
    QString field; // the column's title
    QString old;   // what the server held at that place
    QString now;
};

// The number table: the server's lines as last known and the operator's edits on them.
//
// The server's lines are the newest table received, or, once a save went out, the rows that
// save sent. An edit belongs to one line of that table (its position as the server sent it)
// and one field; a cell is edited while the bytes a save would send for it differ from the
// server's, so text typed back, or an editor left with Escape, is no edit. The grid shows the
// server's lines in the order the operator sorted them, each edit on its line.
//
// Edits leave only by a save that went out or by the operator's answer to the save question.
// A table that arrives replaces the server's lines at once (charges and untouched cells show
// the newest) and keeps every edit on its line.
//
// The wire has no request ids, so tables are counted: requests sent and tables received on
// the connection. When a save goes out, the tables still owed answer requests made before it
// and would bring back what the save replaced; they are dropped when they come. A save asks
// its questions in modal boxes while events keep coming; a table arriving meanwhile waits for
// the save to end, and neither a second save nor a sort starts under it.
class NumberTable : public QObject {
    Q_OBJECT
public:
    NumberTable(ServerWire& link, Prompts& prompts, QObject* parent = nullptr);

    // The grid's view of the table.
    NummernModel& model() { return m_model; }
    // The server's lines as last known, in the server's order.
    const QList<QByteArray>& lines() const { return TableLines; }
    bool hasTable() const { return m_hasTable; }

    // What the grid shows: the server's lines in the order shown, with the edits applied.
    int rowCount() const { return int(m_order.size()); }
    QByteArray cell(int row, table::Field field) const;
    bool isEdited(int row, table::Field field) const;
    QList<table::Cells> rows() const;
    // The number of the server's line shown in `row`, trimmed.
    QByteArray RowNst(int row) const;

    // The operator's text for a cell; the charges are the server's and take none.
    bool NummernGridSetEditText(int row, table::Field field, const QByteArray& text);
    // Edits not yet sent, lines the newest table no longer has included.
    bool hasUnsentEdits() const { return !m_edits.isEmpty(); }
    // Set by an edit, kept by saves, after each fill true exactly while edits are unsent; it
    // decides whether a save asks and sends.
    bool isModified() const { return TableModified; }
    bool saveRunning() const { return m_saveRunning; }

    // A new connection: nothing is owed on it yet.
    void connectionMade();
    // A "[___GDAT]" out, counted when it went out.
    bool requestTable();
    // A "[___D_IN]" frame from the server.
    void tableArrived(const QByteArray& frame);
    // Where the row shown before the last refill is shown now; -1 when its line is gone.
    int rowAfterRefill(int row) const { return m_rowAfterRefill.value(row, -1); }

    // Shows the lines ordered by the number or the remark as shown; other fields do not sort.
    void sortBy(table::Field field);
    // Checks for twins and for the link, asks, offers to clear charges, sends. False when the
    // save was refused (a number occurs twice, or edits cannot go out without the link) and
    // the edits stay.
    bool SaveTable();

signals:
    // The rows are about to be shown anew (a table, a sort, a save): an editor still open
    // must hand its text over now, or it closes with it.
    void aboutToRefill();
    // A save went out. The server stores the rows by place, so a change is told against what
    // it held at the place each row went to, whichever line the operator edited.
    void rowsSent(const QList<SentChange>& changes);
    // A "[___GLOE]" went out for the number the server held on `line` ("Verb. 3"), with the
    // charges it had, trimmed.
    void chargesCleared(const QString& line, const QString& nst, const QString& charges);

private:
    struct Edit {
        QByteArray base; // the server's text it replaced
        QByteArray text; // the operator's
    };
    using EditKey = QPair<int, int>; // line as the server sent it, field
    using Edits = QMap<EditKey, Edit>;
    enum class Outcome { NothingToSave, WentOut, Declined, Refused };

    void LoadTable(const QByteArray& frame);
    void FillGrid();
    // Shows the rows anew around `change`; afterwards each row shown before is found where
    // its line went, or at its place when the lines themselves were renumbered.
    enum class RowsFollow { Lines, Places };
    void refill(RowsFollow rows, const std::function<void()>& change);
    QByteArray serverCell(int line, table::Field field) const;
    // Drops every edit that equals the server's text.
    void dropUnchanged();
    // Drops the edits of `settled` that the operator has not changed since.
    void settle(const Edits& settled);
    Outcome saveRows();
    Outcome refuseWithoutLink();
    // The save went out: its rows are the server's lines now.
    void wentOut(const QList<table::Cells>& sent);
    QList<SentChange> changesAtServer(const QList<table::Cells>& sent) const;
    QString preview() const;

    ServerWire& m_link;
    Prompts& m_prompts;
    NummernModel m_model;
    QList<QByteArray> TableLines;
    QList<int> m_order; // the line shown in each row
    QList<int> m_rowAfterRefill;
    Edits m_edits;
    bool m_hasTable = false;
    bool TableModified = false;
    bool m_saveRunning = false;
    std::optional<QByteArray> m_heldTable;
    // On this connection: table requests sent, tables received, and tables still to come
    // that answer requests made before the last save went out.
    int m_requested = 0;
    int m_received = 0;
    int m_stale = 0;
};
