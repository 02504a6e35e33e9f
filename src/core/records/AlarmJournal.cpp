#include "core/records/AlarmJournal.h"

#include "core/link/ServerWire.h"
#include "core/watch/Watch.h"

#include <QDateTime>
#include <QDir>
#include <utility>

namespace {

constexpr int kTextLimit = 200;

QString escaped(QChar c) {
    return QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
}

} // namespace

AlarmJournal::AlarmJournal(QString filePath, Clock now, qint64 limitBytes, QObject* parent)
    : QObject(parent),
      m_file(std::move(filePath), QStringLiteral("Das Alarmprotokoll"), limitBytes),
      m_now(std::move(now)) {}

void AlarmJournal::follow(const Watch& watch, const ServerWire& link) {
    const QString alarm = QStringLiteral("Alarm von Nst. ");
    connect(&watch, &Watch::alarmRaised, this,
            [this, alarm](const QString& nst) { record(alarm + journalText(nst)); });
    connect(&watch, &Watch::alarmAcknowledged, this, [this, alarm](const QString& nst, qint64 s) {
        record(alarm + journalText(nst) + QStringLiteral(" quittiert nach %1 s").arg(s));
    });
    connect(&watch, &Watch::alarmEnded, this, [this, alarm](const QString& nst) {
        record(alarm + journalText(nst) + QStringLiteral(" vom Server beendet"));
    });
    connect(&watch, &Watch::serverSilent, this,
            [this] { record(QStringLiteral("Server meldet sich nicht")); });
    connect(&watch, &Watch::serverAnswering, this,
            [this] { record(QStringLiteral("Server meldet sich wieder")); });
    connect(&watch, &Watch::alarmOffChanged, this, [this](bool off) {
        record(off ? QStringLiteral("ALARM = AUS") : QStringLiteral("ALARM = AUS aufgehoben"));
    });
    connect(&link, &ServerWire::connectedChanged, this, [this](bool up) {
        record(up ? QStringLiteral("Verbindung zum Server hergestellt")
                  : QStringLiteral("Verbindung zum Server verloren"));
    });
}

void AlarmJournal::clientStarted() {
    record(QStringLiteral("Client gestartet"));
}

void AlarmJournal::clientEnded(bool unsentEditsLeft) {
    record(unsentEditsLeft ? QStringLiteral("Client beendet, ungesendete Änderungen nicht gesendet")
                           : QStringLiteral("Client beendet"));
}

void AlarmJournal::record(const QString& event) {
    if (const QString failure = m_file.record(m_now(), event); !failure.isEmpty())
        emit cannotWrite(failure);
}

QString journalPath(const QString& dataDir, const QString& commandLineText) {
    return recordPath(dataDir, QStringLiteral("Alarme"), commandLineText);
}

QString journalText(const QString& serverText) {
    QString text;
    for (const QChar c : serverText)
        text += c == QLatin1Char('\\') ? QStringLiteral("\\\\")
                : c.category() == QChar::Other_Control || c.category() == QChar::Separator_Line ||
                        c.category() == QChar::Separator_Paragraph
                    ? escaped(c)
                    : QString(c);
    if (text.size() > kTextLimit)
        text = text.left(kTextLimit - 1) + QChar(0x2026);
    return text;
}
