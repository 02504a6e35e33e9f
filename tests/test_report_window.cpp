// The report window over a journal written by hand, its exports, and how it is opened.
#include "Files.h"
#include "Pictures.h"
#include "RufNum/TorvanelApplication.h"
#include "RufNum/report/AlarmPdf.h"
#include "RufNum/report/AlarmTableModel.h"
#include "RufNum/report/AlarmsTab.h"
#include "RufNum/report/ChangesTab.h"
#include "RufNum/report/FileExport.h"
#include "RufNum/report/PeriodChoice.h"
#include "RufNum/report/ReportChart.h"
#include "RufNum/report/ReportTexts.h"
#include "RufNum/report/ReportWidgets.h"
#include "RufNum/report/ReportWindow.h"
#include "WindowFixture.h"

#include <QAccessible>
#include <QBuffer>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDir>
#include <QMenu>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSpinBox>
#include <QSplitter>

using namespace window_test;

namespace {

const QDateTime kNow(QDate(2026, 12, 7), QTime(21, 30));

void append(const QString& path, const QStringList& lines) {
    writeFile(path, (lines.join('\n') + '\n').toUtf8(), QIODevice::Append);
}

// A night and a day: 17 acknowledged in the evening, 21 late at night around a silent server
// and a client that was not running, 30 never acknowledged, and 17 again tonight, standing and
// never acknowledged; a line the report does not know, and one not in the form of a record.
const QStringList kJournal{"2026-12-06 17:00:00  Client gestartet",
                           "2026-12-06 22:10:00  Alarm von Nst. 17",
                           "2026-12-06 22:10:12  Alarm von Nst. 17 quittiert nach 12 s",
                           "2026-12-06 22:14:00  Alarm von Nst. 17 vom Server beendet",
                           "2026-12-07 02:00:00  Server meldet sich nicht",
                           "2026-12-07 02:05:00  Server meldet sich wieder",
                           "2026-12-07 03:30:00  Alarm von Nst. 21",
                           "2026-12-07 03:31:35  Alarm von Nst. 21 quittiert nach 95 s",
                           "2026-12-07 03:40:00  Alarm von Nst. 21 vom Server beendet",
                           "2026-12-07 04:00:00  Alarm von Nst. 30",
                           "2026-12-07 04:01:00  Alarm von Nst. 30 vom Server beendet",
                           "2026-12-07 05:00:00  Neuigkeit",
                           "2026-12-07 06:00:00  Client beendet",
                           "2026-12-07 07:00:00  Client gestartet",
                           "2026-12-07 12:00:00  Verbindung zum Server verloren",
                           "2026-12-07 12:01:00  Verbindung zum Server hergestellt",
                           "2026-12-07 20:00:00  Alarm von Nst. 17",
                           "kaputt"};

struct Report {
    ScriptedPrompts prompts;
    QTemporaryDir dir;
    QString journal = dir.filePath("Alarme.txt");
    QDateTime now = kNow;
    ReportWindow window{"Haus2", journal, dir.filePath("Aenderungen.txt"), prompts,
                        [this] { return now; }};
    QString chosen; // the file the next export writes

