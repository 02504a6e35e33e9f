#pragma once

#include "core/services/UserStore.h"

// QSettings in the platform's native format, organisation "TorvanelClient".
class SettingsUserStore final : public UserStore {
protected:
    std::optional<QVariant> read(const QString& key, const QString& name) override;
    bool write(const QString& key, const QString& name, const QVariant& value) override;
};
