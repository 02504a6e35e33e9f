#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// A text file of records that grows a line at a time and never without bound: a line that
// would take it past its limit first moves it to the older files (".1" the newest of them,
// up to ".9"), the oldest dropping out, and a new file begins.
class RecordFile {
public:
    static constexpr int kOlderFiles = 9;

    explicit RecordFile(QString path, qint64 limitBytes = 1024 * 1024);

    // Appends the line (with its line break) and puts it on disk before returning; false
    // with the reason in `why` when it could not.
    bool append(const QByteArray& line, QString& why);
    const QString& path() const { return m_path; }

private:
    QString m_path;
    qint64 m_limit;
};

// The files of the records at `path` that exist, oldest first, so that reading them in this
// order reads the lines in the order they were written.
QStringList recordFiles(const QString& path);

// The file of the records of one kind ("Alarme") kept by the client started with this
// command-line text, in `dataDir`: named after the text as the window's position values are,
// with what a file name cannot hold escaped, so that every instance keeps its own.
QString recordPath(const QString& dataDir, const QString& kind, const QString& commandLineText);