    Report() {
        append(journal, kJournal);
        window.setChooseFile(
            [this](QWidget*, const QString&, const QString&, const QString&) { return chosen; });
        window.open();
    }
    // On the alarms' tab; the window's own button is found from there too.
    template <typename T> T* child(const char* name) const {
        const QString n = QString::fromLatin1(name);
        T* found = window.findChild<AlarmsTab*>()->findChild<T*>(n);
        return found ? found : window.findChild<T*>(n);
    }
    AlarmTableModel& alarms() const {
        return *static_cast<AlarmTableModel*>(child<QTableView>("alarms")->model());
    }
    QString summary() const { return child<QLabel>("summary")->text(); }
    void exportAs(const QString& path, const char* button) {
        chosen = path;
        child<QPushButton>(button)->click();
    }
};

// The cells of some of a table's columns, a row to a line.
QStringList cells(const QAbstractItemModel& model, const QList<int>& columns) {
    QStringList rows;
    for (int r = 0; r < model.rowCount(); ++r) {
        QStringList row;
        for (int c : columns)
            row << model.index(r, c).data().toString();
        rows << row.join(" | ");
    }
    return rows;
}

#ifndef Q_OS_WIN // poppler-utils is a Debian package
// What a reader of the file gets: the text of each page, or the document's information.
QString poppler(const char* tool, const QStringList& arguments) {
    QProcess reader;
    reader.start(tool, arguments);
    if (!reader.waitForFinished())
        qFatal("%s (poppler-utils) is missing", tool);
    return QString::fromUtf8(reader.readAllStandardOutput());
}
QStringList pdfText(const QString& path) {
    return poppler("pdftotext", {path, "-"}).split('\f', Qt::SkipEmptyParts);
}
// The first page as a reader's screen shows it, a pixel per point.
QImage firstPage(const QString& path) {
    QTemporaryDir dir;
    poppler("pdftoppm", {"-r", "72", "-png", "-singlefile", "-l", "1", path, dir.filePath("p")});
    return QImage(dir.filePath("p.png"));
}
#endif

int pdfPages(const QByteArray& pdf) {
    return int(pdf.count("/Type /Page\n") + pdf.count("/Type /Page "));
}

} // namespace

