#include "core/table/NumberTable.h"

#include "core/link/ServerWire.h"
#include "core/services/Prompts.h"
#include "core/table/ChangePreview.h"
#include "core/table/TableRecord.h"
#include "core/table/TableSort.h"
#include "wire/Frames.h"
#include "wire/Wire1252.h"

#include <QCoreApplication>
#include <QScopedValueRollback>
#include <numeric>
#include <utility>

using namespace table;

namespace {

const QString kCaption = QStringLiteral(" A C H T U N G ");
constexpr unsigned kQuestion = mb::OkCancel | mb::IconQuestion | mb::DefButton2;
// After a clearing request the frame should be on its way before the next question; a few
// rounds of pending events do that without ever waiting for an event that does not come.
constexpr int kPumpRounds = 7;
constexpr Field kEditable[] = {Number, Alarm, Emergency, Remark};

// The bytes a save sends for a cell, which decide whether the operator changed it.
QByteArray asSent(const QByteArray& text, Field f) {
    return text.leftJustified(kLineFields[f].width, ' ', true);
}

QList<int> inServerOrder(qsizetype lines) {
    QList<int> order(lines);
    std::iota(order.begin(), order.end(), 0);
    return order;
}

// A line as the server holds it after our save: the fields sent, the charges it had.
QByteArray savedLine(const Cells& row, const QByteArray& charges) {
    QByteArray line;
    for (int f = 0; f < FieldCount; ++f)
        line += asSent(f == Charges ? charges : row[f], Field(f));
    return line;
}

} // namespace

NumberTable::NumberTable(ServerWire& link, Prompts& prompts, QObject* parent)
    // Before the first table the grid offers one empty line, and a save sends it.
    : QObject(parent), m_link(link), m_prompts(prompts), m_model(*this), TableLines(1), m_order{0} {
}

QByteArray NumberTable::serverCell(int line, Field field) const {
    return table::field(TableLines.value(line), field);
}

QByteArray NumberTable::cell(int row, Field field) const {
    const int line = m_order.at(row);
    const auto edit = m_edits.constFind({line, field});
    return edit != m_edits.cend() ? edit->text : serverCell(line, field);
}

bool NumberTable::isEdited(int row, Field field) const {
    return m_edits.contains({m_order.at(row), field});
}

QList<Cells> NumberTable::rows() const {
    QList<Cells> out(m_order.size());
    for (int row = 0; row < m_order.size(); ++row)
        for (int f = 0; f < FieldCount; ++f)
            out[row][f] = cell(row, Field(f));
    return out;
}

QByteArray NumberTable::RowNst(int row) const {
    return trimmed(serverCell(m_order.at(row), Number));
}

bool NumberTable::NummernGridSetEditText(int row, Field field, const QByteArray& text) {
    if (field == Charges || row < 0 || row >= m_order.size())
        return false;
    const QByteArray before = cell(row, field);
    const EditKey key{m_order[row], field};
    const QByteArray server = serverCell(key.first, field);
    if (asSent(text, field) == asSent(server, field))
        m_edits.remove(key);
    else
        m_edits[key] = {m_edits.value(key, {server, {}}).base, text};
    if (cell(row, field) != before) {
        TableModified = true;
        m_model.cellChanged(row, field);
    }
    return true;
}

void NumberTable::connectionMade() {
    m_requested = m_received = m_stale = 0;
}

bool NumberTable::requestTable() {
    if (!m_link.Send(frames::tableRequest()))
        return false;
    ++m_requested;
    return true;
}

void NumberTable::tableArrived(const QByteArray& frame) {
    ++m_received;
    if (m_stale > 0) {
        --m_stale;
        return;
    }
    if (m_saveRunning) {
        // The newest wins; what the save sends was checked against the table before it.
        m_heldTable = frame;
        return;
    }
    LoadTable(frame);
}

void NumberTable::LoadTable(const QByteArray& frame) {
    refill(RowsFollow::Lines, [&] {
        TableLines = parseTableFrame(frame);
        m_hasTable = true;
        dropUnchanged();
        // The server's order again; the edits stay on their lines.
        m_order = inServerOrder(TableLines.size());
        TableModified = hasUnsentEdits();
    });
}

