#include "link/Frames.h"
#include "sim/Requests.h"
#include "sim/TableLine.h"
#include "sim/TableStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray record(const QByteArray& number, const QByteArray& remark) {
    return number.leftJustified(20) + QByteArray("ALARM").leftJustified(20) +
           QByteArray("NOT").leftJustified(20) + remark.leftJustified(40);
}

QByteArray saveBody(const QList<QByteArray>& records) {
    QByteArray body;
    for (int i = 0; i < records.size(); ++i)
        body += QByteArray::number(i) + "\n\r" + records[i] + "\n\r";
    return body;
}

} // namespace

class TestSimStore : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_path;

    // A store on a fresh copy of the sample table.
    std::unique_ptr<TableStore> freshStore() {
        QFile::remove(m_path);
        auto store = std::make_unique<TableStore>(m_path);
        QString error;
        if (!store->open(&error))
            qFatal("%s", qPrintable(error));
        return store;
    }

private slots:
    void init() { m_path = m_dir.filePath(QStringLiteral("data/table.txt")); }

    void missingFileGetsTheSampleTable() {
        const auto store = freshStore();
        const auto& rows = store->rows();
        QCOMPARE(rows.size(), 41);
        QCOMPARE(rows.count(QByteArray()), 1);
        QSet<QByteArray> charges;
        int withoutRemark = 0;
        for (const QByteArray& row : rows) {
            if (row.isEmpty())
                continue;
            QCOMPARE(row.size(), tableline::kLineWidth);
            QVERIFY(!tableline::trimmed(tableline::number(row)).isEmpty());
            charges.insert(tableline::trimmed(tableline::charges(row)));
            withoutRemark += tableline::trimmed(row.mid(tableline::kRemarkAt)).isEmpty();
        }
        QVERIFY(charges.contains("12.50") && charges.contains("0.00") && charges.contains("0,00"));
        QVERIFY(withoutRemark > 0 && withoutRemark < 10);
        // Windows-1252 on disk, one row per line, and read back unchanged.
        const QByteArray file = readFile(m_path);
        QVERIFY(file.contains("Fr\xFChst\xFC"));
        QCOMPARE(file.count('\n'), 41);
        TableStore again(m_path);
        QString error;
        QVERIFY(again.open(&error));
        QCOMPARE(again.rows(), rows);
    }

    void saveReplacesNumbersAndRemarksButKeepsCharges() {
        const auto store = freshStore();
        const QList<QByteArray> before = store->rows();
        const QList<QByteArray> records{record("4711", "Empfang \xC4rzte"), record("", ""),
                                        record("0815", "")};
        QString message;
        QVERIFY(store->applySave(records, &message));
        for (int i = 0; i < records.size(); ++i) {
            const QByteArray& row = store->rows()[i];
            QCOMPARE(row.size(), tableline::kLineWidth);
            QCOMPARE(row.left(60), records[i].left(60));
            QCOMPARE(tableline::charges(row), tableline::charges(before[i]));
            QCOMPARE(row.mid(tableline::kRemarkAt), records[i].mid(60));
        }
        QCOMPARE(store->rows().mid(3), before.mid(3));
        // What memory holds is what a restart reads.
        TableStore again(m_path);
        QString error;
        QVERIFY(again.open(&error));
        QCOMPARE(again.rows(), store->rows());
    }

    void malformedSaveIsRejectedWhole_data() {
        QTest::addColumn<QByteArray>("body");
        const QByteArray good = record("4711", "x");
        QTest::newRow("short record") << saveBody({good, good.left(99)});
        QTest::newRow("long record") << saveBody({good + "x"});
        QTest::newRow("wrong index") << QByteArray("0\n\r" + good + "\n\r2\n\r" + good + "\n\r");
        QTest::newRow("index twice") << QByteArray("0\n\r" + good + "\n\r0\n\r" + good + "\n\r");
        QTest::newRow("non-numeric index") << QByteArray("x\n\r" + good + "\n\r");
        QTest::newRow("signed index") << QByteArray("+0\n\r" + good + "\n\r");
        QTest::newRow("leading zero") << QByteArray(saveBody({good}) + "01\n\r" + good + "\n\r");
        QTest::newRow("index without record") << QByteArray(saveBody({good}) + "1\n\r");
        QTest::newRow("no final line end") << saveBody({good}).chopped(2);
        QTest::newRow("line break in record") << saveBody({good.left(50) + "\n" + good.mid(51)});
        QByteArray tooMany;
        for (int i = 0; i < 42; ++i)
            tooMany += QByteArray::number(i) + "\n\r" + good + "\n\r";
        QTest::newRow("more rows than the table") << tooMany;
    }

    void malformedSaveIsRejectedWhole() {
        QFETCH(QByteArray, body);
        const auto store = freshStore();
        const QList<QByteArray> before = store->rows();
        const QByteArray file = readFile(m_path);
        QString why;
        const auto records = requests::parseSave(frames::compose(frames::kSaveTable, body), &why);
        QVERIFY(!records || !store->applySave(*records, &why));
        QVERIFY(!why.isEmpty());
        QCOMPARE(store->rows(), before);
        QCOMPARE(readFile(m_path), file);
    }

    void clearingChargesMatchesTrimmedNumbers() {
        const auto store = freshStore();
        const QByteArray untouched = store->rows()[2];
        QString message;
        // Two rows carry the number, one of them padded differently; both are cleared.
        QVERIFY(store->applySave({record("  4711", "a"), record("4711", "b"), record("47110", "c")},
                                 &message));
        const auto body = requests::parseClearCharges(frames::clearCharges("4711"), &message);
        QVERIFY(body);
        QVERIFY(store->clearCharges(*body, &message));
        QCOMPARE(tableline::charges(store->rows()[0]), "0.00  ");
        QCOMPARE(tableline::charges(store->rows()[1]), "0.00  ");
        QCOMPARE(tableline::charges(store->rows()[2]), tableline::charges(untouched));
        QCOMPARE(store->rows()[0].mid(tableline::kRemarkAt, 1), "a");

        // Unknown and empty numbers change nothing.
        const QByteArray file = readFile(m_path);
        QVERIFY(!store->clearCharges("999", &message));
        QVERIFY(!requests::parseClearCharges(frames::clearCharges(" "), &message));
        QVERIFY(!requests::parseClearCharges(
            frames::compose(frames::kClearCharges, "4711\n\r4712\n\r"), &message));
        QCOMPARE(readFile(m_path), file);
    }

    void chargesOfTheEmptyLineKeepTheRemarkColumn() {
        const auto store = freshStore();
        const qsizetype empty = store->rows().indexOf(QByteArray());
        QString message;
        QVERIFY(store->setCharges(empty, "12.50", &message));
        const QByteArray row = store->rows()[empty];
        QCOMPARE(row.size(), tableline::kLineWidth);
        QCOMPARE(tableline::charges(row), "12.50 ");
        QVERIFY(!store->setCharges(store->rows().size(), "1", &message));
        QVERIFY(!store->setCharges(0, "1234.56", &message));
    }

    void writeInterruptedBeforeRenameLeavesOldTable() {
        const auto store = freshStore();
        const QList<QByteArray> before = store->rows();
        const QByteArray file = readFile(m_path);
        QString tempName;
        store->file().setBeforeRename([&](const QString& name) {
            tempName = name;
            return false;
        });
        QString message;
        QVERIFY(!store->applySave({record("4711", "new")}, &message));
        // The new table reached the disk in full, beside the old one, which is untouched.
        QVERIFY(readFile(tempName).startsWith(record("4711", "").left(60)));
        QCOMPARE(readFile(tempName).count('\n'), before.size());
        QCOMPARE(readFile(m_path), file);
        QCOMPARE(store->rows(), before);
        TableStore restarted(m_path);
        QVERIFY(restarted.open(&message));
        QCOMPARE(restarted.rows(), before);

        store->file().setBeforeRename({});
        QVERIFY(store->applySave({record("4711", "new")}, &message));
        QVERIFY(readFile(m_path).startsWith("4711 "));
    }
};

QTEST_GUILESS_MAIN(TestSimStore)
#include "test_sim_store.moc"