class TestReportWindow : public QObject {
    Q_OBJECT
private slots:
    // Today by default; the period, the extension and the limit each change rows and summary.
    void theAlarmsFollowTheFilters() {
        Report r;
        QCOMPARE(r.window.windowTitle(), QStringLiteral("Alarmprotokoll – Haus2"));
        QCOMPARE(r.alarms().headerData(0, Qt::Horizontal), QVariant("Nst."));
        const auto data = [&](int row, int column, int role) {
            return r.alarms().index(row, column).data(role);
        };
        // Late or never acknowledged: said in the time's cell (the colours are the picture's).
        QCOMPARE((QVariantList{data(0, 2, Qt::ToolTipRole), data(1, 2, Qt::ToolTipRole)}),
                 (QVariantList{"Später quittiert als nach 60 s.", "Nie quittiert."}));
        QCOMPARE(r.child<QLabel>("problems")->text(),
                 QStringLiteral("2 Zeilen in unbekannter Form übersprungen."));

        QAbstractItemModel& periods = *r.child<QTableView>("periods")->model();
        QCOMPARE(cells(periods, {0, 2}).value(2),
                 "Keine Verbindung zum Server | 07.12.2026 12:01:00"); // the link back
        // Period, extension, limit → the periods shown, the extensions shown · the summary.
        const std::tuple<int, const char*, int, int, const char*> steps[] = {
            {0, "", 60, 3,
             "21 30 17 · 3 Alarme · quittiert nach min. 1 min 35 s, Median 1 min 35 s, max. 1 min "
             "35 s · 3 nicht binnen 60 s quittiert · 2 nie quittiert"},
            {1, "", 60, 2,
             "17 21 30 · 3 Alarme · quittiert nach min. 12 s, Median 53 s, max. 1 min 35 s · 2 "
             "nicht binnen 60 s quittiert · 1 nie quittiert"},
            {1, "17", 60, 2,
             "17 · 1 Alarm · quittiert nach min. 12 s, Median 12 s, max. 12 s · 0 nicht binnen 60 "
             "s quittiert · 0 nie quittiert"},
            {1, "17", 10, 2,
             "17 · 1 Alarm · quittiert nach min. 12 s, Median 12 s, max. 12 s · 1 nicht binnen 10 "
             "s quittiert · 0 nie quittiert"}};
        for (const auto& [period, nst, limit, shownPeriods, shown] : steps) {
            r.child<QComboBox>("period")->setCurrentIndex(period);
            r.child<QLineEdit>("nst")->setText(nst);
            r.child<QSpinBox>("limit")->setValue(limit);
            QCOMPARE(periods.rowCount(), shownPeriods);
            QCOMPARE(cells(r.alarms(), {0}).join(' ') + " · " + r.summary(), shown);
        }
        r.child<QSpinBox>("limit")->setValue(12); // acknowledged exactly at the limit: in time
        QCOMPARE(r.alarms().index(0, AlarmTableModel::AcknowledgedAfter).data(Qt::ToolTipRole),
                 QVariant());
        QCOMPARE(cells(periods, {0, 2}),
                 (QStringList{"Server meldet sich nicht | 07.12.2026 02:05:00",
                              "Client nicht aktiv | 07.12.2026 07:00:00"}));

        auto* from = r.child<QDateTimeEdit>("from");
        auto* to = r.child<QDateTimeEdit>("to");
        QCOMPARE(to->dateTime(), QDateTime(QDate(2026, 12, 7), QTime(8, 0)));
        QCOMPARE((QList<bool>{from->isEnabled(), to->isEnabled()}), (QList<bool>{false, false}));
        r.child<QComboBox>("period")->setCurrentIndex(3); // from-to, starting from last night
        QCOMPARE((QList<bool>{from->isEnabled(), to->isEnabled()}), (QList<bool>{true, true}));
        const auto barsShown = [&] { // the chart's bars in the window, in their colour
            const QImage shown =
                r.window.findChild<ReportChart*>()->grab().toImage().convertToFormat(
                    QImage::Format_RGB32);
            const auto* pixels = reinterpret_cast<const QRgb*>(shown.constBits());
            return std::count(pixels, pixels + shown.sizeInBytes() / 4, qRgb(0x4a, 0x7e, 0xbb)) > 0;
        };
        QVERIFY(barsShown());
        from->setDateTime(QDateTime(QDate(2026, 12, 6), QTime(23, 0)));
        QVERIFY(!barsShown());
        QCOMPARE(r.alarms().rowCount(), 0);
        QCOMPARE(r.summary(), QStringLiteral("Keine Alarme im Zeitraum"));

        r.child<QLineEdit>("nst")->clear(); // "Heute" moves on with the clock at a refresh
        r.child<QComboBox>("period")->setCurrentIndex(0);
        QCOMPARE(r.alarms().rowCount(), 3);
        r.now = kNow.addDays(1);
        r.child<QPushButton>("refresh")->click();
        QCOMPARE(r.alarms().rowCount(), 0);
    }

    // Everything the operator reads or uses has a place of its own in the window.
    void nothingInTheReportLiesOverAnother() {
        Report r;
        QVERIFY(QTest::qWaitForWindowExposed(&r.window));
        const auto place = [&](QWidget* w) {
            return QRect(w->mapTo(&r.window, QPoint()), w->size());
        };
        const auto apart = [&](const QList<QWidget*>& parts) {
            for (int i = 0; i < parts.size(); ++i) {
                QVERIFY(parts[i]->isVisible());
                // Nor is any cut short: a part left out of the layouts keeps a default size.
                QCOMPARE(parts[i]->size().expandedTo(parts[i]->minimumSizeHint()),
                         parts[i]->size());
                for (int j = 0; j < i; ++j)
                    QVERIFY2(!place(parts[i]).intersects(place(parts[j])),
                             qPrintable(parts[i]->objectName() + " / " + parts[j]->objectName()));
            }
        };
#ifndef Q_OS_WIN // Wine's stand-in fonts are far wider than a desktop's
        QVERIFY(drawnAsKept(r.window.grab().toImage(), "report"));
        // It fits a screen 800 pixels wide, however long the summary.
        QCOMPARE_LE(r.window.minimumSizeHint().width(), 800);
#endif
        // Dragged as far as it goes, the splitter leaves each part whole.
        auto* split = r.window.findChild<QSplitter*>();
        split->setSizes({0, 1000, 0});
        QVERIFY(!split->sizes().contains(0));
        QList<QWidget*> parts{r.window.findChild<ReportChart*>()};
        for (const char* name : {"period", "from", "to", "refresh", "nst", "limit", "summary",
                                 "alarms", "periods", "problems", "csv", "pdf"})
            parts << r.child<QWidget>(name);
        apart(parts);
        auto* tabs = r.window.findChild<QTabWidget*>();
        QCOMPARE((QStringList{tabs->tabText(0), tabs->tabText(1)}),
                 (QStringList{"Alarme", "Änderungen"}));
        tabs->setCurrentIndex(1);
        parts = {r.child<QWidget>("refresh")};
        for (const char* name : {"count", "changes", "csv"})
            parts << r.window.findChild<ChangesTab*>()->findChild<QWidget*>(name);
        apart(parts);
    }

