#pragma once

#include "wire/TableLines.h"

#include <QList>
#include <QString>
#include <QValidator>
#include <optional>

// What the operator may type into a cell of the number grid.
namespace table {

struct EditMask {
    int positions;   // at most this many characters after an edit
    bool digitsOnly; // digits 0-9 and blanks only
};

// The mask of an editable field; none for the charges, which the operator never edits.
std::optional<EditMask> NummernGridGetEditMask(Field f);

// True when the mask lets the character stand in a cell. Line breaks and other control
// characters would tear the save frame apart, and characters that Windows-1252 cannot hold
// would reach the server as '?', so neither is ever typed in.
bool maskAccepts(const EditMask& mask, char32_t c);

// Refuses every edit that adds a character the mask does not accept, or a frame marker of
// the link ("{_ENDE__}" or "[___"), which would cut the save frame short or start another on
// its way to the server. Text from the server may already hold such characters (letters in an
// alarm number, say) or markers: the operator can still delete them or edit around them, but
// can add none.
class EditMaskValidator final : public QValidator {
public:
    EditMaskValidator(EditMask mask, const QString& original, QObject* parent = nullptr);
    State validate(QString& input, int& pos) const override;

private:
    // What of `text` the mask refuses, sorted: its characters, and one entry for each marker.
    QList<char32_t> refused(const QString& text) const;

    EditMask m_mask;
    // Refused characters and markers still allowed: those the server sent and the operator
    // kept. It only shrinks, so deleting or replacing one never makes room for a new one.
    mutable QList<char32_t> m_tolerated;
};

} // namespace table
