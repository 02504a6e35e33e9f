#pragma once

#include "FakeServices.h"
#include "Files.h"
#include "LoopbackPeer.h"
#include "RufNum/RufNum.h"
#include "TableFixtures.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <memory>

namespace window_test {

// The client with its settings file pointing at a peer of the test on 127.0.0.1.
struct Window {
    FakeServices fake;
    LoopbackPeer peer;
    std::unique_ptr<TNummernForm> form;

    QString ini() const { return fake.programDir.filePath(QStringLiteral("TorvanelClient.ini")); }
    void start() {
        writeFile(ini(), "[UDPLink]\nH_Port=" + QByteArray::number(peer.port()) + "\n");
        form = std::make_unique<TNummernForm>(QString(), fake.services());
    }
    // Connected, the table asked for and loaded; the peer has seen nothing since.
    bool load(const QList<QByteArray>& lines) {
        if (!peer.waitForClient() ||
            !QTest::qWaitFor([this] { return peer.frames.contains(frames::tableRequest()); }))
            return false;
        peer.send(fixtures::tableFrame(lines));
        const bool loaded =
            QTest::qWaitFor([&] { return grid()->model()->rowCount() == lines.size(); });
        QTest::qWait(30); // requests already on their way
        peer.frames.clear();
        return loaded;
    }
    // Frames sent since the last call; the table request of a left click on the tray icon, as
    // the desktop reports it, ends them.
    QList<QByteArray> sent() {
        clickTray();
        return peer.framesBefore(frames::tableRequest());
    }
    void clickTray() {
        emit form->findChild<QSystemTrayIcon*>()->activated(QSystemTrayIcon::Trigger);
    }

    template <typename T> T* child(const char* name) const {
        return form->findChild<T*>(QString::fromLatin1(name));
    }
    QTableView* grid() const { return child<QTableView>("NummernGrid"); }
    QModelIndex at(int row, table::Field f) const { return grid()->model()->index(row, f); }

    // Types over the cell; key events carry only their text, QTest has no keys beyond ASCII.
    bool typeInto(int row, table::Field field, const QString& text, bool thenTab = true) {
        grid()->setCurrentIndex(at(row, field));
        grid()->edit(at(row, field));
        QLineEdit* editor = editorAt(row, field);
        if (!editor)
            return false;
        editor->selectAll();
        for (QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QCoreApplication::sendEvent(editor, &press);
        }
        if (thenTab)
            QTest::keyClick(editor, Qt::Key_Tab);
        return true;
    }
    // Started and shown, with these lines loaded.
    bool startWith(const QList<QByteArray>& lines) {
        start();
        form->show();
        QApplication::setActiveWindow(form.get());
        grid()->setFocus();
        return QTest::qWaitForWindowActive(form.get()) && load(lines);
    }
    QLineEdit* editorAt(int row, table::Field field) const {
        return qobject_cast<QLineEdit*>(grid()->indexWidget(at(row, field)));
    }
};

} // namespace window_test
