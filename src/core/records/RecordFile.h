#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

// A text file of records that grows a line at a time and never without bound: a line that
// would take it past its limit first moves it to the older files (".1" the newest of them,
// up to ".9"), the oldest dropping out, and a new file begins.
class RecordFile {
public:
    static constexpr int kOlderFiles = 9;

    // `name` says what the records are in a failure's message: "Das Alarmprotokoll".
    RecordFile(QString path, QString name, qint64 limitBytes = 1024 * 1024);

    // Appends the record line and puts it on disk before returning. A record that cannot be
    // written is lost; the first such failure returns the message that tells it, later ones
    // nothing, so that the records never keep disturbing the operator.
    QString record(const QDateTime& at, const QString& text);
    const QString& path() const { return m_path; }

private:
    bool append(const QByteArray& line, QString& why);

    QString m_path;
    QString m_name;
    qint64 m_limit;
    bool m_failureTold = false;
};

// The files of the records at `path` that exist, oldest first, so that reading them in this
// order reads the lines in the order they were written.
QStringList recordFiles(const QString& path);

// The file of the records of one kind ("Alarme") kept by the client started with this
// command-line text, in `dataDir`: named after the text as the window's position values are,
// with what a file name cannot hold escaped, so that every instance keeps its own.
QString recordPath(const QString& dataDir, const QString& kind, const QString& commandLineText);