    // The shown rows as CSV; a PDF of one page, or of several for many alarms; a folder that
    // cannot be written is named and left without a file.
    void exportsWriteWholeFilesOrNone() {
        Report r;
        QTemporaryDir out;
        const auto exported = [&](const QString& name, const char* button) {
            r.exportAs(out.filePath(name), button);
            return fileBytes(out.filePath(name));
        };
        // One alarm and one period, the link lost at noon: each table in the PDF even then.
        r.child<QComboBox>("period")->setCurrentIndex(3);
        r.child<QDateTimeEdit>("from")->setDateTime(QDateTime(QDate(2026, 12, 7), QTime(11, 0)));
        r.child<QDateTimeEdit>("to")->setDateTime(QDateTime(QDate(2026, 12, 7), QTime(21, 0)));
        const QByteArray csv = exported("a.csv", "csv");
        QCOMPARE(r.alarms().rows().size(), 1);
        QCOMPARE(csv, report::alarmCsv(r.alarms().rows()));
        QCOMPARE(pdfPages(exported("a.pdf", "pdf")), 1);
#ifndef Q_OS_WIN
        const QString page = pdfText(out.filePath("a.pdf")).value(0);
        for (const char* part : {"Quittierungen", "Keine Verbindung zum Server",
                                 "Zeiten, in denen kein Alarm gemeldet werden konnte"})
            QVERIFY2(page.contains(part), part); // a table's title, its column titles and rows
        const QString info = poppler("pdfinfo", {out.filePath("a.pdf")});
        for (const char* line : {"^Title: +Alarmprotokoll – Haus2$", "^Creator: +TorvanelClient$"})
            QVERIFY2(info.contains(QRegularExpression(line, QRegularExpression::MultilineOption)),
                     line);
        QVERIFY(drawnAsKept(firstPage(out.filePath("a.pdf")), "report-pdf"));
#endif
        r.child<QComboBox>("period")->setCurrentIndex(0);

        QStringList many;
        for (int i = 0; i < 120; ++i)
            many << QStringLiteral("2026-12-07 08:00:00  Alarm von Nst. %1").arg(i);
        many << "2026-12-07 09:00:00  Alarm von Nst. " + QString(150, 'W'); // wider than a page
        append(r.journal, many);
        r.child<QPushButton>("refresh")->click();
        const int pages = pdfPages(exported("b.pdf", "pdf"));
        QVERIFY(pages > 2);
#ifndef Q_OS_WIN
        // The heading once, the column titles and the page's number on every page.
        const QStringList text = pdfText(out.filePath("b.pdf"));
        QCOMPARE(text.size(), pages);
        QVERIFY(text.last().contains("WWW…"));
        QVERIFY(text[0].contains("Alarmprotokoll – Haus2\nHeute: 07.12.2026 00:00 – 08.12.2026"));
        for (int page = 0; page < pages; ++page)
            for (const QString& part : {QStringLiteral("Quittierungen"), QStringLiteral("Dauer"),
                                        QString("Seite %1 von %2").arg(page + 1).arg(pages)})
                QVERIFY2(text[page].contains(part), qPrintable(part));
#endif

        QVERIFY(QFile(out.filePath("Datei")).open(QIODevice::WriteOnly));
        r.exportAs(out.filePath("Datei/c.pdf"), "pdf");
        const QStringList told = r.prompts.texts().value(0).split('\n');
        QCOMPARE(told.mid(0, 2),
                 (QStringList{"Die Datei kann nicht geschrieben werden:",
                              QDir::toNativeSeparators(out.filePath("Datei/c.pdf"))}));
        QCOMPARE(r.prompts.texts().size(), 1);
        QCOMPARE(told.size(), 3);
        QVERIFY(!told[2].isEmpty()); // and why, as the system says it
        QCOMPARE(QDir(out.path()).entryList(QDir::Files),
                 (QStringList{"a.csv", "a.pdf", "b.pdf", "Datei"}));

        FileExport files(r.prompts); // a write that fails half-way leaves the old file
        files.setChooseFile([&](QWidget*, const QString&, const QString&, const QString&) {
            return out.filePath("a.csv");
        });
        files.save(nullptr, {}, {}, {}, [](QIODevice& device, QString& why) {
            device.write("halb");
            why = QStringLiteral("Datenträger voll");
            return false;
        });
        QCOMPARE(r.prompts.texts().last().section('\n', 1),
                 QDir::toNativeSeparators(out.filePath("a.csv")) + "\nDatenträger voll");
        QCOMPARE(fileBytes(out.filePath("a.csv")), csv);
        // Nor does a PDF say it was written when the disk filled up under it.
        QBuffer full; // takes no byte
        const AlarmPdf pdf{"Haus2", "Heute", {}, {}, {}, &r.alarms(), nullptr, {}};
        QString why;
        QVERIFY(full.open(QIODevice::ReadOnly));
        QVERIFY(!writeAlarmPdf(full, pdf, why));
        QVERIFY(!why.isEmpty());
    }

