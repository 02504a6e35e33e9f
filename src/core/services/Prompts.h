#pragma once

#include <QString>

// Every modal message box of the client goes through this interface, so that tests can
// answer them and can act "while the box is open". Flags and answers keep the values of the
// classic message-box API because the behaviour is described in those terms.
namespace mb {
inline constexpr unsigned Ok = 0x0;
inline constexpr unsigned OkCancel = 0x1;
inline constexpr unsigned IconHand = 0x10;
inline constexpr unsigned IconQuestion = 0x20;
inline constexpr unsigned IconExclamation = 0x30;
inline constexpr unsigned DefButton2 = 0x100;

inline constexpr int IdOk = 1;
inline constexpr int IdCancel = 2;
} // namespace mb

class Prompts {
public:
    virtual ~Prompts() = default;
    // Shows a modal box and returns mb::IdOk or mb::IdCancel. Text is always plain text.
    // Details, when given, are there for the operator who opens them; the box is the same.
    virtual int ask(const QString& text, const QString& caption, unsigned flags,
                    const QString& details = {}) = 0;
};
