// The core object's steps that span its parts: the desktop's end of the program.
#include "FakeServices.h"
#include "FakeWindow.h"
#include "Files.h"
#include "MemoryWire.h"
#include "TableFixtures.h"
#include "core/Client.h"
#include "core/table/NummernModel.h"

#include <QTest>

using namespace fixtures;

namespace {

const QString kSaveQuestion = QStringLiteral("Änderung Speichern ?");
const QString kEndedUnsent =
    QStringLiteral("2026-12-07 21:30:00  Client beendet, ungesendete Änderungen nicht gesendet");

// Connected, a table loaded and a remark edited; nothing sent since.
struct Edited {
    FakeServices fake;
    FakeWindow window;
    MemoryWire* wire = new MemoryWire;
    Client client;

    explicit Edited(const QString& commandLineText = {})
        : client(wire, commandLineText, fake.services(), window) {
        client.start();
        wire->up();
        wire->table({tableLine("4711")});
        NummernModel& model = client.table().model();
        QVERIFY(model.setData(model.index(0, table::Remark), QStringLiteral("neu"), Qt::EditRole));
        wire->take();
    }
    QStringList journal() { return fileLines(client.journal().filePath()); }
};

} // namespace

class TestClient : public QObject {
    Q_OBJECT
private slots:
    // Nobody may be there: no box, not even about a settings file that cannot take our
    // entries, nothing sent; the placement kept (also when the session only asks for it), the
    // end on record once, a box it closed not acknowledged, no box after it.
    void theDesktopsEndAsksNothingAndSendsNothing() {
        Edited c(QStringLiteral("Haus]2")); // names no section
        const auto kept = [&] { return c.fake.store.writesTo.value("Position/LeftHaus]2"); };
        c.client.desktopMayEnd();
        QCOMPARE(kept(), 1);
        c.wire->answer("\n\r17\n\r");
        c.fake.prompts.whileOpen = [&](const ScriptedPrompts::Box&) {
            c.client.desktopEnds();
            c.client.desktopEnds(); // a second signal
        };
        QCoreApplication::processEvents(); // the alarm shows from a posted event
        c.wire->down();                    // the link goes with the window
        QCOMPARE(c.window.ended, 1);
        QCOMPARE(kept(), 2);
        QCOMPARE(c.wire->take(), QList<QByteArray>{});
        QCOMPARE(c.journal().last(), kEndedUnsent);
        QCOMPARE(c.journal().filter("Client beendet").size(), 1);
        for (int tick = 0; tick < 2; ++tick)
            c.client.watch().Timer1Timer();
        QCOMPARE(c.fake.prompts.texts(), QStringList{"Alarm von Nst. 17"});
    }

    // An error outside a save is told, and the end offers the unsent edits first; the run is
    // on record from its start to its end.
    void anErrorOffersTheEditsBeforeTheEnd() {
        Edited c;
        c.client.AppException(QStringLiteral("Fehler"));
        QCOMPARE(c.fake.prompts.texts(), (QStringList{"Fehler", kSaveQuestion}));
        QCOMPARE(c.wire->take(), QList<QByteArray>{sdat({record("4711", "", "", "neu")})});
        QCOMPARE(c.window.ended, 1);
        QCOMPARE(c.journal(), (QStringList{"2026-12-07 21:30:00  Client gestartet",
                                           "2026-12-07 21:30:00  Verbindung zum Server hergestellt",
                                           "2026-12-07 21:30:00  Client beendet"}));
    }

    // A save asking its questions is let finish, and an end asked for meanwhile follows it:
    // the desktop's and an error's whatever the outcome (a quit confirmed as well does not
    // weaken them), a quit's only after a sent save, for a refused one leaves edits to mend.
    void anEndAskedForDuringASaveWaitsForIt_data() {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<bool>("ends");
        QTest::newRow("desktop, sent") << "desktop" << false << true;
        QTest::newRow("desktop and quit, link lost") << "desktop quit" << true << true;
        QTest::newRow("quit, sent") << "quit" << false << true;
        QTest::newRow("quit, link lost") << "quit" << true << false;
        QTest::newRow("error, link lost") << "error" << true << true;
    }
    void anEndAskedForDuringASaveWaitsForIt() {
        QFETCH(QString, meanwhile);
        QFETCH(bool, refused);
        QFETCH(bool, ends);
        Edited c;
        c.fake.prompts.whileOpen = [&](const ScriptedPrompts::Box& box) {
            if (box.text != kSaveQuestion)
                return;
            if (meanwhile.startsWith("desktop")) {
                c.client.desktopEnds();
                c.client.desktopEnds();
            }
            if (refused)
                c.wire->down();
            if (meanwhile.endsWith("quit"))
                c.client.B1Click();
            if (meanwhile == "error")
                c.client.AppException(QStringLiteral("kaputt"));
            QCOMPARE(c.window.ended, 0);
        };
        QCOMPARE(c.client.SaveSettingsAndTable(), !refused);
        QCOMPARE(c.window.ended, ends ? 1 : 0);
        QCOMPARE(c.window.broughtForward, ends ? 0 : 1); // the edits to mend are in view
        if (!ends)
            return;
        QCOMPARE(c.wire->take(), refused
                                     ? QList<QByteArray>{}
                                     : QList<QByteArray>{sdat({record("4711", "", "", "neu")})});
        QCOMPARE(c.journal().last(),
                 refused ? kEndedUnsent : QStringLiteral("2026-12-07 21:30:00  Client beendet"));
    }
};

QTEST_GUILESS_MAIN(TestClient)
#include "test_client.moc"
