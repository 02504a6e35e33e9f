#include "core/services/UserStore.h"

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