void NumberTable::FillGrid() {
    refill(RowsFollow::Places, [] {});
}

void NumberTable::refill(RowsFollow rows, const std::function<void()>& change) {
    emit aboutToRefill();
    const QList<int> before = m_order;
    m_model.beginRefill();
    change();
    m_rowAfterRefill.clear();
    for (int row = 0; row < before.size(); ++row)
        m_rowAfterRefill.append(rows == RowsFollow::Lines ? int(m_order.indexOf(before[row]))
                                : row < m_order.size()    ? row
                                                          : -1);
    m_model.endRefill();
}

void NumberTable::dropUnchanged() {
    for (auto it = m_edits.begin(); it != m_edits.end();) {
        const auto [line, f] = it.key();
        if (line < TableLines.size() &&
            asSent(it->text, Field(f)) == asSent(serverCell(line, Field(f)), Field(f)))
            it = m_edits.erase(it);
        else
            ++it;
    }
}

void NumberTable::settle(const Edits& settled) {
    for (auto it = settled.cbegin(); it != settled.cend(); ++it) {
        const auto now = m_edits.constFind(it.key());
        if (now != m_edits.cend() && now->text == it->text)
            m_edits.remove(it.key());
    }
    FillGrid();
}

void NumberTable::sortBy(Field field) {
    // A save holds the rows it is sending in the order shown; sorting under it would shift
    // them.
    if (m_saveRunning || (field != Number && field != Remark))
        return;
    refill(RowsFollow::Lines, [&] {
        QList<int> order;
        for (int p : sortedOrder(rows(), field == Number ? CompareByNumber : CompareByRemark))
            order.append(m_order[p]);
        m_order = order;
        TableModified = hasUnsentEdits();
    });
}

bool NumberTable::SaveTable() {
    // A save started from inside a save (the close box or the tray while a question is
    // open) would send a second frame between the first one's clearings.
    if (m_saveRunning)
        return true;
    Outcome outcome;
    {
        QScopedValueRollback<bool> running(m_saveRunning, true);
        outcome = saveRows();
    }
    // The server now has our rows; a table it sent before they arrived is out of date.
    if (outcome == Outcome::WentOut)
        m_heldTable.reset();
    if (m_heldTable)
        LoadTable(*std::exchange(m_heldTable, std::nullopt));
    return outcome != Outcome::Refused;
}

NumberTable::Outcome NumberTable::saveRows() {
    if (!TableModified)
        return Outcome::NothingToSave;
    // What is checked is what is sent: edits made while the questions are open go with the
    // next save.
    const QList<Cells> shown = rows();
    const QByteArray twin = FindDuplicateNst(shown);
    if (!twin.isEmpty()) {
        m_prompts.ask(QStringLiteral("Eintrag Ruf/Zi.Nummer ->  ") + wire::fromWire(twin) +
                          QStringLiteral(" gibt es bereits.! "),
                      kCaption, mb::Ok | mb::IconQuestion);
        return Outcome::Refused;
    }
    if (!m_link.isConnected())
        return refuseWithoutLink();
    const Edits asked = m_edits;
    if (m_prompts.ask(QStringLiteral("Änderung Speichern ?"), kCaption, kQuestion, preview()) !=
        mb::IdOk) {
        settle(asked);
        return Outcome::Declined;
    }
    for (int row = 0; row < shown.size(); ++row) {
        const int line = m_order[row];
        const QByteArray old = RowNst(row);
        const QByteArray number = trimmed(shown[row][Number]);
        if (number == old || chargesAreZero(serverCell(line, Charges)))
            continue;
        const QString question = QStringLiteral("Nst. ") + wire::fromWire(old) +
                                 QStringLiteral(" (") + wire::fromWire(number) +
                                 QStringLiteral(")  Gebühren löschen ? ");
        if (m_prompts.ask(question, kCaption, kQuestion) != mb::IdOk)
            continue;
        if (!m_link.Send(frames::clearCharges(old)))
            return refuseWithoutLink();
        const QByteArray charges = trimmed(serverCell(line, Charges));
        // The server has cleared them: a save that cannot go out now must not ask again.
        TableLines[line] = savedLine({serverCell(line, Number),
                                      serverCell(line, Alarm),
                                      serverCell(line, Emergency),
                                      {},
                                      serverCell(line, Remark)},
                                     "0.00");
        m_model.cellChanged(row, Charges);
        emit chargesCleared(NummernModel::rowLabel(line), wire::fromWire(old),
                            wire::fromWire(charges));
        for (int round = 0; round < kPumpRounds; ++round)
            QCoreApplication::processEvents();
    }
    if (!m_link.Send(frames::compose(frames::kSaveTable, saveBody(shown))))
        return refuseWithoutLink();
    const QList<SentChange> changes = changesAtServer(shown);
    wentOut(shown);
    emit rowsSent(changes);
    return Outcome::WentOut;
}

