#pragma once

#include <QFile>
#include <QStringList>
#include <QTest>

// A file's bytes; "<missing>" when it cannot be read, so that no file and an empty one differ.
inline QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// A record file's lines, none when it cannot be read.
inline QStringList fileLines(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly)
               ? QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)
               : QStringList();
}

// Writes the whole of `bytes`, after what is there when appending.
inline void writeFile(const QString& path, const QByteArray& bytes,
                      QIODevice::OpenMode mode = QIODevice::WriteOnly) {
    QFile file(path);
    QVERIFY(file.open(mode));
    QCOMPARE(file.write(bytes), bytes.size());
}
