#include "TableFixtures.h"

#include <QApplication>
#include <QSignalSpy>

namespace {

const QString kCaption = QStringLiteral(" A C H T U N G ");
constexpr unsigned kQuestion = 0x121; // OK/Cancel, question icon, Cancel the default
const QString kSaveQuestion = QStringLiteral("Änderung Speichern ?");

QByteArray record(const QByteArray& number, const QByteArray& alarm = {},
                  const QByteArray& emergency = {}, const QByteArray& remark = {}) {
    return pad(number, 20) + pad(alarm, 20) + pad(emergency, 20) + pad(remark, 40);
}

QByteArray sdat(const QList<QByteArray>& records) {
    QByteArray f = "[___SDAT]\n\r";
    for (int i = 0; i < records.size(); ++i)
        f += QByteArray::number(i) + "\n\r" + records[i] + "\n\r";
    return f + "{_ENDE__}";
}

QByteArray gloe(const QByteArray& number) {
    return "[___GLOE]\n\r" + number + "\n\r{_ENDE__}";
}

} // namespace

class TestTableSave : public QObject {
    Q_OBJECT

    std::unique_ptr<WiredForm> w;

    TNummernForm& form() { return *w->form; }
    ScriptedPrompts& prompts() { return w->fakes.prompts; }
    QStringList texts() const {
        QStringList t;
        for (const auto& box : w->fakes.prompts.shown)
            t.append(box.text);
        return t;
    }
    void load(const QList<QByteArray>& lines) { form().LoadTable(tableFrame(lines)); }

private slots:
    void init() {
        w = std::make_unique<WiredForm>();
        QVERIFY(w->connect());
        form().show();
        QApplication::setActiveWindow(&form());
        QVERIFY(QTest::qWaitForWindowActive(&form()));
    }
    void cleanup() { w.reset(); }

    void onlyARemarkEditedSendsEveryRowAsItStands() {
        const QByteArray twenty = "12345678901234567890";
        load({tableLine("4711", "0815", "112", "  0.00", "Empfang"),
              tableLine("4712", "", "", " 12.50", "Zimmer 2"), tableLine(twenty, "1", "2", "")});
        QVERIFY(typeInto(form(), 1, table::Remark, "Zimmer 2 neu"));
        // Tab left an untouched editor on the 20-character number, which shows only 19.
        QVERIFY(form().NummernGrid->indexWidget(form().GridModel->index(2, table::Number)));

        QVERIFY(form().SaveSettingsAndTable());
        QCOMPARE(prompts().shown.size(), 1);
        QCOMPARE(prompts().shown[0].text, kSaveQuestion);
        QCOMPARE(prompts().shown[0].caption, kCaption);
        QCOMPARE(prompts().shown[0].flags, kQuestion);
        const QByteArray expected = "[___SDAT]\n\r"
                                    "0\n\r" +
                                    record("4711", "0815", "112", "Empfang") +
                                    "\n\r"
                                    "1\n\r" +
                                    record("4712", "", "", "Zimmer 2 neu") +
                                    "\n\r"
                                    "2\n\r" +
                                    twenty + record("", "1", "2").mid(20) + "\n\r{_ENDE__}";
        QCOMPARE(w->sent(), QList<QByteArray>{expected});
        QCOMPARE(form().SaveFrame, expected);
    }

    void changedNumbersWithoutChargesAskNothing() {
        load({tableLine("4711", "", "", "0,00"), tableLine("4712", "", "", " 0.00 "),
              tableLine("4713", "", "", "12.50")});
        QVERIFY(typeInto(form(), 0, table::Number, "1234567890123456789"));
        QVERIFY(typeInto(form(), 1, table::Number, "4799"));
        // Blanks around the same number are no change.
        QVERIFY(typeInto(form(), 2, table::Number, " 4713 "));
        QVERIFY(form().SaveSettingsAndTable());
        QCOMPARE(texts(), QStringList{kSaveQuestion});
        QCOMPARE(w->sent(), QList<QByteArray>{sdat({"1234567890123456789 " + record("").mid(20),
                                                    record("4799"), record(" 4713 ")})});
        QCOMPARE(form().RowNst[0], QByteArray("4711"));
    }

    void chargesAreClearedOnlyWhereTheOperatorAgrees() {
        load({tableLine("4711", "", "", "12.50"), tableLine("4800"),
              tableLine("4900", "", "", "  3,00")});
        QVERIFY(typeInto(form(), 0, table::Number, "4712"));
        QVERIFY(typeInto(form(), 1, table::Number, "4801"));
        QVERIFY(typeInto(form(), 2, table::Number, "4901"));
        prompts().answers = {mb::IdOk, mb::IdOk, mb::IdCancel, mb::IdOk};
        QVERIFY(form().SaveSettingsAndTable());
        QCOMPARE(texts(), (QStringList{kSaveQuestion, "Nst. 4711 (4712)  Gebühren löschen ? ",
                                       "Nst. 4800 (4801)  Gebühren löschen ? ",
                                       "Nst. 4900 (4901)  Gebühren löschen ? "}));
        for (const auto& box : prompts().shown) {
            QCOMPARE(box.caption, kCaption);
            QCOMPARE(box.flags, kQuestion);
        }
        const QByteArray table = sdat({record("4712"), record("4801"), record("4901")});
        QCOMPARE(w->sent(), (QList<QByteArray>{gloe("4711"), gloe("4900"), table}));
        QCOMPARE(form().RowNst[0], QByteArray("4712"));
        QCOMPARE(form().RowNst[1], QByteArray("4800"));

        // The declined row is asked about again; the cleared ones are settled.
        prompts().shown.clear();
        QVERIFY(form().TableModified);
        QVERIFY(form().SaveSettingsAndTable());
        QCOMPARE(texts(), (QStringList{kSaveQuestion, "Nst. 4800 (4801)  Gebühren löschen ? "}));
        QCOMPARE(w->sent(), (QList<QByteArray>{gloe("4800"), table}));
    }

