// What opening the alarm report costs: a journal of 1 MiB (a busy month: alarms, their
// acknowledgements and ends, the server silent now and then, the client started every day)
// and the nine older files full, read, turned into alarms and periods, filtered and summed up.
// Prints the wall time of each step, best of five.
#include "core/records/AlarmJournal.h"
#include "core/records/AlarmReport.h"
#include "core/records/RecordFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

namespace {

constexpr qint64 kFileBytes = 1024 * 1024;

// Writes one file of journal lines, a minute apart from `start`; returns the next start.
QDateTime writeJournal(const QString& path, QDateTime at) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return at;
    int n = 0;
    while (file.size() < kFileBytes) {
        const QString nst = QString::number(100 + n % 40);
        QStringList events{
            QStringLiteral("Alarm von Nst. ") + nst,
            QStringLiteral("Alarm von Nst. %1 quittiert nach %2 s").arg(nst).arg(n % 90),
            QStringLiteral("Alarm von Nst. ") + nst + QStringLiteral(" vom Server beendet")};
        if (n % 50 == 0)
            events << QStringLiteral("Server meldet sich nicht")
                   << QStringLiteral("Server meldet sich wieder");
        if (n % 400 == 0)
            events << QStringLiteral("Client beendet") << QStringLiteral("Client gestartet");
        for (const QString& event : events) {
            at = at.addSecs(60);
            file.write(
                (at.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss  ")) + event + '\n').toUtf8());
        }
        ++n;
    }
    return at;
}

double bestMs(const std::function<void()>& step) {
    double best = 1e12;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer t;
        t.start();
        step();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Alarme.txt"));
    const QDateTime now = writeJournal(path, QDateTime(QDate(2026, 1, 1), QTime(0, 0)));
    for (int n = 1; n <= RecordFile::kOlderFiles; ++n)
        QFile::copy(path, path + '.' + QString::number(n)); // times repeat; the cost does not care

    for (const bool all : {false, true}) {
        const QString read = all ? path : dir.filePath(QStringLiteral("one.txt"));
        if (!all)
            QFile::copy(path, read);
        RecordRead records;
        report::AlarmReport r;
        const double readMs = bestMs([&] { records = readRecords(read); });
        const double buildMs = bestMs([&] { r = report::buildAlarmReport(records.lines); });
        const double sumMs = bestMs([&] {
            const auto rows = report::filtered(r.alarms, report::lastDays(now, 7));
            report::summarize(rows, 60, now);
            report::alarmsPerHour(rows, report::lastDays(now, 7));
        });
        std::printf("%s: %lld lines, %lld alarms; read %.1f ms, alarms and periods %.1f ms, "
                    "7-day filter and summary %.1f ms\n",
                    all ? "1 MiB journal and 9 older files" : "1 MiB journal",
                    static_cast<long long>(records.lines.size()),
                    static_cast<long long>(r.alarms.size()), readMs, buildMs, sumMs);
    }
    return 0;
}
