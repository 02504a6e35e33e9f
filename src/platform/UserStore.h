#pragma once

#include <QString>
#include <QVariant>
#include <optional>

// The current user's store: the registry under HKEY_CURRENT_USER on Windows, a file under
// the user's configuration folder elsewhere. Keys are paths below "SOFTWARE\TorvanelClient"
// such as "Position" or "Belegt". Every call is one pass with a fresh accessor.
class UserStore {
public:
    virtual ~UserStore() = default;
    // Empty when the value is absent or not a number.
    virtual std::optional<int> readInt(const QString& key, const QString& name) = 0;
    // An absent text reads as the empty text; a value of another type is a failure.
    virtual std::optional<QString> readString(const QString& key, const QString& name) = 0;
    // False when the store refused the write.
    virtual bool writeInt(const QString& key, const QString& name, int value) = 0;
    virtual bool writeString(const QString& key, const QString& name, const QString& value) = 0;
};

// QSettings in the platform's native format, organisation "TorvanelClient".
class SettingsUserStore final : public UserStore {
public:
    std::optional<int> readInt(const QString& key, const QString& name) override;
    std::optional<QString> readString(const QString& key, const QString& name) override;
    bool writeInt(const QString& key, const QString& name, int value) override;
    bool writeString(const QString& key, const QString& name, const QString& value) override;

private:
    std::optional<QVariant> read(const QString& key, const QString& name);
    bool write(const QString& key, const QString& name, const QVariant& value);
};
