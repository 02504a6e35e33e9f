#include "RufNum/report/ReportTexts.h"

#include <QStringList>

namespace report_text {

QString dateTime(const QDateTime& at) {
    return at.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
}

QString period(const QDateTime& from, const QDateTime& to) {
    const QString format = QStringLiteral("dd.MM.yyyy hh:mm");
    return from.toString(format) + QStringLiteral(" – ") + to.toString(format);
}

QString duration(qint64 seconds) {
    if (seconds < 60)
        return QStringLiteral("%1 s").arg(seconds);
    if (seconds < 3600)
        return QStringLiteral("%1 min %2 s")
            .arg(seconds / 60)
            .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1 h %2 min")
        .arg(seconds / 3600)
        .arg(seconds % 3600 / 60, 2, 10, QLatin1Char('0'));
}

QString fileName(const QString& what, const report::Filter& period, const QString& suffix) {
    const QDate first = period.from.date();
    // A period that ends at midnight holds nothing of that day.
    const QDate last = period.to.addSecs(-1).date();
    QString name = what + QLatin1Char(' ') + first.toString(Qt::ISODate);
    if (last > first)
        name += QStringLiteral(" bis ") + last.toString(Qt::ISODate);
    return name + QLatin1Char('.') + suffix;
}

QString summary(const report::Summary& s, qint64 limitS) {
    if (s.alarms == 0)
        return QStringLiteral("Keine Alarme im Zeitraum");
    QStringList parts{s.alarms == 1 ? QStringLiteral("1 Alarm")
                                    : QStringLiteral("%1 Alarme").arg(s.alarms)};
    if (const auto& t = s.acknowledged)
        parts << QStringLiteral("quittiert nach min. %1, Median %2, max. %3")
                     .arg(duration(t->min), duration(t->median), duration(t->max));
    // Never acknowledged counts as late: the limit is about how soon someone answered.
    parts << QStringLiteral("%1 nicht binnen %2 s quittiert").arg(s.overLimit).arg(limitS);
    parts << QStringLiteral("%1 nie quittiert").arg(s.unacknowledged);
    return parts.join(QStringLiteral(" · "));
}

QString readProblems(int skipped, const QStringList& unreadable) {
    QStringList parts;
    if (skipped == 1)
        parts << QStringLiteral("1 Zeile in unbekannter Form übersprungen.");
    else if (skipped > 1)
        parts << QStringLiteral("%1 Zeilen in unbekannter Form übersprungen.").arg(skipped);
    if (!unreadable.isEmpty())
        parts << QStringLiteral("Nicht lesbar: ") + unreadable.join(QStringLiteral(", "));
    return parts.join(QLatin1Char(' '));
}

} // namespace report_text
