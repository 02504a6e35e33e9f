#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

// Reading what a client sends. Everything here comes from the network and is checked
// before the table is touched: a request is taken whole or not at all.
namespace requests {

// The body between the tag line and the end marker, or nothing when the frame lacks either.
std::optional<QByteArrayView> bodyOf(QByteArrayView frame);

// The lines of a body, each of which must end with LF CR; nothing when one does not.
std::optional<QList<QByteArrayView>> linesOf(QByteArrayView body);

// The records of a save, in row order. Each row comes as its index (decimal, counted from 0
// in order) and its 100-byte record. On failure `why` names the first fault found.
std::optional<QList<QByteArray>> parseSave(QByteArrayView body, QString* why);

// The number whose charges are to be cleared: one line, trimmed, not empty.
std::optional<QByteArray> parseClearCharges(QByteArrayView body, QString* why);

} // namespace requests