    // Each hour's bar and label, the limit, each alarm's mark, and for no alarms the notice.
    void theChartSaysWhatItDraws() {
        const report::Filter night = report::lastNight(kNow);
        const report::AlarmRow late{"17", night.from.addSecs(4 * 3600 + 60), 95, 1, {}, false};
        const report::AlarmRow never{"21", night.from.addSecs(4 * 3600 + 120), {}, 0, {}, true};
        const auto layout = [](const QList<report::AlarmRow>& rows, const report::Filter& period,
                               double width) {
            return layoutReportChart({period, report::alarmsPerHour(rows, period), rows, 60},
                                     QSizeF(width, 300), QFont());
        };
        const auto texts = [](const ChartLayout& chart) {
            QStringList all;
            for (const ChartLayout::Text& text : chart.texts)
                all << text.text;
            return all.join('|');
        };
        const ChartLayout both = layout({late, never}, night, 700);
        for (const char* text :
             {"Alarme je Stunde", "18:00", "07.12.", "08:00", "Grenze 60 s", "× nicht quittiert"})
            QVERIFY2(texts(both).contains(QString::fromUtf8(text)), text);
        // Two axes to each panel; one bar, for both alarms, over the fifth of the night's
        // fourteen hours.
        QCOMPARE(both.axes.size(), 4);
        QCOMPARE(both.bars.size(), 1);
        const double hour = both.bars[0].width() + 2;
        QVERIFY(qAbs(both.bars[0].left() - (700 - 12 - 10 * hour + 1)) < 0.5);
        QCOMPARE((QList<QColor>{both.marks.value(0).colour, both.marks.value(1).colour}),
                 (QList<QColor>{QColor(0xe6, 0x51, 0x00), QColor()}));
        // A week, too narrow for a label every twelve hours: one a day, each its date.
        const QString week = texts(layout({late}, report::lastDays(kNow, 7), 500));
        QVERIFY2(!week.contains(QRegularExpression("\\d:\\d")), qPrintable(week));
        // The never-acknowledged mark only where there is one; the count's axis reaches one
        // above the most in an hour, and the bar's count follows.
        const QString one = texts(layout({late}, night, 700));
        QVERIFY2(!one.contains("nicht quittiert"), qPrintable(one));
        QVERIFY2(one.contains("Alarme je Stunde|0|1|2|1|"), qPrintable(one));
        const ChartLayout none = layout({}, night, 700);
        QVERIFY(none.bars.isEmpty());
        QCOMPARE(texts(none), QStringLiteral("Keine Alarme im Zeitraum"));
        // Painted, the notice leaves ink in its box (a chart with alarms is in the kept pictures).
        QImage painted(700, 300, QImage::Format_RGB32);
        QPainter painter(&painted);
        paintReportChart(painter, painted.rect(), none);
        painter.end();
        const auto* pixels = reinterpret_cast<const QRgb*>(painted.constBits());
        QVERIFY(std::any_of(pixels, pixels + 700 * 300, [](QRgb p) { return qGray(p) < 255; }));
    }

