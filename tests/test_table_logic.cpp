#include "TableFixtures.h"
#include "link/Frames.h"
#include "table/EditMask.h"
#include "table/TableLines.h"
#include "table/TableRecord.h"
#include "table/TableSort.h"

#include <QTest>

using table::Cells;

namespace {

Cells cells(const QByteArray& number) {
    return Cells{number, {}, {}, "0.00", {}};
}

} // namespace

class TestTableLogic : public QObject {
    Q_OBJECT
private slots:
    void parseKeepsLinesAsSent() {
        const QByteArray full = tableLine("  4711", "0815", "112", " 12.50",
                                          "K\xFC"
                                          "che");
        const auto lines = table::parseTableFrame(tableFrame({full, "", "4712"}));
        QCOMPARE(lines, (QList<QByteArray>{full, "  ", "4712"}));
        QCOMPARE(table::field(full, table::Number), pad("  4711", 20));
        QCOMPARE(table::trimmed(table::field(full, table::Number)), QByteArray("4711"));
        QCOMPARE(table::field(full, table::Charges), QByteArray(" 12.50"));
        QCOMPARE(table::parseTableFrame(frames::compose(frames::kTable)), QList<QByteArray>{});
    }

    void shortAndLongLinesGiveShortOrEmptyFields() {
        const QByteArray l66 = tableLine("1", "2", "3", "0.00");
        QCOMPARE(l66.size(), 66);
        QCOMPARE(table::field(l66, table::Remark), QByteArray());
        const QByteArray l63 = l66.left(63);
        QCOMPARE(table::field(l63, table::Charges), l66.mid(60, 3));
        QCOMPARE(table::field(l63, table::Remark), QByteArray());
        // Beyond position 106 nothing is shown.
        const QByteArray l500 = tableLine("1", "", "", "", QByteArray(440, 'x'));
        QCOMPARE(table::field(l500, table::Remark), QByteArray(40, 'x'));
        // All bytes, the control characters included, stay in their field.
        QByteArray bytes;
        for (int b = 0; b < 256; ++b)
            if (b != '\n')
                bytes.append(char(b));
        QCOMPARE(table::parseTableFrame(tableFrame({bytes})), QList<QByteArray>{bytes});
    }

    void atMost120LinesAndBrokenBodiesEnd() {
        QList<QByteArray> many;
        for (int i = 0; i < 125; ++i)
            many.append(QByteArray::number(i));
        const auto lines = table::parseTableFrame(tableFrame(many));
        QCOMPARE(lines.size(), 120);
        QCOMPARE(lines.last(), QByteArray("119"));
        // No line ends at all, or CR LF instead of LF CR: 120 passes and done.
        QCOMPARE(table::parseTableFrame("[___D_IN]4711{_ENDE__}"), QList<QByteArray>(120, "  "));
        const auto crlf = table::parseTableFrame("[___D_IN]\r\n4711\r\n{_ENDE__}");
        QCOMPARE(crlf.size(), 120);
        QCOMPARE(crlf.first(), QByteArray("\r"));
        // A frame cut short right after its tag, or before it.
        QCOMPARE(table::parseTableFrame("[___D_IN]").size(), 120);
        QCOMPARE(table::parseTableFrame("[___").size(), 120);
    }

    void sortKeysFoldOnlyAsciiLettersAndEmptyGoesLast() {
        QList<QByteArray> lines{tableLine("20"), tableLine(""), tableLine("100"), tableLine("abc")};
        table::sortLines(lines, table::CompareByNumber);
        QCOMPARE(lines, (QList<QByteArray>{tableLine("100"), tableLine("20"), tableLine("abc"),
                                           tableLine("")}));

        QVERIFY(table::compareKeys("abc", "ABC") == 0);
        QVERIFY(table::compareKeys("ab", "abc") < 0);
        QVERIFY(table::compareKeys("ZZZ", "ZZZA") < 0);
        // 'ä' (0xE4) is not folded to 'Ä' (0xC4); bytes above 127 compare unsigned.
        QVERIFY(table::compareKeys("\xE4", "\xC4") > 0);
        QVERIFY(table::compareKeys("\xC4", "z") > 0);
        // '_' (0x5F) lies between the upper and the lower case letters; folded, every letter
        // sorts before it.
        QVERIFY(table::compareKeys("_", "a") > 0);
        QVERIFY(table::compareKeys("_", "A") > 0);
        QVERIFY(table::compareKeys("_", "{") < 0);
    }

    void duplicateNumberKeys() {
        QCOMPARE(table::FindDuplicateNst({cells(" 4711\t"), cells("!4711")}), QByteArray("4711"));
        // Empty keys are never twins; case counts; alarm numbers may repeat.
        QCOMPARE(
            table::FindDuplicateNst({cells(""), cells("!"), cells("  "), cells("a"), cells("A"),
                                     Cells{"1", "9", "9", "", ""}, Cells{"2", "9", "9", "", ""}}),
            QByteArray());
        // The topmost row with a later twin decides, not the first pair found further down.
        QCOMPARE(table::FindDuplicateNst({cells("7"), cells("5"), cells("5"), cells("7 Empfang")}),
                 QByteArray("7"));
    }

    void editMasksRefuseBreaksAndToleratePresentText() {
        int pos = 0;
        // Line breaks and other controls would tear the save frame apart.
        table::EditMaskValidator remark(*table::NummernGridGetEditMask(table::Remark), QString());
        for (QString t : {QStringLiteral("a\nb"), QStringLiteral("\t"), QStringLiteral("a\r")})
            QCOMPARE(remark.validate(t, pos), QValidator::Invalid);
        // A server text with letters in an alarm cell stays editable: letters can be removed,
        // digits added, but no further letter typed.
        table::EditMaskValidator alarm(*table::NummernGridGetEditMask(table::Alarm), "12ab");
        for (QString t : {QStringLiteral("12a"), QStringLiteral("912ab"), QStringLiteral("")})
            QCOMPARE(alarm.validate(t, pos), QValidator::Acceptable);
        QString more = "12abc";
        QCOMPARE(alarm.validate(more, pos), QValidator::Invalid);
    }
};

QTEST_GUILESS_MAIN(TestTableLogic)
#include "test_table_logic.moc"
