#pragma once

#include "core/records/RecordFile.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <functional>

class ServerWire;
class Watch;

// What happened to the alarms and to the link, one line per event with the local date and
// time to the second, so that the operator can show afterwards when an alarm came and when it
// was acknowledged, and when the client itself ran. UTF-8 text, appended a line at a time,
// kept in a `RecordFile` with its older files.
//
// The journal must never disturb the watch: a line that cannot be written is lost, and only
// the first such failure of a run is reported.
class AlarmJournal : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;
    explicit AlarmJournal(QString filePath, Clock now, qint64 limitBytes = 1024 * 1024,
                          QObject* parent = nullptr);

    // Records what the watch and the link report from now on.
    void follow(const Watch& watch, const ServerWire& link);
    void record(const QString& event);
    // Without these a gap in the journal cannot tell a client that was ended from one that
    // crashed or lost its power.
    void clientStarted();
    void clientEnded(bool unsentEditsLeft);
    const QString& filePath() const { return m_file.path(); }

signals:
    void cannotWrite(const QString& message);

private:
    RecordFile m_file;
    Clock m_now;
};

// The journal of the client started with this command-line text, "Alarme….txt" in `dataDir`.
QString journalPath(const QString& dataDir, const QString& commandLineText);

// Text from the server as the journal holds it: on one line, control characters escaped,
// at most 200 characters.
QString journalText(const QString& serverText);