    void numberTypedIntoTheEmptyRowBeforeAnyTable() {
        QVERIFY(typeInto(form(), 0, table::Number, "4711"));
        QVERIFY(form().SaveSettingsAndTable());
        QCOMPARE(texts(), (QStringList{kSaveQuestion, "Nst.  (4711)  Gebühren löschen ? "}));
        QCOMPARE(w->sent(), (QList<QByteArray>{gloe(""), sdat({record("4711")})}));
    }

    void duplicateNumbersRefuseTheSave_data() {
        QTest::addColumn<QString>("twin");
        QTest::newRow("exclamation") << QStringLiteral("!4711");
        QTest::newRow("with name") << QStringLiteral("4711 Empfang");
    }
    void duplicateNumbersRefuseTheSave() {
        QFETCH(QString, twin);
        load({tableLine("4711"), tableLine("4800", "", "", "12.50")});
        QVERIFY(typeInto(form(), 1, table::Number, twin));
        QVERIFY(!form().SaveSettingsAndTable());
        QCOMPARE(prompts().shown.size(), 1);
        QCOMPARE(prompts().shown[0].text,
                 QStringLiteral("Eintrag Ruf/Zi.Nummer ->  4711 gibt es bereits.! "));
        QCOMPARE(prompts().shown[0].caption, kCaption);
        QCOMPARE(prompts().shown[0].flags, 0x20u);
        QCOMPARE(w->sent(), QList<QByteArray>{});
        QVERIFY(form().TableModified);
        QCOMPARE(form().GridModel->cell(1, table::Number), twin.toLatin1());

        // Quitting with the refused table keeps the program and the edits.
        QSignalSpy terminate(&form(), &TNummernForm::terminateRequested);
        form().hide();
        form().B1Click();
        QCOMPARE(terminate.count(), 0);
        QVERIFY(form().isVisible());
        QCOMPARE(form().GridModel->cell(1, table::Number), twin.toLatin1());
    }

    void declinedOrUneditedSaveSendsNothing() {
        load({tableLine("4711", "", "", "12.50")});
        QVERIFY(form().SaveSettingsAndTable());
        QVERIFY(prompts().shown.isEmpty());

        QVERIFY(typeInto(form(), 0, table::Number, "4712"));
        prompts().answers = {mb::IdCancel};
        QVERIFY(form().SaveSettingsAndTable());
        QCOMPARE(texts(), QStringList{kSaveQuestion});
        QCOMPARE(w->sent(), QList<QByteArray>{});
    }

    void umlautsSurviveLoadEditAndSave() {
        load({tableLine("4711", "", "", "0.00", "Geb\xFChr"),
              tableLine("4712", "", "", "0.00", "alt")});
        QVERIFY(typeInto(form(), 0, table::Alarm, "0815"));
        QVERIFY(typeInto(form(), 1, table::Remark, QStringLiteral("Küche, Gebühr €")));
        QVERIFY(form().SaveSettingsAndTable());
        QCOMPARE(w->sent(), QList<QByteArray>{sdat({record("4711", "0815", "", "Geb\xFChr"),
                                                    record("4712", "", "",
                                                           "K\xFC"
                                                           "che, Geb\xFChr \x80")})});
    }

    void textInAnOpenEditorGoesWithTheSave() {
        load({tableLine("4711", "", "", "0.00", "alt")});
        QVERIFY(typeInto(form(), 0, table::Remark, "neu", Leave::EditorOpen));
        QVERIFY(form().SaveSettingsAndTable());
        QCOMPARE(w->sent(), QList<QByteArray>{sdat({record("4711", "", "", "neu")})});
    }

    void tablesAndSavesArrivingDuringASaveWait() {
        const QList<QByteArray> b{tableLine("100"), tableLine("200")};
        const QList<QByteArray> c{tableLine("300", "", "", "", "neueste")};
        load({tableLine("4711", "", "", "12.50", "alt"), tableLine("20", "", "", "0.00")});
        QVERIFY(typeInto(form(), 0, table::Number, "4712"));
        QVERIFY(typeInto(form(), 0, table::Remark, "neu"));
        bool nested = false;
        prompts().whileOpen = [&](const ScriptedPrompts::Box& box) {
            if (box.text == kSaveQuestion) {
                form().dispatchFrame(tableFrame(b));
                form().NummernGridDblClick(1);
                nested = form().SaveSettingsAndTable();
            } else {
                form().dispatchFrame(tableFrame(c));
            }
        };
        QVERIFY(form().SaveSettingsAndTable());
        prompts().whileOpen = nullptr;
        QVERIFY(nested);
        // One question each: the save inside the save asked nothing and sent nothing.
        QCOMPARE(texts(), (QStringList{kSaveQuestion, "Nst. 4711 (4712)  Gebühren löschen ? "}));
        QCOMPARE(
            w->sent(),
            (QList<QByteArray>{gloe("4711"), sdat({record("4712", "", "", "neu"), record("20")})}));
        // Then the newest table replaces the grid.
        QCOMPARE(form().TableLines, c);
        QCOMPARE(form().GridModel->rowCount(), 1);
        QCOMPARE(form().RowNst[0], QByteArray("300"));
        QVERIFY(!form().TableModified);
    }
};

QTEST_MAIN(TestTableSave)
#include "test_table_save.moc"
