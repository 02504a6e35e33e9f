#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

// The settings file belongs to the administrator: comments, blank lines, the order of things
// and entries we do not know must survive our writes byte for byte. So a write edits the
// text of the file instead of rewriting it from a parsed model, and reading walks the text the
// same way, so that what we write is what we read.
//
// A line is a header "[name]" (anything after the "]" is ignored), an entry "key = value", or
// a comment (";" or "#"); the blanks around names and values do not count. Names match without
// regard to ASCII case. A header names a section when the text between its brackets is the
// name exactly, blanks included; where no header of the file does, a header whose name matches
// once its outer blanks are dropped (an administrator's "[ ALLGEMEIN ]"). So "[UDPLinkA ]"
// belongs to "UDPLinkA " and, while the file has no "[UDPLinkA]", to "UDPLinkA" as well.
// Several headers may name one section; their entries count as one section's, in file order.
namespace profile {

// The value of the first entry `key` in `section`, without the blanks around it; none when
// there is no such entry.
std::optional<QByteArray> value(const QByteArray& text, QByteArrayView section, QByteArrayView key);

// Returns `text` with the entry `key` of `section` set to `value`; every other byte stays.
// The first matching entry in file order is changed (the one a reader finds); a missing
// entry is added after the last entry of the first matching section; a missing section is
// appended at the end together with the entry. New lines follow the file's own line ends.
QByteArray setEntry(const QByteArray& text, QByteArrayView section, QByteArrayView key,
                    QByteArrayView value);

// True when the two names are equal without regard to ASCII case (and only ASCII case, so
// that bytes of multi-byte characters never compare equal by accident).
bool sameName(QByteArrayView a, QByteArrayView b);

} // namespace profile
