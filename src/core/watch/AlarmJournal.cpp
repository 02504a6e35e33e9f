#include "core/watch/AlarmJournal.h"

#include "core/link/ServerWire.h"
#include "core/watch/Watch.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <utility>

namespace {

constexpr int kTextLimit = 200;
// Most file systems take 255 bytes for a name; a long text keeps its start and a digest.
constexpr int kNameLimit = 120;

QString escaped(QChar c) {
    return QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
}

} // namespace

AlarmJournal::AlarmJournal(QString filePath, qint64 limitBytes, QObject* parent)
    : QObject(parent), m_path(std::move(filePath)), m_limit(limitBytes) {}

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

void AlarmJournal::record(const QString& event) {
    const QString stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    QString why;
    if (append((stamp + QStringLiteral("  ") + event + QLatin1Char('\n')).toUtf8(), why) ||
        std::exchange(m_failureReported, true))
        return;
    emit cannotWrite(QStringLiteral("Das Alarmprotokoll kann nicht geschrieben werden:\n%1\n%2")
                         .arg(QDir::toNativeSeparators(m_path), why));
}

bool AlarmJournal::append(const QByteArray& line, QString& why) {
    if (!QDir().mkpath(QFileInfo(m_path).absolutePath())) {
        why = QStringLiteral("Der Ordner kann nicht angelegt werden.");
        return false;
    }
    QFile file(m_path);
    if (file.exists() && file.size() + line.size() > m_limit) {
        const QString older = m_path + QStringLiteral(".1");
        QFile::remove(older);
        if (!file.rename(older)) {
            why = file.errorString();
            return false;
        }
        file.setFileName(m_path);
    }
    // Opened for each line and closed at once: every line is on disk before the next event.
    if (file.open(QIODevice::WriteOnly | QIODevice::Append) && file.write(line) == line.size() &&
        file.flush())
        return true;
    why = file.errorString();
    return false;
}

QString journalPath(const QString& dataDir, const QString& commandLineText) {
    QString name;
    for (const QChar c : commandLineText) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || QStringLiteral("/\\:*?\"<>|%").contains(c))
            name += QStringLiteral("%%1").arg(c.unicode(), 2, 16, QLatin1Char('0')).toUpper();
        else
            name += c;
    }
    if (name.toUtf8().size() > kNameLimit) {
        const QByteArray digest =
            QCryptographicHash::hash(commandLineText.toUtf8(), QCryptographicHash::Sha256);
        name.truncate(kNameLimit / 2);
        if (name.back().isHighSurrogate())
            name.chop(1);
        name += QLatin1Char('~') + QString::fromLatin1(digest.toHex().left(16));
    }
    return dataDir + QStringLiteral("/Alarme") + name + QStringLiteral(".txt");
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
