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
    if (m_saveRunning) {
        m_deferredTable = frame;
        return;
    }
    // Whatever waited is older than this table.
    m_deferredTable.reset();
    TableLines = table::parseTableFrame(frame);
    FillGrid();
}

void NumberTable::FillGrid() {
    TableModified = false;
    GridModel.fill(TableLines);
    const qsizetype rows = qMin(TableLines.size(), qsizetype(RowNst.size()));
    for (qsizetype i = 0; i < rows; ++i)
        RowNst[i] = table::trimmed(table::field(TableLines.at(i), table::Number));
}

void NumberTable::cellEdited() {
    TableModified = true;
}

void NumberTable::sortBy(table::Field field) {
    // A save holds the rows it is sending and the numbers it remembers by position; sorting
    // under it would shift both.
    if (m_saveRunning)
        return;
    if (field == table::Number)
        table::sortLines(TableLines, table::CompareByNumber);
    else if (field == table::Remark)
        table::sortLines(TableLines, table::CompareByRemark);
    else
        return;
    FillGrid();
}

bool NumberTable::SaveTable() {
    // A save started from inside a save (the close box or the tray while a question is
    // open) would send a second frame between the first one's clearings.
    if (m_saveRunning)
        return true;
    bool result = true;
    {
        QScopedValueRollback<bool> running(m_saveRunning, true);
        result = saveRows();
    }
    if (m_deferredTable)
        LoadTable(*std::exchange(m_deferredTable, std::nullopt));
    return result;
}

bool NumberTable::saveRows() {
    if (!TableModified)
        return true;
    // What is checked is what is sent: edits made while the questions are open go with the
    // next save.
    const table::SavePlan plan = table::planSave(GridModel.rows(), RowNst);
    if (!plan.duplicate.isEmpty()) {
        m_prompts.ask(QStringLiteral("Eintrag Ruf/Zi.Nummer ->  ") +
                          wire::fromWire(plan.duplicate) + QStringLiteral(" gibt es bereits.! "),
                      kCaption, mb::Ok | mb::IconQuestion);
        return false;
    }
    if (m_prompts.ask(QStringLiteral("Änderung Speichern ?"), kCaption, kQuestion) != mb::IdOk)
        return true;
    for (const table::ChargeClearing& c : plan.clearings) {
        const QString question = QStringLiteral("Nst. ") + wire::fromWire(c.old) +
                                 QStringLiteral(" (") + wire::fromWire(c.number) +
                                 QStringLiteral(")  Gebühren löschen ? ");
        if (m_prompts.ask(question, kCaption, kQuestion) != mb::IdOk)
            continue;
        m_link.Send(frames::clearCharges(c.old));
        RowNst[c.row] = c.number;
        for (int round = 0; round < kPumpRounds; ++round)
            QCoreApplication::processEvents();
    }
    m_link.Send(frames::compose(frames::kSaveTable, plan.body));
    return true;
}
