#include "core/settings/IniFile.h"

#include "core/settings/ProfileText.h"
#include "wire/Wire1252.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

namespace {

QString decode(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    // Notepad on older Windows saves in the ANSI code page; take such a file as it is meant.
    return utf8.hasError() ? wire::fromWire(bytes) : text;
}

// A reader never sees blanks around a value, so writing them would change nothing.
// The Windows profile functions drop one pair of matching quotes around a value, and
// administrators quote values for them.
QByteArray withoutQuotes(const QByteArray& v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.mid(1, v.size() - 2);
    return v;
}

const QByteArray kUtf8Mark("\xEF\xBB\xBF");
const QByteArray kUtf16LeMark("\xFF\xFE");

QByteArray withoutOuterBlanks(QByteArray v) {
    while (!v.isEmpty() && (v.front() == ' ' || v.front() == '\t'))
        v.remove(0, 1);
    while (!v.isEmpty() && (v.back() == ' ' || v.back() == '\t'))
        v.chop(1);
    return v;
}

} // namespace

IniFile::IniFile(QString path) : m_path(std::move(path)) {
    load();
}

QByteArray IniFile::encode(const QString& s) const {
    return m_utf8 ? s.toUtf8() : wire::toWire(s);
}

std::optional<QByteArray> IniFile::value(const QString& section, const QString& key) const {
    const auto raw = profile::value(m_text, encode(section), encode(key));
    return raw ? std::optional(withoutQuotes(*raw)) : std::nullopt;
}

QByteArray IniFile::fileBytes(const QByteArray& text) const {
    switch (m_form) {
    case Form::Utf16Le: {
        const QString decoded = QString::fromUtf8(text);
        QByteArray bytes = kUtf16LeMark;
        bytes.reserve(2 + decoded.size() * 2);
        for (const QChar c : decoded)
            bytes.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
        return bytes;
    }
    case Form::Utf8Marked:
        return kUtf8Mark + text;
    case Form::Plain:
        break;
    }
    return text;
}

void IniFile::load() {
    m_text.clear();
    m_utf8 = true;
    m_form = Form::Plain;
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
    // Notepad's "Unicode" is UTF-16 LE with a mark, as the Windows profile functions write it.
    // We work on it as UTF-8 and give it back in its own form.
    if (text.startsWith(kUtf16LeMark)) {
        QStringDecoder utf16(QStringDecoder::Utf16LE, QStringDecoder::Flag::Stateless);
        const QString decoded = utf16(QByteArrayView(text).sliced(2));
        if (utf16.hasError() || text.size() % 2 != 0) {
            m_problem = QStringLiteral("ist kein gültiges UTF-16");
            return;
        }
        if (decoded.contains(QChar(0))) {
            m_problem = QStringLiteral("enthält Binärdaten");
            return;
        }
        m_text = decoded.toUtf8();
        m_form = Form::Utf16Le;
        return;
    }
    if (text.startsWith("\xFE\xFF")) {
        m_problem = QStringLiteral("ist in UTF-16 Big Endian gespeichert (ANSI, UTF-8 oder UTF-16 "
                                   "LE verwenden)");
        return;
    }
    if (text.contains('\0')) {
        m_problem = QStringLiteral("enthält Binärdaten");
        return;
    }
    // A mark would hide the first header from the reader; it goes back on when we write.
    const bool marked = text.startsWith(kUtf8Mark);
    m_text = marked ? text.mid(kUtf8Mark.size()) : text;
    m_form = marked ? Form::Utf8Marked : Form::Plain;
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString decoded = utf8.decode(m_text); // decoded only to learn whether it is UTF-8
    m_utf8 = !utf8.hasError();
}

QString IniFile::failure(const QString& why) const {
    return QStringLiteral("Die Einstellungsdatei \"%1\" kann nicht geschrieben werden: %2 !")
        .arg(QDir::toNativeSeparators(m_path), why);
}

QString IniFile::unnamable(const QString& section) const {
    for (const char32_t c : QStringView(section).toUcs4()) {
        if (c == U']')
            return QStringLiteral("enthält \"]\"");
        if (c == U'\n' || c == U'\r')
            return QStringLiteral("enthält einen Zeilenumbruch");
        if ((c < 0x20 && c != U'\t') || c == 0x7F)
            return QStringLiteral("enthält ein Steuerzeichen");
        if (!m_utf8 && !wire::fitsWire(c))
            return QStringLiteral(
                "enthält Zeichen, die die Datei (Windows-1252) nicht fassen kann");
    }
    return {};
}

bool IniFile::readBool(const QString& section, const QString& key, bool def) const {
    return readInt(section, key, int(def)) != 0;
}

int IniFile::readInt(const QString& section, const QString& key, int def) const {
    const auto text = value(section, key);
    if (!text)
        return def;
    bool ok = false;
    const int number = text->toInt(&ok, 10);
    return ok ? number : def;
}

QString IniFile::readString(const QString& section, const QString& key, const QString& def) const {
    const auto text = value(section, key);
    return text ? decode(*text) : def;
}

QString IniFile::writeBool(const QString& section, const QString& key, bool value) {
    return writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

QString IniFile::writeInt(const QString& section, const QString& key, int value) {
    return writeString(section, key, QString::number(value));
}

QString IniFile::writeString(const QString& section, const QString& key, const QString& value) {
    if (value.contains(u'\n') || value.contains(u'\r'))
        return failure(QStringLiteral("der Wert von %1 enthält einen Zeilenumbruch").arg(key));
    // Another instance may have written since this pass began; build on what is there now.
    load();
    if (!m_problem.isEmpty())
        return failure(QStringLiteral("sie ") + m_problem);
    const QByteArray bytes = withoutOuterBlanks(encode(value));
    // Right already, perhaps in the administrator's quotes: his line stays as he wrote it.
    if (this->value(section, key) == bytes)
        return {};
    const QByteArray next = profile::setEntry(m_text, encode(section), encode(key), bytes);
    if (next == m_text)
        return {};

    // What we write must be exactly what the next reader finds, or we leave the file alone.
    if (profile::value(next, encode(section), encode(key)) != bytes)
        return failure(
            QStringLiteral("der Eintrag %1 in [%2] ist nicht eindeutig").arg(key, section));

    QSaveFile out(m_path);
    // An administrator may allow writing the file but not its folder; then there is no room
    // for a temporary beside it, and writing in place is the only way.
    out.setDirectWriteFallback(true);
    const QByteArray file = fileBytes(next);
    if (!out.open(QIODevice::WriteOnly) || out.write(file) != file.size() || !out.commit())
        return failure(out.errorString());
    m_text = next;
    return {};
}