    // The report's own texts: seconds, minutes, hours; a name for one day or for the days a
    // period touches; an end the client did not see; what could not be read, shown as it is.
    void textsOfTheReport() {
        using namespace report_text;
        QCOMPARE((QStringList{duration(59), duration(60), duration(3599), duration(7199)}),
                 (QStringList{"59 s", "1 min 00 s", "59 min 59 s", "1 h 59 min"}));
        QCOMPARE(fileName("Alarme", report::today(kNow), "csv"), "Alarme 2026-12-07.csv");
        QCOMPARE(fileName("Alarme", report::lastNight(kNow), "pdf"),
                 "Alarme 2026-12-06 bis 2026-12-07.pdf");
        AlarmTableModel unrecorded; // the client ended before the alarm did
        unrecorded.setRows({{"5", wallClock(kNow.date(), kNow.time()), {}, 0, {}, false}}, 60);
        const auto cell = [&](int column, int role) {
            return unrecorded.index(0, column).data(role);
        };
        QCOMPARE((QVariantList{cell(AlarmTableModel::Ended, Qt::DisplayRole),
                               cell(AlarmTableModel::Ended, Qt::ToolTipRole),
                               cell(AlarmTableModel::Nst, Qt::ToolTipRole)}),
                 (QVariantList{"nicht aufgezeichnet",
                               "Der Client lief nicht mehr, als der Alarm endete.", QVariant()}));
        QCOMPARE(readProblems(1, {"a", "b"}),
                 "1 Zeile in unbekannter Form übersprungen. Nicht lesbar: a, b");
        // A file's name is shown as it is, also one that reads like markup.
        const std::unique_ptr<QLabel> told(report_widgets::problems(nullptr));
        report_widgets::setProblems(told.get(), "Nicht lesbar: /daten/<b>Haus</b>/Alarme.txt");
        QCOMPARE(QAccessible::queryAccessibleInterface(told.get())->text(QAccessible::Name),
                 told->text());
    }

