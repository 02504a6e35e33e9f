#include "platform/SettingsUserStore.h"

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

// A name is one name, never a path: QSettings takes a slash as a step into a group and drops
// one at the end, so "LeftA/" would be "LeftA", and the registry does the same with a
// backslash. Both are stored as "%2F" and "%5C", and "%" as "%25" so that no other name is
// spelt the same. Every other name, blanks at its ends included, is stored as it is.
QString path(const QString& key, const QString& name) {
    QString stored = name;
    stored.replace(QLatin1Char('%'), QLatin1String("%25"))
        .replace(QLatin1Char('/'), QLatin1String("%2F"))
        .replace(QLatin1Char('\\'), QLatin1String("%5C"));
    return key + QLatin1Char('/') + stored;
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
