#pragma once

#include <QByteArray>
#include <QByteArrayView>

// The settings file belongs to the administrator: comments, blank lines, the order of things
// and entries we do not know must survive our writes byte for byte. So a write edits the
// text of the file instead of rewriting it from a parsed model.
namespace profile {

// Returns `text` with the entry `key` of `section` set to `value`; every other byte stays.
// Section and key names match without regard to ASCII case. The first matching entry in
// file order is changed (the one a reader finds); a missing entry is added after the last
// entry of the first matching section; a missing section is appended at the end together
// with the entry. New lines follow the file's own line ends.
QByteArray setEntry(const QByteArray& text, QByteArrayView section, QByteArrayView key,
                    QByteArrayView value);

// True when the two names are equal without regard to ASCII case (and only ASCII case, so
// that bytes of multi-byte characters never compare equal by accident).
bool sameName(QByteArrayView a, QByteArrayView b);

} // namespace profile
