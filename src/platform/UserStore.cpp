#include "UserStore.h"

#include <QSettings>
#include <memory>

namespace {

// One fresh accessor per pass. On Windows it is HKEY_CURRENT_USER\SOFTWARE\TorvanelClient
// itself, where earlier installations keep their values; Qt's organisation/application scheme
// would put them one level deeper.
std::unique_ptr<QSettings> open() {
#ifdef Q_OS_WIN
    return std::make_unique<QSettings>(
        QStringLiteral("HKEY_CURRENT_USER\\SOFTWARE\\TorvanelClient"), QSettings::NativeFormat);
#else
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("TorvanelClient"));
#endif
}

QString path(const QString& key, const QString& name) {
    return key + QLatin1Char('/') + name;
}

} // namespace

std::optional<int> UserStore::readInt(const QString& key, const QString& name) {
    const auto v = read(key, name);
    if (!v)
        return std::nullopt;
    bool ok = false;
    const int i = v->typeId() == QMetaType::QString ? v->toString().toInt(&ok) : v->toInt(&ok);
    if (!ok)
        return std::nullopt;
    return i;
}

std::optional<QString> UserStore::readString(const QString& key, const QString& name) {
    const auto v = read(key, name);
    // A store that cannot be read, or a value that is not there, reads as the empty text.
    if (!v)
        return QString();
    if (v->typeId() != QMetaType::QString)
        return std::nullopt;
    return v->toString();
}

bool UserStore::writeInt(const QString& key, const QString& name, int value) {
    return write(key, name, value);
}

bool UserStore::writeString(const QString& key, const QString& name, const QString& value) {
    return write(key, name, value);
}

std::optional<QVariant> SettingsUserStore::read(const QString& key, const QString& name) {
    const auto s = open();
    const QVariant v = s->value(path(key, name));
    // A file QSettings could only partly make sense of is no source of values.
    if (s->status() != QSettings::NoError || !v.isValid())
        return std::nullopt;
    return v;
}

bool SettingsUserStore::write(const QString& key, const QString& name, const QVariant& value) {
    const auto s = open();
    s->setValue(path(key, name), value);
    // Only the flush tells whether the value reached the file or the registry; a file or key
    // we may not write to shows there as well.
    s->sync();
    return s->status() == QSettings::NoError;
}
