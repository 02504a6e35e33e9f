#include "NumberTable.h"

#include "link/Frames.h"
#include "link/ServerLink.h"
#include "link/Wire1252.h"
#include "platform/Prompts.h"
#include "table/TableSort.h"

#include <QCoreApplication>
#include <QScopedValueRollback>
#include <utility>

namespace {

const QString kCaption = QStringLiteral(" A C H T U N G ");
constexpr unsigned kQuestion = mb::OkCancel | mb::IconQuestion | mb::DefButton2;
// After a clearing request the frame should be on its way before the next question; a few
// rounds of pending events do that without ever waiting for an event that does not come.
constexpr int kPumpRounds = 7;

} // namespace

NumberTable::NumberTable(ServerLink& link, Prompts& prompts, QObject* parent)
    : QObject(parent), m_link(link), m_prompts(prompts) {}

void NumberTable::LoadTable(const QByteArray& frame) {
    if (m_saveRunning || hasUndecidedEdits()) {
        m_heldTable = frame;
        return;
    }
    // Whatever was held is older than this table.
    m_heldTable.reset();
    TableLines = table::parseTableFrame(frame);
    FillGrid();
}

void NumberTable::FillGrid() {
    TableModified = false;
    m_decided = m_edits;
    GridModel.fill(TableLines);
    const qsizetype rows = qMin(TableLines.size(), qsizetype(RowNst.size()));
    for (qsizetype i = 0; i < rows; ++i)
        RowNst[i] = table::trimmed(table::field(TableLines.at(i), table::Number));
}

void NumberTable::cellEdited() {
    TableModified = true;
    ++m_edits;
}

void NumberTable::sortBy(table::Field field) {
    // A save holds the rows it is sending and the numbers it remembers by position; sorting
    // under it would shift both.
    if (m_saveRunning || (field != table::Number && field != table::Remark))
        return;
    if (hasUndecidedEdits()) {
        if (m_prompts.ask(QStringLiteral("Ungespeicherte Änderungen verwerfen ?"), kCaption,
                          kQuestion) != mb::IdOk)
            return;
        if (m_heldTable)
            TableLines = table::parseTableFrame(*std::exchange(m_heldTable, std::nullopt));
    }
    table::sortLines(TableLines,
                     field == table::Number ? table::CompareByNumber : table::CompareByRemark);
    FillGrid();
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
    // next save, and stay undecided.
    const quint64 edits = m_edits;
    const table::SavePlan plan = table::planSave(GridModel.rows(), RowNst);
    if (!plan.duplicate.isEmpty()) {
        m_prompts.ask(QStringLiteral("Eintrag Ruf/Zi.Nummer ->  ") +
                          wire::fromWire(plan.duplicate) + QStringLiteral(" gibt es bereits.! "),
                      kCaption, mb::Ok | mb::IconQuestion);
        return Outcome::Refused;
    }
    if (!m_link.isConnected())
        return refuseWithoutLink();
    if (m_prompts.ask(QStringLiteral("Änderung Speichern ?"), kCaption, kQuestion,
                      table::changePreview(GridModel.rows(), TableLines)) != mb::IdOk) {
        m_decided = edits;
        return Outcome::Declined;
    }
    for (const table::ChargeClearing& c : plan.clearings) {
        const QString question = QStringLiteral("Nst. ") + wire::fromWire(c.old) +
                                 QStringLiteral(" (") + wire::fromWire(c.number) +
                                 QStringLiteral(")  Gebühren löschen ? ");
        if (m_prompts.ask(question, kCaption, kQuestion) != mb::IdOk)
            continue;
        // Only charges the server was told to clear are settled for the row.
        if (!m_link.Send(frames::clearCharges(c.old)))
            return refuseWithoutLink();
        RowNst[c.row] = c.number;
        for (int round = 0; round < kPumpRounds; ++round)
            QCoreApplication::processEvents();
    }
    if (!m_link.Send(frames::compose(frames::kSaveTable, plan.body)))
        return refuseWithoutLink();
    m_decided = edits;
    return Outcome::WentOut;
}

NumberTable::Outcome NumberTable::refuseWithoutLink() {
    m_prompts.ask(QStringLiteral("Keine Verbindung zum Server !\n\rDie Änderungen wurden nicht "
                                 "gespeichert."),
                  kCaption, mb::Ok | mb::IconExclamation);
    return Outcome::Refused;
}
