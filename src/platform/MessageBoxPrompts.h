#pragma once

#include "core/services/Prompts.h"

// QMessageBox with the matching buttons, icon and default button. Closing the box any other
// way than with OK answers Cancel.
class MessageBoxPrompts final : public Prompts {
public:
    int ask(const QString& text, const QString& caption, unsigned flags,
            const QString& details = {}) override;
};