QList<SentChange> NumberTable::changesAtServer(const QList<Cells>& sent) const {
    QList<SentChange> changes;
    for (int row = 0; row < sent.size(); ++row)
        for (Field f : kEditable) {
            const QByteArray old = trimmed(serverCell(row, f));
            const QByteArray now = trimmed(asSent(sent[row][f], f));
            if (now != old)
                changes.append({NummernModel::rowLabel(row), NummernModel::columnTitle(f),
                                wire::fromWire(old), wire::fromWire(now)});
        }
    return changes;
}

void NumberTable::wentOut(const QList<Cells>& sent) {
    // The server's lines are now the rows sent, in the order sent; an edit made meanwhile
    // moves to its line's new place, one already sent is no edit any more. The server books
    // charges on a row's place, not on what the row holds, so after a sorted save they stay
    // where they were.
    QList<QByteArray> lines;
    for (int row = 0; row < sent.size(); ++row)
        lines.append(savedLine(sent[row], serverCell(row, Charges)));
    Edits moved;
    for (auto it = m_edits.cbegin(); it != m_edits.cend(); ++it) {
        const auto [line, f] = it.key();
        const int row = int(m_order.indexOf(line));
        // A line the server no longer had was shown to the operator in the question: his
        // answer settles it.
        if (row < 0)
            continue;
        moved.insert({row, f}, {field(lines[row], Field(f)), it->text});
    }
    refill(RowsFollow::Places, [&] {
        TableLines = lines;
        m_edits = moved;
        dropUnchanged();
        m_order = inServerOrder(TableLines.size());
    });
    m_stale = qMax(0, m_requested - m_received);
}

NumberTable::Outcome NumberTable::refuseWithoutLink() {
    // The server's own rows that could not go out are nothing the operator could lose.
    if (!hasUnsentEdits())
        return Outcome::NothingToSave;
    m_prompts.ask(QStringLiteral("Keine Verbindung zum Server !\n\rDie Änderungen wurden nicht "
                                 "gespeichert."),
                  kCaption, mb::Ok | mb::IconExclamation);
    return Outcome::Refused;
}

QString NumberTable::preview() const {
    QList<RowChanges> changes;
    for (int row = 0; row < m_order.size(); ++row) {
        RowChanges r{NummernModel::rowLabel(row), false, {}};
        for (Field f : kEditable) {
            const auto edit = m_edits.constFind({m_order[row], f});
            if (edit != m_edits.cend())
                r.cells.append({f, edit->base, serverCell(m_order[row], f), edit->text});
        }
        if (!r.cells.isEmpty())
            changes.append(r);
    }
    // Edits of lines the newest table no longer has, by the place they had.
    for (auto it = m_edits.cbegin(); it != m_edits.cend(); ++it) {
        const auto [line, f] = it.key();
        if (line < TableLines.size())
            continue;
        if (changes.isEmpty() || changes.last().label != NummernModel::rowLabel(line) ||
            !changes.last().lineGone)
            changes.append({NummernModel::rowLabel(line), true, {}});
        changes.last().cells.append({Field(f), it->base, std::nullopt, it->text});
    }
    return changePreview(changes);
}