    // The changes of the period chosen, counted and exported as shown.
    void theChangesFollowThePeriod() {
        Report r;
        auto* tab = r.window.findChild<ChangesTab*>();
        auto* period = r.window.findChild<PeriodChoice*>();
        const QDateTime now = wallClock(kNow.date(), kNow.time());
        const ChangeRow today{now, "ben", "Verb. 4", "Gebühren gelöscht", "Nst. 104 (1.20)", ""};
        tab->setRows({{now.addDays(-2), "anna", "Verb. 3", "Bemerk.", "frei", "Gast"}, today}, {});
        const QAbstractItemModel& shown = *tab->findChild<QTableView*>()->model();
        QCOMPARE(cells(shown, {0, 1, 2, 3, 4, 5}),
                 QStringList{"07.12.2026 21:30:00 | ben | Verb. 4 | Gebühren gelöscht | "
                             "Nst. 104 (1.20) | "});
        // The titles; each cell whole in its tip, for remarks longer than their column.
        QCOMPARE((QVariantList{shown.headerData(0, Qt::Horizontal),
                               shown.index(0, 4).data(Qt::ToolTipRole)}),
                 (QVariantList{"Datum/Uhrzeit", "Nst. 104 (1.20)"}));
        const auto* count = tab->findChild<QLabel*>("count");
        QCOMPARE(count->text(), QStringLiteral("1 Änderung"));
        period->choose(PeriodChoice::LastWeek);
        QCOMPARE(count->text(), QStringLiteral("2 Änderungen"));
        period->choose(PeriodChoice::LastNight);
        QCOMPARE(count->text(), QStringLiteral("Keine Änderungen im Zeitraum"));
        period->choose(PeriodChoice::Today);
        r.chosen = r.dir.filePath("c.csv");
        tab->findChild<QPushButton*>("csv")->click();
        QCOMPARE(fileBytes(r.chosen), changeCsv({today}));
        // A change made as the period begins is in it, one made as it ends is not.
        const report::Filter day = report::today(kNow);
        const QList<ChangeRow> edges = changesIn({{day.from, "a", "Verb. 1", "Bemerk.", "", ""},
                                                  {day.to, "b", "Verb. 1", "Bemerk.", "", ""}},
                                                 day);
        QCOMPARE(edges.size(), 1);
        QCOMPARE(edges.value(0).login, QStringLiteral("a"));
    }

    // From the tray menu, above the quit item, and by Strg+J: one window, read afresh each time,
    // while the main window goes on.
    void theTrayAndStrgJOpenOneReportReadAfresh() {
        Window w;
        QVERIFY(w.startWith({}));
        const QList<QAction*> menu =
            w.form->findChild<QSystemTrayIcon*>()->contextMenu()->actions();
        QCOMPARE(menu.first()->text(), QStringLiteral("Alarmprotokoll …"));
        QCOMPARE(menu.last()->text(), QStringLiteral("TorvanelClient Beenden"));
        const QString journal = w.form->client().journal().filePath();
        append(journal, {"2026-12-07 20:00:00  Alarm von Nst. 17"});
        menu.first()->trigger();
        const auto reports = [] {
            QWidgetList found = QApplication::topLevelWidgets();
            found.removeIf([](QWidget* top) { return !qobject_cast<ReportWindow*>(top); });
            return found;
        };
        QCOMPARE(reports().size(), 1);
        auto* report = static_cast<ReportWindow*>(reports().first());
        QVERIFY(report->isVisible());
        // No larger than the screen, unless its parts need more (fonts differ by system).
        const QSize room =
            report->screen()->availableGeometry().size().expandedTo(report->minimumSizeHint());
        QCOMPARE(room.expandedTo(report->size()), room);
        QCOMPARE(report->windowTitle(), QStringLiteral("Alarmprotokoll"));
        auto* alarms = report->findChild<QTableView*>("alarms")->model();
        QCOMPARE(alarms->rowCount(), 1);
        report->close();
        append(journal, {"2026-12-07 20:05:00  Alarm von Nst. 18"});
        QApplication::setActiveWindow(w.form.get());
        QTest::keyClick(w.form.get(), Qt::Key_J, Qt::ControlModifier);
        QCOMPARE(reports(), QWidgetList{report});
        QCOMPARE((QList<bool>{report->isVisible(), w.form->isVisible()}),
                 (QList<bool>{true, true}));
        QCOMPARE(alarms->rowCount(), 2);
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // A house's zone, where the fields' local times and the records' clock readings differ in
    // what they mean to QDateTime; in UTC they would meet by chance.
    qputenv("TZ", "Europe/Berlin");
    TorvanelApplication app(argc, argv);
    TestReportWindow t;
    return QTest::qExec(&t, argc, argv);
}
#include "test_report_window.moc"
