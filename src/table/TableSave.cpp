#include "RufNum/RufNum.h"

#include "link/Frames.h"
#include "link/Wire1252.h"
#include "platform/Prompts.h"
#include "table/NummernModel.h"
#include "table/TableRecord.h"

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

bool TNummernForm::SaveTable() {
    // A save started from inside a save (the close box or the tray while a question is
    // open) would send a second frame between the first one's clearings.
    if (m_saveRunning)
        return true;
    bool result = true;
    {
        QScopedValueRollback<bool> running(m_saveRunning, true);
        result = saveRows();
    }
    if (m_deferredTable) {
        const QByteArray frame = *std::exchange(m_deferredTable, std::nullopt);
        LoadTable(frame);
    }
    return result;
}

bool TNummernForm::saveRows() {
    commitOpenEditor();
    if (!TableModified)
        return true;
    // What is checked is what is sent: edits made while the questions are open go with the
    // next save.
    const QList<table::Cells> rows = GridModel->rows();
    const QByteArray duplicate = table::FindDuplicateNst(rows);
    if (!duplicate.isEmpty()) {
        m_services.prompts.ask(QStringLiteral("Eintrag Ruf/Zi.Nummer ->  ") +
                                   wire::fromWire(duplicate) +
                                   QStringLiteral(" gibt es bereits.! "),
                               kCaption, mb::Ok | mb::IconQuestion);
        return false;
    }
    if (m_services.prompts.ask(QStringLiteral("Änderung Speichern ?"), kCaption, kQuestion) !=
        mb::IdOk)
        return true;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QByteArray number = table::trimmed(rows[i][table::Number]);
        const QByteArray old = table::trimmed(RowNst.at(i));
        if (number == old || table::chargesAreZero(rows[i][table::Charges]))
            continue;
        const QString question = QStringLiteral("Nst. ") + wire::fromWire(old) +
                                 QStringLiteral(" (") + wire::fromWire(number) +
                                 QStringLiteral(")  Gebühren löschen ? ");
        if (m_services.prompts.ask(question, kCaption, kQuestion) != mb::IdOk)
            continue;
        SendFrame = frames::clearCharges(old);
        Send(SendFrame);
        RowNst.at(i) = number;
        for (int round = 0; round < kPumpRounds; ++round)
            QCoreApplication::processEvents();
    }
    SaveFrame = frames::compose(frames::kSaveTable, table::saveBody(rows));
    Send(SaveFrame);
    return true;
}
