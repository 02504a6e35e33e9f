#pragma once

#include "FakeServices.h"
#include "LoopbackPeer.h"
#include "RufNum/RufNum.h"
#include "TableFixtures.h"
#include "table/NummernModel.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <memory>

namespace window_test {

inline const QString kSaveQuestion = QStringLiteral("Änderung Speichern ?");
inline const QString kSilent = QStringLiteral("Torvanel Server meldet sich nicht !");

inline void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// The client with its settings file pointing at a peer of the test on 127.0.0.1.
struct Window {
    FakeServices fake;
    LoopbackPeer peer;
    std::unique_ptr<TNummernForm> form;

    QString ini() const { return fake.programDir.filePath(QStringLiteral("TorvanelClient.ini")); }
    void start(const QByteArray& moreSettings = {}, const QString& text = {}) {
        writeAll(ini(), "[UDPLink" + text.toUtf8() +
                            "]\nH_Port=" + QByteArray::number(peer.port()) + "\n" + moreSettings);
        form = std::make_unique<TNummernForm>(text, fake.services());
    }
    // Connected, the table asked for and loaded; the peer has seen nothing since.
    bool load(const QList<QByteArray>& lines) {
        if (!peer.waitForClient() ||
            !QTest::qWaitFor([this] { return peer.frames.contains(frames::tableRequest()); }))
            return false;
        peer.send(fixtures::tableFrame(lines));
        if (!QTest::qWaitFor([&] { return model().rowCount() == lines.size(); }))
            return false;
        QTest::qWait(30); // requests already on their way
        peer.frames.clear();
        return true;
    }
    // Frames sent since the last call; the table request of a click on the tray icon ends them.
    QList<QByteArray> sent() {
        form->TrayIconMessage(QSystemTrayIcon::Trigger);
        return peer.framesBefore(frames::tableRequest());
    }

    template <typename T> T* child(const char* name) const {
        return form->findChild<T*>(QString::fromLatin1(name));
    }
    QTableView* grid() const { return child<QTableView>("NummernGrid"); }
    QString label(const char* name) const { return child<QLabel>(name)->text(); }
    NummernModel& model() const { return *static_cast<NummernModel*>(grid()->model()); }
    QModelIndex at(int row, table::Field f) const { return model().index(row, f); }
    QColor gridColor() const { return grid()->palette().color(QPalette::Base); }
    bool inTray() const { return !form->isVisible() || form->isMinimized(); }

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
    bool startWith(const QList<QByteArray>& lines, const QByteArray& moreSettings = {}) {
        start(moreSettings);
        showActive();
        return load(lines);
    }
    void dropLink() {
        peer.socket->disconnectFromHost();
        QTRY_COMPARE(label("Label2"), QStringLiteral(" kein Server! 127.0.0.1"));
    }
    QLineEdit* editorAt(int row, table::Field field) const {
        return qobject_cast<QLineEdit*>(grid()->indexWidget(at(row, field)));
    }
    void showActive() {
        form->show();
        QApplication::setActiveWindow(form.get());
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        grid()->setFocus();
    }
};

} // namespace window_test
