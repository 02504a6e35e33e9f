#pragma once

#include "FakeServices.h"
#include "link/FrameReader.h"
#include "link/Frames.h"
#include "table/NummernModel.h"
#include "table/TableLines.h"

#include <QLineEdit>
#include <QTableView>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <memory>

// Table lines and frames written out by hand, so that tests state the bytes they expect.
inline QByteArray pad(const QByteArray& text, int width) {
    return text.leftJustified(width, ' ', true);
}

// A received line: number, alarm, emergency, charges, remark at their columns.
inline QByteArray tableLine(const QByteArray& number, const QByteArray& alarm = {},
                            const QByteArray& emergency = {}, const QByteArray& charges = {},
                            const QByteArray& remark = {}) {
    return pad(number, 20) + pad(alarm, 20) + pad(emergency, 20) + pad(charges, 6) + remark;
}

inline QByteArray tableFrame(const QList<QByteArray>& lines) {
    QByteArray body;
    for (const QByteArray& l : lines)
        body += frames::line(l);
    return frames::compose(frames::kTable, body);
}

enum class Leave { WithTab, EditorOpen };

// Opens the cell's editor as the operator does, types the text over what it shows and
// leaves the cell with Tab (or leaves the editor open). Characters beyond ASCII, which
// QTest cannot spell as keys, arrive as key events carrying their text.
inline bool typeInto(TNummernForm& form, int row, table::Field field, const QString& text,
                     Leave leave = Leave::WithTab) {
    const QModelIndex index = form.GridModel->index(row, field);
    form.NummernGrid->setCurrentIndex(index);
    form.NummernGrid->edit(index);
    auto* editor = qobject_cast<QLineEdit*>(form.NummernGrid->indexWidget(index));
    if (!editor)
        return false;
    editor->selectAll();
    if (text.isEmpty())
        QTest::keyClick(editor, Qt::Key_Backspace);
    for (QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClick(editor, char(c.unicode()));
        } else {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QCoreApplication::sendEvent(editor, &press);
        }
    }
    if (leave == Leave::WithTab)
        QTest::keyClick(editor, Qt::Key_Tab);
    return true;
}

// A form whose socket is connected to a server socket of the test on 127.0.0.1. Its timers
// are stopped, so only what the test causes goes over the wire.
struct WiredForm {
    FakeServices fakes;
    std::unique_ptr<TNummernForm> form;
    QTcpServer server;
    QTcpSocket* peer = nullptr;
    FrameReader reader;

    bool connect() {
        form = std::make_unique<TNummernForm>(QString(), fakes.services());
        form->Timer1.stop();
        // The form set out for the configured server at once; send it to ours instead.
        form->ClientZuServer.abort();
        if (!server.listen(QHostAddress::LocalHost, 0))
            return false;
        form->ClientZuServer.connectToHost(QHostAddress::LocalHost, server.serverPort());
        if (!QTest::qWaitFor([&] { return form->Connected && server.hasPendingConnections(); }))
            return false;
        form->Timer2.stop();
        peer = server.nextPendingConnection();
        return peer != nullptr;
    }

    // Everything the form sent since the last call, as frames. A heartbeat sent last marks
    // the end, so "nothing was sent" is known without waiting for a time-out.
    QList<QByteArray> sent() {
        form->Send(frames::heartbeat());
        QList<QByteArray> got;
        const bool marked = QTest::qWaitFor([&] {
            got += reader.feed(peer->readAll());
            return !got.isEmpty() && got.last() == frames::heartbeat();
        });
        if (marked)
            got.removeLast();
        else
            got.append("no marker received");
        return got;
    }
};
