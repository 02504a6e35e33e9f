#include "SettingsUserStore.h"

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
