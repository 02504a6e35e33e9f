#pragma once

#include <QObject>
#include <QString>

class ServerWire;
class Watch;

// What happened to the alarms and to the link, one line per event with the local date and
// time to the second, so that the operator can show afterwards when an alarm came and when it
// was acknowledged. UTF-8 text, appended a line at a time; a line that would take the file
// past its limit first turns it into the one older file (the name with ".1" added).
//
// The journal must never disturb the watch: a line that cannot be written is lost, and only
// the first such failure of a run is reported.
class AlarmJournal : public QObject {
    Q_OBJECT
public:
    explicit AlarmJournal(QString filePath, qint64 limitBytes = 1024 * 1024,
                          QObject* parent = nullptr);

    // Records what the watch and the link report from now on.
    void follow(const Watch& watch, const ServerWire& link);
    void record(const QString& event);
    const QString& filePath() const { return m_path; }

signals:
    void cannotWrite(const QString& message);

private:
    bool append(const QByteArray& line, QString& why);

    QString m_path;
    qint64 m_limit;
    bool m_failureReported = false;
};

// The journal of the client started with this command-line text, in `dataDir`: named after
// the text as the window's position values are, with what a file name cannot hold escaped.
QString journalPath(const QString& dataDir, const QString& commandLineText);

// Text from the server as the journal holds it: on one line, control characters escaped,
// at most 200 characters.
QString journalText(const QString& serverText);
