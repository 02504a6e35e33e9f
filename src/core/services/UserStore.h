#pragma once

#include <QString>
#include <QVariant>
#include <optional>

// The current user's store: the registry under HKEY_CURRENT_USER on Windows, a file under
// the user's configuration folder elsewhere. Keys are paths below "SOFTWARE\TorvanelClient"
// such as "Position" or "Belegt". Every call is one pass with a fresh accessor.
//
// A store only moves raw values; what counts as a number or a text is decided here, once,
// so that every store answers the same value the same way.
class UserStore {
public:
    virtual ~UserStore() = default;
    // Empty when the value is absent or not a number. A text of digits counts: the registry
    // hands back a DWORD, the file a string of digits.
    std::optional<int> readInt(const QString& key, const QString& name);
    // An absent text reads as the empty text; a value of another type is a failure.
    std::optional<QString> readString(const QString& key, const QString& name);
    // False when the store refused the write.
    bool writeInt(const QString& key, const QString& name, int value);
    bool writeString(const QString& key, const QString& name, const QString& value);

protected:
    // The value as stored; empty when it is absent or the store cannot be read.
    virtual std::optional<QVariant> read(const QString& key, const QString& name) = 0;
    // False when the store refused the value.
    virtual bool write(const QString& key, const QString& name, const QVariant& value) = 0;
};
