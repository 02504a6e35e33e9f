// Feeds arbitrary bytes as the settings file, then sets one entry. What must hold: a file we
// refuse is never touched; after a write the value reads back; and every line but the entry
// (and a header for a new section) is as it was.
#include "core/settings/IniFile.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <fuzzer/FuzzedDataProvider.h>
#include <stdexcept>

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The file's lines as text, whatever form it is in; line ends do not count.
QList<QByteArray> lines(QByteArray bytes) {
    if (bytes.startsWith("\xFF\xFE")) {
        QStringDecoder utf16(QStringDecoder::Utf16LE);
        bytes = QString(utf16(QByteArrayView(bytes).sliced(2))).toUtf8();
    } else if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QList<QByteArray> result;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\n' && bytes[i] != '\r')
            continue;
        result << bytes.mid(start, i - start);
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < bytes.size())
        result << bytes.mid(start);
    return result;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Every write syncs the file; in memory that costs nothing.
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/fuzz_ini-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/fuzz_ini-XXXXXX"));
    static const char* const sections[] = {"UDPLink", "ALLGEMEIN", "allgemein", "UDPLinkA ",
                                           "Position"};
    static const char* const keys[] = {"H_Port", "H_TCPIP", "InSysTry", "LogoDatei", "x"};
    FuzzedDataProvider in(data, size);
    const QString section = QString::fromLatin1(sections[in.ConsumeIntegralInRange(0, 4)]);
    const QString key = QString::fromLatin1(keys[in.ConsumeIntegralInRange(0, 4)]);
    QString value;
    for (int n = in.ConsumeIntegralInRange(0, 12); n > 0; --n)
        value += QLatin1Char("0123456789abcXYZ._"[in.ConsumeIntegralInRange(0, 17)]);
    const std::string rest = in.ConsumeRemainingBytesAsString();
    const QByteArray before(rest.data(), qsizetype(rest.size()));

    const QString path = dir.filePath(QStringLiteral("TorvanelClient.ini"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(before) != before.size())
            return 0;
    }
    IniFile ini(path);
    const bool refused = !ini.problem().isEmpty();
    (void)ini.readString(section, key, {});
    if (!ini.writeString(section, key, value).isEmpty()) {
        if (readAll(path) != before)
            __builtin_trap();
        return 0;
    }
    if (refused || IniFile(path).readString(section, key, QStringLiteral("<none>")) != value)
        __builtin_trap();

    QList<QByteArray> was = lines(before), is = lines(readAll(path));
    while (!was.isEmpty() && !is.isEmpty() && was.first() == is.first()) {
        was.removeFirst();
        is.removeFirst();
    }
    while (!was.isEmpty() && !is.isEmpty() && was.last() == is.last()) {
        was.removeLast();
        is.removeLast();
    }
    // One entry changed, or one added, perhaps with its section's header.
    if (was.size() > 1 || is.size() > 2)
        __builtin_trap();
    return 0;
}
