#include "UserStore.h"

#include <QSettings>

namespace {

QString path(const QString& key, const QString& name) {
    return key + QLatin1Char('/') + name;
}

} // namespace

std::optional<QVariant> SettingsUserStore::read(const QString& key, const QString& name) {
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("TorvanelClient"));
    const QVariant v = s.value(path(key, name));
    if (s.status() != QSettings::NoError || !v.isValid())
        return std::nullopt;
    return v;
}

bool SettingsUserStore::write(const QString& key, const QString& name, const QVariant& value) {
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("TorvanelClient"));
    if (!s.isWritable())
        return false;
    s.setValue(path(key, name), value);
    s.sync();
    return s.status() == QSettings::NoError;
}

std::optional<int> SettingsUserStore::readInt(const QString& key, const QString& name) {
    const auto v = read(key, name);
    if (!v)
        return std::nullopt;
    // The registry hands back a DWORD; the text file a string of digits. Either counts.
    bool ok = false;
    const int i = v->typeId() == QMetaType::QString ? v->toString().toInt(&ok) : v->toInt(&ok);
    if (!ok || !(v->canConvert<int>()))
        return std::nullopt;
    return i;
}

std::optional<QString> SettingsUserStore::readString(const QString& key, const QString& name) {
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("TorvanelClient"));
    if (s.status() != QSettings::NoError)
        return std::nullopt;
    const QVariant v = s.value(path(key, name));
    if (!v.isValid())
        return QString();
    if (v.typeId() != QMetaType::QString)
        return std::nullopt;
    return v.toString();
}

bool SettingsUserStore::writeInt(const QString& key, const QString& name, int value) {
    return write(key, name, value);
}

bool SettingsUserStore::writeString(const QString& key, const QString& name, const QString& value) {
    return write(key, name, value);
}
