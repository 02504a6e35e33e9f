#include "IniFile.h"

#include "link/Wire1252.h"
#include "settings/ProfileText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <stdexcept>

// Bytes in, bytes out: the names and values we handle are ASCII or the administrator's own
// text, which we hand back as we found it.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

namespace {

QString decode(const char* value) {
    const QByteArray bytes(value);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    // Notepad on older Windows saves in the ANSI code page; take such a file as it is meant.
    return utf8.hasError() ? wire::fromWire(bytes) : text;
}

// A reader never sees blanks around a value, so writing them would change nothing.
QByteArray withoutOuterBlanks(QByteArray v) {
    while (!v.isEmpty() && (v.front() == ' ' || v.front() == '\t'))
        v.remove(0, 1);
    while (!v.isEmpty() && (v.back() == ' ' || v.back() == '\t'))
        v.chop(1);
    return v;
}

} // namespace

struct IniFile::Parsed {
    // Not UTF-8 mode (bytes stay bytes), several values per key kept so that the first one
    // in the file is the one we read, no multi-line values: a line is an entry.
    CSimpleIniA ini{false, true, false};
    QByteArray text;
    // A file saved in the ANSI code page names its sections in it too ("[UDPLinkSüd]"); we
    // look names up, and write, in the file's own encoding.
    bool utf8 = true;

    QByteArray encode(const QString& s) const { return utf8 ? s.toUtf8() : wire::toWire(s); }
    const char* value(const QString& section, const QString& key) const {
        return ini.GetValue(encode(section).constData(), encode(key).constData(), nullptr);
    }
};

IniFile::IniFile(QString path) : m_path(std::move(path)) {
    load();
}

IniFile::~IniFile() = default;

void IniFile::load() {
    m_parsed = std::make_unique<Parsed>();
    m_problem.clear();
    const QFileInfo info(m_path);
    if (!info.exists())
        return;
    if (!info.isFile()) {
        m_problem = QStringLiteral("ist keine gewöhnliche Datei");
        return;
    }
    if (info.size() > kMaxSize) {
        m_problem = QStringLiteral("ist größer als 1 MiB");
        return;
    }
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_problem = QStringLiteral("ist nicht lesbar");
        return;
    }
    // The size may have changed since we looked; never take more than the limit.
    const QByteArray text = file.read(kMaxSize + 1);
    if (file.error() != QFileDevice::NoError) {
        m_problem = QStringLiteral("ist nicht lesbar");
        return;
    }
    if (text.size() > kMaxSize) {
        m_problem = QStringLiteral("ist größer als 1 MiB");
        return;
    }
    // Notepad's "Unicode" is UTF-16; say so rather than call it binary.
    if (text.startsWith("\xFF\xFE") || text.startsWith("\xFE\xFF")) {
        m_problem = QStringLiteral("ist in UTF-16 gespeichert (ANSI oder UTF-8 verwenden)");
        return;
    }
    if (text.contains('\0')) {
        m_problem = QStringLiteral("enthält Binärdaten");
        return;
    }
    if (m_parsed->ini.LoadData(text.constData(), size_t(text.size())) < 0) {
        m_parsed = std::make_unique<Parsed>();
        m_problem = QStringLiteral("ist nicht lesbar");
        return;
    }
    m_parsed->text = text;
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString decoded = utf8.decode(text); // decoded only to learn whether it is UTF-8
    m_parsed->utf8 = !utf8.hasError();
}

void IniFile::fail(const QString& why) const {
    throw std::runtime_error(QStringLiteral("Die Einstellungsdatei \"%1\" kann nicht geschrieben "
                                            "werden: %2 !")
                                 .arg(QDir::toNativeSeparators(m_path), why)
                                 .toLocal8Bit()
                                 .toStdString());
}

bool IniFile::readBool(const QString& section, const QString& key, bool def) const {
    return readInt(section, key, def ? 1 : 0) != 0;
}

int IniFile::readInt(const QString& section, const QString& key, int def) const {
    const char* value = m_parsed->value(section, key);
    if (!value)
        return def;
    bool ok = false;
    const int number = QByteArray(value).toInt(&ok, 10);
    return ok ? number : def;
}

QString IniFile::readString(const QString& section, const QString& key, const QString& def) const {
    const char* value = m_parsed->value(section, key);
    return value ? decode(value) : def;
}

void IniFile::writeBool(const QString& section, const QString& key, bool value) {
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void IniFile::writeInt(const QString& section, const QString& key, int value) {
    writeString(section, key, QString::number(value));
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value) {
    if (value.contains(u'\n') || value.contains(u'\r'))
        fail(QStringLiteral("der Wert von %1 enthält einen Zeilenumbruch").arg(key));
    // Another instance may have written since this pass began; build on what is there now.
    load();
    if (!m_problem.isEmpty())
        fail(QStringLiteral("sie ") + m_problem);
    const QByteArray bytes = withoutOuterBlanks(m_parsed->encode(value));
    const QByteArray next =
        profile::setEntry(m_parsed->text, m_parsed->encode(section), m_parsed->encode(key), bytes);
    if (next == m_parsed->text)
        return;

    auto written = std::make_unique<Parsed>();
    written->text = next;
    written->utf8 = m_parsed->utf8;
    const bool parsed = written->ini.LoadData(next.constData(), size_t(next.size())) >= 0;
    const char* readBack = parsed ? written->value(section, key) : nullptr;
    // What we write must be exactly what the next reader finds, or we leave the file alone.
    if (!readBack || QByteArray(readBack) != bytes)
        fail(QStringLiteral("der Eintrag %1 in [%2] ist nicht eindeutig").arg(key, section));

    QSaveFile out(m_path);
    // An administrator may allow writing the file but not its folder; then there is no room
    // for a temporary beside it, and writing in place is the only way.
    out.setDirectWriteFallback(true);
    if (!out.open(QIODevice::WriteOnly) || out.write(next) != next.size() || !out.commit())
        fail(out.errorString());
    m_parsed = std::move(written);
}
